#include "command/data_pattern.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "command/command_request.h"

namespace vexal::command {
namespace {

void fillBlock(int dataPattern, uint64_t blockNumber, std::span<uint8_t> block) {
    switch (dataPattern) {
    case pattern::Zeros:
        std::fill(block.begin(), block.end(), uint8_t{0});
        return;
    case pattern::IncrementalWord:
        for (size_t i = 0; i < block.size(); ++i) {
            const uint32_t word = static_cast<uint32_t>(i / 4);
            block[i] = static_cast<uint8_t>(word >> (8 * (i % 4)));
        }
        return;
    case pattern::PseudoRandom: {
        // xorshift64*, seeded by the block number: reproducible, incompressible.
        uint64_t state = (blockNumber + 1) * 0x9E3779B97F4A7C15ULL;
        for (size_t i = 0; i < block.size(); i += 8) {
            state ^= state >> 12;
            state ^= state << 25;
            state ^= state >> 27;
            const uint64_t value = state * 0x2545F4914F6CDD1DULL;
            std::memcpy(block.data() + i, &value, std::min<size_t>(8, block.size() - i));
        }
        return;
    }
    case pattern::BlockNumberOnly:
        std::fill(block.begin(), block.end(), uint8_t{0});
        for (size_t i = 0; i < 8 && i < block.size(); ++i)
            block[i] = static_cast<uint8_t>(blockNumber >> (8 * (7 - i)));
        return;
    default:  // incremental byte, and what "no compare" writes
        for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i);
        return;
    }
}

}  // namespace

void fillPattern(int dataPattern, uint64_t commandIndex, uint32_t blockSize, std::span<uint8_t> buffer) {
    const size_t size = blockSize == 0 ? buffer.size() : blockSize;
    const uint64_t blocksPerCommand = size == 0 ? 1 : (buffer.size() + size - 1) / size;
    for (size_t offset = 0, n = 0; offset < buffer.size(); offset += size, ++n)
        fillBlock(dataPattern, commandIndex * blocksPerCommand + n,
                  buffer.subspan(offset, std::min(size, buffer.size() - offset)));
}

long long comparePattern(int dataPattern, uint64_t commandIndex, uint32_t blockSize, std::span<const uint8_t> got) {
    if (dataPattern == pattern::NoCompare) return -1;
    std::vector<uint8_t> expected(got.size());
    fillPattern(dataPattern, commandIndex, blockSize, expected);
    const size_t checked = dataPattern == pattern::BlockNumberOnly ? std::min<size_t>(8, got.size()) : got.size();
    if (dataPattern == pattern::BlockNumberOnly && blockSize != 0) {
        for (size_t offset = 0; offset < got.size(); offset += blockSize)
            for (size_t i = offset; i < offset + 8 && i < got.size(); ++i)
                if (got[i] != expected[i]) return static_cast<long long>(i);
        return -1;
    }
    const auto mismatch = std::mismatch(got.begin(), got.begin() + static_cast<long>(checked), expected.begin());
    return mismatch.first == got.begin() + static_cast<long>(checked) ? -1 : mismatch.first - got.begin();
}

std::string_view patternName(int dataPattern) {
    switch (dataPattern) {
    case pattern::IncrementalByte: return " Incremental Byte";
    case pattern::Zeros: return " Zeros";
    case pattern::NoCompare: return " No Compare";
    case pattern::BlockNumberOnly: return " Compare Block Number Only";
    default: return " ?";
    }
}

bool parsePatternName(std::string_view text, int& dataPattern) {
    struct Name {
        std::string_view text;
        int value;
    };
    static constexpr std::array<Name, 6> kNames{{{"incr", pattern::IncrementalByte},
                                                 {"word", pattern::IncrementalWord},
                                                 {"zeros", pattern::Zeros},
                                                 {"random", pattern::PseudoRandom},
                                                 {"nocompare", pattern::NoCompare},
                                                 {"blocknum", pattern::BlockNumberOnly}}};
    for (const Name& n : kNames)
        if (n.text == text) {
            dataPattern = n.value;
            return true;
        }
    return false;
}

}  // namespace vexal::command
