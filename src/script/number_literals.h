#pragma once
// Number literals of the script language: decimal ("100"), hexadecimal with a trailing H
// ("64H") or with a leading 0X and exactly 2, 4 or 8 digits ("0x64"). There is no sign.
#include <cstdint>
#include <string>
#include <string_view>

namespace vexal::script {

// Number-type codes of a literal: the narrowest scalar type that holds it.
inline constexpr int kNumberByte = 1;
inline constexpr int kNumberWord = 2;
inline constexpr int kNumberLong = 4;
inline constexpr int kNumberDouble = 8;
// Negative codes: the text is no number.
inline constexpr int kNumberBadHexDigit = -1;
inline constexpr int kNumberBadDigitCount = -2;
inline constexpr int kNumberBadDecimal = -3;

// The number-type code of `text` (compared upper-cased; the text is not trimmed).
// Hexadecimal width counts digits, not value: 0FFH is 1, 00FFH is 2.
int ClassifyNumber(std::string_view text);

// True when `text` is a literal of code 1, 2, 4 or 8.
inline bool IsNumberLiteral(std::string_view text) { return ClassifyNumber(text) > 0; }

// Every character is one of 0-9, A-F, a-f, '.', 'H', 'h' (so a 0X literal does not look like
// a number). An empty text does not look like a number.
bool LooksLikeNumber(std::string_view text);

// 16-bit value of a byte or word literal; FFFFh for any other text. Trims and upper-cases
// `text` in place, rewrites a 0X prefix as a trailing H and then drops the H, so that a
// buffer handed to it is left normalised (ATON relies on this).
uint16_t ParseWord(std::string& text);
// The same on a copy.
uint16_t ParseWordValue(std::string_view text);

// 32-bit value of a byte, word or long literal; FFFFFFFFh (-1) for text longer than 15
// characters or of any other code. The text is not changed.
uint32_t ParseLong(std::string_view text);

}  // namespace vexal::script
