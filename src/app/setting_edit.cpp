#include "app/setting_edit.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <functional>

#include <fmt/format.h>

#include "app/io_mode.h"
#include "device/bus_scan.h"
#include "device/iscsi/iscsi_transport.h"
#include "log/view_colours.h"
#include "platform/settings_store.h"

namespace vexal::app {
namespace {

// Checks a value and gives its stored form; false with the reason in `error`.
using Check = std::function<bool(std::string_view value, std::string& stored, std::string& error)>;

struct Editable {
    std::string_view name;
    std::string_view fallback;
    Check check;
};

bool checkTransport(std::string_view value, std::string& stored, std::string& error) {
    device::TransportKind kind{};
    if (!device::parseTransportKind(std::string(value), kind)) {
        error = "use sg, iscsi or virtual";
        return false;
    }
    stored = device::transportKindName(kind);
    return true;
}

bool checkPortals(std::string_view value, std::string& stored, std::string& error) {
    std::string joined;
    for (const std::string& entry : device::splitPortalList(value)) {
        std::string host;
        int port = 0;
        if (!device::parsePortal(entry, host, port)) {
            error = fmt::format("'{}' is not a portal HOST[:PORT]", entry);
            return false;
        }
        joined += (joined.empty() ? "" : ";") + entry;
    }
    stored = joined;
    return true;
}

bool checkSerialPort(std::string_view value, std::string& stored, std::string& error) {
    const bool blank = value.empty() || std::any_of(value.begin(), value.end(), [](unsigned char c) {
                           return std::isspace(c) || std::iscntrl(c);
                       });
    if (blank) {
        error = "give a port name without blanks (ttyS0, /dev/ttyUSB0) or virtual";
        return false;
    }
    stored = value;
    return true;
}

bool checkOnOff(std::string_view value, std::string& stored, std::string& error) {
    if (value != "0" && value != "1") {
        error = "use 1 (on) or 0 (off)";
        return false;
    }
    stored = value;
    return true;
}

// A colour as 0x00BBGGRR: decimal, or hexadecimal with 0x.
bool checkColour(std::string_view value, std::string& stored, std::string& error) {
    const bool hex = value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X');
    const std::string_view digits = hex ? value.substr(2) : value;
    uint32_t colour = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), colour, hex ? 16 : 10);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || colour > 0xFFFFFF) {
        error = "give a colour 0x00BBGGRR from 0 to 0xFFFFFF (decimal or 0x hexadecimal)";
        return false;
    }
    stored = std::to_string(colour);
    return true;
}

const std::vector<Editable>& editables() {
    static const std::vector<Editable> table = [] {
        std::vector<Editable> t{
            {"Transport", "sg", checkTransport},
            {"IscsiPortals", "", checkPortals},
            {"SerialPort", "ttyS0", checkSerialPort},
            {"TapeAlertSet", "1", checkOnOff},
        };
        for (size_t i = 0; i < log::kColourCount; ++i) t.push_back({log::kColourNames[i], {}, checkColour});
        return t;
    }();
    return table;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

const Editable* find(std::string_view name) {
    for (const Editable& e : editables())
        if (sameName(e.name, name)) return &e;
    return nullptr;
}

void mirror(UserSettings& settings, std::string_view name, const std::string& stored) {
    if (name == "IscsiPortals") settings.iscsiPortals = stored;
    else if (name == "SerialPort") settings.serialPort = stored;
    else if (name == "TapeAlertSet") settings.tapeAlertSet = stored == "1";
}

}  // namespace

std::vector<std::string_view> EditableSettings() {
    std::vector<std::string_view> names;
    for (const Editable& e : editables()) names.push_back(e.name);
    return names;
}

std::string_view SettingName(std::string_view name) {
    const Editable* e = find(name);
    return e ? e->name : std::string_view();
}

std::string UnknownSettingText(std::string_view name) {
    std::string known;
    for (const Editable& k : editables()) known += (known.empty() ? "" : ", ") + std::string(k.name);
    return fmt::format("There is no setting '{}': the settings that can be set are {}.", name, known);
}

SetResult SetSetting(UserSettings& settings, std::string_view name, std::string_view value, std::string& error) {
    const Editable* e = find(name);
    if (!e) {
        error = UnknownSettingText(name);
        return SetResult::UnknownName;
    }
    std::string stored, why;
    if (!e->check(value, stored, why)) {
        error = fmt::format("'{}' is not a value for {}: {}.", value, e->name, why);
        return SetResult::BadValue;
    }
    device::TransportKind kind{};
    const bool written = e->name == "Transport" && device::parseTransportKind(stored, kind)
                             ? StoreTransport(settings, kind)
                             : WriteSetting(std::string(e->name).c_str(), stored);
    if (!written) {
        error = fmt::format("The setting {} cannot be written.", e->name);
        return SetResult::NotWritten;
    }
    mirror(settings, e->name, stored);
    return SetResult::Stored;
}

std::optional<std::string> GetSetting(std::string_view name) {
    const Editable* e = find(name);
    if (!e) return std::nullopt;
    platform::SettingsKey key;
    std::string value;
    if (key.Open("Mendra") && key.ReadString(e->name, value) == 0) return value;
    if (!e->fallback.empty() || e->name == "IscsiPortals") return std::string(e->fallback);
    // A colour not stored yet reads as its default.
    for (size_t i = 0; i < log::kColourCount; ++i)
        if (log::kColourNames[i] == e->name) return std::to_string(log::kDefaultColours[i]);
    return std::string();
}

}  // namespace vexal::app
