// The dump viewer: expanding a .dmz, the scan of the text part into the .ptf, the section
// list and BW.txt, and the scan errors.
#include <gtest/gtest.h>

#include "fadump/dump_viewer.h"
#include "fadump/fa_dump_wizard.h"
#include "fadump/fadump_commands.h"
#include "fadump_test_support.h"

using namespace vexal::fadump;
using namespace vexal::fadump_test;

namespace {

// A dump of `size` bytes: binary bytes, `text` at `at`, then a zero byte and binary bytes.
Bytes dumpWithText(const std::string& text, size_t at = 100, size_t size = 2048) {
    Bytes d(size);
    for (size_t i = 0; i < size; ++i) d[i] = static_cast<uint8_t>(0x80 + i % 100);
    std::copy(text.begin(), text.end(), d.begin() + static_cast<std::ptrdiff_t>(at));
    d[at + text.size()] = 0;
    return d;
}

class ViewerTest : public ::testing::Test {
protected:
    fs::path dir() const { return root.path(); }
    int scan(const Bytes& dump) {
        writeBytes(dir() / "d.dmp", dump);
        return scanDump(dir() / "d.dmp", dir() / "d.ptf");
    }
    std::vector<Section> sectionsOf(const std::string& ptf) {
        writeText(dir() / "s.ptf", ptf);
        std::vector<Section> s;
        EXPECT_EQ(readSections(dir() / "s.ptf", s), 0);
        return s;
    }
    vexal::testing::TempRoot root;
    vexal::testing::FakeOperator op;
};

TEST_F(ViewerTest, TextPartRunsFromDashDashCToAZeroOrAByteAbove126) {
    const struct {
        Bytes dump;
        std::string ptf;
    } cases[] = {
        {dumpWithText("-- config --\nA\tB\n-- end --\n"), "-- config --\nA B\n-- end --\n"},
        {dumpWithText("x--- c1"), "-- c1"},                       // "---" still leads to "-- c"
        {dumpWithText("- -- -- c2"), "-- c2"},
        {[] {
             Bytes d = dumpWithText("-- cut here and here");
             d[100 + 10] = 0x7F;  // a byte above 126 ends the text
             return d;
         }(),
         "-- cut her"},
        {[] {  // the text runs to the end of the file when nothing ends it
             Bytes d(1024, 0x90);
             const std::string t = "-- c tail";
             std::copy(t.begin(), t.end(), d.end() - static_cast<std::ptrdiff_t>(t.size()));
             return d;
         }(),
         "-- c tail"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ptf);
        ASSERT_EQ(scan(c.dump), 0);
        EXPECT_EQ(readText(dir() / "d.ptf"), c.ptf);
    }
    // A marker that straddles the scanner's 64 KiB read blocks is found too.
    Bytes big(70000, 0x90);
    const std::string t = "-- c across";
    std::copy(t.begin(), t.end(), big.begin() + 65534);
    ASSERT_EQ(scan(big), 0);
    EXPECT_EQ(readText(dir() / "d.ptf"), "-- c across");
}

TEST_F(ViewerTest, ScanErrors) {
    EXPECT_EQ(scanDump(dir() / "missing.dmp", dir() / "m.ptf"), scan_error::CannotOpen);
    EXPECT_EQ(scanDump(dir(), dir() / "m.ptf"), scan_error::CannotOpen);  // a folder
    EXPECT_EQ(scan(dumpWithText("-- c", 10, 1023)), scan_error::TooShort);
    EXPECT_EQ(scan(dumpWithText("-- d no config", 10, 1024)), scan_error::NoText);
    EXPECT_EQ(scan(dumpWithText("--c", 10, 1024)), scan_error::NoText);
    EXPECT_FALSE(fs::exists(dir() / "d.ptf"));
    writeBytes(dir() / "ok.dmp", dumpWithText("-- c"));
    EXPECT_EQ(scanDump(dir() / "ok.dmp", dir() / "no/such/folder/ok.ptf"), scan_error::NoText);
    EXPECT_EQ(scanErrorText(-2), "Scan detected an error. EC# -2");
}

TEST_F(ViewerTest, SectionsAreHeadingLinesWithTheirOffsets) {
    const auto s = sectionsOf("-- configuration --\nVendor\n-- error log --\r\n text\n--nospace\n -- indented --\n"
                              "-- --\n-- last section without end\n");
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].name, "configuration");
    EXPECT_EQ(s[0].offset, 0u);
    EXPECT_EQ(s[1].name, "error log");
    EXPECT_EQ(s[1].offset, 27u);
    EXPECT_EQ(s[2].name, "last section without end");
    EXPECT_EQ(s[2].offset, 82u);
    EXPECT_TRUE(sectionsOf("").empty());
    EXPECT_EQ(sectionsOf("-- a --").at(0).name, "a");  // no newline at the end
    // A heading far longer than any name is cut, not kept whole.
    EXPECT_EQ(sectionsOf("-- " + std::string(100000, 'n') + "\n").at(0).name.size(), 4093u);
    std::vector<Section> none;
    EXPECT_EQ(readSections(dir() / "missing.ptf", none), scan_error::SectionsUnreadable);
    std::string headings;
    for (int i = 0; i < 100001; ++i) headings += "-- a\n";
    writeText(dir() / "many.ptf", headings);
    EXPECT_EQ(readSections(dir() / "many.ptf", none), scan_error::SectionsUnreadable);
    EXPECT_TRUE(none.empty());
    headings.resize(100000 * 5);
    writeText(dir() / "many.ptf", headings);
    EXPECT_EQ(readSections(dir() / "many.ptf", none), 0);
    EXPECT_EQ(none.size(), 100000u);
}

TEST_F(ViewerTest, SectionFileLines) {
    EXPECT_EQ(sectionLine({"configuration", 0}), "configuration , 0 , 00000000");
    EXPECT_EQ(sectionLine({"error log", 300}), "error log , 300 , 0000012C");
    ASSERT_EQ(writeSectionFile(dir() / "BW.txt", {{"a", 0}, {"b", 16}}), 0);
    EXPECT_EQ(readText(dir() / "BW.txt"), "a , 0 , 00000000\nb , 16 , 00000010\n");
    writeText(dir() / "plain", "a file, not a folder");
    EXPECT_EQ(writeSectionFile(dir() / "plain/BW.txt", {}), scan_error::SectionFileFailed);
}

TEST_F(ViewerTest, ShortDumpIsRefusedWithScanErrorMinus2) {
    makeZip(dir() / "short.dmz", {{"short.dmp", dumpWithText("-- c", 10, 1000)}});
    const ViewerResult r = OpenDumpFile(op, dir() / "short.dmz");
    EXPECT_TRUE(r.expanded);
    EXPECT_EQ(r.title, "FA Dump: short.dmz");
    EXPECT_EQ(r.scanError, scan_error::TooShort);
    EXPECT_FALSE(r.controlsEnabled);
    ASSERT_EQ(op.calls.size(), 1u);
    EXPECT_EQ(op.calls[0].text, "Scan detected an error. EC# -2");
    EXPECT_EQ(op.calls[0].icon, vexal::ui::Icon::Stop);
}

TEST_F(ViewerTest, ArchiveNamedLikeItsOutputIsNotOverwritten) {
    makeZip(dir() / "odd.dmp", {{"odd.dmp", dumpWithText("-- c odd --\n")}});
    const Bytes archive = readBytes(dir() / "odd.dmp");
    const ViewerResult r = OpenDumpFile(op, dir() / "odd.dmp");
    EXPECT_TRUE(r.controlsEnabled);
    EXPECT_EQ(r.dmp, dir() / "odd.dmp.dmp");
    EXPECT_EQ(readBytes(dir() / "odd.dmp"), archive);
    EXPECT_EQ(readText(dir() / "odd.dmp.ptf"), "-- c odd --\n");
}

TEST_F(ViewerTest, ExitWithUnsavedReportAsks) {
    EXPECT_TRUE(ConfirmViewerExit(op, true));
    EXPECT_TRUE(op.calls.empty());
    op.buttons = {vexal::ui::Button::No, vexal::ui::Button::Yes};
    EXPECT_FALSE(ConfirmViewerExit(op, false));
    EXPECT_TRUE(ConfirmViewerExit(op, false));
    EXPECT_EQ(op.messages(), (std::vector<std::string>(2, "Do you wish to exit without saving the report?")));
}

class ViewerOnVirtualDumpTest : public VirtualDriveFixture {};

TEST_F(ViewerOnVirtualDumpTest, ListsTheSectionsOfAVirtualDriveDump) {
    startDrive();
    vexal::testing::FakeOperator op;
    DumpSetup setup;
    setup.file = root.path() / "dumps/VD00000001.dmz";
    ASSERT_TRUE(RunDumpWizard(*device, op, setup, {}).ok);

    std::ostringstream out;
    ASSERT_EQ(RunViewCommand(op, setup.file.string(), out), 0);
    const fs::path folder = setup.file.parent_path();
    const std::string ptf = readText(folder / "VD00000001.ptf");
    EXPECT_EQ(ptf.rfind("-- configuration --\n", 0), 0u);
    EXPECT_EQ(ptf.find('\t'), std::string::npos);
    EXPECT_NE(ptf.find("Serial number          : VD00000001"), std::string::npos);
    EXPECT_EQ(readBytes(folder / "VD00000001.dmp").size(), 70000u);  // no customer information given

    ViewerResult r = OpenDumpFile(op, setup.file);
    ASSERT_TRUE(r.controlsEnabled);
    std::vector<std::string> names;
    for (const auto& s : r.sections) {
        names.push_back(s.name);
        EXPECT_EQ(ptf.compare(s.offset, 3, "-- "), 0) << s.name;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"configuration", "power-on history", "error log", "servo trace",
                                               "event trace", "end of text"}));
    std::string bw;
    for (const auto& s : r.sections) bw += sectionLine(s) + "\n";
    EXPECT_EQ(readText(folder / "BW.txt"), bw);
    EXPECT_NE(out.str().find("FA Dump: VD00000001.dmz\n"), std::string::npos);
    EXPECT_NE(out.str().find(bw), std::string::npos);
}

}  // namespace
