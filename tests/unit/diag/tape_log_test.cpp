// The tape history log on the virtual drive: written to the first block and read back,
// the block that is not a record, and the question before data would be lost.
#include "diag/tape_log.h"

#include <gtest/gtest.h>

#include <fstream>

#include "device/device_library.h"
#include "device/virtual/virtual_transport.h"
#include "diag/debug_trace.h"
#include "support/fake_operator.h"
#include "support/test_root.h"
#include "support/recording_output.h"

using namespace vexal::diag;
using vexal::ui::Button;

namespace {

class TapeLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        auto transport = vexal::device::makeVirtualTransport("", error);
        ASSERT_TRUE(transport) << error;
        vexal::device::DevSetTransport(transport);
        ASSERT_EQ(vexal::device::DevEnumerate(), 0);
        ASSERT_TRUE(device.Select(0));
    }
    void TearDown() override {
        vexal::device::DevFreeList();
        vexal::device::DevSetTransport(nullptr);
    }
    bool seen(std::string_view line) const {
        return std::find(out.view.begin(), out.view.end(), line) != out.view.end();
    }
    void writeDataBlocks(int n) {
        vexal::command::CommandRequest w;
        w.transferLength = 1024;
        w.count = n;
        std::atomic<long> counter{0};
        std::atomic<int> abort{0};
        ASSERT_EQ(device.Rewind(), 0);
        ASSERT_EQ(device.Write(w, counter, abort), 0);
    }

    vexal::testing::TempRoot root;
    vexal::testing::FakeOperator op;
    vexal::testing::RecordingOutput out{true};
    vexal::command::CScsiDevice device{out};
};

TEST_F(TapeLogTest, AWrittenRecordIsReadBackWithItsLabel) {
    device.Inquiry(true);  // the serial number names the drive in a fresh record
    TapeLog log;
    EXPECT_EQ(log.Read(device), TapeLogRead::NotFound);  // a blank tape
    EXPECT_TRUE(seen("    ** Begin Reading Tape Log **"));
    EXPECT_TRUE(seen("   Searching for tape history data..."));
    op.texts = {"WEEKLY-07"};
    ASSERT_EQ(log.Write(device, op, false), TapeLogWrite::Written);
    EXPECT_TRUE(op.messages().empty());  // nothing to lose on a blank tape
    EXPECT_TRUE(seen("    ** End Writing Tape Log **"));

    TapeLog again;
    ASSERT_EQ(again.Read(device), TapeLogRead::Found);
    EXPECT_EQ(again.record().label(), "WEEKLY-07");
    EXPECT_EQ(again.record().driveLabel(), "VD00000001");
    out.view.clear();
    again.Show(device);
    EXPECT_EQ(out.view[0], " Tape Log:");
    EXPECT_EQ(out.view[1], "   Tape Label: WEEKLY-07");

    // Relabelling keeps the rest of the record; a record alone on the tape is replaced
    // without a question.
    ASSERT_EQ(again.Write(device, op, false, std::string("MONTHLY")), TapeLogWrite::Written);
    EXPECT_TRUE(op.messages().empty());
    TapeLog third;
    ASSERT_EQ(third.Read(device), TapeLogRead::Found);
    EXPECT_EQ(third.record().label(), "MONTHLY");
    EXPECT_EQ(third.record().value(history_field::Created), again.record().value(history_field::Created));
}

TEST_F(TapeLogTest, AFirstBlockThatIsNotARecordLeavesThePreviousRecord) {
    TapeLog log;
    ASSERT_EQ(log.Write(device, op, true, std::string("KEEP")), TapeLogWrite::Written);
    writeDataBlocks(1);
    EXPECT_EQ(log.Read(device), TapeLogRead::NotFound);
    EXPECT_TRUE(log.hasRecord());
    EXPECT_EQ(log.record().label(), "KEEP");
}

TEST_F(TapeLogTest, WritingOverDataAsksFirstAndNoLeavesTheTapeAlone) {
    writeDataBlocks(3);
    TapeLog log;
    op.buttons = {Button::No};
    EXPECT_EQ(log.Write(device, op, false, std::string("X")), TapeLogWrite::Cancelled);
    EXPECT_EQ(op.messages(), std::vector<std::string>{kOverwriteQuestion});
    EXPECT_FALSE(seen("    ** Begin Writing Tape Log **"));
    // The data is still there: three blocks before end of data.
    ASSERT_EQ(device.Rewind(), 0);
    EXPECT_EQ(device.Space(0, 3), 0);

    op.buttons = {Button::Yes};
    EXPECT_EQ(log.Write(device, op, false, std::string("X")), TapeLogWrite::Written);
    // A cancelled label dialog writes nothing.
    EXPECT_EQ(log.Write(device, op, false), TapeLogWrite::Cancelled);
}

TEST_F(TapeLogTest, DebugTraceFileAndBackupLog) {
    const auto folder = root.path() / "work";
    const auto path = ReadDebugTrace(device, op, folder, 3);
    ASSERT_FALSE(path.empty());
    std::tm now{};
    const std::time_t t = std::time(nullptr);
    localtime_r(&t, &now);
    EXPECT_EQ(path.filename().string(), debugTraceFileName(now, 0, 0, 3));
    EXPECT_EQ(op.messages(), std::vector<std::string>{"A debug trace log has been created named: " + path.string()});
    const std::string text = debugTraceText(std::vector<uint8_t>{0xAB, 0x01});
    EXPECT_EQ(text.substr(0, 57), "000000: AB 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00\r\n");
    EXPECT_EQ(text.substr(text.size() - 57, 8), "003000: ");
    EXPECT_EQ(text.size(), 769u * 57u);

    std::tm d{};
    d.tm_mday = 4;
    d.tm_mon = 10;
    EXPECT_EQ(debugTraceFileName(d, 1, 5, 2), "04-11DebugLogH1D5P2.hex");
    EXPECT_EQ(backupLogFileName(1, 5), "BackupLogH1D5.txt");
    ASSERT_TRUE(WriteBackupLog({"a", "b"}, folder, 1, 5));
    std::ifstream in(folder / "BackupLogH1D5.txt", std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(content, "a\r\nb\r\n");

    // A folder that cannot be made: the error line, no message.
    op.calls.clear();
    EXPECT_TRUE(ReadDebugTrace(device, op, "/proc/no-such-folder", 0).empty());
    EXPECT_EQ(out.view.back(), kDebugTraceFailed);
    EXPECT_TRUE(op.messages().empty());
}

}  // namespace
