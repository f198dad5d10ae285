// The data patterns: the bytes each pattern gives (against a byte-by-byte reference, at
// sizes that do not fall on a period), and compares that find the first difference while
// the compare keeps one pattern's bytes between commands.
#include "command/data_pattern.h"

#include <gtest/gtest.h>

#include <vector>

#include "command/command_request.h"

namespace vexal::command {
namespace {

// The pattern of one block, one byte at a time.
uint8_t referenceByte(int dataPattern, uint64_t blockNumber, size_t i) {
    switch (dataPattern) {
    case pattern::IncrementalWord: return static_cast<uint8_t>(static_cast<uint32_t>(i / 4) >> (8 * (i % 4)));
    case pattern::Zeros: return 0;
    case pattern::BlockNumberOnly: return i < 8 ? static_cast<uint8_t>(blockNumber >> (8 * (7 - i))) : 0;
    default: return static_cast<uint8_t>(i);
    }
}

TEST(DataPatternTest, PatternsGiveTheirBytesAtAnySize) {
    struct Case {
        int pattern;
        uint64_t command;
        uint32_t blockSize;
        size_t length;
    };
    const Case cases[] = {
        {pattern::IncrementalByte, 0, 0, 65536},  {pattern::IncrementalByte, 3, 512, 1000},
        {pattern::IncrementalByte, 0, 0, 255},    {pattern::IncrementalWord, 0, 0, 70001},
        {pattern::IncrementalWord, 2, 6, 30},     {pattern::Zeros, 1, 0, 17},
        {pattern::BlockNumberOnly, 5, 512, 1536}, {pattern::BlockNumberOnly, 7, 0, 5},
        {pattern::NoCompare, 0, 0, 300},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> got(c.length, 0xEE);
        fillPattern(c.pattern, c.command, c.blockSize, got);
        const size_t block = c.blockSize == 0 ? c.length : c.blockSize;
        const uint64_t perCommand = (c.length + block - 1) / block;
        for (size_t i = 0; i < c.length; ++i) {
            const uint8_t want = referenceByte(c.pattern, c.command * perCommand + i / block, i % block);
            ASSERT_EQ(got[i], want) << "pattern " << c.pattern << " length " << c.length << " at " << i;
        }
    }
}

TEST(DataPatternTest, RandomBlocksDifferByBlockNumberAndRepeat) {
    std::vector<uint8_t> a(4096), b(4096), again(4096);
    fillPattern(pattern::PseudoRandom, 0, 2048, a);
    fillPattern(pattern::PseudoRandom, 1, 2048, b);
    fillPattern(pattern::PseudoRandom, 0, 2048, again);
    EXPECT_EQ(a, again);
    EXPECT_NE(a, b);
    EXPECT_NE(std::vector<uint8_t>(a.begin(), a.begin() + 2048), std::vector<uint8_t>(a.begin() + 2048, a.end()));
}

TEST(DataPatternTest, CompareFindsTheFirstDifferenceAcrossPatternsAndShapes) {
    // One sequence of compares on one thread: the kept bytes must never leak from one
    // pattern, block size, length or command into the next.
    struct Step {
        int pattern;
        uint64_t command;
        uint32_t blockSize;
        size_t length;
        long long corruptAt;  // -1: the data is intact
    };
    const Step steps[] = {
        {pattern::IncrementalByte, 0, 0, 65536, -1}, {pattern::IncrementalByte, 1, 0, 65536, 40000},
        {pattern::IncrementalWord, 1, 0, 65536, -1}, {pattern::IncrementalWord, 1, 0, 65536, 3},
        {pattern::IncrementalByte, 1, 0, 1000, -1},  {pattern::IncrementalByte, 1, 100, 1000, -1},
        {pattern::IncrementalByte, 1, 100, 1000, 150}, {pattern::PseudoRandom, 4, 512, 4096, -1},
        {pattern::PseudoRandom, 5, 512, 4096, 4095}, {pattern::Zeros, 2, 0, 512, 0},
        {pattern::BlockNumberOnly, 9, 512, 2048, 1030}, {pattern::BlockNumberOnly, 9, 512, 2048, -1},
        {pattern::IncrementalByte, 0, 0, 0, -1},
    };
    for (const Step& s : steps) {
        std::vector<uint8_t> data(s.length);
        fillPattern(s.pattern, s.command, s.blockSize, data);
        if (s.corruptAt >= 0) data[static_cast<size_t>(s.corruptAt)] ^= 0x01;
        EXPECT_EQ(comparePattern(s.pattern, s.command, s.blockSize, data), s.corruptAt)
            << "pattern " << s.pattern << " length " << s.length << " block " << s.blockSize;
    }
    // The block number pattern checks only each block's first eight bytes.
    std::vector<uint8_t> data(1024);
    fillPattern(pattern::BlockNumberOnly, 3, 512, data);
    data[600] = 0x77;
    EXPECT_EQ(comparePattern(pattern::BlockNumberOnly, 3, 512, data), -1);
    EXPECT_EQ(comparePattern(pattern::NoCompare, 3, 512, std::vector<uint8_t>(64, 0x99)), -1);
}

}  // namespace
}  // namespace vexal::command
