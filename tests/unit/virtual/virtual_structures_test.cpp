// The tape structures and trace memory of the virtual tape drive through READ BUFFER:
// what they hold after writing, their descriptors and bounds, and the trace of commands.
#include <gtest/gtest.h>

#include "device/virtual/tape_structure_buffers.h"
#include "diag/structure_views.h"
#include "diag/tape_structures.h"
#include "support/test_root.h"
#include "virtual_bus.h"

using namespace vexal::device;
using vexal::device::virt::TapeStructureBuffers;
using vexal::testing::Answer;
using vexal::testing::TempRoot;
using vexal::testing::VirtualBus;

namespace {

class VirtualStructuresTest : public ::testing::Test {
protected:
    void start(const std::string& profile = "") {
        std::string error;
        auto transport = profile.empty() ? makeVirtualTransport("", error)
                                         : vexal::testing::transportFromProfile(root, profile, &error);
        ASSERT_TRUE(transport) << error;
        bus = std::make_unique<VirtualBus>(transport);
    }
    Answer read(uint8_t mode, uint8_t id, uint32_t offset, uint32_t length) {
        return bus->in(0, {0x3C, mode, id, uint8_t(offset >> 16), uint8_t(offset >> 8), uint8_t(offset),
                           uint8_t(length >> 16), uint8_t(length >> 8), uint8_t(length), 0},
                       length);
    }
    std::vector<std::string> decoded(vexal::diag::StructureKind kind) {
        const auto& s = vexal::diag::structureSource(kind);
        const Answer a = read(0x02, s.bufferId, 0, s.length);
        EXPECT_TRUE(a.good()) << a.kcq();
        return vexal::diag::structureLines(kind, a.data);
    }
    static bool has(const std::vector<std::string>& lines, std::string_view line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    TempRoot root;
    std::unique_ptr<VirtualBus> bus;
};

TEST_F(VirtualStructuresTest, StructuresFollowWhatIsOnTheTape) {
    start();
    ASSERT_TRUE(bus->rewind().good());
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(bus->writeVariable(vexal::testing::pattern(40000, uint8_t(i))).good());
    ASSERT_TRUE(bus->writeFilemarks(2).good());
    ASSERT_TRUE(bus->writeVariable(vexal::testing::pattern(100)).good());

    const auto marks = decoded(vexal::diag::StructureKind::FilemarkTable);
    EXPECT_TRUE(has(marks, "   Total Entries: 2 "));
    EXPECT_TRUE(has(marks, "    Filemark Physical Location: (0x00000043)"));  // 120000 bytes in: frame 3 after 64

    const auto header = decoded(vexal::diag::StructureKind::HeaderFrame);
    EXPECT_TRUE(has(header, "    ID String: KVXHDR01"));
    EXPECT_TRUE(has(header, "   Track Table:"));
    EXPECT_TRUE(has(header, "    Track 0 Filemark Count: 0x0002"));
    EXPECT_TRUE(has(header, "    Application Signature: KVXL"));
    EXPECT_TRUE(has(header, "    Frame Type: 0x0010"));

    ASSERT_TRUE(bus->rewind().good());
    const auto aux = decoded(vexal::diag::StructureKind::Aux);
    EXPECT_TRUE(has(aux, "    Physical Frame Address: 0x00000040"));
    EXPECT_TRUE(has(aux, "    DAT Entries: 0x01"));  // the first 32 KiB frame holds the start of block 0
    EXPECT_TRUE(has(aux, "    Logical Block Size: 0x00009C40"));
    EXPECT_TRUE(has(aux, "     EXT CMP BOLG"));  // block 0 begins here and goes on into the next frame

    const auto eod = decoded(vexal::diag::StructureKind::EodFrame);
    EXPECT_EQ(eod[1], "   EOD Frame Data Structure:");
    EXPECT_TRUE(has(eod, "    Number of Partition 0 Columns: 0x04"));

    const auto defects = decoded(vexal::diag::StructureKind::DefectMap);
    EXPECT_TRUE(has(defects, "    Number of Entries: 0"));
}

TEST_F(VirtualStructuresTest, DefectMapListsTheInjectedMediumError) {
    start("[target 0]\nmedium_error_at = 0\n");
    const auto defects = decoded(vexal::diag::StructureKind::DefectMap);
    EXPECT_TRUE(has(defects, "    Number of Entries: 1"));
    EXPECT_TRUE(has(defects, "    Begin Bad Sector: 0x00000400"));
    EXPECT_TRUE(has(defects, "    End Bad Sector: 0x0000040F"));
}

TEST_F(VirtualStructuresTest, DescriptorsOffsetsAndTheCartridge) {
    start("[target 0]\ncartridge = no\n");
    Answer a = read(0x03, TapeStructureBuffers::kTraceMemory, 0, 4);
    ASSERT_TRUE(a.good());
    EXPECT_EQ((a.data[1] << 16) | (a.data[2] << 8) | a.data[3], 12304);
    // Offsets within the buffer read from there; beyond it are refused.
    a = read(0x02, TapeStructureBuffers::kTraceMemory, 8, 8);
    EXPECT_TRUE(a.good());
    a = read(0x02, TapeStructureBuffers::kTraceMemory, 12304, 8);
    EXPECT_EQ(a.kcq(), "5/24/00");
    // The tape structures need a cartridge; the trace memory does not.
    a = read(0x02, TapeStructureBuffers::kFilemarkTable, 0, 1040);
    EXPECT_EQ(a.kcq(), "2/3A/00");
    a = read(0x01, TapeStructureBuffers::kFilemarkTable, 0, 16);
    EXPECT_EQ(a.kcq(), "5/24/00");
}

TEST_F(VirtualStructuresTest, TraceMemoryKeepsTheLast768CommandsOldestFirst) {
    start();
    ASSERT_TRUE(bus->tur().good());
    Answer a = read(0x02, TapeStructureBuffers::kTraceMemory, 0, TapeStructureBuffers::kTraceSize);
    ASSERT_TRUE(a.good());
    EXPECT_EQ(std::string(a.data.begin(), a.data.begin() + 8), "KVXTRACE");
    const uint32_t used = (a.data[8] << 8) | a.data[9];
    ASSERT_GE(used, 1u);
    const uint8_t* last = &a.data[16 + 16 * (used - 1)];
    EXPECT_EQ(last[2], 0x00);  // TEST UNIT READY, GOOD
    EXPECT_EQ(last[12], 0x00);

    for (int i = 0; i < 800; ++i) bus->none(0, {0x00, 0, 0, 0, 0, 0});
    ASSERT_TRUE(bus->rewind().good());
    ASSERT_EQ(bus->readVariable(16).kcq(), "8/00/05");  // at end of data of the blank tape
    a = read(0x02, TapeStructureBuffers::kTraceMemory, 0, TapeStructureBuffers::kTraceSize);
    EXPECT_EQ((a.data[8] << 8) | a.data[9], 768);
    const uint8_t* newest = &a.data[16 + 16 * 767];
    EXPECT_EQ(newest[2], 0x08);
    EXPECT_EQ(newest[12], 0x02);
    EXPECT_EQ(newest[13] & 0x0F, 0x08);
    EXPECT_EQ(newest[15], 0x05);
    EXPECT_EQ(a.data[16 + 16 * 766 + 2], 0x01);  // the REWIND before it
    EXPECT_EQ(a.data[16 + 16 * 765 + 2], 0x00);
}

}  // namespace
