#include "command/data_pattern.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "command/command_request.h"

namespace vexal::command {
namespace {

// One period of the incremental byte pattern.
constexpr std::array<uint8_t, 256> kIncrementalBytes = [] {
    std::array<uint8_t, 256> bytes{};
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
    return bytes;
}();

void fillBlock(int dataPattern, uint64_t blockNumber, std::span<uint8_t> block) {
    switch (dataPattern) {
    case pattern::Zeros:
        std::memset(block.data(), 0, block.size());
        return;
    case pattern::IncrementalWord: {
        // The word index, least significant byte first, in every four bytes.
        const size_t words = block.size() / 4;
        uint8_t* out = block.data();
        for (size_t w = 0; w < words; ++w, out += 4) {
            const uint32_t word = static_cast<uint32_t>(w);
            out[0] = static_cast<uint8_t>(word);
            out[1] = static_cast<uint8_t>(word >> 8);
            out[2] = static_cast<uint8_t>(word >> 16);
            out[3] = static_cast<uint8_t>(word >> 24);
        }
        for (size_t i = words * 4; i < block.size(); ++i)
            block[i] = static_cast<uint8_t>(static_cast<uint32_t>(i / 4) >> (8 * (i % 4)));
        return;
    }
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
        for (size_t at = 0; at < block.size(); at += kIncrementalBytes.size())
            std::memcpy(block.data() + at, kIncrementalBytes.data(), std::min(kIncrementalBytes.size(), block.size() - at));
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

bool patternRepeatsEveryCommand(int dataPattern) {
    return dataPattern == pattern::IncrementalByte || dataPattern == pattern::IncrementalWord ||
           dataPattern == pattern::Zeros || dataPattern == pattern::NoCompare;
}

namespace {

// The expected bytes of the last compare on this thread. A pattern that does not depend on
// the block number is kept for the next command of the same shape, so a long read run
// generates it once; the others are regenerated into the same storage.
struct ExpectedData {
    std::vector<uint8_t> bytes;
    int pattern = -1;
    uint32_t blockSize = 0;
    bool valid = false;

    std::span<const uint8_t> get(int dataPattern, uint64_t commandIndex, uint32_t size, size_t length) {
        if (!(valid && patternRepeatsEveryCommand(dataPattern) && pattern == dataPattern && blockSize == size && bytes.size() == length)) {
            bytes.resize(length);
            fillPattern(dataPattern, commandIndex, size, bytes);
            pattern = dataPattern;
            blockSize = size;
            valid = true;
        }
        return bytes;
    }
};

}  // namespace

long long comparePattern(int dataPattern, uint64_t commandIndex, uint32_t blockSize, std::span<const uint8_t> got) {
    if (dataPattern == pattern::NoCompare) return -1;
    thread_local ExpectedData cache;
    const std::span<const uint8_t> expected = cache.get(dataPattern, commandIndex, blockSize, got.size());
    const size_t checked = dataPattern == pattern::BlockNumberOnly ? std::min<size_t>(8, got.size()) : got.size();
    if (dataPattern == pattern::BlockNumberOnly && blockSize != 0) {
        for (size_t offset = 0; offset < got.size(); offset += blockSize)
            for (size_t i = offset; i < offset + 8 && i < got.size(); ++i)
                if (got[i] != expected[i]) return static_cast<long long>(i);
        return -1;
    }
    if (checked == 0 || std::memcmp(got.data(), expected.data(), checked) == 0) return -1;
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
