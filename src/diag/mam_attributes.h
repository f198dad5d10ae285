#pragma once
// The medium auxiliary memory attributes the MAM view shows: four groups (one tab each),
// every row with its identifier, value length, format, how its value is shown and its
// description.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vexal::diag {

enum class MamGroupId { Device, Medium, Host, Control };

// The attribute format of READ ATTRIBUTE (byte 4 of the attribute header, bits 0-1).
enum class MamFormat : uint8_t { Binary = 0, Ascii = 1, Text = 3 };

// How a row's value is shown.
enum class MamShow {
    Number,                 // big-endian unsigned integer, in decimal
    Mebibytes,              // in units of 1,048,576 bytes, shown as bytes
    TapeAlertFlags,         // "0x%08X"
    DensityCode,            // "0x%02X"
    Text,                   // ASCII or text up to the value length
    MediumType,             // "Data Medium", "Write-once Medium", "Unknown"
    TextLocalization,       // "No code specified (ASCII)", "Unknown"
    MediumUsageHistory,     // fifteen 6-byte counters
    PartitionUsageHistory,  // fifteen 4-byte counters, the raw value kept too
    CriticalControlData,    // seven 32-bit values, shown last first
    ControlFlags,           // six flags, "Checked" / "UnChecked"
};

// A row whose value is shown specially reads "Not Available" when it could not be read;
// the other rows show the value of zero bytes.
bool hasSpecialDisplay(MamShow show);

struct MamAttributeDef {
    int position;
    std::string_view name;
    uint16_t id;
    uint16_t valueLength;
    MamFormat format;
    MamShow show;
    std::string_view description;

    // The READ ATTRIBUTE allocation length: the 4-byte header, the 5-byte attribute
    // header and the value.
    uint32_t allocationLength() const { return uint32_t{valueLength} + 9; }
};

struct MamGroupDef {
    MamGroupId id;
    std::string_view key;          // "device", "medium", "host", "control"
    std::string_view tab;          // "Device Data", ...
    std::string_view title;        // "Standard Device Type Attributes", ...
    std::string_view description;  // empty for the control group
    bool engineeringOnly;
    std::span<const MamAttributeDef> rows;
};

// The four groups in tab order.
std::span<const MamGroupDef> mamGroups();
const MamGroupDef& mamGroup(MamGroupId id);
// "device", "medium", "host" or "control".
bool parseMamGroupName(std::string_view name, MamGroupId& id);
// The tabs shown: the control group only in engineering mode.
std::vector<MamGroupId> visibleMamGroups(bool engineeringMode);

// The names of the fifteen counters of Medium Usage History (and Partition Usage History).
std::span<const std::string_view> usageHistoryCounterNames();
// Critical Control Data's seven values in the order they are stored.
std::span<const std::string_view> criticalControlNames();
// Control Flags, bit 0 first.
std::span<const std::string_view> controlFlagNames();

}  // namespace vexal::diag
