// The structure decoders: exact lines, the limits on counts taken from the data, and
// short or garbled buffers; the tape history record's view.
#include "diag/tape_structures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "diag/structure_views.h"
#include "diag/tape_history.h"

using namespace vexal::diag;

namespace {

size_t countPrefix(const std::vector<std::string>& lines, std::string_view prefix) {
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
        return l.rfind(prefix, 0) == 0;
    }));
}

bool contains(const std::vector<std::string>& lines, std::string_view line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(FilemarkTable, UsedEntriesShowTheirLocationMostSignificantByteFirstAndUnusedOnlyTheirNumber) {
    std::vector<uint8_t> t(kFilemarkTableSize, 0);
    t[0] = 1;
    t[5] = 3;
    const uint8_t entries[3][4] = {{0x44, 0x33, 0x22, 0x11}, {0x00, 0x00, 0x00, 0xFF}, {0x01, 0x00, 0x00, 0x00}};
    for (size_t i = 0; i < 3; ++i) std::copy(entries[i], entries[i] + 4, t.begin() + 16 + 4 * i);
    EXPECT_EQ(filemarkTableLines(t),
              (std::vector<std::string>{"   Partition Number: 1 ", "   Total Entries: 3 ", "   Rewrite #0:",
                                        "    Filemark Physical Location: (0x11223344)", "   Rewrite #1:",
                                        "   Rewrite #2:", "    Filemark Physical Location: (0x00000001)"}));
}

TEST(FilemarkTable, CountsAreHeldToTheTableAndShortBuffersEndWithALine) {
    std::vector<uint8_t> t(kFilemarkTableSize, 0);
    t[4] = 0xFF;  // 65535 entries claimed
    t[5] = 0xFF;
    EXPECT_EQ(countPrefix(filemarkTableLines(t), "   Rewrite #"), 256u);

    t.resize(30);  // three entries' room, fewer than claimed
    const auto lines = filemarkTableLines(t);
    EXPECT_EQ(countPrefix(lines, "   Rewrite #"), 3u);
    EXPECT_EQ(lines.back(), dataEndsLine(30));
    EXPECT_EQ(filemarkTableLines({}), std::vector<std::string>{dataEndsLine(0)});
}

std::vector<uint8_t> trackTable(bool half) {
    std::vector<uint8_t> t(kTrackTableSize, 0);
    t[0] = 2;  // partition 0 columns: one used, one numbered 0
    t[1] = 1;
    t[28] = 0x17;
    t[29] = 0x01;
    t[30] = 0x00;
    t[31] = half ? 0x30 : 0x18;
    const size_t tracks = half ? 48 : 24, marks = half ? 400 : 208;
    uint8_t* c = &t[32];
    c[0] = 7;
    c[7] = 0x10;
    c[11] = 0x20;
    c[13] = 0x05;
    std::fill(c + 16, c + 16 + 8 * tracks, 0xFF);
    c[16 + 8 * (tracks - 1) + 7] = 0x42;  // the last track's first logical frame ...
    std::fill(c + 16 + 8 * (tracks - 1), c + 16 + 8 * (tracks - 1) + 7, 0);
    c[marks + 2 * (tracks - 1) + 1] = 9;  // ... and its filemark count
    return t;
}

TEST(TrackTable, FullPitchLinesForLine) {
    const auto lines = trackTableLines(trackTable(false));
    const std::vector<std::string> expected{
        "    Number of Partition 0 Columns: 0x02",
        "    Number of Partition 1 Columns: 0x01",
        "    Reverse Return Track: 0x17",
        "    Forward Return Track: 0x01",
        "    Tracks in Column Descriptions: 0x0018",
        "   Partition 0 Columns:",
        "   Column Number: 0x07",
        "    Starting Corner Physical Frame Address: 0x00000010",
        "    Opposite Corner Physical Frame Address: 0x00000020",
        "    Column Width: 0x0005",
        "    Track 23 First Logical Frame Address: 0x0000000000000042",
        "    Track 23 Filemark Count: 0x0009",
        "    Partition 0 EOD Physical Frame Address: 0x00000000",
        "   Partition 1 Columns:",
        "    Partition 1 EOD Physical Frame Address: 0x00000000",
    };
    EXPECT_EQ(lines, expected);
}

TEST(TrackTable, HalfPitchUses504ByteColumnsWith48Tracks) {
    const auto lines = trackTableLines(trackTable(true));
    EXPECT_TRUE(contains(lines, "    HALF TRACK PITCH TAPE DETECTED"));
    EXPECT_TRUE(contains(lines, "    Track 47 First Logical Frame Address: 0x0000000000000042"));
    EXPECT_TRUE(contains(lines, "    Track 47 Filemark Count: 0x0009"));
    EXPECT_EQ(countPrefix(lines, "    Track "), 2u);
    EXPECT_EQ(countPrefix(lines, "   Column Number:"), 1u);
    EXPECT_FALSE(contains(lines, "    Track 23 First Logical Frame Address: 0x0000000000000042"));
}

TEST(TrackTable, ColumnCountsBeyondTheTableStopAtItsLayout) {
    auto t = trackTable(false);
    t[0] = 0xFF;  // more partition 0 columns than the 64 the table holds
    t[1] = 0xFF;
    for (size_t i = 0; i < 64; ++i) t[32 + 256 * i] = static_cast<uint8_t>(i + 1);
    t[16420] = 0x70;
    const auto lines = trackTableLines(t);
    EXPECT_EQ(countPrefix(lines, "   Column Number:"), 64u + 1u);  // partition 1 has room for one
    EXPECT_EQ(lines.back(), "    Partition 1 EOD Physical Frame Address: 0x00000000");
}

TEST(DefectMap, AtMost4096EntriesAreListed) {
    std::vector<uint8_t> d(kDefectMapSize, 0);
    std::copy_n("DMAP", 4, d.begin());
    d[6] = 5000 >> 8;
    d[7] = 5000 & 0xFF;
    d[8 + 3] = 0x01;
    d[8 + 7] = 0x02;
    const auto lines = defectMapLines(d);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "   Defect Map Frame:");
    EXPECT_EQ(lines[2], "    Defect Map Signature: DMAP");
    EXPECT_EQ(lines[3], "    Number of Entries: 5000");
    EXPECT_EQ(lines[4], "    Begin Bad Sector: 0x00000001");
    EXPECT_EQ(lines[5], "    End Bad Sector: 0x00000002");
    EXPECT_EQ(countPrefix(lines, "    Begin Bad Sector:"), 4096u);
    EXPECT_EQ(countPrefix(lines, "    End Bad Sector:"), 4096u);

    d.resize(8 + 8 * 2 + 4);  // two entries and half of a third
    const auto shortLines = defectMapLines(d);
    EXPECT_EQ(countPrefix(shortLines, "    Begin Bad Sector:"), 3u);
    EXPECT_EQ(countPrefix(shortLines, "    End Bad Sector:"), 2u);
    EXPECT_EQ(shortLines.back(), dataEndsLine(d.size()));
}

TEST(AuxFrame, DatEntriesWithTheirFlagNamesHeldToTheRoomBeforeTheFilemarkCount) {
    std::vector<uint8_t> a(kAuxFrameSize, 0);
    std::copy_n("KVXL", 4, a.begin() + 4);
    a[56] = 8;
    a[58] = 0xFF;  // more entries than fit before offset 192
    a[60 + 3] = 0x80;
    a[60 + 5] = 1;
    a[60 + 6] = 0xCD;  // EXT CMP BOLG EOLG MARK
    a[195] = 3;
    const auto lines = auxFrameLines(a);
    EXPECT_EQ(lines[0], "    Application Signature: KVXL");
    EXPECT_TRUE(contains(lines, "    DAT Entries: 0xFF"));
    EXPECT_TRUE(contains(lines, "    Entries 0x00:"));
    EXPECT_TRUE(contains(lines, "    Logical Block Size: 0x00000080"));
    EXPECT_TRUE(contains(lines, "    Number of Logical Elements: 0x0001"));
    EXPECT_TRUE(contains(lines, "    DAT Entry Flags: 0xCD"));
    EXPECT_TRUE(contains(lines, "     EXT CMP BOLG EOLG MARK"));
    EXPECT_EQ(countPrefix(lines, "    Entries 0x"), 16u);
    EXPECT_EQ(lines[lines.size() - 3], "    Filemark Count: 0x00000003");
    EXPECT_EQ(datFlagNames(0x00), "");
    EXPECT_EQ(datFlagNames(0x41), " CMP MARK");
}

TEST(HeaderFrame, VersionOneHasNoTrackTableAndPartitionsAreHeldToThePartitionList) {
    std::vector<uint8_t> h(kHeaderFrameSize, 0);
    std::copy_n("HDR\x01XYZW", 8, h.begin());
    h[8] = 2;
    h[9] = 1;
    h[16] = 1;
    h[21] = 1;  // version 1: no track table
    std::vector<uint8_t> aux(kAuxFrameSize, 0);
    auto lines = headerFrameLines(h, aux);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "   Header Frame Data:");
    EXPECT_EQ(lines[2], "    ID String: HDR.XYZW");
    EXPECT_EQ(lines[3], "    Revision: 2.1");
    EXPECT_EQ(lines[4], "    Partition List:");
    EXPECT_EQ(lines[5], "    Number of Partitions: 0x01");
    EXPECT_EQ(lines[6], "   Partition Description:");
    EXPECT_EQ(lines[8], "    Partition Version: 0x01");
    EXPECT_FALSE(contains(lines, "   Track Table:"));
    EXPECT_TRUE(contains(lines, "    Last Mark Frame Address (Linear): 0x00000000"));

    h[21] = 2;
    h[16] = 0xC8;  // 200 partitions claimed; the list has room for 30
    lines = headerFrameLines(h, aux);
    EXPECT_EQ(countPrefix(lines, "   Partition Description:"), 30u + 1u);  // and the AUX one
    EXPECT_TRUE(contains(lines, "   Track Table:"));
}

TEST(StructureDecoders, GarbledAndShortBuffersNeverReadOutsideTheirData) {
    std::mt19937 random(7);
    for (const auto& source : structureSources()) {
        for (size_t length : {size_t{0}, size_t{1}, size_t{5}, size_t{17}, size_t{31}, size_t{200}, size_t{600},
                              size_t{17000}, size_t{source.length}}) {
            std::vector<uint8_t> data(length);
            for (auto& b : data) b = static_cast<uint8_t>(random());
            const auto lines = structureLines(source.kind, data);  // ASan catches a stray read
            if (length < 8) EXPECT_FALSE(lines.empty());
        }
    }
}

TEST(TapeHistory, ViewLinesAndTheMediaLifeWarningAbove5000Passes) {
    std::tm when{};
    when.tm_mday = 7;
    when.tm_mon = 2;
    when.tm_year = 124;
    when.tm_hour = 9;
    when.tm_min = 5;
    when.tm_sec = 3;
    auto r = TapeHistoryRecord::fresh("BACKUP-0001", "VD00000001", when);
    r.setValue(history_field::FramesWritten, 1234);
    r.setValue(history_field::LifePasses, kMediaLifePasses);
    const auto lines = r.lines();
    EXPECT_EQ(lines[0], " Tape Log:");
    EXPECT_EQ(lines[1], "   Tape Label: BACKUP-0001");
    EXPECT_EQ(lines[2], "   Creation Time and Date (dd-mm-yyyy): 09:05:03  07-03-2024");
    EXPECT_EQ(lines[4], "   Last Written In Drive Label: VD00000001");
    EXPECT_EQ(lines[5], "   Total Frames Written: 1234");
    EXPECT_EQ(lines[14], "   Estimated Life Passes: 5000");
    EXPECT_EQ(lines.back(), "");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "   WARNING: Media life may be exceeded"), 0);

    r.setValue(history_field::LifePasses, kMediaLifePasses + 1);
    const auto warned = r.lines();
    EXPECT_EQ(warned[warned.size() - 2], "   WARNING: Media life may be exceeded");

    const auto block = r.block();
    ASSERT_EQ(block.size(), kTapeLogBlockSize);
    EXPECT_TRUE(TapeHistoryRecord::isRecord(block));
    EXPECT_EQ(block[88], 1234 & 0xFF);  // little-endian
    EXPECT_EQ(block[89], 1234 >> 8);
    std::vector<uint8_t> other(block);
    other[3] = ' ';  // "ADR " is not the signature
    EXPECT_FALSE(TapeHistoryRecord::isRecord(other));
    EXPECT_FALSE(TapeHistoryRecord::isRecord(std::span(block).first(100)));
}

}  // namespace
