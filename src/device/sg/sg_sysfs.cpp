#include "device/sg/sg_sysfs.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <system_error>

#include <fmt/format.h>

namespace vexal::device::sg {

namespace fs = std::filesystem;

namespace {

template <typename T>
bool parseDecimal(std::string_view text, T& value) {
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc{} && ptr == end;
}

std::string_view trim(std::string_view text) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\0'; };
    while (!text.empty() && space(text.front())) text.remove_prefix(1);
    while (!text.empty() && space(text.back())) text.remove_suffix(1);
    return text;
}

// Attribute files are short; anything past this is not what we look for.
std::string readAttribute(const fs::path& file) {
    constexpr std::streamsize kMaxAttribute = 256;
    std::ifstream in(file, std::ios::binary);
    if (!in) return {};
    std::string text(kMaxAttribute, '\0');
    in.read(text.data(), kMaxAttribute);
    text.resize(static_cast<size_t>(in.gcount()));
    return std::string(trim(text));
}

// The name of the device folder that <entry>/device points at ("0:0:2:0"). The kernel
// makes it a relative link; a plain folder of that name would do as well.
std::string deviceFolderName(const fs::path& deviceLink) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(deviceLink, ec);
    if (!ec) return target.filename().string();
    const fs::path real = fs::canonical(deviceLink, ec);
    if (!ec) return real.filename().string();
    return {};
}

}  // namespace

std::string Hctl::text() const { return fmt::format("{}:{}:{}:{}", host, channel, target, lun); }

bool parseHctl(std::string_view text, Hctl& hctl) {
    Hctl parsed;
    for (int field = 0; field < 4; ++field) {
        const size_t colon = text.find(':');
        const bool last = field == 3;
        if (last != (colon == std::string_view::npos)) return false;
        const std::string_view part = last ? text : text.substr(0, colon);
        const bool ok = field == 0   ? parseDecimal(part, parsed.host)
                        : field == 1 ? parseDecimal(part, parsed.channel)
                        : field == 2 ? parseDecimal(part, parsed.target)
                                     : parseDecimal(part, parsed.lun);
        if (!ok) return false;
        if (!last) text.remove_prefix(colon + 1);
    }
    hctl = parsed;
    return true;
}

bool parseNumberedName(std::string_view name, std::string_view prefix, uint32_t& number) {
    if (!name.starts_with(prefix)) return false;
    return parseDecimal(name.substr(prefix.size()), number);
}

std::vector<uint32_t> listScsiHosts(const fs::path& sysfsRoot) {
    std::vector<uint32_t> hosts;
    std::error_code ec;
    for (fs::directory_iterator it(sysfsRoot / "class" / "scsi_host", ec), end; !ec && it != end;
         it.increment(ec)) {
        uint32_t number = 0;
        if (parseNumberedName(it->path().filename().string(), "host", number)) hosts.push_back(number);
    }
    std::sort(hosts.begin(), hosts.end());
    return hosts;
}

fs::path hostScanFile(const fs::path& sysfsRoot, uint32_t host) {
    return sysfsRoot / "class" / "scsi_host" / fmt::format("host{}", host) / "scan";
}

namespace {

// One entry of class/scsi_generic; nullopt (with a sentence) when it does not parse.
std::optional<GenericDevice> readEntry(const fs::path& entry, const std::string& name,
                                       std::vector<std::string>& problems) {
    const fs::path device = entry / "device";
    const std::string folder = deviceFolderName(device);
    GenericDevice found;
    found.name = name;
    if (folder.empty()) {
        problems.push_back(fmt::format("{}: no SCSI device behind it; skipped.", name));
        return std::nullopt;
    }
    if (!parseHctl(folder, found.hctl)) {
        problems.push_back(fmt::format("{}: \"{}\" is not a SCSI address; skipped.", name, folder));
        return std::nullopt;
    }
    uint32_t type = 0;
    if (parseDecimal(readAttribute(device / "type"), type) && type <= 0x1F) {
        found.peripheralType = static_cast<uint8_t>(type);
    } else {
        problems.push_back(fmt::format("{} ({}): the device type cannot be read.", name, found.hctl.text()));
    }
    found.vendor = readAttribute(device / "vendor");
    found.model = readAttribute(device / "model");
    return found;
}

}  // namespace

std::vector<GenericDevice> listGenericDevices(const fs::path& sysfsRoot, std::vector<std::string>& problems) {
    std::vector<GenericDevice> devices;
    std::error_code ec;
    for (fs::directory_iterator it(sysfsRoot / "class" / "scsi_generic", ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        uint32_t index = 0;
        if (!parseNumberedName(name, "sg", index)) continue;
        if (auto found = readEntry(it->path(), name, problems)) devices.push_back(std::move(*found));
    }
    std::sort(devices.begin(), devices.end(),
              [](const GenericDevice& a, const GenericDevice& b) { return a.hctl < b.hctl; });
    return devices;
}

std::optional<GenericDevice> readGenericDevice(const fs::path& sysfsRoot, const std::string& name,
                                               std::vector<std::string>& problems) {
    uint32_t index = 0;
    if (!parseNumberedName(name, "sg", index)) return std::nullopt;
    const fs::path entry = sysfsRoot / "class" / "scsi_generic" / name;
    std::error_code ec;
    if (!fs::exists(entry, ec)) return std::nullopt;
    return readEntry(entry, name, problems);
}

}  // namespace vexal::device::sg
