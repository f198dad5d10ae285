#include "device/virtual/profile_keys.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "device/virtual/drive_log.h"
#include "device/virtual/event_history.h"

namespace vexal::device::virt {

std::string_view trimBlanks(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string padText(std::string_view text, size_t width) {
    std::string out(text.substr(0, width));
    out.resize(width, ' ');
    return out;
}

bool parseUnsigned(std::string_view v, uint64_t max, uint64_t& out) {
    if (v.empty()) return false;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), out);
    return ec == std::errc{} && end == v.data() + v.size() && out <= max;
}

bool parseDeviceKind(std::string_view v, DeviceKind& kind) {
    const std::string l = lowerAscii(v);
    if (l == "tape") kind = DeviceKind::Tape;
    else if (l == "changer") kind = DeviceKind::Changer;
    else if (l == "disk") kind = DeviceKind::Disk;
    else return false;
    return true;
}

namespace {

// Value parsers: false when the text is not what the key expects.

bool parseYesNo(std::string_view v, bool& out) {
    const std::string l = lowerAscii(v);
    if (l == "yes" || l == "true" || l == "1") out = true;
    else if (l == "no" || l == "false" || l == "0") out = false;
    else return false;
    return true;
}

// "A1", "0xA1" and "A1h" are hexadecimal, digits alone are decimal.
bool parseByte(std::string_view v, uint8_t& out) {
    int base = 10;
    if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
        v.remove_prefix(2);
        base = 16;
    } else if (v.size() > 1 && (v.back() == 'h' || v.back() == 'H')) {
        v.remove_suffix(1);
        base = 16;
    } else if (std::any_of(v.begin(), v.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)); })) {
        base = 16;
    }
    if (v.empty()) return false;
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value, base);
    if (ec != std::errc{} || end != v.data() + v.size() || value > 255) return false;
    out = static_cast<uint8_t>(value);
    return true;
}

// Printable ASCII, at most `max` characters; one pair of surrounding quotes is dropped so
// that leading or trailing blanks can be given.
bool parseText(std::string_view v, size_t max, std::string& out) {
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    if (v.size() > max) return false;
    for (char c : v)
        if (c < 0x20 || c > 0x7E) return false;
    out = std::string(v);
    return true;
}

bool parseAlerts(std::string_view v, std::vector<uint8_t>& out) {
    out.clear();
    while (!v.empty()) {
        const auto comma = v.find(',');
        const std::string_view item = trimBlanks(v.substr(0, comma));
        uint64_t flag = 0;
        if (!parseUnsigned(item, 64, flag) || flag < 1) return false;
        if (std::find(out.begin(), out.end(), flag) == out.end()) out.push_back(static_cast<uint8_t>(flag));
        if (comma == std::string_view::npos) break;
        v.remove_prefix(comma + 1);
    }
    return true;
}

// "name:value, name:value": starting values of the drive's log values.
bool parseLogValues(std::string_view v, std::vector<std::pair<uint8_t, uint64_t>>& out) {
    out.clear();
    while (!v.empty()) {
        const auto comma = v.find(',');
        const std::string_view item = trimBlanks(v.substr(0, comma));
        const auto colon = item.find(':');
        if (colon == std::string_view::npos) return false;
        const LogValueInfo* info = findLogValue(lowerAscii(trimBlanks(item.substr(0, colon))));
        uint64_t n = 0;
        if (!info || !parseUnsigned(trimBlanks(item.substr(colon + 1)), info->max, n)) return false;
        out.emplace_back(static_cast<uint8_t>(info->value), n);
        if (comma == std::string_view::npos) break;
        v.remove_prefix(comma + 1);
    }
    return true;
}

bool applyEventHistory(std::string_view v, DeviceProfile& d) {
    const std::string l = lowerAscii(v);
    d.eventHistoryFile.clear();
    d.eventHistory.reset();
    if (l == "none") d.eventHistory.emplace();
    else if (l == "every_kind") d.eventHistory = everyKindEventHistory();
    else if (l == "default") return true;
    else if (v.empty()) return false;
    else d.eventHistoryFile = std::string(v);
    return true;
}

bool applyType(std::string_view v, DeviceProfile& d) { return parseDeviceKind(v, d.kind); }

template <size_t Width, std::string DeviceProfile::*Field>
bool applyPadded(std::string_view v, DeviceProfile& d) {
    std::string text;
    if (!parseText(v, Width, text)) return false;
    d.*Field = padText(text, Width);
    return true;
}

template <bool DeviceProfile::*Field>
bool applyFlag(std::string_view v, DeviceProfile& d) {
    return parseYesNo(v, d.*Field);
}

template <typename T, T DeviceProfile::*Field, uint64_t Min, uint64_t Max>
bool applyNumber(std::string_view v, DeviceProfile& d) {
    uint64_t n = 0;
    if (!parseUnsigned(v, Max, n) || n < Min) return false;
    d.*Field = static_cast<T>(n);
    return true;
}

const ProfileKey kKeys[] = {
    {"type", false, "tape, changer or disk", applyType},
    {"vendor", false, "at most 8 printable ASCII characters", applyPadded<8, &DeviceProfile::vendor>},
    {"product", false, "at most 16 printable ASCII characters", applyPadded<16, &DeviceProfile::product>},
    {"revision", false, "at most 4 printable ASCII characters", applyPadded<4, &DeviceProfile::revision>},
    {"byte36", false, "a byte in hex such as A1, 0xA1 or A1h, or decimal 0 to 255",
     [](std::string_view v, DeviceProfile& d) { return parseByte(v, d.byte36); }},
    {"serial", false, "1 to 32 printable ASCII characters",
     [](std::string_view v, DeviceProfile& d) { return parseText(v, 32, d.serial) && !trimBlanks(d.serial).empty(); }},
    {"page_c1", false, "yes or no", applyFlag<&DeviceProfile::pageC1>},
    {"cartridge", true, "yes or no", applyFlag<&DeviceProfile::cartridge>},
    {"capacity_mib", true, "a whole number of MiB from 1 to 1048576",
     applyNumber<uint32_t, &DeviceProfile::capacityMib, 1, 1048576>},
    {"write_protect", true, "yes or no", applyFlag<&DeviceProfile::writeProtect>},
    {"tape_alerts", true, "a comma list of flag numbers from 1 to 64",
     [](std::string_view v, DeviceProfile& d) { return parseAlerts(v, d.tapeAlerts); }},
    {"medium_error_at", true, "a block number from 0 to 4294967295, or none",
     [](std::string_view v, DeviceProfile& d) {
         if (lowerAscii(v) == "none") {
             d.mediumErrorAt.reset();
             return true;
         }
         uint64_t n = 0;
         if (!parseUnsigned(v, 0xFFFFFFFFull, n)) return false;
         d.mediumErrorAt = n;
         return true;
     }},
    {"not_ready_seconds", false, "a whole number of seconds from 0 to 86400",
     applyNumber<uint32_t, &DeviceProfile::notReadySeconds, 0, 86400>},
    {"unit_attention", false, "yes or no", applyFlag<&DeviceProfile::unitAttention>},
    {"descriptor_sense", false, "yes or no", applyFlag<&DeviceProfile::descriptorSense>},
    {"serial_console", false, "yes or no", applyFlag<&DeviceProfile::serialConsole>},
    {"trace", false, "a file path",
     [](std::string_view v, DeviceProfile& d) {
         if (v.empty()) return false;
         d.trace = std::string(v);
         return true;
     }},
    {"log_counters", true, "a comma list of name:value pairs with the names of docs/virtual-drive.md",
     [](std::string_view v, DeviceProfile& d) { return parseLogValues(v, d.logValues); }},
    {"event_history", true, "a file of event lines, none, default or every_kind", applyEventHistory},
    {"self_test", true, "pass or fail",
     [](std::string_view v, DeviceProfile& d) {
         const std::string l = lowerAscii(v);
         if (l != "pass" && l != "fail") return false;
         d.selfTestFails = l == "fail";
         return true;
     }},
    {"fa_dump_layout", true, "large, small or none",
     [](std::string_view v, DeviceProfile& d) {
         const std::string l = lowerAscii(v);
         if (l == "large") d.faDumpLayout = FaDumpLayout::Large;
         else if (l == "small") d.faDumpLayout = FaDumpLayout::Small;
         else if (l == "none") d.faDumpLayout = FaDumpLayout::None;
         else return false;
         return true;
     }},
    {"timeout_after", false, "a command count (0 for never)",
     applyNumber<uint64_t, &DeviceProfile::timeoutAfter, 0, 0xFFFFFFFFFFFFull>},
    {"disconnect_after", false, "a command count (0 for never)",
     applyNumber<uint64_t, &DeviceProfile::disconnectAfter, 0, 0xFFFFFFFFFFFFull>},
    {"firmware_offline_seconds", true, "a whole number of seconds from 0 to 3600",
     applyNumber<uint32_t, &DeviceProfile::firmwareOfflineSeconds, 0, 3600>},
    {"firmware_not_ready_seconds", true, "a whole number of seconds from 0 to 3600",
     applyNumber<uint32_t, &DeviceProfile::firmwareNotReadySeconds, 0, 3600>},
};

}  // namespace

const ProfileKey* findProfileKey(std::string_view name) {
    for (const ProfileKey& k : kKeys)
        if (k.name == name) return &k;
    return findMamProfileKey(name);
}

}  // namespace vexal::device::virt
