#pragma once
// The SCSI command names a CDB declaration may give instead of its opcode byte.
#include <cstdint>
#include <optional>
#include <string_view>

namespace vexal::script {

struct ScsiCommandName {
    std::string_view name;
    uint8_t opcode;
};

// The opcode of a name compared upper-cased, or nothing.
std::optional<uint8_t> findScsiCommand(std::string_view name);

}  // namespace vexal::script
