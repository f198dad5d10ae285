#pragma once
// Reads what the kernel publishes about SCSI hosts and sg devices below a sysfs root.
// Every name and file is parsed with bounds checks; an entry that does not parse is
// reported and skipped.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexal::device::sg {

// A device's place as the kernel names it: host, channel, target, LUN.
struct Hctl {
    uint32_t host = 0;
    uint32_t channel = 0;
    uint32_t target = 0;
    uint64_t lun = 0;

    friend auto operator<=>(const Hctl&, const Hctl&) = default;
    std::string text() const;  // "H:C:T:L"
};

// Parses "H:C:T:L" (four decimal numbers, nothing else).
bool parseHctl(std::string_view text, Hctl& hctl);
// Parses a name with a prefix and a decimal number: ("host3", "host") -> 3.
bool parseNumberedName(std::string_view name, std::string_view prefix, uint32_t& number);

// The host numbers N of <sysfs>/class/scsi_host/hostN, ascending. Empty when the folder
// is missing.
std::vector<uint32_t> listScsiHosts(const std::filesystem::path& sysfsRoot);
std::filesystem::path hostScanFile(const std::filesystem::path& sysfsRoot, uint32_t host);

// One entry of <sysfs>/class/scsi_generic.
struct GenericDevice {
    std::string name;            // "sg3", also the name of its node below /dev
    Hctl hctl;
    uint8_t peripheralType = 0x1F;  // 0x1F (unknown) when the type cannot be read
    std::string vendor;          // trimmed
    std::string model;           // trimmed
};

// The sg devices below the root, sorted by H:C:T:L. Entries without a readable address
// are skipped with a sentence in `problems`.
std::vector<GenericDevice> listGenericDevices(const std::filesystem::path& sysfsRoot,
                                              std::vector<std::string>& problems);
// The one entry <sysfs>/class/scsi_generic/<name> ("sg3"), read without listing the others;
// nullopt when there is none (or, with a sentence in `problems`, when it does not parse).
std::optional<GenericDevice> readGenericDevice(const std::filesystem::path& sysfsRoot, const std::string& name,
                                               std::vector<std::string>& problems);

}  // namespace vexal::device::sg
