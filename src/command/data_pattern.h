#pragma once
// Data patterns for WRITE and the compare of READ: the same pattern and command number
// always give the same bytes, so that what one run writes another can check.
#include <cstdint>
#include <span>
#include <string_view>

namespace vexal::command {

// Fills `buffer` for command number `commandIndex` (0, 1, 2, ...) with blocks of
// `blockSize` bytes (0: one block).
void fillPattern(int dataPattern, uint64_t commandIndex, uint32_t blockSize, std::span<uint8_t> buffer);

// True when the pattern gives every command the same bytes (it does not depend on the
// block number).
bool patternRepeatsEveryCommand(int dataPattern);

// Compares `got` with the pattern; returns the offset of the first difference, or -1.
long long comparePattern(int dataPattern, uint64_t commandIndex, uint32_t blockSize, std::span<const uint8_t> got);

// " Incremental Byte", " Zeros", " No Compare", " Compare Block Number Only", " ?"
std::string_view patternName(int dataPattern);

// Parses the names a terminal user types: incr, word, zeros, random, nocompare, blocknum.
bool parsePatternName(std::string_view text, int& dataPattern);

}  // namespace vexal::command
