// The FA dump wizard against the virtual drive: the READ BUFFER commands it sends, the
// .dmz it leaves (one deflated member: the dump and the customer records), its outcome
// messages and its failures.
#include <gtest/gtest.h>

#include "fadump/dump_files.h"
#include "fadump/dump_reader.h"
#include "fadump/fa_dump_wizard.h"
#include "fadump_test_support.h"
#include "support/fake_transport.h"

using namespace vexal::fadump;
using namespace vexal::fadump_test;
using vexal::ui::Icon;

namespace {

// "3C 02 82 00 80 00 00 80 00 00 -> GOOD 32768 in"
std::string traceLine(uint8_t mode, uint8_t id, uint32_t offset, uint32_t length, const std::string& outcome) {
    std::string cdb;
    for (uint8_t b : readBufferCdb(mode, id, offset, length)) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X ", b);
        cdb += hex;
    }
    return cdb + "-> " + outcome;
}

class WizardTest : public VirtualDriveFixture {
protected:
    fs::path dmz() const { return root.path() / "dumps/VD00000001.dmz"; }
    WizardResult run(const DumpSetup& setup) { return RunDumpWizard(*device, op, setup, info); }
    WizardResult runFull() {
        DumpSetup setup;
        setup.file = dmz();
        return run(setup);
    }
    // What READ BUFFER returns for one buffer, read straight from the drive.
    Bytes drive(uint8_t id, uint32_t length) {
        DumpReader reader(*device);
        Bytes b;
        EXPECT_TRUE(reader.data(id, 0, length, b));
        return b;
    }

    ProgressOperator op;
    CustomerInfo info;
};

TEST(ChunkPlanTest, ChunksOf32768AndTheRemainder) {
    const auto plan = chunkPlan(70000);
    ASSERT_EQ(plan.size(), 3u);
    EXPECT_EQ(plan[0].offset, 0u);
    EXPECT_EQ(plan[0].length, 32768u);
    EXPECT_EQ(plan[1].offset, 32768u);
    EXPECT_EQ(plan[1].length, 32768u);
    EXPECT_EQ(plan[2].offset, 65536u);
    EXPECT_EQ(plan[2].length, 4464u);
    EXPECT_EQ(chunkPlan(65536).size(), 2u);
    EXPECT_EQ(chunkPlan(65536).back().length, 32768u);
    EXPECT_EQ(chunkPlan(1).size(), 1u);
    EXPECT_TRUE(chunkPlan(0).empty());
}

TEST_F(WizardTest, LargeLayoutReadsThe70000ByteDumpInThreeChunks) {
    startDrive();
    const WizardResult r = runFull();
    ASSERT_TRUE(r.ok) << r.failure;
    EXPECT_EQ(r.layout, Layout::Large);
    EXPECT_EQ(r.dumpBytes, 70000u);
    EXPECT_EQ(readBufferTrace(), (std::vector<std::string>{
                                     traceLine(3, 0x81, 0, 4, "GOOD 4 in"),
                                     traceLine(2, 0x80, 0, 4096, "GOOD 4096 in"),
                                     traceLine(3, 0x82, 0, 4, "GOOD 4 in"),
                                     traceLine(2, 0x82, 0, 32768, "GOOD 32768 in"),
                                     traceLine(2, 0x82, 32768, 32768, "GOOD 32768 in"),
                                     traceLine(2, 0x82, 65536, 4464, "GOOD 4464 in"),
                                 }));
    // The progress bar: range n + 32768, one step of 32768 per chunk.
    EXPECT_EQ(op.rangeMaximum, 70000 + 32768);
    EXPECT_EQ(op.positions, (std::vector<int>{32768, 65536, 98304}));
    EXPECT_EQ(op.messages(), std::vector<std::string>{std::string(kSuccessText)});
    EXPECT_EQ(op.calls.back().icon, Icon::Information);
}

TEST_F(WizardTest, DmzHoldsOneDeflatedMemberWithTheDumpAndTheCustomerRecords) {
    startDrive();
    info[field::Name] = "Ann";
    info[field::Company] = "Acme";
    info[field::EmailAddress] = "ann@example.com";
    info[field::ToolName] = "Korvane Vexal";
    ASSERT_TRUE(runFull().ok);

    EXPECT_TRUE(fs::exists(dmz()));
    EXPECT_FALSE(fs::exists(withExtension(dmz(), ".dmp")));  // deleted once compressed
    EXPECT_EQ(permissions(dmz()), 0444u);
    const auto members = readZip(dmz());
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].name, "VD00000001.dmp");
    EXPECT_EQ(members[0].method, 8u);  // deflate

    const Bytes& dmp = members[0].data;
    const Bytes dump = drive(0x82, 70000);
    ASSERT_EQ(dmp.size(), 70000u + 44 + 45 + 54);
    EXPECT_TRUE(std::equal(dump.begin(), dump.end(), dmp.begin()));
    // The records follow the dump: name, three zero bytes, type 2, big-endian length, value.
    size_t at = 70000;
    for (const auto& [name, value] : {std::pair{"-Name", "Ann"}, {"-Company", "Acme"}, {"-Tool_Name", "Korvane Vexal"}}) {
        SCOPED_TRACE(name);
        ASSERT_LE(at + 40, dmp.size());
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&dmp[at])), name);
        EXPECT_TRUE(std::all_of(dmp.begin() + at + std::strlen(name), dmp.begin() + at + 35, [](uint8_t b) { return b == 0; }));
        EXPECT_EQ(dmp[at + 35], 2);
        const uint32_t length = (uint32_t{dmp[at + 36]} << 24) | (dmp[at + 37] << 16) | (dmp[at + 38] << 8) | dmp[at + 39];
        EXPECT_EQ(length, std::strlen(value) + 1);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&dmp[at + 40])), value);
        at += 40 + length;
    }
    EXPECT_EQ(at, dmp.size());
}

TEST_F(WizardTest, SmallLayoutReadsBufferA2) {
    startDrive("fa_dump_layout = small\n");
    const WizardResult r = runFull();
    ASSERT_TRUE(r.ok) << r.failure;
    EXPECT_EQ(r.layout, Layout::Small);
    EXPECT_EQ(readBufferTrace(), (std::vector<std::string>{
                                     traceLine(3, 0x81, 0, 4, "GOOD 4 in"),  // no buffer: capacity 0
                                     traceLine(3, 0xA0, 0, 4, "GOOD 4 in"),
                                     traceLine(2, 0xA0, 0, 1024, "GOOD 1024 in"),
                                     traceLine(3, 0xA2, 0, 4, "GOOD 4 in"),
                                     traceLine(2, 0xA2, 0, 32768, "GOOD 32768 in"),
                                     traceLine(2, 0xA2, 32768, 3232, "GOOD 3232 in"),
                                 }));
    const auto members = readZip(dmz());
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].data, drive(0xA2, 36000));
}

TEST_F(WizardTest, DriveWithoutDumpBuffersFailsAndLeavesNoFiles) {
    startDrive("fa_dump_layout = none\n");
    const WizardResult r = runFull();
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.failure.find("no dump buffers"), std::string::npos) << r.failure;
    EXPECT_EQ(readBufferTrace().size(), 2u);  // the descriptors of 81h and A0h
    EXPECT_EQ(op.messages(), std::vector<std::string>{std::string(kFailureText)});
    EXPECT_FALSE(fs::exists(dmz()));
    EXPECT_FALSE(fs::exists(withExtension(dmz(), ".dmp")));
    EXPECT_TRUE(fs::is_empty(dmz().parent_path()));  // no temporary file left either
}

TEST_F(WizardTest, EarlierDumpOfThatNameIsReplacedEvenWhenReadOnly) {
    startDrive();
    fs::create_directories(dmz().parent_path());
    writeText(dmz(), "old dump");
    fs::permissions(dmz(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    writeText(withExtension(dmz(), ".dmp"), "old raw dump");
    ASSERT_TRUE(runFull().ok);
    ASSERT_EQ(readZip(dmz()).size(), 1u);
    EXPECT_FALSE(fs::exists(withExtension(dmz(), ".dmp")));
}

TEST_F(WizardTest, CustomDumpReadsTheCheckedItemsInBufferOrder) {
    startDrive();
    DumpSetup setup;
    setup.file = dmz();
    setup.custom = true;
    setup.items = {true, false, true, true};  // LRAM, Test Registers, FA Dump
    const WizardResult r = run(setup);
    ASSERT_TRUE(r.ok) << r.failure;
    EXPECT_EQ(r.dumpBytes, 70000u + 65536 + 2048);
    std::vector<std::string> ids;
    for (const auto& line : readBufferTrace())
        if (line.compare(3, 2, "02") == 0) ids.push_back(line.substr(6, 2));
    EXPECT_EQ(ids, (std::vector<std::string>{"80", "82", "82", "82", "83", "83", "85"}));
    EXPECT_EQ(op.rangeMaximum, 70000 + 65536 + 2048 + 32768);
    const Bytes dmp = readZip(dmz()).at(0).data;
    const Bytes lram = drive(0x83, 65536);
    EXPECT_TRUE(std::equal(lram.begin(), lram.end(), dmp.begin() + 70000));

    // The small layout has the FA dump item only.
    EXPECT_EQ(dumpBuffers(setup, Layout::Small), std::vector<uint8_t>{0xA2});
    setup.items = {false, true, false, false};
    EXPECT_EQ(dumpBuffers(setup, Layout::Large), std::vector<uint8_t>{0x84});
    EXPECT_TRUE(dumpBuffers(setup, Layout::Small).empty());
}

TEST_F(WizardTest, FileErrorIsShownWithItsText) {
    startDrive();
    writeText(root.path() / "plain", "a file, not a folder");
    DumpSetup setup;
    setup.file = root.path() / "plain/VD00000001.dmz";
    const WizardResult r = run(setup);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.failureShown);
    const auto messages = op.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "All or part of the path is invalid: " + setup.file.string());
    EXPECT_EQ(messages[1], kFailureText);
    EXPECT_TRUE(readBufferTrace().empty());  // the drive is not read without a file
}

TEST_F(WizardTest, FileLocationAddsTheDefaultExtension) {
    startDrive();
    DumpSetup setup;
    setup.file = dmz();
    op.texts = {(root.path() / "elsewhere/case42").string()};
    ASSERT_TRUE(chooseDumpFile(op, setup));
    EXPECT_EQ(setup.file, root.path() / "elsewhere/case42.dmz");
    EXPECT_FALSE(chooseDumpFile(op, setup));  // cancelled: unchanged
    EXPECT_EQ(setup.file, root.path() / "elsewhere/case42.dmz");
}

// Drives the virtual bus cannot be: buffer 81h of a size that is no dump, and a dump buffer
// whose second chunk fails.
class ScriptedDriveTest : public ::testing::Test {
protected:
    void start(std::function<void(vexal::device::RequestBlock&)> handler) {
        auto t = std::make_shared<vexal::testing::FakeTransport>();
        transport = t.get();
        t->devices[{0, 0, 0}] = [inquiry = vexal::testing::FakeTransport::inquiryDevice(1), handler](auto& srb) {
            if (srb.cdb[0] == 0x12) inquiry(srb);
            else handler(srb);
        };
        vexal::device::DevSetTransport(t);
        ASSERT_EQ(vexal::device::DevEnumerate(), 0);
        device = std::make_unique<vexal::command::CScsiDevice>(output);
        ASSERT_TRUE(device->Select(0));
    }
    void TearDown() override {
        device.reset();
        vexal::device::DevFreeList();
        vexal::device::DevSetTransport(nullptr);
    }
    // Answers descriptors from `capacities` and data reads with zeros; `failAt` fails a
    // data read of buffer 82h at that offset with MEDIUM ERROR.
    static void answer(vexal::device::RequestBlock& srb, std::map<uint8_t, uint32_t> capacities, int64_t failAt) {
        if (srb.cdb[0] != 0x3C) return srb.status.store(vexal::device::srb_status::Complete);
        const uint32_t offset = (srb.cdb[3] << 16) | (srb.cdb[4] << 8) | srb.cdb[5];
        if (srb.cdb[1] == 3) {
            const uint32_t c = capacities[srb.cdb[2]];
            const uint8_t d[4] = {0, uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)};
            std::copy_n(d, std::min<uint32_t>(4, srb.bufferLength), srb.buffer);
        } else if (srb.cdb[2] == 0x82 && offset == failAt) {
            srb.status.store(vexal::device::srb_status::Error);
            srb.targetStatus = vexal::device::target_status::CheckCondition;
            const uint8_t sense[18] = {0x70, 0, 0x03, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x11, 0x00};
            std::copy_n(sense, sizeof sense, srb.senseArea.begin());
            srb.senseLength = sizeof sense;
            return;
        }
        srb.status.store(vexal::device::srb_status::Complete);
    }

    vexal::testing::TempRoot root;
    vexal::testing::FakeTransport* transport = nullptr;
    vexal::testing::RecordingOutput output{true};
    std::unique_ptr<vexal::command::CScsiDevice> device;
    ProgressOperator op;
};

TEST_F(ScriptedDriveTest, Buffer81OfAtMost2048BytesIsNoDumpSource) {
    for (uint32_t capacity : {1u, 2048u}) {
        SCOPED_TRACE(capacity);
        start([capacity](auto& srb) { answer(srb, {{0x81, capacity}, {0x82, 70000}}, -1); });
        DumpSetup setup;
        setup.file = root.path() / "x.dmz";
        const WizardResult r = RunDumpWizard(*device, op, setup, {});
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.failure.find(std::to_string(capacity) + " bytes"), std::string::npos) << r.failure;
        EXPECT_EQ(transport->cdbs.back()[2], 0x81);  // nothing read after the check
        EXPECT_FALSE(fs::exists(setup.file));
        TearDown();
    }
}

TEST_F(ScriptedDriveTest, Buffer81Of4096BytesIsDumpedFromBuffer82) {
    start([](auto& srb) { answer(srb, {{0x81, 4096}, {0x82, 40000}}, -1); });
    DumpSetup setup;
    setup.file = root.path() / "x.dmz";
    const WizardResult r = RunDumpWizard(*device, op, setup, {});
    ASSERT_TRUE(r.ok) << r.failure;
    EXPECT_EQ(r.dumpBytes, 40000u);
    EXPECT_EQ(readZip(setup.file).at(0).data.size(), 40000u);
}

TEST_F(ScriptedDriveTest, FailedChunkEndsTheWizardWithoutCompressing) {
    start([](auto& srb) { answer(srb, {{0x81, 4096}, {0x82, 70000}}, 32768); });
    DumpSetup setup;
    setup.file = root.path() / "dumps/x.dmz";
    const WizardResult r = RunDumpWizard(*device, op, setup, {});
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.failure.find("offset 32768"), std::string::npos) << r.failure;
    EXPECT_EQ(op.positions, std::vector<int>{32768});
    EXPECT_EQ(op.messages(), std::vector<std::string>{std::string(kFailureText)});
    EXPECT_TRUE(fs::is_empty(setup.file.parent_path()));
    const auto& last = transport->cdbs.back();
    EXPECT_EQ(last, readBufferCdb(2, 0x82, 32768, 32768));
}

}  // namespace
