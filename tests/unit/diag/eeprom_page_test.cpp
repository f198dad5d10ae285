// The EEPROM parameter page: reading mode page 3Eh in two steps, the temporary file, the
// parser's rules, the lookup, the write-back, the window's tree and the load-count threshold.
#include <gtest/gtest.h>

#include <climits>
#include <fstream>

#include "device/device_library.h"
#include "diag/eeprom_page.h"
#include "diag/eeprom_tree.h"
#include "diag/eeprom_write.h"
#include "diag/load_count_threshold.h"
#include "support/fake_operator.h"
#include "support/fake_transport.h"
#include "support/test_root.h"
#include "support/recording_output.h"
#include "unit/diag/virtual_drive_session.h"

using namespace vexal::diag;
using vexal::testing::FakeOperator;

namespace {

// Mode parameter header (10), `descriptors` bytes of block descriptors, page 3Eh, the text.
std::vector<uint8_t> modePage(const std::string& text, size_t descriptors = 8) {
    std::vector<uint8_t> page(8 + descriptors, 0);
    page[7] = static_cast<uint8_t>(descriptors);
    page.push_back(0x3E);
    page.push_back(static_cast<uint8_t>(std::min<size_t>(text.size() + 1, 255)));
    page.insert(page.end(), text.begin(), text.end());
    page.push_back(0);
    const size_t length = page.size() - 2;
    page[0] = static_cast<uint8_t>(length >> 8);
    page[1] = static_cast<uint8_t>(length);
    return page;
}

const std::string kHeading = "EEPROM PARAMETERS\nName Type Current Default Minimum Maximum\n";

// A drive on the fake transport whose MODE SENSE returns `page` and whose MODE SELECT
// succeeds unless `refuseSelect`.
class FakeEepromDrive {
public:
    FakeEepromDrive() : transport(std::make_shared<vexal::testing::FakeTransport>()) {
        transport->devices[{0, 0, 0}] = [this](vexal::device::RequestBlock& srb) { answer(srb); };
        vexal::device::DevSetTransport(transport);
        vexal::device::DevEnumerate();
    }
    ~FakeEepromDrive() {
        vexal::device::DevFreeList();
        vexal::device::DevSetTransport(nullptr);
    }
    std::vector<uint8_t> page;
    bool failSense = false;
    bool refuseSelect = false;
    std::vector<std::vector<uint8_t>> selected;  // parameter lists received
    std::shared_ptr<vexal::testing::FakeTransport> transport;

private:
    void answer(vexal::device::RequestBlock& srb) {
        using namespace vexal::device;
        const uint8_t op = srb.cdb[0];
        if (op == 0x12) return vexal::testing::FakeTransport::inquiryDevice(0x01)(srb);
        if ((op == 0x5A && failSense) || (op == 0x15 && refuseSelect) || (op != 0x5A && op != 0x15)) {
            srb.targetStatus = target_status::CheckCondition;
            srb.senseArea.fill(0);
            srb.senseArea[0] = 0x70;
            srb.senseArea[2] = 0x05;
            srb.senseArea[7] = 10;
            srb.senseArea[12] = 0x24;
            srb.senseLength = 18;
            srb.status.store(srb_status::Error);
            return;
        }
        if (op == 0x15) {
            selected.emplace_back(srb.buffer, srb.buffer + srb.bufferLength);
        } else {
            const uint32_t allocation = (uint32_t{srb.cdb[7]} << 8) | srb.cdb[8];
            const uint32_t n = std::min<uint32_t>({allocation, srb.bufferLength, static_cast<uint32_t>(page.size())});
            std::copy_n(page.begin(), n, srb.buffer);
            srb.residual = srb.bufferLength - n;
        }
        srb.status.store(srb_status::Complete);
    }
};

class EepromTest : public ::testing::Test {
protected:
    std::vector<std::vector<uint8_t>> senseCdbs() const {
        std::vector<std::vector<uint8_t>> out;
        for (const auto& c : drive.transport->cdbs)
            if (c[0] == 0x5A) out.push_back(c);
        return out;
    }
    vexal::testing::TempRoot root;
    FakeEepromDrive drive;
    FakeOperator op;
    vexal::testing::RecordingOutput out{true};
    vexal::command::CScsiDevice device{out};
    void SetUp() override { ASSERT_TRUE(device.Select(0)); }
};

TEST(EepromParse, LinesWordsTypesAndSkippedLines) {
    const std::string longName(70, 'N');
    const auto page = modePage(kHeading +
                               "Dup 5 0 0 10\n"
                               "* 1 2 3 4\n"
                               "\n"
                               "Flag b 1 0 0 1\n"
                               "Label\tA VEXAL VEXAL 1 16\r\n"
                               "Dup 7 0 0 10\n"
                               "Odd x 1 2 3\n" +
                               longName + " 1 1 0 9\n"
                               "Short 3\n");
    std::vector<EepromParameter> p;
    ASSERT_TRUE(parseEepromPage(page, p));
    ASSERT_EQ(p.size(), 7u);
    const struct {
        const char* name;
        const char* type;
        const char* current;
        const char* defaultValue;
        const char* minimum;
        const char* maximum;
    } expected[] = {
        {"Dup", "d", "5", "0", "0", "10"},    {"Flag", "b", "1", "0", "0", "1"},
        {"Label", "A", "VEXAL", "VEXAL", "1", "16"}, {"Dup", "d", "7", "0", "0", "10"},
        {"Odd", "d", "x", "1", "2", "3"},     {"", "d", "1", "1", "0", "9"},
        {"Short", "d", "3", "", "", ""},
    };
    for (size_t i = 0; i < p.size(); ++i) {
        const std::string name = i == 5 ? longName.substr(0, 63) : expected[i].name;
        EXPECT_EQ(p[i].name, name);
        EXPECT_EQ(p[i].type, expected[i].type) << name;
        EXPECT_EQ(p[i].current, expected[i].current) << name;
        EXPECT_EQ(p[i].defaultValue, expected[i].defaultValue) << name;
        EXPECT_EQ(p[i].minimum, expected[i].minimum) << name;
        EXPECT_EQ(p[i].maximum, expected[i].maximum) << name;
    }
}

TEST(EepromParse, BinaryHeadersHoldingLineEndsAndBadPages) {
    // A page of 0x010A bytes and a descriptor length of 0Ah: the length bytes are 0Ah,
    // which must not count as line ends.
    std::string text = kHeading + "Param 5 0 0 10\n";
    auto page = modePage(text, 10);
    page.resize(0x010A + 2, 0);
    page[0] = 0x01;
    page[1] = 0x0A;
    std::vector<EepromParameter> p;
    ASSERT_TRUE(parseEepromPage(page, p));
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].name, "Param");

    // Too short for the headers, or descriptors running past the end.
    EXPECT_FALSE(parseEepromPage(std::vector<uint8_t>(5, 0), p));
    auto bad = modePage(text);
    bad[6] = 0xFF;
    EXPECT_FALSE(parseEepromPage(bad, p));
    EXPECT_TRUE(p.empty());
    // Only headings: no records.
    EXPECT_TRUE(parseEepromPage(modePage(kHeading), p));
    EXPECT_TRUE(p.empty());
}

TEST(EepromParse, DecimalValueIsTheCLibrarys) {
    const std::pair<const char*, long> cases[] = {{"12", 12},  {"-3", -3},          {" 7x", 7},
                                                  {"abc", 0},  {"", 0},             {"+4", 4},
                                                  {"99999999999999999999", LONG_MAX}, {"-99999999999999999999", LONG_MIN}};
    for (const auto& [text, value] : cases) EXPECT_EQ(decimalValue(text), value) << text;
}

TEST_F(EepromTest, ReadsInTwoStepsSavesParsesAndFindsTheFirstOfTwo) {
    drive.page = modePage(kHeading + "KorvLoadCountThresh 20 50 2 50\nKorvLoadCountThresh 30 50 2 50\nFlag b 1 0 0 1\n");
    EepromParameterList list(device, op, root.path());
    ASSERT_TRUE(list.Load());
    const auto cdbs = senseCdbs();
    ASSERT_EQ(cdbs.size(), 2u);
    EXPECT_EQ(cdbs[0], (std::vector<uint8_t>{0x5A, 0x00, 0x3E, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00}));
    const size_t n = drive.page.size();
    EXPECT_EQ(cdbs[1], (std::vector<uint8_t>{0x5A, 0, 0x3E, 0, 0, 0, 0, uint8_t(n >> 8), uint8_t(n), 0}));
    EXPECT_EQ(list.rawPage(), drive.page);
    EXPECT_EQ(list.tempFile().parent_path(), root.path());
    EXPECT_TRUE(std::filesystem::exists(list.tempFile()));
    long value = 0;
    ASSERT_TRUE(list.FindValue("KorvLoadCountThresh", value));
    EXPECT_EQ(value, 20);
    ASSERT_TRUE(list.FindValue("Flag", value));
    EXPECT_EQ(value, 1);
    EXPECT_FALSE(list.FindValue("korvloadcountthresh", value));  // names compare exactly
    list.Discard();
    EXPECT_FALSE(std::filesystem::exists(list.tempFile()));
    EXPECT_TRUE(op.messages().empty());
}

TEST_F(EepromTest, AFileWhoseLengthDiffersIsRejected) {
    drive.page = modePage(kHeading + "A 1 0 0 9\n");
    EepromParameterList list(device, op, root.path());
    ASSERT_TRUE(list.ReadPage());
    ASSERT_TRUE(list.SavePage());
    std::ofstream(list.tempFile(), std::ios::app | std::ios::binary) << "B 2 0 0 9\n";
    EXPECT_FALSE(list.ParsePage());
    EXPECT_TRUE(list.parameters().empty());
    std::filesystem::resize_file(list.tempFile(), list.rawPage().size() - 1);
    EXPECT_FALSE(list.ParsePage());
    std::filesystem::remove(list.tempFile());
    EXPECT_FALSE(list.ParsePage());
}

TEST_F(EepromTest, AFailedReadKeepsThePreviousPage) {
    drive.page = modePage(kHeading + "A 1 0 0 9\n");
    EepromParameterList list(device, op, root.path());
    ASSERT_TRUE(list.ReadPage());
    const auto before = list.rawPage();
    drive.failSense = true;
    EXPECT_FALSE(list.ReadPage());
    EXPECT_EQ(list.rawPage(), before);
    EXPECT_EQ(senseCdbs().size(), 3u);  // the failed probe stops the read
}

TEST_F(EepromTest, AFileErrorIsShownAndTheFileGoesWithTheList) {
    drive.page = modePage(kHeading + "A 1 0 0 9\n");
    {
        EepromParameterList list(device, op, root.path() / "missing-folder");
        ASSERT_TRUE(list.ReadPage());
        EXPECT_FALSE(list.SavePage());
        ASSERT_EQ(op.calls.size(), 1u);
        EXPECT_EQ(op.calls[0].text, "The file could not be located: " + list.tempFile().string());
        EXPECT_EQ(op.calls[0].icon, vexal::ui::Icon::Exclamation);
    }
    std::filesystem::path file;
    {
        EepromParameterList list(device, op, root.path());
        ASSERT_TRUE(list.Load());
        file = list.tempFile();
        EXPECT_TRUE(std::filesystem::exists(file));
    }
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(eepromFileErrorText(ENOSPC, "x"), "The disk is full.");
    EXPECT_EQ(eepromFileErrorText(EACCES, "/p"), "The file could not be accessed: /p");
    EXPECT_EQ(eepromFileErrorText(EMFILE, "/p"), "An unspecified error occurred.");
}

TEST_F(EepromTest, WriteBackCommandAndParameterList) {
    const auto outcome = WriteEepromParameter(device, "KorvLoadCountThresh", "20");
    EXPECT_TRUE(outcome.ok());
    const std::string text = "KorvLoadCountThresh 20";  // L = 22
    ASSERT_EQ(drive.selected.size(), 1u);
    std::vector<uint8_t> expected{0x00, 0x00, 0x10, 0x00, 0x3E, 23};
    expected.insert(expected.end(), text.begin(), text.end());
    expected.push_back(0);
    EXPECT_EQ(drive.selected[0], expected);
    EXPECT_EQ(drive.transport->cdbs.back(), (std::vector<uint8_t>{0x15, 0x10, 0x00, 0x00, 29, 0x00}));

    drive.refuseSelect = true;
    EXPECT_FALSE(WriteLoadCountThreshold(device, 20));
    // Text that cannot be one name and one value is not sent.
    const size_t sent = drive.transport->cdbs.size();
    for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"", "1"}, {"A", ""}, {"Two words", "1"}, {"A", "1 2"}, {std::string(250, 'N'), "1"}}) {
        EXPECT_FALSE(WriteEepromParameter(device, name, value).sent) << name << "=" << value;
    }
    EXPECT_EQ(drive.transport->cdbs.size(), sent);
}

TEST_F(EepromTest, ThresholdAbsentOrUnreadableIsNotFound) {
    drive.page = modePage(kHeading + "KorvOther 20 50 2 50\n");
    EXPECT_FALSE(ReadLoadCountThreshold(device, op, root.path()).has_value());
    drive.page = modePage(kHeading + "KorvLoadCountThresh 7 50 2 50\n");
    EXPECT_EQ(ReadLoadCountThreshold(device, op, root.path()), 7);
    drive.failSense = true;
    EXPECT_FALSE(ReadLoadCountThreshold(device, op, root.path()).has_value());
    EXPECT_EQ(kLoadCountNotFoundMessage,
              "The KorvLoadCountThreshold data field was not found in the drive's firmware.  You will not be able "
              "to adjust this field.");
    EXPECT_EQ(kLoadCountWriteFailedMessage, "Unable to change the load count threshold.");
    EXPECT_FALSE(loadCountThresholdInRange(1));
    EXPECT_TRUE(loadCountThresholdInRange(2));
    EXPECT_TRUE(loadCountThresholdInRange(50));
    EXPECT_FALSE(loadCountThresholdInRange(51));
}

TEST(EepromTree, ItemsHelpLinesAndEditorsByType) {
    const std::vector<EepromParameter> p{{"Flag", "b", "1", "0", "0", "1"},
                                         {"Label", "A", "VX", "VX", "1", "16"},
                                         {"Count", "d", "5", "5", "2", "50"},
                                         {"Odd", "q", "?", "", "", ""}};
    const EepromTreeItem root = buildEepromTree(p);
    EXPECT_EQ(root.label, "EEPROM Vendor Specific Page");
    EXPECT_EQ(root.help, "The drive returns all of the EEPROM parameters that can be set.");
    ASSERT_EQ(root.children.size(), 4u);
    const EepromTreeItem& flag = root.children[0];
    EXPECT_EQ(flag.label, "Flag");
    EXPECT_EQ(flag.help, "Refers to the parameter name.");
    ASSERT_EQ(flag.children.size(), 5u);
    const std::pair<const char*, const char*> labels[] = {
        {"Type", "A=Ascii | d=Decimal | b=Binary"},        {"Current", "Current value of the parameter."},
        {"Default", "Default value of the parameter."},   {"Minimum", "Minimum value of the parameter."},
        {"Maximum", "Maximum value of the parameter."}};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(flag.children[i].label, labels[i].first);
        EXPECT_EQ(flag.children[i].help, labels[i].second);
    }
    EXPECT_EQ(flag.children[1].editor, EepromEditor::DropDown);
    EXPECT_EQ(flag.children[1].choices, (std::vector<std::string>{"1", "0"}));
    EXPECT_EQ(flag.children[1].value, "1");
    EXPECT_EQ(root.children[1].children[1].editor, EepromEditor::TextField);
    const EepromTreeItem& count = root.children[2].children[1];
    EXPECT_EQ(count.editor, EepromEditor::NumberField);
    EXPECT_EQ(count.minimum, 2);
    EXPECT_EQ(count.maximum, 50);
    EXPECT_EQ(count.parameter, &p[2]);
    EXPECT_EQ(root.children[3].children[1].editor, EepromEditor::PlainText);
    EXPECT_EQ(flag.children[0].editor, EepromEditor::PlainText);
    EXPECT_EQ(flag.children[0].value, "b");

    for (const auto& [text, ok] : std::vector<std::pair<const char*, bool>>{
             {"2", true}, {"50", true}, {"1", false}, {"51", false}, {"", false}, {"7x", false}, {"-3", false}})
        EXPECT_EQ(eepromNumberInRange(p[2], text), ok) << text;
}

TEST(EepromVirtualDrive, ThresholdReadWrittenAndKeptByTheDrive) {
    vexal::testing::TempRoot root;
    FakeOperator op;
    {
        vexal::testing::VirtualDriveSession s(root);
        EepromParameterList list(s.device, op, root.path());
        ASSERT_TRUE(list.Load());
        EXPECT_EQ(list.tempFile(), root.path() / "tempEE_SKTX VIRTUAL.txt");
        const EepromParameter* p = list.find(std::string(kLoadCountParameter));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->type, "d");
        EXPECT_EQ(p->minimum, "2");
        EXPECT_EQ(p->maximum, "50");
        EXPECT_EQ(ReadLoadCountThreshold(s.device, op, root.path()), 50);
        EXPECT_TRUE(WriteLoadCountThreshold(s.device, 20));
        EXPECT_EQ(ReadLoadCountThreshold(s.device, op, root.path()), 20);
        // Out of the drive's range: refused, the value stays.
        EXPECT_FALSE(WriteLoadCountThreshold(s.device, 51));
        EXPECT_FALSE(WriteEepromParameter(s.device, "NoSuchParameter", "1").ok());
    }
    // A later run of the drive still has it.
    vexal::testing::VirtualDriveSession again(root);
    EXPECT_EQ(ReadLoadCountThreshold(again.device, op, root.path()), 20);
    EXPECT_TRUE(op.messages().empty());
}

}  // namespace
