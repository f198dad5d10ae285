#include "script/scramble.h"

namespace vexal::script {
namespace {

uint8_t rotl(uint8_t b, unsigned n) {
    n &= 7;
    return n == 0 ? b : static_cast<uint8_t>((b << n) | (b >> (8 - n)));
}
uint8_t rotr(uint8_t b, unsigned n) {
    n &= 7;
    return n == 0 ? b : static_cast<uint8_t>((b >> n) | (b << (8 - n)));
}

}  // namespace

LockMode RecogniseLockMode(std::string_view bytes) {
    if (bytes.empty()) return LockMode::Plain;
    bool allBit7 = true, allBit3 = true, allRotated = true, anyBit7 = false, anyZero = false;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        if (b & 0x80) anyBit7 = true;
        else allBit7 = false;
        if (!(b & 0x08)) allBit3 = false;
        if (!(b & (0x80u >> (i % 8)))) allRotated = false;
        if (b == 0) anyZero = true;
    }
    if (allBit7) return LockMode::HighBit;
    if (allBit3) return LockMode::Nibbles;
    if (allRotated) return LockMode::Rotated;
    if (anyBit7 || anyZero) return LockMode::NotText;
    return LockMode::Plain;
}

uint8_t UnscrambleByte(uint8_t b, size_t position, LockMode mode) {
    switch (mode) {
        case LockMode::HighBit: return b & 0x7F;
        case LockMode::Nibbles: return static_cast<uint8_t>(~((b << 4) | (b >> 4)));
        case LockMode::Rotated: return rotl(b, static_cast<unsigned>(position % 8)) & 0x7F;
        default: return b;
    }
}

uint8_t ScrambleByte(uint8_t b, size_t position, LockMode mode) {
    switch (mode) {
        case LockMode::HighBit: return b | 0x80;
        case LockMode::Nibbles: return static_cast<uint8_t>(((b >> 4) ^ 0x0F) | ((~b) << 4));
        case LockMode::Rotated: return rotr(b | 0x80, static_cast<unsigned>(position % 8));
        default: return b;
    }
}

std::string Unscramble(std::string_view bytes, LockMode mode) {
    std::string out(bytes);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(UnscrambleByte(static_cast<uint8_t>(out[i]), i, mode));
    return out;
}

std::string Scramble(std::string_view plain, LockMode mode) {
    std::string out(plain);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(ScrambleByte(static_cast<uint8_t>(out[i]), i, mode));
    return out;
}

}  // namespace vexal::script
