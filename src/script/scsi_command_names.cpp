#include "script/scsi_command_names.h"

#include <array>

#include "script/script_text.h"

namespace vexal::script {
namespace {

// Several names share an opcode; the script writes the distinguishing bits in later bytes.
constexpr std::array<ScsiCommandName, 41> kNames{{
    {"SCSI_ALLOW_MEDIUM_REMOVAL", 0x1E},   {"SCSI_ERASE", 0x19},
    {"SCSI_INIT_ELEMENT_STATUS", 0x07},    {"SCSI_INQUIRY", 0x12},
    {"SCSI_LOAD", 0x1B},                   {"SCSI_LOCATE", 0x2B},
    {"SCSI_LOG_SELECT", 0x4C},             {"SCSI_LOG_SENSE", 0x4D},
    {"SCSI_MODE_SELECT6", 0x15},           {"SCSI_MODE_SELECT10", 0x55},
    {"SCSI_MODE_SENSE6", 0x1A},            {"SCSI_MODE_SENSE10", 0x5A},
    {"SCSI_MOVE_MEDIUM", 0xA5},            {"SCSI_POSITION_TO_ELEMENT", 0x2B},
    {"SCSI_PREVENT_MEDIUM_REMOVAL", 0x1E}, {"SCSI_READ", 0x08},
    {"SCSI_READ_BLOCK_LIMITS", 0x05},      {"SCSI_READ_BUFFER", 0x3C},
    {"SCSI_READ_ELEMENT_STATUS", 0xB8},    {"SCSI_READ_POSITION", 0x34},
    {"SCSI_RECEIVE_DIAG_RESULTS", 0x1C},   {"SCSI_RELEASE_UNIT", 0x17},
    {"SCSI_REQUEST_SENSE", 0x03},          {"SCSI_RESERVE_UNIT", 0x16},
    {"SCSI_REWIND", 0x01},                 {"SCSI_SEND_DIAGNOSTIC", 0x1D},
    {"SCSI_SPACE", 0x11},                  {"SCSI_TEST_UNIT_READY", 0x00},
    {"SCSI_VERIFY", 0x2F},                 {"SCSI_WRITE", 0x0A},
    {"SCSI_WRITE_BUFFER", 0x3B},           {"SCSI_WRITE_FILEMARKS", 0x10},
    {"SCSI_UNLOAD", 0x1B},                 {"SCSI_PERSISTENT_RESERVE_IN", 0x5E},
    {"SCSI_PERSISTENT_RESERVE_OUT", 0x5F}, {"SCSI_RELEASE10", 0x57},
    {"SCSI_REPORT_DENSITY_SUPPORT", 0x44}, {"SCSI_REPORT_DEV_IDENTIFIER", 0xA3},
    {"SCSI_REPORT_LUNS", 0xA0},            {"SCSI_RESERVE10", 0x56},
    {"SCSI_SET_DEV_IDENTIFIER", 0xA4},
}};

}  // namespace

std::optional<uint8_t> findScsiCommand(std::string_view name) {
    for (const auto& n : kNames)
        if (equalsUpper(name, n.name)) return n.opcode;
    return std::nullopt;
}

}  // namespace vexal::script
