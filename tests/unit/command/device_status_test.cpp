// The status lines of a command that went to a device: the sense comes from the library.
#include <gtest/gtest.h>

#include "command/scsi_result.h"
#include "command/sense_decoder.h"
#include "device/device_library.h"
#include "support/recording_output.h"
#include "support/fake_transport.h"

using namespace vexal::command;
using namespace vexal::device;
using vexal::testing::FakeTransport;
using vexal::testing::RecordingOutput;

namespace {

class DeviceStatusTest : public ::testing::Test {
protected:
    void TearDown() override {
        DevFreeList();
        DevSetTransport(nullptr);
    }
};

TEST_F(DeviceStatusTest, SenseIsFetchedFromTheLibraryAndMissingBytesReadAsZero) {
    auto transport = std::make_shared<FakeTransport>();
    transport->devices[{0, 0, 0}] = [](RequestBlock& srb) {
        if (srb.cdb[0] == 0x12) return FakeTransport::inquiryDevice(1)(srb);
        srb.targetStatus = target_status::CheckCondition;
        srb.senseArea.fill(0x5A);  // beyond the 18 bytes delivered: must not be shown
        srb.senseArea[0] = 0x70;
        srb.senseArea[1] = 0x00;
        srb.senseArea[2] = 0x03;
        for (size_t i = 3; i < 18; ++i) srb.senseArea[i] = 0;
        srb.senseArea[12] = 0x11;
        srb.senseArea[13] = 0x00;
        srb.senseLength = 18;
        srb.status.store(srb_status::Error);
    };
    DevSetTransport(transport);
    ASSERT_EQ(DevEnumerate(), 0);
    const uint8_t cdb[6] = {0x08, 0, 0, 0, 1, 0};
    const int failed = DevExecute(0, cdb, 6, 0, 0);
    uint8_t scratch[16];
    const ScsiResult result = resultFromLibrary(failed, DevGetStatus(0, scratch, sizeof scratch));
    ASSERT_EQ(result, 1);

    RecordingOutput out;
    DeviceStatusState state;
    EXPECT_EQ(LogCommandStatus(result, 0, out, state), 0x1100);
    ASSERT_EQ(out.view.size(), 9u);
    EXPECT_EQ(out.view[0], " [Vexal_CmdStatus: UNRECOVERED_READ_ERROR");
    EXPECT_EQ(out.view[2], " RAW_DATA: 29");
    EXPECT_EQ(out.view[4], "  000010: 00 00 00 00 00 00 00 00 00 00 00 00 00            .............");
    EXPECT_EQ(out.view[6], "   Sense Key: 0x03 (Medium Error)");
}

TEST_F(DeviceStatusTest, HandleWithoutSenseLeavesNoSenseLines) {
    RecordingOutput out;
    DeviceStatusState state;
    state.lastStatus = "SCSI_GOOD";
    EXPECT_EQ(LogCommandStatus(1, 42, out, state), 1);  // no such device: no sense to name it by
    EXPECT_TRUE(out.view.empty());
    EXPECT_TRUE(out.log.empty());
    EXPECT_EQ(state.lastStatus, "SCSI_GOOD");
    // A transport failure is named, with no sense lines.
    EXPECT_EQ(LogCommandStatus(0xAB11, 42, out, state), 0xAB11);
    EXPECT_EQ(out.view, std::vector<std::string>{" [Vexal_CmdStatus: SRB_HASTAT_SELECTION_TIMEOUT"});
    out.view.clear();

    EXPECT_EQ(LogCommandStatus(0, 42, out, state), 0);
    EXPECT_EQ(out.view, std::vector<std::string>{" [Vexal_CmdStatus: SCSI_GOOD"});
}

}  // namespace
