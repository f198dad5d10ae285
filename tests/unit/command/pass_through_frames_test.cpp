// Command frames on a drive that behaves as the kernel's SG_IO does: on CHECK CONDITION a
// residual of 0 and the previous command's bytes left in the buffer; a pass-through that
// fails with an errno and no status at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "command/scsi_device.h"
#include "device/device_library.h"
#include "support/fake_transport.h"
#include "support/recording_output.h"
#include "support/test_root.h"

using namespace vexal::command;
using namespace vexal::device;
using vexal::testing::FakeTransport;
using vexal::testing::RecordingOutput;

namespace {

class PassThroughFramesTest : public ::testing::Test {
protected:
    void SetUp() override {
        transport = std::make_shared<FakeTransport>();
        transport->node = "/dev/sg3";
        transport->devices[{0, 0, 0}] = [this](RequestBlock& srb) {
            if (srb.cdb[0] == 0x12 && srb.cdb[1] == 0) return FakeTransport::inquiryDevice(1)(srb);
            // Whatever the command, the buffer holds stale bytes and the residual is 0.
            if (srb.buffer) std::memset(srb.buffer, 0x5A, srb.bufferLength);
            srb.residual = 0;
            srb.systemError = systemError;
            if (systemError) return srb.status.store(srb_status::InvalidSrb);
            if (sense.empty()) return srb.status.store(srb_status::Complete);
            srb.targetStatus = target_status::CheckCondition;
            std::copy(sense.begin(), sense.end(), srb.senseArea.begin());
            srb.senseLength = static_cast<uint8_t>(sense.size());
            srb.status.store(srb_status::Error);
        };
        DevSetTransport(transport);
        ASSERT_EQ(DevEnumerate(), 0);
    }
    void TearDown() override {
        DevFreeList();
        DevSetTransport(nullptr);
    }
    bool contains(const std::string& text) const {
        return std::find(out.view.begin(), out.view.end(), text) != out.view.end();
    }
    bool anyStartsWith(std::string_view prefix) const {
        return std::any_of(out.view.begin(), out.view.end(),
                           [&](const std::string& l) { return std::string_view(l).starts_with(prefix); });
    }

    vexal::testing::TempRoot root;
    std::shared_ptr<FakeTransport> transport;
    std::vector<uint8_t> sense;
    int systemError = 0;
    RecordingOutput out{true};
};

const std::vector<uint8_t> kInvalidOpcode{0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x20, 0x00};

TEST_F(PassThroughFramesTest, RefusedDataInCommandsShowAndDecodeNoData) {
    CScsiDevice d(out);
    ASSERT_TRUE(d.Select(0));
    sense = kInvalidOpcode;

    EXPECT_EQ(d.ReadBlockLimits(), 0x2000);
    EXPECT_TRUE(contains(" RAW_DATA: 0"));
    EXPECT_FALSE(anyStartsWith("   Maximum Block Length"));
    EXPECT_FALSE(anyStartsWith("   Granularity"));

    out.view.clear();
    std::vector<uint8_t> results;
    EXPECT_EQ(d.ReceiveDiagnostic(64, &results), 0x2000);
    EXPECT_TRUE(results.empty());
    EXPECT_TRUE(contains(" RAW_DATA: 0"));

    out.view.clear();
    CommandRequest custom;
    custom.cdb = {0x3C, 0x02, 0, 0, 0, 0, 0, 0, 0x20, 0};
    custom.data.assign(32, 0xEE);
    d.CustomCdb(custom);
    EXPECT_TRUE(contains(" RAW_DATA: 0"));
    EXPECT_EQ(custom.data, std::vector<uint8_t>(32, 0x00));  // no stale byte is handed on

    // The same commands ending GOOD show what was sent.
    sense.clear();
    out.view.clear();
    EXPECT_EQ(d.ReadBlockLimits(), 0);
    EXPECT_TRUE(contains(" RAW_DATA: 6"));
    EXPECT_TRUE(anyStartsWith("   Maximum Block Length: 5921370"));
}

TEST_F(PassThroughFramesTest, ReadEndingInIliShowsTheBytesItsResidueLeaves) {
    CScsiDevice d(out);
    ASSERT_TRUE(d.Select(0));
    // ILI with a VALID residue of 12: 4 of the 16 bytes came.
    sense = {0xF0, 0, 0x20, 0, 0, 0, 12, 10, 0, 0, 0, 0, 0, 0};
    CommandRequest r;
    r.transferLength = 16;
    r.count = 1;
    std::atomic<long> counter{0};
    std::atomic<int> abort{0};
    d.Read(r, counter, abort);
    EXPECT_EQ(d.transferred(), 4u);
    EXPECT_TRUE(contains(" RAW_DATA: 4"));
}

TEST_F(PassThroughFramesTest, PassThroughFailureEndsWithItsStatusAndTheSystemError) {
    CScsiDevice d(out);
    ASSERT_TRUE(d.Select(0));
    sense = kInvalidOpcode;
    EXPECT_NE(d.TestUnitReady(), 0);  // leaves sense behind

    systemError = ENODEV;
    out.view.clear();
    EXPECT_EQ(d.ReadBlockLimits(), 0xAAE0);
    EXPECT_TRUE(contains(" [Vexal_CmdStatus: SRB_STATUS_INVALID_SRB"));
    EXPECT_TRUE(contains(" [Vexal_System_Error: /dev/sg3: No such device]"));
    EXPECT_TRUE(contains(" RAW_DATA: 0"));
    EXPECT_FALSE(anyStartsWith("   Sense Key"));  // the earlier command's sense is not this one's
    EXPECT_TRUE(anyStartsWith("[Vexal_Command_Done"));
    EXPECT_EQ(d.status.lastStatus, "SRB_STATUS_INVALID_SRB");
}

TEST_F(PassThroughFramesTest, RefusedResetIsNamedWithoutAnEarlierCommandsSense) {
    CScsiDevice d(out);
    ASSERT_TRUE(d.Select(0));
    sense = kInvalidOpcode;
    EXPECT_NE(d.TestUnitReady(), 0);

    transport->resetErrno = EACCES;
    out.view.clear();
    EXPECT_EQ(d.ResetBus(), 0xAAE0);
    EXPECT_TRUE(contains(" [Vexal_CmdStatus: SRB_STATUS_INVALID_SRB"));
    EXPECT_TRUE(contains(" [Vexal_System_Error: /dev/sg3: Permission denied]"));
    EXPECT_FALSE(anyStartsWith("   ASC:"));

    transport->resetErrno = 0;
    out.view.clear();
    EXPECT_EQ(d.ResetBus(), 0);
    EXPECT_TRUE(contains(" [Vexal_CmdStatus: SCSI_GOOD"));
}

}  // namespace
