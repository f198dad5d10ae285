#pragma once
// ASCII upper-casing for keywords and setting values (the locale plays no part: a script
// or a setting reads the same everywhere).
#include <string>
#include <string_view>

namespace vexal::platform {

inline char upperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string upperCopy(std::string_view text);
// `word` equals `upperKeyword` (already upper case) in any case.
bool equalsUpper(std::string_view word, std::string_view upperKeyword);

}  // namespace vexal::platform
