#pragma once
// What the virtual bus holds: one entry per device of host adapter 0, from the built-in
// default profile or from a profile file ("[target N]" sections).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexal::device::virt {

enum class DeviceKind { Tape, Changer, Disk };
// Which failure-analysis dump buffers a tape drive offers (fa_dump_layout).
enum class FaDumpLayout { Large, Small, None };

inline constexpr uint8_t kVirtualAdapters = 8;  // [adapter A target N]: A from 0 to 7
inline constexpr uint8_t kVirtualTargets = 16;  // N from 0 to 15

struct DeviceProfile {
    uint8_t adapter = 0;
    uint8_t target = 0;
    DeviceKind kind = DeviceKind::Tape;
    std::string vendor;    // blank padded to 8
    std::string product;   // blank padded to 16
    std::string revision;  // blank padded to 4
    uint8_t byte36 = 0;
    std::string serial;
    bool pageC1 = false;
    bool cartridge = false;
    uint32_t capacityMib = 0;
    bool writeProtect = false;
    std::vector<uint8_t> tapeAlerts;            // flag numbers 1..64, kept for log page 2Eh
    std::optional<uint64_t> mediumErrorAt;      // logical object number
    uint32_t notReadySeconds = 0;
    bool unitAttention = false;
    bool descriptorSense = false;               // D_SENSE at power-on: descriptor-format sense
    bool serialConsole = false;                 // kept for the serial console
    std::string trace;                          // CDB trace file; empty: none
    uint64_t timeoutAfter = 0;                  // 0: never
    uint64_t disconnectAfter = 0;               // 0: never
    // log_counters: starting values of log values (a LogValue and its value), applied
    // at every start over what the drive log file holds.
    std::vector<std::pair<uint8_t, uint64_t>> logValues;
    // event_history: the lines of log page 07h; none given: the built-in events.
    std::optional<std::vector<std::string>> eventHistory;
    std::string eventHistoryFile;               // as given; read when the profile is parsed
    bool selfTestFails = false;                 // self_test = fail
    FaDumpLayout faDumpLayout = FaDumpLayout::Large;  // fa_dump_layout
    // After a saved microcode download: off the bus, then becoming ready, for so long.
    uint32_t firmwareOfflineSeconds = 5;   // firmware_offline_seconds
    uint32_t firmwareNotReadySeconds = 2;  // firmware_not_ready_seconds
    // mam_*: cartridge memory attribute values (identifier, value bytes), applied at every
    // start over what the cartridge memory file holds.
    std::vector<std::pair<uint16_t, std::vector<uint8_t>>> mamValues;
};

struct VirtualProfile {
    std::vector<DeviceProfile> devices;  // in target order
};

// The values a device of this kind has when a profile leaves a key out. The serial number
// follows the address so that two drives of one profile never share a cartridge file.
DeviceProfile defaultDevice(DeviceKind kind, uint8_t target, uint8_t adapter = 0);
// Tape drive at target 0, changer at 1, disk at 2.
VirtualProfile defaultProfile();

// Parses profile text; `fileName` names the file in errors, and relative trace paths are
// taken from its folder. False with one sentence naming the file, line and key.
bool parseProfile(std::string_view text, const std::string& fileName, VirtualProfile& out, std::string& error);
bool loadProfile(const std::string& path, VirtualProfile& out, std::string& error);

}  // namespace vexal::device::virt
