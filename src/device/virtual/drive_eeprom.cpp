#include "device/virtual/drive_eeprom.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

#include "device/virtual/cartridge_file.h"
#include "device/virtual/profile_keys.h"
#include "platform/ini_file.h"

namespace vexal::device::virt {
namespace {

constexpr std::string_view kTitle = "SKTX EEPROM PARAMETERS\n";
// Short enough that MODE SENSE(6) holds the whole page.
constexpr std::string_view kHeading = "Name Type Current Default Min Max\n";

bool parseLong(std::string_view v, long& out) {
    if (v.empty()) return false;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), out);
    return ec == std::errc{} && end == v.data() + v.size();
}

std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> out;
    size_t at = 0;
    while ((at = text.find_first_not_of(" \t\r\n", at)) != std::string_view::npos) {
        const size_t end = std::min(text.find_first_of(" \t\r\n", at), text.size());
        out.push_back(text.substr(at, end - at));
        at = end;
    }
    return out;
}

}  // namespace

DriveEeprom::DriveEeprom()
    : settings_{
          {kLoadCountThreshold, 'd', "50", "50", 2, 50},
          {"KorvCleanNotify", 'b', "1", "1", 0, 1},
          {"KorvSleepMinutes", 'd', "30", "30", 0, 240},
          {"KorvDriveLabel", 'A', "VEXALVD", "VEXALVD", 1, 16},
          {"KorvLedLevel", 'd', "3", "3", 1, 5},
      } {}

std::vector<uint8_t> DriveEeprom::page(bool defaults) const {
    std::string text(kTitle);
    text += kHeading;
    text += "* host settable\n";
    for (const EepromSetting& s : settings_) {
        text += s.name;
        if (s.type != 'd') (text += ' ') += s.type;
        text += ' ';
        text += defaults ? std::string(s.defaultValue) : s.current;
        text += ' ';
        text += s.defaultValue;
        text += ' ' + std::to_string(s.minimum) + ' ' + std::to_string(s.maximum) + '\n';
    }
    // Page code, page length, the text and its terminating zero. The page length has one
    // byte; the mode data length of the header is what counts.
    std::vector<uint8_t> out(2 + text.size() + 1, 0);
    out[0] = kPageCode;
    out[1] = static_cast<uint8_t>(std::min<size_t>(text.size() + 1, 0xFF));
    std::copy(text.begin(), text.end(), out.begin() + 2);
    return out;
}

EepromSetting* DriveEeprom::find(std::string_view name) {
    for (EepromSetting& s : settings_)
        if (s.name == name) return &s;
    return nullptr;
}

bool DriveEeprom::valid(const EepromSetting& s, std::string_view value) {
    if (s.type == 'A')
        return static_cast<long>(value.size()) >= s.minimum && static_cast<long>(value.size()) <= s.maximum;
    long n = 0;
    return parseLong(value, n) && n >= s.minimum && n <= s.maximum;
}

bool DriveEeprom::select(const uint8_t* data, size_t length, size_t offset, Sense& error) {
    if (length - offset < 2) {
        error = makeSense(sense_key::IllegalRequest, 0x1A, 0x00);
        return false;
    }
    const size_t pageLength = data[offset + 1];
    if (length - offset - 2 < pageLength) {
        error = makeSense(sense_key::IllegalRequest, 0x1A, 0x00);
        return false;
    }
    const char* text = reinterpret_cast<const char*>(data + offset + 2);
    const std::string_view line(text, std::find(text, text + pageLength, '\0') - text);
    const auto w = words(line);
    EepromSetting* s = w.size() == 2 ? find(w[0]) : nullptr;
    if (!s || !valid(*s, w[1])) {
        error = invalidParameterField(static_cast<uint16_t>(offset + 2));
        return false;
    }
    s->current = std::string(w[1]);
    changed_ = true;
    return true;
}

long DriveEeprom::loadCountThreshold() const {
    long n = 0;
    for (const EepromSetting& s : settings_)
        if (s.name == kLoadCountThreshold && parseLong(s.current, n)) return n;
    return 0;
}

bool DriveEeprom::load(const std::filesystem::path& path, std::string& error) {
    std::ifstream in(path);
    if (!in) return true;  // never changed: the defaults
    std::string line;
    while (std::getline(in, line)) {
        const std::string_view l = trimBlanks(line);
        if (l.empty()) continue;
        const auto eq = l.find('=');
        EepromSetting* s = eq == std::string_view::npos ? nullptr : find(l.substr(0, eq));
        // A parameter this drive no longer has, or a value out of its range, is dropped.
        if (s && valid(*s, l.substr(eq + 1))) s->current = std::string(l.substr(eq + 1));
        else error = "The EEPROM file " + path.string() + " holds a value that is not used: " + std::string(l);
    }
    changed_ = false;
    return error.empty();
}

bool DriveEeprom::save(const std::filesystem::path& path, std::string& error) const {
    std::ostringstream out;
    for (const EepromSetting& s : settings_) out << s.name << '=' << s.current << '\n';
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    if (platform::writeFileAtomically(path, out.str())) return true;
    error = "The EEPROM parameters could not be saved to " + path.string();
    return false;
}

std::filesystem::path driveEepromPath(const std::string& serial) {
    std::filesystem::path p = cartridgePath(serial);
    p.replace_extension(".veeprom");
    return p;
}

}  // namespace vexal::device::virt
