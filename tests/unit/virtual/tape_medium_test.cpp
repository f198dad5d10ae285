// The record model under the virtual tape: compact storage must never change what reads back.
#include <gtest/gtest.h>

#include "device/virtual/tape_medium.h"
#include "virtual_bus.h"

using vexal::device::virt::TapeMedium;
using vexal::testing::pattern;

namespace {

std::vector<uint8_t> readBack(const TapeMedium& m, size_t index) {
    std::vector<uint8_t> out(m.record(index).length);
    EXPECT_EQ(m.readBlock(index, out.data(), out.size()), out.size());
    return out;
}

TEST(TapeMediumTest, RepeatedAndUniformBlocksReadBackExactlyAndStayCompact) {
    TapeMedium m(64ull << 20);
    const auto a = pattern(65536, 1), b = pattern(65536, 2);
    const std::vector<uint8_t> zeros(65536, 0), sevens(1000, 7);
    std::vector<std::vector<uint8_t>> written;
    size_t position = 0;
    auto write = [&](const std::vector<uint8_t>& block) {
        m.writeBlock(position++, block.data(), static_cast<uint32_t>(block.size()));
        written.push_back(block);
    };
    for (int i = 0; i < 100; ++i) write(a);
    write(zeros);
    write(b);
    write(a);
    write(sevens);
    m.writeFilemarks(position, 2);
    position += 2;
    written.emplace_back();
    written.emplace_back();
    EXPECT_EQ(m.objectCount(), 106u);
    EXPECT_LE(m.arena().size(), 3u * 65536);  // a, b and a again; repeats and uniform blocks cost nothing
    EXPECT_EQ(m.bytesRecorded(), 103ull * 65536 + 1000);
    for (size_t i = 0; i < 104; ++i) EXPECT_EQ(readBack(m, i), written[i]) << i;
    EXPECT_TRUE(m.isFilemark(104));
    EXPECT_EQ(m.filemarksBefore(106), 2u);
}

TEST(TapeMediumTest, OverwritingDropsTheRestAndKeepsWhatCameBefore) {
    TapeMedium m(64ull << 20);
    for (uint8_t i = 0; i < 6; ++i) {
        const auto block = pattern(5000, i);
        m.writeBlock(i, block.data(), 5000);
    }
    // Overwrite at 3 with a copy of block 2: it may share block 2's bytes.
    const auto copy = pattern(5000, 2);
    m.writeBlock(3, copy.data(), 5000);
    EXPECT_EQ(m.objectCount(), 4u);
    EXPECT_EQ(m.arena().size(), 3u * 5000);
    // Cutting back to 3 keeps blocks 0..2 intact, and new data goes after them.
    m.truncate(3);
    const auto fresh = pattern(2000, 9);
    m.writeBlock(3, fresh.data(), 2000);
    for (uint8_t i = 0; i < 3; ++i) EXPECT_EQ(readBack(m, i), pattern(5000, i));
    EXPECT_EQ(readBack(m, 3), fresh);
    EXPECT_EQ(m.bytesBefore(4), 17000u);
    m.clear();
    EXPECT_EQ(m.objectCount(), 0u);
    EXPECT_TRUE(m.arena().empty());
}

TEST(TapeMediumTest, EarlyWarningZone) {
    struct Case {
        uint64_t capacity, zone;
    } cases[] = {{256ull << 20, (256ull << 20) / 100}, {64ull << 20, 2ull << 20}, {1ull << 20, 512ull << 10}};
    for (const auto& c : cases) {
        TapeMedium m(c.capacity);
        EXPECT_EQ(m.earlyWarningZone(), c.zone);
        EXPECT_FALSE(m.inEarlyWarning(c.capacity - c.zone));
        EXPECT_TRUE(m.inEarlyWarning(c.capacity - c.zone + 1));
    }
}

TEST(TapeMediumTest, PartsFromAFileAreChecked) {
    using R = TapeMedium::Record;
    struct Case {
        const char* name;
        std::vector<R> records;
        size_t arena;
        bool ok;
    } cases[] = {
        {"blocks and a filemark", {{0, 10, TapeMedium::Kind::Data, 0}, {0, 0, TapeMedium::Kind::Filemark, 0}}, 10, true},
        {"shared block", {{0, 10, TapeMedium::Kind::Data, 0}, {0, 10, TapeMedium::Kind::Data, 0}}, 10, true},
        {"past the data", {{0, 11, TapeMedium::Kind::Data, 0}}, 10, false},
        {"offset overflow", {{~0ull, 2, TapeMedium::Kind::Data, 0}}, 10, false},
        {"stored data left over", {{0, 5, TapeMedium::Kind::Data, 0}}, 10, false},
        {"pointing backwards", {{5, 5, TapeMedium::Kind::Data, 0}, {0, 5, TapeMedium::Kind::Data, 0}}, 10, false},
        {"filemark with a length", {{0, 3, TapeMedium::Kind::Filemark, 0}}, 0, false},
        {"block too long", {{0, 0x1000000, TapeMedium::Kind::Fill, 0}}, 0, false},
        {"unknown kind", {{0, 0, static_cast<TapeMedium::Kind>(7), 0}}, 0, false},
    };
    for (const auto& c : cases) {
        TapeMedium m;
        std::string problem;
        EXPECT_EQ(TapeMedium::fromParts(c.records, std::vector<uint8_t>(c.arena, 1), 1 << 20, m, problem), c.ok)
            << c.name;
        EXPECT_EQ(problem.empty(), c.ok) << c.name;
    }
}

}  // namespace
