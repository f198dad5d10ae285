#include "device/device_selector.h"

#include <charconv>
#include <filesystem>
#include <system_error>

#include <fmt/format.h>

namespace vexal::device {
namespace {

template <typename T>
bool parseNumber(std::string_view text, T& value) {
    if (text.empty()) return false;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size();
}

bool parseAddress(std::string_view text, DeviceAddress& address) {
    int parts[3] = {};
    for (int i = 0; i < 3; ++i) {
        const size_t colon = text.find(':');
        if ((i == 2) != (colon == std::string_view::npos)) return false;
        if (!parseNumber(text.substr(0, colon), parts[i]) || parts[i] < 0 || parts[i] > 255) return false;
        if (i < 2) text.remove_prefix(colon + 1);
    }
    address = {static_cast<uint8_t>(parts[0]), static_cast<uint8_t>(parts[1]), static_cast<uint8_t>(parts[2])};
    return true;
}

bool parseKernelAddress(std::string_view text, KernelAddress& address) {
    std::string_view parts[4];
    for (int i = 0; i < 4; ++i) {
        const size_t colon = text.find(':');
        if ((i == 3) != (colon == std::string_view::npos)) return false;
        parts[i] = text.substr(0, colon);
        if (i < 3) text.remove_prefix(colon + 1);
    }
    return parseNumber(parts[0], address.host) && parseNumber(parts[1], address.channel) &&
           parseNumber(parts[2], address.target) && parseNumber(parts[3], address.lun);
}

constexpr const char* kForms = "an index from 'vexal-cli scan', H:T:L, H:C:T:L or /dev/sgN";

// "sg" and a decimal number, nothing else.
bool isSgName(std::string_view name) {
    int number = 0;
    return name.starts_with("sg") && parseNumber(name.substr(2), number) && number >= 0;
}

}  // namespace

std::string DeviceSelector::text() const {
    switch (kind) {
    case Kind::Index: return std::to_string(index);
    case Kind::Address: return fmt::format("{}:{}:{}", address.hostAdapter, address.target, address.lun);
    case Kind::Node: return "/dev/" + node;
    case Kind::Kernel: return fmt::format("{}:{}:{}:{}", kernel.host, kernel.channel, kernel.target, kernel.lun);
    }
    return {};
}

bool DeviceSelector::plainAddress(DeviceAddress& out) const {
    if (kind == Kind::Address) {
        out = address;
        return true;
    }
    if (kind != Kind::Kernel || kernel.channel != 0 || kernel.host > 255 || kernel.target > 15 || kernel.lun > 255)
        return false;
    out = {static_cast<uint8_t>(kernel.host), static_cast<uint8_t>(kernel.target), static_cast<uint8_t>(kernel.lun)};
    return true;
}

bool parseDeviceSelector(std::string_view text, DeviceSelector& selector, std::string& error) {
    DeviceSelector parsed;
    if (parseNumber(text, parsed.index) && parsed.index >= 0) {
        parsed.kind = DeviceSelector::Kind::Index;
    } else if (parseAddress(text, parsed.address)) {
        parsed.kind = DeviceSelector::Kind::Address;
    } else if (parseKernelAddress(text, parsed.kernel)) {
        parsed.kind = DeviceSelector::Kind::Kernel;
    } else if (text.find('/') != std::string_view::npos) {
        // A link (udev's by-id names, a user's own) counts for the node it points at.
        std::filesystem::path path{std::string(text)};
        std::error_code ec;
        if (const auto real = std::filesystem::canonical(path, ec); !ec) path = real;
        const std::string name = path.filename().string();
        if (!isSgName(name)) {
            error = fmt::format("{} is not a SCSI generic node: give {}.", text, kForms);
            return false;
        }
        parsed.kind = DeviceSelector::Kind::Node;
        parsed.node = name;
    } else {
        error = fmt::format("'{}' names no device: give {}.", text, kForms);
        return false;
    }
    selector = std::move(parsed);
    return true;
}

}  // namespace vexal::device
