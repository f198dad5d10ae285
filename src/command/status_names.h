#pragma once
// The status name table: the vocabulary for command outcomes in every log. A result is
// named by its low 16 bits: ASC/ASCQ pairs, or the command layer's own families
// 0xA981..0xAD0F.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "command/scsi_result.h"

namespace vexal::command {

struct StatusName {
    uint16_t key;
    std::string_view name;
};

// The whole table, sorted by key.
std::span<const StatusName> statusNameTable();
std::optional<std::string_view> findStatusName(uint16_t key);
// The name of the low 16 bits of `result`; for a key not in the table the text
// "UNRECOGNIZED ERROR: 0x%04X (VavURIR-32 DLL returned value)" with the whole result.
std::string statusName(ScsiResult result);

}  // namespace vexal::command
