// LOG SENSE through the device library on a fake drive: the page-size probe,
// the command frames, each page's lines, the side files and the failure messages.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include <fmt/format.h>

#include "diag/log_sense.h"
#include "support/fake_operator.h"
#include "support/test_root.h"
#include "support/recording_output.h"
#include "unit/diag/fake_log_drive.h"
#include "unit/diag/page_builder.h"

using namespace vexal::diag;
using vexal::testing::bigEndianBytes;
using vexal::testing::FakeLogDrive;
using vexal::testing::FakeOperator;
using vexal::testing::makePage;
using vexal::testing::RecordingOutput;
using vexal::testing::textBytes;

namespace {

const std::regex kSent(R"(\[Vexal_Command_Sent on \d\d/\d\d/\d{4} at \d\d:\d\d:\d\d\.\d{3} H:0 T:0 L:0 Device:SKTX FAKE\])");
const std::regex kDone(R"(\[Vexal_Command_Done on \d\d/\d\d/\d{4} at \d\d:\d\d:\d\d\.\d{3}\])");

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<uint8_t> writeErrorPage(bool withParameter5 = true) {
    std::vector<vexal::testing::PageParameter> p;
    for (uint16_t code = 0; code <= 6; ++code) {
        if (code == 5 && !withParameter5) continue;
        p.push_back({code, code == 5 ? bigEndianBytes(1000000, 8) : bigEndianBytes(code + 1u, 4)});
    }
    return makePage(0x02, p);
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class LogSenseTest : public ::testing::Test {
protected:
    LogSenseTest() : out(true), device(out) { EXPECT_TRUE(device.Select(0)); }

    LogSenseOutcome run(uint8_t code, uint8_t pc = page_control::Cumulative) {
        return LogSenseWithProbe(device, LogSenseRequest{pc, code}, op, folder());
    }
    std::filesystem::path folder() const { return root.path() / "work"; }

    vexal::testing::TempRoot root;
    FakeLogDrive drive;
    FakeOperator op;
    RecordingOutput out;
    vexal::command::CScsiDevice device;
};

TEST_F(LogSenseTest, ProbeThenFullPageWithCountersLineForLine) {
    const auto page = writeErrorPage();
    drive.pages[0x02] = page;
    const LogSenseOutcome outcome = run(0x02);
    EXPECT_TRUE(outcome.sent);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_FALSE(outcome.loadError);
    EXPECT_TRUE(outcome.missing.empty());
    EXPECT_TRUE(op.messages().empty());

    // The probe asks for 8 bytes, then the page length (60) + 4.
    const auto cdbs = drive.logCdbs();
    ASSERT_EQ(cdbs.size(), 2u);
    EXPECT_EQ(cdbs[0], (std::vector<uint8_t>{0x4D, 0, 0x42, 0, 0, 0, 0, 0x00, 0x08, 0}));
    EXPECT_EQ(cdbs[1], (std::vector<uint8_t>{0x4D, 0, 0x42, 0, 0, 0, 0, 0x00, 0x40, 0}));
    ASSERT_EQ(page.size(), 64u);

    const auto& v = out.view;
    ASSERT_EQ(v.size(), 8u + 6u + 4u + 7u + 2u);
    EXPECT_EQ(v[0], "");
    EXPECT_TRUE(std::regex_match(v[1], kSent)) << v[1];
    EXPECT_EQ(v[2], " Determine Page Size...");
    EXPECT_EQ(v[3], " RAW_CDB: 4D 00 42 00 00 00 00 00 08 00");
    EXPECT_EQ(v[4], " RAW_DATA: 8");
    EXPECT_EQ(v[5].substr(0, 33), "  000000: 02 00 00 3C 00 00 00 04");
    EXPECT_EQ(v[6], " [Vexal_CmdStatus: SCSI_GOOD");
    EXPECT_TRUE(std::regex_match(v[7], kDone)) << v[7];
    EXPECT_EQ(v[8], "");
    EXPECT_TRUE(std::regex_match(v[9], kSent));
    EXPECT_EQ(v[10], " LogSense (Write Errors)");
    EXPECT_EQ(v[11], " RAW_CDB: 4D 00 42 00 00 00 00 00 40 00");
    EXPECT_EQ(v[12], "  PC = Cumulative Values, Page Code = 2, Length = 64");
    EXPECT_EQ(v[13], " RAW_DATA: 64");
    EXPECT_EQ(v[18], "   Errors Corrected with Substantial Delays: 1, 0x00000001");
    EXPECT_EQ(v[22], "   Total Times Correction Algorithm Processed: 5, 0x00000005");
    EXPECT_EQ(v[23], "   Total Bytes Processed: 1E+06");
    EXPECT_EQ(v[24], "   Total Uncorrected Errors: 7, 0x00000007");
    EXPECT_EQ(v[25], " [Vexal_CmdStatus: SCSI_GOOD");
    EXPECT_TRUE(std::regex_match(v[26], kDone));

    // The parsed page is kept as "2.XXX".
    EXPECT_EQ(readFile(folder() / "2.XXX"), std::string(page.begin(), page.end()));
}

TEST_F(LogSenseTest, ZeroPageLengthAsksSixtyEightBytes) {
    drive.pages[0x0D] = makePage(0x0D, {});
    run(0x0D, page_control::Threshold);
    const auto cdbs = drive.logCdbs();
    ASSERT_EQ(cdbs.size(), 2u);
    EXPECT_EQ(cdbs[1][7], 0x00);
    EXPECT_EQ(cdbs[1][8], 68);
    EXPECT_EQ(cdbs[1][2], 0x0D);
    EXPECT_TRUE(contains(out.view, "  PC = Threshold Values, Page Code = D, Length = 68"));
    EXPECT_TRUE(contains(out.view, " RAW_DATA: 4"));  // the page header the drive sent, no more
    // No temperature parameters: one fetch-failed message each, with a warning icon.
    EXPECT_EQ(op.messages(), (std::vector<std::string>{"Log Page fetch failed for code: 0x0000.",
                                                        "Log Page fetch failed for code: 0x0001."}));
    for (const auto& c : op.calls) EXPECT_EQ(c.icon, vexal::ui::Icon::Exclamation);
}

TEST_F(LogSenseTest, MissingParameterFiveGivesOneMessageAndTheOtherLines) {
    drive.pages[0x02] = writeErrorPage(false);
    const auto outcome = run(0x02);
    EXPECT_EQ(outcome.missing, (std::vector<uint16_t>{5}));
    EXPECT_EQ(op.messages(), (std::vector<std::string>{"Log Page fetch failed for code: 0x0005."}));
    EXPECT_TRUE(contains(out.view, "   Errors Corrected with Substantial Delays: 1, 0x00000001"));
    EXPECT_TRUE(contains(out.view, "   Total Uncorrected Errors: 7, 0x00000007"));
    for (const auto& line : out.view) EXPECT_EQ(line.find("Total Bytes Processed"), std::string::npos);
}

TEST_F(LogSenseTest, WhatFollowsEachPage) {
    struct Case {
        uint8_t code;
        const char* name;
        bool pcLine;
        bool sideFile;
        std::vector<std::string> named;
    };
    const std::vector<Case> cases{
        {0x00, " LogSense (Supported Pages)", true, false, {}},
        {0x03, " LogSense (Read Errors)", true, true, {}},
        {0x0D, " LogSense (Temperature Page)", true, true,
         {"   Current Temperature (Celsius): 35 (0x0023)", "   Maximum Operating Temperature (Celsius): 55 (0x0037)"}},
        {0x2E, " LogSense (Tape Alert)", true, true, {}},
        {0x30, " LogSense (Move Statistics)", true, true, {}},
        {0x31, " LogSense (Capacity)", false, true, {}},
        {0x32, " LogSense (Read/Write Compression Ratio)", true, true, {}},
        {0x33, " LogSense (Device Wellness)", true, false, {}},
        {0x3E, " LogSense (Device Status)", true, true, {"   Device Cleaning Status: Cleaning Required (0x00000004)"}},
    };
    drive.pages[0x00] = {0x00, 0x00, 0x00, 0x03, 0x00, 0x02, 0x2E};
    drive.pages[0x03] = makePage(0x03, {{0, bigEndianBytes(9, 4)}});
    drive.pages[0x0D] = makePage(0x0D, {{0, bigEndianBytes(35, 2)}, {1, bigEndianBytes(55, 2)}});
    drive.pages[0x2E] = makePage(0x2E, {{1, {0}}, {2, {1}}});
    drive.pages[0x30] = makePage(0x30, {{0, bigEndianBytes(3, 4)}});
    drive.pages[0x31] = makePage(0x31, {{1, bigEndianBytes(200000, 4)}});
    drive.pages[0x32] = makePage(0x32, {{0, bigEndianBytes(200, 2)}});
    drive.pages[0x33] = makePage(0x33, {{0, bigEndianBytes(1, 4)}});
    drive.pages[0x3E] = makePage(0x3E, {{1, bigEndianBytes(4, 4)}});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        out.view.clear();
        const auto page = drive.pages[c.code];
        const auto outcome = run(c.code);
        EXPECT_TRUE(outcome.sent);
        EXPECT_FALSE(outcome.loadError);
        EXPECT_EQ(outcome.allocationLength, page.size());
        const auto name = std::find(out.view.begin(), out.view.end(), c.name);
        ASSERT_NE(name, out.view.end());
        ASSERT_GT(out.view.end() - name, 3);
        // Name, RAW_CDB, then the PC line (or not), then the dump of the allocation length.
        const std::string pc =
            fmt::format("  PC = Cumulative Values, Page Code = {:X}, Length = {}", c.code, page.size());
        EXPECT_EQ(*(name + 2) == pc, c.pcLine) << *(name + 2);
        EXPECT_EQ(*(name + (c.pcLine ? 3 : 2)), fmt::format(" RAW_DATA: {}", page.size()));
        for (const auto& line : c.named) EXPECT_TRUE(contains(out.view, line)) << line;
        EXPECT_EQ(std::filesystem::exists(folder() / fmt::format("{:X}.XXX", c.code)), c.sideFile);
    }
}

TEST_F(LogSenseTest, UnsupportedPageSendsNothing) {
    const auto outcome = run(0x05);
    EXPECT_FALSE(outcome.sent);
    EXPECT_TRUE(drive.logCdbs().empty());
    EXPECT_TRUE(out.view.empty());
    ASSERT_EQ(op.calls.size(), 1u);
    EXPECT_EQ(op.calls[0].text, "The page you requested is not supported.  Please contact your support team.");
    EXPECT_EQ(op.calls[0].icon, vexal::ui::Icon::Exclamation);
}

TEST_F(LogSenseTest, EventPageShownAsScriptMessagesAndLoggedAtLevelFour) {
    drive.pages[0x07] = makePage(0x07, {{0, textBytes("Packet # 3 - SENSE: 03 11 00")},
                                        {1, textBytes("POH/PC= 12/3\r\n")}});
    run(0x07);
    const auto name = std::find(out.view.begin(), out.view.end(), " LogSense (Last n Error Events)");
    ASSERT_NE(name, out.view.end());
    EXPECT_EQ(*(name + 1), " RAW_CDB: 4D 00 47 00 00 00 00 00 36 00");
    const std::vector<std::string> expected{"[Vexal_Script_Message: Page Code:\t07",
                                            "[Vexal_Script_Message: Page Length:\t0032",
                                            "[Vexal_Script_Message: Packet # 3 - SENSE: 03 11 00",
                                            "[Vexal_Script_Message: \tPOH/PC= 12/3",
                                            " [Vexal_CmdStatus: SCSI_GOOD"};
    EXPECT_EQ(std::vector<std::string>(name + 2, name + 7), expected);
    std::vector<std::string> level4;
    for (const auto& [level, line] : out.log)
        if (level == 4) level4.push_back(line);
    EXPECT_EQ(level4, (std::vector<std::string>{"Page Code:\t07", "Page Length:\t0032",
                                                "Packet # 3 - SENSE: 03 11 00", "\tPOH/PC= 12/3"}));
    EXPECT_EQ(readFile(folder() / "7_RAW.TXT"), "Packet # 3 - SENSE: 03 11 00\r\nPOH/PC= 12/3\r\n\r\n");
    EXPECT_TRUE(std::filesystem::exists(folder() / "7.XXX"));
}

TEST_F(LogSenseTest, RefusedPagesShowTheirLoadErrorThenStatusAndDone) {
    struct Case {
        uint8_t code;
        const char* message;
    };
    const std::vector<Case> cases{
        {0x02, "Log Page 0x02 Load() error."}, {0x03, "Log Page 0x03 Load() error."},
        {0x07, "Log Page 0x07 Load() error."}, {0x0D, "Log Page 0x0D Load() error."},
        {0x30, "Log Page 0x30 Load() error."}, {0x31, "Log Page 0x31 Load() error."},
        {0x32, "Log Page 0x32 Load() error."}, {0x3E, "Log Page 0x3E Load() error."},
        {0x2E, "There was an error loading the TapeAlert page."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        // The drive answers with another page's bytes: the first byte is not the code asked.
        drive.pages[c.code] = makePage(0x01, {{0, textBytes("x")}});
        out.view.clear();
        op.calls.clear();
        const auto outcome = run(c.code);
        EXPECT_TRUE(outcome.loadError);
        EXPECT_EQ(outcome.result, 0);
        EXPECT_EQ(op.messages(), std::vector<std::string>{c.message});
        EXPECT_EQ(op.calls.at(0).icon, vexal::ui::Icon::Exclamation);
        ASSERT_GE(out.view.size(), 3u);
        // No PC line or dump after the refusal: RAW_CDB is followed by the status.
        const auto status = out.view.end() - 2;
        EXPECT_EQ(*status, " [Vexal_CmdStatus: SCSI_GOOD");
        EXPECT_EQ((status - 1)->substr(0, 10), " RAW_CDB: ");
        EXPECT_TRUE(std::regex_match(out.view.back(), kDone));
    }
}

TEST_F(LogSenseTest, FailedCommandDecodesNothingAndNamesTheFailure) {
    drive.pages[0x02] = writeErrorPage();
    drive.failLogSense = true;
    const auto outcome = run(0x02);
    EXPECT_NE(outcome.result, 0);
    EXPECT_EQ(outcome.allocationLength, 68);  // the failed probe gave no length
    EXPECT_TRUE(outcome.data.empty());
    EXPECT_FALSE(outcome.loadError);  // nothing came to load
    EXPECT_TRUE(op.messages().empty());
    for (const auto& line : out.view) EXPECT_EQ(line.find("  PC = "), std::string::npos) << line;
    EXPECT_TRUE(contains(out.view, " [Vexal_Check_Condition: AutoRequestSense]"));
    EXPECT_NE(device.status.lastStatus, "SCSI_GOOD");
    EXPECT_TRUE(std::regex_match(out.view.back(), kDone));
}

// Bytes that came with CHECK CONDITION count as none, even when the sense is only a
// RECOVERED ERROR: the device is known to have sent data only with GOOD (or a READ's VALID
// residue).
TEST_F(LogSenseTest, DataThatCameWithCheckConditionIsNeitherTrustedNorDecoded) {
    drive.pages[0x0D] = makePage(0x0D, {{0, bigEndianBytes(35, 2)}, {1, bigEndianBytes(55, 2)}});
    drive.failAfterData = true;
    const PageSizeProbe probe = DeterminePageSize(device, {page_control::Cumulative, 0x0D});
    EXPECT_NE(probe.result, 0);
    EXPECT_EQ(probe.bytes[3], 0);
    EXPECT_EQ(probe.pageLength, 0);

    const auto outcome = LogSense(device, {page_control::Cumulative, 0x0D}, probe.pageLength, op, folder());
    EXPECT_EQ(outcome.allocationLength, 68);
    EXPECT_NE(outcome.result, 0);
    EXPECT_FALSE(outcome.loadError);
    EXPECT_FALSE(contains(out.view, "   Current Temperature (Celsius): 35 (0x0023)"));
    EXPECT_TRUE(contains(out.view, "   Sense Key: 0x01 (Recovered Error)"));
}

TEST_F(LogSenseTest, CustomerModeKeepsTheCommandLinesButNotTheFrameOrDump) {
    RecordingOutput customer(false);
    vexal::command::CScsiDevice d(customer);
    ASSERT_TRUE(d.Select(0));
    drive.pages[0x0D] = makePage(0x0D, {{0, bigEndianBytes(35, 2)}, {1, bigEndianBytes(55, 2)}});
    LogSense(d, {page_control::Cumulative, 0x0D}, 12, op, folder());
    EXPECT_EQ(customer.view, (std::vector<std::string>{
                                 " LogSense (Temperature Page)",
                                 " RAW_CDB: 4D 00 4D 00 00 00 00 00 10 00",
                                 "  PC = Cumulative Values, Page Code = D, Length = 16",
                                 "   Current Temperature (Celsius): 35 (0x0023)",
                                 "   Maximum Operating Temperature (Celsius): 55 (0x0037)",
                             }));
}

TEST(LogSenseTexts, PageControlCdbAndLengths) {
    EXPECT_EQ(pageControlWord(0x00), "Threshold Values");
    EXPECT_EQ(pageControlWord(0x40), "Cumulative Values");
    EXPECT_EQ(pageControlWord(0x80), "Default Threshold Values");
    EXPECT_EQ(pageControlWord(0xC0), "Default Cumulative Values");
    EXPECT_EQ(pcLine(0xC0, 0x3E, 1024), "  PC = Default Cumulative Values, Page Code = 3E, Length = 1024");

    EXPECT_EQ(logSenseCdb(0x80, 0x31, 0x1234),
              (std::array<uint8_t, 10>{0x4D, 0, 0xB1, 0, 0, 0, 0, 0x12, 0x34, 0}));

    EXPECT_EQ(allocationLengthFor(0), 68);
    EXPECT_EQ(allocationLengthFor(4), 8);
    EXPECT_EQ(allocationLengthFor(0xFFFB), 0xFFFF);
    EXPECT_EQ(allocationLengthFor(0xFFFF), 0xFFFF);  // the CDB field holds no more

    uint8_t pc = 0xFF;
    EXPECT_TRUE(parsePageControlName("default-threshold", pc));
    EXPECT_EQ(pc, 0x80);
    EXPECT_FALSE(parsePageControlName("saved", pc));
}

}  // namespace
