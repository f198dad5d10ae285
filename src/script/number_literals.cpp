#include "script/number_literals.h"

#include <cstdlib>

namespace vexal::script {
namespace {

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool allHex(std::string_view s) {
    for (char c : s)
        if (!isHexDigit(c)) return false;
    return true;
}

bool startsWith0X(std::string_view s) { return s.size() >= 2 && s[0] == '0' && upper(s[1]) == 'X'; }
bool endsWithH(std::string_view s) { return !s.empty() && upper(s.back()) == 'H'; }

uint32_t hexValue(std::string_view digits) {
    uint32_t v = 0;
    for (char c : digits) {
        if (c == ' ' || c == '\t') continue;
        const char u = upper(c);
        v = (v << 4) | static_cast<uint32_t>(isDigit(u) ? u - '0' : u - 'A' + 10);
    }
    return v;
}

std::string trimmedUpper(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && isBlank(text[b])) ++b;
    while (e > b && isBlank(text[e - 1])) --e;
    std::string out(text.substr(b, e - b));
    for (char& c : out) c = upper(c);
    return out;
}

}  // namespace

int ClassifyNumber(std::string_view text) {
    if (startsWith0X(text)) {
        const std::string_view rest = text.substr(2);
        if (!allHex(rest)) return kNumberBadHexDigit;
        switch (rest.size()) {
            case 2: return kNumberByte;
            case 4: return kNumberWord;
            case 8: return kNumberLong;
            default: return kNumberBadDigitCount;
        }
    }
    if (endsWithH(text)) {
        const std::string_view rest = text.substr(0, text.size() - 1);
        if (!allHex(rest)) return kNumberBadHexDigit;
        const size_t n = rest.size();
        if (n >= 1 && n <= 2) return kNumberByte;
        if (n >= 3 && n <= 4) return kNumberWord;
        if (n >= 5 && n <= 8) return kNumberLong;
        return kNumberBadDigitCount;
    }
    bool point = false;
    for (char c : text) {
        if (c == '.') point = true;
        else if (!isDigit(c)) return kNumberBadDecimal;
    }
    if (point) return kNumberDouble;
    // Digits only: the value decides. Long digit strings are compared without overflow.
    const std::string digits(text);
    const double v = std::strtod(digits.c_str(), nullptr);
    if (v >= 2147483647.0) return kNumberDouble;
    if (v >= 65536.0) return kNumberLong;
    if (v >= 256.0) return kNumberWord;
    return kNumberByte;
}

bool LooksLikeNumber(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!isHexDigit(c) && c != '.' && c != 'H' && c != 'h') return false;
    return true;
}

uint16_t ParseWord(std::string& text) {
    text = trimmedUpper(text);
    const int code = ClassifyNumber(text);
    if (code != kNumberByte && code != kNumberWord) return 0xFFFF;
    if (startsWith0X(text)) text = text.substr(2) + "H";
    if (endsWithH(text)) {
        text.pop_back();
        return static_cast<uint16_t>(hexValue(text));
    }
    return static_cast<uint16_t>(std::strtol(text.c_str(), nullptr, 10) % 65536);
}

uint16_t ParseWordValue(std::string_view text) {
    std::string copy(text);
    return ParseWord(copy);
}

uint32_t ParseLong(std::string_view text) {
    if (text.size() > 15) return 0xFFFFFFFFu;
    const std::string t = trimmedUpper(text);
    const int code = ClassifyNumber(t);
    if (code != kNumberByte && code != kNumberWord && code != kNumberLong) return 0xFFFFFFFFu;
    if (startsWith0X(t)) return hexValue(std::string_view(t).substr(2));
    if (endsWithH(t)) return hexValue(std::string_view(t).substr(0, t.size() - 1));
    return static_cast<uint32_t>(std::strtol(t.c_str(), nullptr, 10));
}

}  // namespace vexal::script
