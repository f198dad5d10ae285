#pragma once
// The engineering views of the tape structures: one READ BUFFER frame each, titled
// " Read Buffer (...)", whose decoded lines follow the data.
//
// Where the drive delivers each structure (READ BUFFER mode 02h, offset 0):
//   90h filemark table, 1040 bytes
//   91h header frame: header data and track table at 0, its AUX data at 17408; 17664 bytes
//   92h AUX data of the frame at the current position, 256 bytes
//   93h EOD frame track table, 16680 bytes
//   94h defect map, 32776 bytes
//   95h trace memory, 12304 bytes (the debug trace)
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "command/scsi_device.h"

namespace vexal::diag {

enum class StructureKind { FilemarkTable, HeaderFrame, Aux, EodFrame, DefectMap };

struct StructureSource {
    StructureKind kind;
    std::string_view cliName;  // filemarks, header, aux, eod, defects
    std::string_view title;    // the frame's name line
    uint8_t bufferId;
    uint32_t length;
};

inline constexpr uint8_t kTraceMemoryBuffer = 0x95;
inline constexpr uint32_t kTraceMemorySize = 12304;
inline constexpr uint32_t kHeaderAuxOffset = 17408;

const std::vector<StructureSource>& structureSources();
std::optional<StructureKind> parseStructureKind(std::string_view name);
const StructureSource& structureSource(StructureKind kind);

// The decoded lines of a structure read from the drive.
std::vector<std::string> structureLines(StructureKind kind, std::span<const uint8_t> data);

// Reads one structure and writes its frame; the decoded lines follow when the read ends
// GOOD. Returns the command's result.
command::ScsiResult ReadStructure(command::CScsiDevice& device, StructureKind kind);

// READ BUFFER mode 02h of `length` bytes of buffer `id` in a frame named `title`; the data
// is dumped in engineering mode, and `decode` adds lines after a GOOD read.
command::ScsiResult ReadBufferFrame(command::CScsiDevice& device, std::string_view title, uint8_t id,
                                    uint32_t length, std::vector<uint8_t>& data,
                                    const std::function<std::vector<std::string>()>& decode = {});

}  // namespace vexal::diag
