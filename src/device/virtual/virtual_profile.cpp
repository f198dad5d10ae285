#include "device/virtual/virtual_profile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "device/virtual/event_history.h"
#include "device/virtual/profile_keys.h"
#include "platform/ini_file.h"

namespace vexal::device::virt {
namespace {

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
        const std::string_view line = trimBlanks(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[' && line.find(']') != std::string_view::npos) {
            section = std::string(trimBlanks(line.substr(1, line.find(']') - 1)));
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
        map.keys[{section, lowerAscii(trimBlanks(line.substr(0, eq)))}] = number;
    }
    return map;
}

// "target N" with N from 0 to 15.
// "target N", or "adapter A target N" for a device on another host adapter.
bool parseSectionName(std::string_view name, uint8_t& adapter, uint8_t& target) {
    const std::string l = lowerAscii(name);
    std::vector<std::string_view> words;
    for (size_t at = 0; at < l.size();) {
        const size_t start = l.find_first_not_of(" \t", at);
        if (start == std::string::npos) break;
        const size_t end = std::min(l.find_first_of(" \t", start), l.size());
        words.push_back(std::string_view(l).substr(start, end - start));
        at = end;
    }
    uint64_t a = 0, n = 0;
    if (words.size() == 2 && words[0] == "target" && parseUnsigned(words[1], kVirtualTargets - 1, n)) {
        adapter = 0;
        target = static_cast<uint8_t>(n);
        return true;
    }
    if (words.size() == 4 && words[0] == "adapter" && parseUnsigned(words[1], kVirtualAdapters - 1, a) &&
        words[2] == "target" && parseUnsigned(words[3], kVirtualTargets - 1, n)) {
        adapter = static_cast<uint8_t>(a);
        target = static_cast<uint8_t>(n);
        return true;
    }
    return false;
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

DeviceProfile defaultDevice(DeviceKind kind, uint8_t target, uint8_t adapter) {
    DeviceProfile d;
    d.adapter = adapter;
    d.target = target;
    const unsigned number = adapter * 16u + target + 1u;  // adapter 0: the target + 1
    d.kind = kind;
    d.vendor = padText("KORVANE", 8);
    d.revision = padText("V100", 4);
    char serial[16];
    switch (kind) {
    case DeviceKind::Tape:
        d.product = padText("SKTX VIRTUAL", 16);
        d.byte36 = 0xA1;
        std::snprintf(serial, sizeof serial, "VD%08u", number);
        d.pageC1 = true;
        d.cartridge = true;
        d.capacityMib = 256;
        break;
    case DeviceKind::Changer:
        d.product = padText("VIRTUAL LOADER", 16);
        std::snprintf(serial, sizeof serial, "VL%08u", number);
        break;
    case DeviceKind::Disk:
        d.product = padText("VIRTUAL DISK", 16);
        std::snprintf(serial, sizeof serial, "VK%08u", number);
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
    std::map<std::pair<uint8_t, uint8_t>, std::string> seen;  // (adapter, target) -> section name

    for (const auto& section : ini.sections()) {
        const auto lineOf = [&](const std::string& key) {
            const auto it = lines.keys.find({section.name, key});
            if (it != lines.keys.end()) return it->second;
            const auto header = lines.sections.find(section.name);
            return header != lines.sections.end() ? header->second : 0;
        };
        const int headerLine = lineOf("");
        if (section.name.empty()) {
            const std::string key = section.values.empty() ? "" : lowerAscii(section.values.front().first);
            error = err.at(lineOf(key), "the key \"" + key + "\" stands before any [target N] section");
            return false;
        }
        uint8_t adapter = 0, target = 0;
        if (!parseSectionName(section.name, adapter, target)) {
            error = err.at(headerLine, "unknown section [" + section.name +
                                           "]; devices are listed as [target N] with N from 0 to 15, or as "
                                           "[adapter A target N] with A from 0 to 7");
            return false;
        }
        const std::pair address{adapter, target};
        if (seen.count(address)) {
            error = err.at(headerLine, "[" + section.name + "] lists " +
                                           (adapter != 0 ? "adapter " + std::to_string(adapter) + " " : std::string()) +
                                           "target " + std::to_string(target) + " a second time (first as [" +
                                           seen[address] + "])");
            return false;
        }
        seen[address] = section.name;
        const std::string where = "[" + section.name + "]";

        // The type decides the defaults, so it is read first.
        DeviceProfile device;
        std::optional<std::string> type;
        for (const auto& [key, value] : section.values)
            if (lowerAscii(key) == "type") type = value;
        DeviceKind kind = DeviceKind::Tape;
        if (type) {
            if (!parseDeviceKind(*type, kind)) {
                error = err.at(lineOf("type"), "the key \"type\" of " + where + " has the bad value \"" + *type +
                                                   "\" (expected tape, changer or disk)");
                return false;
            }
        } else {
            const auto it = std::find_if(defaults.devices.begin(), defaults.devices.end(),
                                         [&](const DeviceProfile& d) { return d.target == target; });
            if (it == defaults.devices.end()) {
                error = err.at(headerLine, where + " needs the key \"type\" (tape, changer or disk)");
                return false;
            }
            kind = it->kind;
        }
        device = defaultDevice(kind, target, adapter);

        for (const auto& [rawKey, value] : section.values) {
            const std::string key = lowerAscii(rawKey);
            const ProfileKey* spec = findProfileKey(key);
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
        if (!device.eventHistoryFile.empty()) {
            std::filesystem::path file(device.eventHistoryFile);
            const std::filesystem::path folder = std::filesystem::path(fileName).parent_path();
            if (file.is_relative() && !folder.empty()) file = folder / file;
            std::vector<std::string> lines;
            std::string why;
            if (!loadEventHistory(file, lines, why)) {
                error = err.at(lineOf("event_history"), "the key \"event_history\" of " + where + " names the file " +
                                                            file.string() + ", which " + why);
                return false;
            }
            device.eventHistory = std::move(lines);
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
                                                         device.serial + "\" of [" +
                                                         seen[{other.adapter, other.target}] +
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
              [](const DeviceProfile& a, const DeviceProfile& b) {
                  return std::pair(a.adapter, a.target) < std::pair(b.adapter, b.target);
              });
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
