#pragma once
// Reading the medium auxiliary memory: one READ ATTRIBUTE per row of a group, in table
// order, and each value decoded the way the MAM view shows it.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "command/scsi_device.h"
#include "diag/mam_attributes.h"

namespace vexal::diag {

inline constexpr std::string_view kMamNotAvailable = "Not Available";

// 8C 00 (service action 0: attribute values), volume and partition 0, bytes 8-9 the
// attribute identifier, bytes 10-13 the allocation length, both most significant first.
std::array<uint8_t, 16> readAttributeCdb(uint16_t id, uint32_t allocationLength);

// The first attribute of a READ ATTRIBUTE reply. `complete` is false when the buffer is too
// short for the headers; the value is cut to what the buffer holds.
struct MamReply {
    bool complete = false;
    uint32_t availableLength = 0;
    uint16_t id = 0;
    uint8_t format = 0;  // bits 0-1
    bool readOnly = false;
    uint16_t valueLength = 0;
    std::vector<uint8_t> value;
};
MamReply parseAttributeReply(std::span<const uint8_t> buffer);

// One decoded part of a structured value (a counter, a control value, a flag).
struct MamField {
    std::string name;
    std::string value;
    std::optional<bool> checked;  // Control Flags: the check box
};

struct MamRow {
    const MamAttributeDef* def = nullptr;
    command::ScsiResult result = 0;
    // The command ended GOOD and returned this attribute.
    bool available = false;
    std::vector<uint8_t> value;  // as read; empty when not available
    std::string text;            // the value column
    std::vector<MamField> fields;
};

struct MamPage {
    MamGroupId group = MamGroupId::Device;
    std::vector<MamRow> rows;
};

// Decodes one row from its reply buffer. `commandGood` false: the buffer is taken as zero
// bytes, whatever the device left in it.
MamRow decodeMamRow(const MamAttributeDef& def, std::span<const uint8_t> buffer, bool commandGood);

// Bytes from a count of 1,048,576-byte units, exact, with thousands separators:
// 2 -> "2,097,152".
std::string mebibytesAsBytes(uint64_t units);

// Reads every row of the group from the device. A row that cannot be read does not stop
// the others.
MamPage ReadMamGroup(command::CScsiDevice& device, MamGroupId group);

enum class MamGroupRefusal { None, EngineeringOnly };
// The control group is read only in engineering mode.
MamGroupRefusal mamGroupAllowed(MamGroupId group, bool engineeringMode);

}  // namespace vexal::diag
