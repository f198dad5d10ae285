#pragma once
// Scrambled storage of script files: every byte of a file may be stored in one of three
// reversible forms. The form is recognised from the bytes themselves.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vexal::script {

enum class LockMode : int {
    NotText = -1,  // bytes with bit 7 set or zero bytes, in no scrambled form
    Plain = 0,
    HighBit = 1,   // every byte OR 80h
    Nibbles = 2,   // nibbles swapped and inverted
    Rotated = 3,   // OR 80h, then rotated right by the position modulo 8
};

// An empty file is plain.
LockMode RecogniseLockMode(std::string_view bytes);

uint8_t UnscrambleByte(uint8_t b, size_t position, LockMode mode);
uint8_t ScrambleByte(uint8_t b, size_t position, LockMode mode);

// The whole text in or out of a scrambled form; Plain and NotText copy.
std::string Unscramble(std::string_view bytes, LockMode mode);
std::string Scramble(std::string_view plain, LockMode mode);

}  // namespace vexal::script
