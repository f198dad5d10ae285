#include "device/virtual/virtual_profile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/ini_file.h"

namespace vexal::device::virt {
namespace {

std::string_view trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string pad(std::string_view text, size_t width) {
    std::string out(text.substr(0, width));
    out.resize(width, ' ');
    return out;
}

// ---- value parsers: false with what was expected ----

bool parseUnsigned(std::string_view v, uint64_t max, uint64_t& out) {
    if (v.empty()) return false;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), out);
    return ec == std::errc{} && end == v.data() + v.size() && out <= max;
}

bool parseYesNo(std::string_view v, bool& out) {
    const std::string l = lower(v);
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
        const std::string_view item = trim(v.substr(0, comma));
        uint64_t flag = 0;
        if (!parseUnsigned(item, 64, flag) || flag < 1) return false;
        if (std::find(out.begin(), out.end(), flag) == out.end()) out.push_back(static_cast<uint8_t>(flag));
        if (comma == std::string_view::npos) break;
        v.remove_prefix(comma + 1);
    }
    return true;
}

struct KeySpec {
    std::string_view name;
    bool tapeOnly;
    std::string_view expected;  // shown when the value is bad
    bool (*apply)(std::string_view value, DeviceProfile& device);
};

bool applyType(std::string_view v, DeviceProfile& d) {
    const std::string l = lower(v);
    if (l == "tape") d.kind = DeviceKind::Tape;
    else if (l == "changer") d.kind = DeviceKind::Changer;
    else if (l == "disk") d.kind = DeviceKind::Disk;
    else return false;
    return true;
}

template <size_t Width, std::string DeviceProfile::*Field>
bool applyPadded(std::string_view v, DeviceProfile& d) {
    std::string text;
    if (!parseText(v, Width, text)) return false;
    d.*Field = pad(text, Width);
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

const KeySpec kKeys[] = {
    {"type", false, "tape, changer or disk", applyType},
    {"vendor", false, "at most 8 printable ASCII characters", applyPadded<8, &DeviceProfile::vendor>},
    {"product", false, "at most 16 printable ASCII characters", applyPadded<16, &DeviceProfile::product>},
    {"revision", false, "at most 4 printable ASCII characters", applyPadded<4, &DeviceProfile::revision>},
    {"byte36", false, "a byte in hex such as A1, 0xA1 or A1h, or decimal 0 to 255",
     [](std::string_view v, DeviceProfile& d) { return parseByte(v, d.byte36); }},
    {"serial", false, "1 to 32 printable ASCII characters",
     [](std::string_view v, DeviceProfile& d) { return parseText(v, 32, d.serial) && !trim(d.serial).empty(); }},
    {"page_c1", false, "yes or no", applyFlag<&DeviceProfile::pageC1>},
    {"cartridge", true, "yes or no", applyFlag<&DeviceProfile::cartridge>},
    {"capacity_mib", true, "a whole number of MiB from 1 to 1048576",
     applyNumber<uint32_t, &DeviceProfile::capacityMib, 1, 1048576>},
    {"write_protect", true, "yes or no", applyFlag<&DeviceProfile::writeProtect>},
    {"tape_alerts", true, "a comma list of flag numbers from 1 to 64",
     [](std::string_view v, DeviceProfile& d) { return parseAlerts(v, d.tapeAlerts); }},
    {"medium_error_at", true, "a block number from 0 to 4294967295, or none",
     [](std::string_view v, DeviceProfile& d) {
         if (lower(v) == "none") {
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
    {"serial_console", false, "yes or no", applyFlag<&DeviceProfile::serialConsole>},
    {"trace", false, "a file path",
     [](std::string_view v, DeviceProfile& d) {
         if (v.empty()) return false;
         d.trace = std::string(v);
         return true;
     }},
    {"timeout_after", false, "a command count (0 for never)",
     applyNumber<uint64_t, &DeviceProfile::timeoutAfter, 0, 0xFFFFFFFFFFFFull>},
    {"disconnect_after", false, "a command count (0 for never)",
     applyNumber<uint64_t, &DeviceProfile::disconnectAfter, 0, 0xFFFFFFFFFFFFull>},
};

const KeySpec* findKey(std::string_view name) {
    for (const KeySpec& k : kKeys)
        if (k.name == name) return &k;
    return nullptr;
}

// Where each section header and key sits in the text, and the first line that is neither.
struct LineMap {
    std::map<std::string, int> sections;                          // section name -> header line
    std::map<std::pair<std::string, std::string>, int> keys;      // (section, lower key) -> last line
    int badLine = 0;
    std::string badText;
    int repeatedLine = 0;  // a section header given twice
    std::string repeated;
};

LineMap mapLines(std::string_view text) {
    LineMap map;
    std::string section;
    int number = 0;
    while (!text.empty()) {
        ++number;
        const auto end = text.find('\n');
        const std::string_view line = trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[' && line.find(']') != std::string_view::npos) {
            section = std::string(trim(line.substr(1, line.find(']') - 1)));
            if (!map.sections.emplace(section, number).second && map.repeatedLine == 0) {
                map.repeatedLine = number;
                map.repeated = section;
            }
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string_view::npos || line.front() == '[') {
            if (map.badLine == 0) {
                map.badLine = number;
                map.badText = std::string(line);
            }
            continue;
        }
        map.keys[{section, lower(trim(line.substr(0, eq)))}] = number;
    }
    return map;
}

// "target N" with N from 0 to 15.
bool parseSectionName(std::string_view name, uint8_t& target) {
    const std::string l = lower(name);
    if (l.rfind("target", 0) != 0) return false;
    const std::string_view rest = std::string_view(l).substr(6);
    if (rest.empty() || (rest[0] != ' ' && rest[0] != '\t')) return false;
    uint64_t n = 0;
    if (!parseUnsigned(trim(rest), 15, n)) return false;
    target = static_cast<uint8_t>(n);
    return true;
}

class ErrorText {
public:
    explicit ErrorText(const std::string& file) : file_(file) {}
    std::string at(int line, const std::string& what) const {
        const std::string s = "Virtual drive profile \"" + file_ + "\"";
        if (line > 0) return s + ", line " + std::to_string(line) + ": " + what + ".";
        return s + " " + what + ".";
    }

private:
    std::string file_;
};

}  // namespace

std::string_view deviceKindName(DeviceKind kind) {
    switch (kind) {
    case DeviceKind::Tape: return "tape";
    case DeviceKind::Changer: return "changer";
    case DeviceKind::Disk: return "disk";
    }
    return "tape";
}

DeviceProfile defaultDevice(DeviceKind kind, uint8_t target) {
    DeviceProfile d;
    d.target = target;
    d.kind = kind;
    d.vendor = pad("KORVANE", 8);
    d.revision = pad("V100", 4);
    char serial[16];
    switch (kind) {
    case DeviceKind::Tape:
        d.product = pad("SKTX VIRTUAL", 16);
        d.byte36 = 0xA1;
        std::snprintf(serial, sizeof serial, "VD%08u", target + 1u);
        d.pageC1 = true;
        d.cartridge = true;
        d.capacityMib = 256;
        break;
    case DeviceKind::Changer:
        d.product = pad("VIRTUAL LOADER", 16);
        std::snprintf(serial, sizeof serial, "VL%08u", target + 1u);
        break;
    case DeviceKind::Disk:
        d.product = pad("VIRTUAL DISK", 16);
        std::snprintf(serial, sizeof serial, "VK%08u", target + 1u);
        break;
    }
    d.serial = serial;
    return d;
}

VirtualProfile defaultProfile() {
    VirtualProfile p;
    p.devices = {defaultDevice(DeviceKind::Tape, 0), defaultDevice(DeviceKind::Changer, 1),
                 defaultDevice(DeviceKind::Disk, 2)};
    return p;
}

bool parseProfile(std::string_view text, const std::string& fileName, VirtualProfile& out, std::string& error) {
    const ErrorText err(fileName);
    const LineMap lines = mapLines(text);
    if (lines.badLine > 0) {
        error = err.at(lines.badLine, "\"" + lines.badText + "\" is neither a [target N] header nor a key = value line");
        return false;
    }
    if (lines.repeatedLine > 0) {
        error = err.at(lines.repeatedLine, "[" + lines.repeated + "] is listed a second time");
        return false;
    }
    const platform::IniFile ini = platform::IniFile::parse(text);
    const VirtualProfile defaults = defaultProfile();
    VirtualProfile result;
    std::map<uint8_t, std::string> seen;  // target -> section name

    for (const auto& section : ini.sections()) {
        const auto lineOf = [&](const std::string& key) {
            const auto it = lines.keys.find({section.name, key});
            if (it != lines.keys.end()) return it->second;
            const auto header = lines.sections.find(section.name);
            return header != lines.sections.end() ? header->second : 0;
        };
        const int headerLine = lineOf("");
        if (section.name.empty()) {
            const std::string key = section.values.empty() ? "" : lower(section.values.front().first);
            error = err.at(lineOf(key), "the key \"" + key + "\" stands before any [target N] section");
            return false;
        }
        uint8_t target = 0;
        if (!parseSectionName(section.name, target)) {
            error = err.at(headerLine, "unknown section [" + section.name +
                                           "]; devices are listed as [target N] with N from 0 to 15");
            return false;
        }
        if (seen.count(target)) {
            error = err.at(headerLine, "[" + section.name + "] lists target " + std::to_string(target) +
                                           " a second time (first as [" + seen[target] + "])");
            return false;
        }
        seen[target] = section.name;
        const std::string where = "[" + section.name + "]";

        // The type decides the defaults, so it is read first.
        DeviceProfile device;
        std::optional<std::string> type;
        for (const auto& [key, value] : section.values)
            if (lower(key) == "type") type = value;
        DeviceKind kind = DeviceKind::Tape;
        if (type) {
            DeviceProfile probe;
            if (!applyType(*type, probe)) {
                error = err.at(lineOf("type"), "the key \"type\" of " + where + " has the bad value \"" + *type +
                                                   "\" (expected tape, changer or disk)");
                return false;
            }
            kind = probe.kind;
        } else {
            const auto it = std::find_if(defaults.devices.begin(), defaults.devices.end(),
                                         [&](const DeviceProfile& d) { return d.target == target; });
            if (it == defaults.devices.end()) {
                error = err.at(headerLine, where + " needs the key \"type\" (tape, changer or disk)");
                return false;
            }
            kind = it->kind;
        }
        device = defaultDevice(kind, target);

        for (const auto& [rawKey, value] : section.values) {
            const std::string key = lower(rawKey);
            const KeySpec* spec = findKey(key);
            if (!spec) {
                error = err.at(lineOf(key), "unknown key \"" + rawKey + "\" in " + where);
                return false;
            }
            if (spec->tapeOnly && kind != DeviceKind::Tape) {
                error = err.at(lineOf(key), "the key \"" + key + "\" of " + where + " applies only to a tape drive");
                return false;
            }
            if (!spec->apply(value, device)) {
                error = err.at(lineOf(key), "the key \"" + key + "\" of " + where + " has the bad value \"" + value +
                                                "\" (expected " + std::string(spec->expected) + ")");
                return false;
            }
        }
        if (!device.trace.empty()) {
            const std::filesystem::path trace(device.trace);
            const std::filesystem::path folder = std::filesystem::path(fileName).parent_path();
            if (trace.is_relative() && !folder.empty()) device.trace = (folder / trace).string();
        }
        // Each tape drive keeps its cartridge in a file named after its serial number.
        if (kind == DeviceKind::Tape) {
            for (const DeviceProfile& other : result.devices) {
                if (other.kind == DeviceKind::Tape && other.serial == device.serial) {
                    error = err.at(lineOf("serial"), "the key \"serial\" of " + where + " repeats serial number \"" +
                                                         device.serial + "\" of [target " +
                                                         std::to_string(other.target) +
                                                         "], and each tape drive needs its own cartridge");
                    return false;
                }
            }
        }
        result.devices.push_back(std::move(device));
    }
    if (result.devices.empty()) {
        error = err.at(0, "lists no device (add a [target N] section with the key \"type\")");
        return false;
    }
    std::sort(result.devices.begin(), result.devices.end(),
              [](const DeviceProfile& a, const DeviceProfile& b) { return a.target < b.target; });
    out = std::move(result);
    return true;
}

bool loadProfile(const std::string& path, VirtualProfile& out, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "Virtual drive profile \"" + path + "\" cannot be read.";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return parseProfile(text.str(), path, out, error);
}

}  // namespace vexal::device::virt
