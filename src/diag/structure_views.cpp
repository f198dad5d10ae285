#include "diag/structure_views.h"

#include <fmt/format.h>

#include "diag/tape_structures.h"

namespace vexal::diag {

using command::CScsiDevice;
using command::LineRule;
using command::ScsiResult;

const std::vector<StructureSource>& structureSources() {
    static const std::vector<StructureSource> sources{
        {StructureKind::FilemarkTable, "filemarks", " Read Buffer (Filemark Table)", 0x90, kFilemarkTableSize},
        {StructureKind::HeaderFrame, "header", " Read Buffer (Header Frame + AUX)", 0x91,
         kHeaderAuxOffset + kAuxFrameSize},
        {StructureKind::Aux, "aux", " Read Buffer (AUX)", 0x92, kAuxFrameSize},
        {StructureKind::EodFrame, "eod", " Read Buffer (EOD Frame)", 0x93, kTrackTableSize},
        {StructureKind::DefectMap, "defects", " Read Buffer (Defect Map)", 0x94, kDefectMapSize},
    };
    return sources;
}

std::optional<StructureKind> parseStructureKind(std::string_view name) {
    for (const auto& s : structureSources())
        if (s.cliName == name) return s.kind;
    return std::nullopt;
}

const StructureSource& structureSource(StructureKind kind) {
    for (const auto& s : structureSources())
        if (s.kind == kind) return s;
    return structureSources().front();
}

std::vector<std::string> structureLines(StructureKind kind, std::span<const uint8_t> data) {
    switch (kind) {
    case StructureKind::FilemarkTable: return filemarkTableLines(data);
    case StructureKind::HeaderFrame: {
        const auto header = data.first(std::min(data.size(), kHeaderFrameSize));
        const auto aux = data.size() > kHeaderAuxOffset ? data.subspan(kHeaderAuxOffset) : std::span<const uint8_t>{};
        return headerFrameLines(header, aux);
    }
    case StructureKind::Aux: return auxFrameLines(data);
    case StructureKind::EodFrame: return eodFrameLines(data);
    case StructureKind::DefectMap: return defectMapLines(data);
    }
    return {};
}

ScsiResult ReadBufferFrame(CScsiDevice& device, std::string_view title, uint8_t id, uint32_t length,
                           std::vector<uint8_t>& data, const std::function<std::vector<std::string>()>& decode) {
    const auto byteOf = [](uint32_t v, int shift) { return static_cast<uint8_t>(v >> shift); };
    data.assign(length, 0);
    CScsiDevice::Frame frame{title,
                             {"  Mode = 0x2 (Data)", fmt::format("  Buffer ID = 0x{:02X}", id), "  Offset = 0",
                              fmt::format("  Length = {}", length)}};
    return device.RunFrame(frame, {0x3C, 0x02, id, 0, 0, 0, byteOf(length, 16), byteOf(length, 8), byteOf(length, 0), 0},
                           data.data(), length, false, [&](ScsiResult result) {
                               data.resize(device.transferred());
                               device.LogRawData(data.data(), data.size(), LineRule::EngineeringOnly);
                               if (result != 0 || !decode) return;
                               for (const auto& line : decode()) device.Line(line, LineRule::Always);
                           });
}

ScsiResult ReadStructure(CScsiDevice& device, StructureKind kind) {
    const StructureSource& s = structureSource(kind);
    std::vector<uint8_t> data;
    return ReadBufferFrame(device, s.title, s.bufferId, s.length, data,
                           [&] { return structureLines(kind, data); });
}

}  // namespace vexal::diag
