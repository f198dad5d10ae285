#pragma once
// The medium auxiliary memory of the virtual cartridge: the attributes the drive keeps
// (load count, drive serial history, Mbytes moved), those written at manufacture, those
// application clients write, and two vendor attributes. It is kept beside the cartridge
// file, in installPath()/Virtual/<serial>.vmam, so that later runs see the same memory.
#include <bitset>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/virtual/sense_builder.h"
#include "device/virtual/virtual_profile.h"

namespace vexal::device::virt {

enum class MamFormat : uint8_t { Binary = 0, Ascii = 1, Text = 3 };

// One attribute the memory supports.
struct MamDefinition {
    uint16_t id;
    uint16_t length;
    MamFormat format;
    bool readOnly;          // for WRITE ATTRIBUTE
    std::string_view key;   // the profile key: "mam_" + key
    bool profileSettable;   // false: the drive works the value out when it is read
};

// Every supported attribute in identifier order.
std::span<const MamDefinition> mamDefinitions();
const MamDefinition* findMamDefinition(uint16_t id);

// Checks a profile value for an attribute and turns it into the attribute's bytes:
// numbers for binary attributes of up to 8 bytes, hexadecimal bytes for longer ones,
// printable text for ASCII and text attributes.
bool mamValueFromText(const MamDefinition& def, std::string_view text, std::vector<uint8_t>& out);

// What the drive knows when an attribute is read.
struct MamLiveValues {
    uint64_t capacityBytes = 0;
    uint64_t remainingBytes = 0;
    std::bitset<64> tapeAlerts;  // flag n is bit n-1
};

class CartridgeMemory {
public:
    static constexpr uint64_t kCapacity = 16384;  // bytes, the MAM Capacity attribute

    // A new cartridge's memory, for a drive with this profile.
    void reset(const DeviceProfile& profile);
    // The profile's mam_ values, applied at every start over what the file holds.
    void applyProfile(const DeviceProfile& profile);

    // A cartridge loaded into the drive with this serial number.
    void noteLoad(std::string_view driveSerial);
    void noteWritten(uint64_t bytes);
    void noteRead(uint64_t bytes);

    // The attribute's value now; nullopt when it does not exist.
    std::optional<std::vector<uint8_t>> value(uint16_t id, const MamLiveValues& live) const;
    uint64_t loadCount() const;

    // WRITE ATTRIBUTE's parameter list: checked whole before anything changes.
    bool write(std::span<const uint8_t> list, Sense& error);

    // File: one line per stored attribute, "XXXX=hex bytes", and the counters below.
    bool load(const std::filesystem::path& path, std::string& error);
    bool save(const std::filesystem::path& path, std::string& error) const;
    bool changed() const { return changed_; }
    void markSaved() { changed_ = false; }

private:
    uint64_t number(uint16_t id) const;
    void setNumber(uint16_t id, uint64_t v);
    void setText(uint16_t id, std::string_view text);
    uint64_t spaceRemaining() const;

    std::map<uint16_t, std::vector<uint8_t>> stored_;
    // Bytes moved in this load and the previous one, and the part of a MiB not yet counted.
    uint64_t writtenThisLoad_ = 0, readThisLoad_ = 0;
    uint64_t writtenPreviousLoad_ = 0, readPreviousLoad_ = 0;
    uint64_t writtenTotal_ = 0, readTotal_ = 0;
    bool changed_ = false;
};

// installPath()/Virtual/<serial>.vmam, beside the cartridge file.
std::filesystem::path cartridgeMemoryPath(const std::string& serial);

}  // namespace vexal::device::virt
