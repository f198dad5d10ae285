// Command frames on the virtual drive: the execute path, the mode rules and the exact lines.
#include <gtest/gtest.h>

#include <regex>

#include "command/raw_data.h"
#include "command/scsi_device.h"
#include "command/scsi_result.h"
#include "device/device_library.h"
#include "device/virtual/virtual_transport.h"
#include "support/test_root.h"
#include "support/recording_output.h"

using namespace vexal::command;
using vexal::testing::RecordingOutput;

namespace {

class CommandFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        auto transport = vexal::device::makeVirtualTransport("", error);
        ASSERT_TRUE(transport) << error;
        vexal::device::DevSetTransport(transport);
        ASSERT_EQ(vexal::device::DevEnumerate(), 0);
    }
    void TearDown() override {
        vexal::device::DevFreeList();
        vexal::device::DevSetTransport(nullptr);
    }
    CScsiDevice device(RecordingOutput& out) {
        CScsiDevice d(out);
        EXPECT_TRUE(d.Select(0));
        return d;
    }
    vexal::testing::TempRoot root;
};

const std::regex kSent(R"(\[Vexal_Command_Sent on \d\d/\d\d/\d{4} at \d\d:\d\d:\d\d\.\d{3} H:0 T:0 L:0 Device:SKTX VIRTUAL\])");
const std::regex kDone(R"(\[Vexal_Command_Done on \d\d/\d\d/\d{4} at \d\d:\d\d:\d\d\.\d{3}\])");

TEST_F(CommandFrameTest, TestUnitReadyFrameLineForLine) {
    RecordingOutput out(true);
    CScsiDevice d = device(out);
    EXPECT_EQ(d.TestUnitReady(), 0);
    ASSERT_EQ(out.view.size(), 6u);
    EXPECT_EQ(out.view[0], "");
    EXPECT_TRUE(std::regex_match(out.view[1], kSent)) << out.view[1];
    EXPECT_EQ(out.view[2], " TestUnitReady");
    EXPECT_EQ(out.view[3], " RAW_CDB: 00 00 00 00 00 00");
    EXPECT_EQ(out.view[4], " [Vexal_CmdStatus: SCSI_GOOD");
    EXPECT_TRUE(std::regex_match(out.view[5], kDone)) << out.view[5];
    // The log file has the same lines but the empty one, all at level 0.
    ASSERT_EQ(out.log.size(), 5u);
    for (const auto& [level, line] : out.log) EXPECT_EQ(level, 0) << line;
    EXPECT_EQ(d.status.lastStatus, "SCSI_GOOD");
}

TEST_F(CommandFrameTest, CustomerModeWritesOnlyTheLinesThatIgnoreTheMode) {
    RecordingOutput out(false);
    CScsiDevice d = device(out);
    EXPECT_EQ(d.TestUnitReady(), 0);
    EXPECT_TRUE(out.view.empty());
    // TEST UNIT READY's RAW_CDB line reaches the log file in every mode.
    ASSERT_EQ(out.log.size(), 1u);
    EXPECT_EQ(out.log[0].second, " RAW_CDB: 00 00 00 00 00 00");
    EXPECT_EQ(d.status.lastStatus, "SCSI_GOOD");

    // A command only the engineering menus offer writes its name and CDB regardless.
    out.view.clear();
    out.log.clear();
    EXPECT_EQ(d.WriteFilemarks(0), 0);
    EXPECT_EQ(out.view, (std::vector<std::string>{" WriteFilemarks", "  Count = 0", " RAW_CDB: 10 00 00 00 00 00"}));
}

TEST_F(CommandFrameTest, ReadThatMeetsAFilemark) {
    RecordingOutput out(true);
    CScsiDevice d = device(out);
    std::atomic<long> counter{0};
    std::atomic<int> abort{0};
    CommandRequest request;
    request.transferLength = 512;
    ASSERT_EQ(d.Write(request, counter, abort), 0);
    ASSERT_EQ(d.WriteFilemarks(1), 0);
    ASSERT_EQ(d.Rewind(), 0);
    ASSERT_EQ(d.Read(request, counter, abort), 0);
    out.view.clear();
    EXPECT_NE(d.Read(request, counter, abort), 0);
    EXPECT_EQ(d.status.lastStatus, "FILEMARK_DETECTED");

    const auto status = std::find(out.view.begin(), out.view.end(), " [Vexal_CmdStatus: FILEMARK_DETECTED");
    ASSERT_NE(status, out.view.end());
    const std::vector<std::string> after(status, out.view.end() - 1);
    ASSERT_EQ(after.size(), 9u);
    EXPECT_EQ(after[1], " [Vexal_Check_Condition: AutoRequestSense]");
    EXPECT_EQ(after[2], " RAW_DATA: 29");
    EXPECT_EQ(after[3].substr(0, 10), "  000000: ");
    EXPECT_EQ(after[3].substr(16, 2), "80");  // FILEMARK, sense key 0
    EXPECT_EQ(after[5], "   Error Code: Current Error");
    EXPECT_EQ(after[6], "   Sense Key: 0x00 (No Sense)");
    EXPECT_EQ(after[7], "   Flags:  FM");
    EXPECT_EQ(after[8], "   ASC: 0x00  ASCQ: 0x01");
    EXPECT_EQ(d.status.lastSense.fm, 1);
    EXPECT_EQ(d.status.lastSense.ascq, 1);
}

TEST_F(CommandFrameTest, RepeatedWritesThenReadsWithCompare) {
    RecordingOutput out(true);
    CScsiDevice d = device(out);
    std::atomic<long> counter{0};
    std::atomic<int> abort{0};
    CommandRequest request;
    request.transferLength = 65536;
    request.count = 1000;
    request.dataPattern = 3;  // pseudo-random, differs per command
    ASSERT_EQ(d.Write(request, counter, abort), 0);
    EXPECT_EQ(d.completedCommands, 1000);
    ASSERT_EQ(d.Rewind(), 0);
    request.compare = true;
    ASSERT_EQ(d.Read(request, counter, abort), 0);
    EXPECT_EQ(d.completedCommands, 1000);
    EXPECT_EQ(d.compareErrors, 0);
    EXPECT_EQ(counter.load(), 2000);
    EXPECT_NE(std::find(out.view.begin(), out.view.end(), "  Completed Consecutive Command Count: 1000"),
              out.view.end());

    // Read again from the start with another pattern: the first command miscompares.
    ASSERT_EQ(d.Rewind(), 0);
    request.dataPattern = 0;
    out.view.clear();
    EXPECT_EQ(d.Read(request, counter, abort), 0);
    EXPECT_EQ(d.compareErrors, 1);
    EXPECT_EQ(d.completedCommands, 1);
    EXPECT_NE(std::find(out.view.begin(), out.view.end(), "  [Vexal_ERROR: Compare error]"), out.view.end());
    EXPECT_NE(std::find(out.view.begin(), out.view.end(), " [Vexal_Compare_Error: Data Miscompare at offset 0]"),
              out.view.end());
}

TEST_F(CommandFrameTest, CustomCdbOfEightBytesIsLoggedWithSixAndNoDataMeansNoDump) {
    RecordingOutput out(true);
    CScsiDevice d = device(out);
    CommandRequest request;
    request.cdb = {0x00, 0, 0, 0, 0, 0, 0, 0};
    d.CustomCdb(request);
    EXPECT_NE(std::find(out.view.begin(), out.view.end(), "  CDB: 00 00 00 00 00 00"), out.view.end());
    for (const auto& line : out.view) EXPECT_EQ(line.find("RAW_DATA"), std::string::npos);
    EXPECT_EQ(d.status.lastSense, LastSense{});  // none before the command, and GOOD leaves none
}

TEST(RawDataTest, ShortRowIsPaddedSoTheTextColumnLinesUp) {
    const uint8_t data[5] = {0x41, 0x42, 0x00, 0x7F, 0x80};
    const auto lines = rawDataLines(data, 5);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], " RAW_DATA: 5");
    EXPECT_EQ(lines[1], "  000000: 41 42 00 7F 80" + std::string(3 + 11 * 3, ' ') + "AB...");
    EXPECT_EQ(rawDataLines(data, 0), std::vector<std::string>{" RAW_DATA: 0"});
}

TEST(ScsiResultTest, LastErrorMapping) {
    const std::pair<int, ScsiResult> cases[] = {{0, 1},       {2, 0xAA02},  {3, 0xAA03},   {0xE0, 0xAAE0},
                                                {0xE6, 0xAAE6}, {9, 0xAB09}, {0x11, 0xAB11}, {0x14, 0xAB14},
                                                {0x10, 0xAB10}, {0x82, 0xAB10}, {-1, 0xAB10}};
    for (const auto& [lastError, expected] : cases) EXPECT_EQ(resultFromLibrary(1, lastError), expected) << lastError;
    EXPECT_EQ(resultFromLibrary(0, 9), 0);
}

}  // namespace

namespace {

TEST_F(CommandFrameTest, InquiryShowsTheVendorBlockOnlyForSupportedDrives) {
    for (const auto& [family, expectBlock] : {std::pair<uint8_t, bool>{10, true}, {254, false}, {255, false}}) {
        RecordingOutput out(true);
        CScsiDevice d = device(out);
        d.familyCode = family;
        EXPECT_EQ(d.Inquiry(), 0);
        const bool hasBlock =
            std::find(out.view.begin(), out.view.end(), "   Product Family: 100.0+ / 200.0+") != out.view.end();
        EXPECT_EQ(hasBlock, expectBlock) << int(family);
        EXPECT_NE(std::find(out.view.begin(), out.view.end(), "   Vendor ID: KORVANE "), out.view.end());
        EXPECT_EQ(d.inquiryData().size(), 64u);
    }
}

TEST_F(CommandFrameTest, UnitSerialNumberBecomesTheStoredSerial) {
    RecordingOutput out(true);
    CScsiDevice d = device(out);
    EXPECT_EQ(d.Inquiry(true), 0);
    EXPECT_EQ(d.serialNumber, "VD00000001");
    EXPECT_NE(std::find(out.view.begin(), out.view.end(), "   Unit Serial Number: VD00000001"), out.view.end());
    CScsiDevice again(out);
    ASSERT_TRUE(again.Select(0));
    EXPECT_EQ(again.serialNumber, "VD00000001");
}

}  // namespace
