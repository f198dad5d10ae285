#include "diag/eeprom_write.h"

#include <algorithm>

#include "diag/eeprom_page.h"

namespace vexal::diag {
namespace {

// A word of the page's text: printable, no blanks.
bool isWord(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c > 0x20 && c < 0x7F; });
}

}  // namespace

std::string eepromWriteText(std::string_view name, std::string_view value) {
    if (!isWord(name) || !isWord(value)) return {};
    std::string text = std::string(name) + " " + std::string(value);
    if (text.size() > kEepromWriteMaxText) return {};
    return text;
}

std::array<uint8_t, 6> eepromWriteCdb(size_t textLength) {
    return {0x15, 0x10, 0x00, 0x00, static_cast<uint8_t>(textLength + 7), 0x00};
}

std::vector<uint8_t> eepromWriteParameterList(std::string_view text) {
    // Header, page header, the text and its terminating zero.
    std::vector<uint8_t> list(6 + text.size() + 1, 0);
    list[2] = 0x10;
    list[4] = kEepromPageCode;
    list[5] = static_cast<uint8_t>(text.size() + 1);
    std::copy(text.begin(), text.end(), list.begin() + 6);
    return list;
}

EepromWriteOutcome WriteEepromParameter(command::CScsiDevice& device, std::string_view name, std::string_view value) {
    EepromWriteOutcome outcome;
    const std::string text = eepromWriteText(name, value);
    if (text.empty()) return outcome;
    auto cdb = eepromWriteCdb(text.size());
    std::vector<uint8_t> list = eepromWriteParameterList(text);
    outcome.sent = true;
    outcome.result = device.ExecuteCdb(cdb.data(), static_cast<int>(cdb.size()), list.data(),
                                       static_cast<uint32_t>(list.size()), true);
    return outcome;
}

}  // namespace vexal::diag
