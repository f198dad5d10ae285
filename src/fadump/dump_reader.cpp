#include "fadump/dump_reader.h"

#include <fmt/format.h>

namespace vexal::fadump {
namespace {

std::string_view modeText(uint8_t mode) { return mode == kModeDescriptor ? " (Descriptor)" : " (Data)"; }

}  // namespace

std::vector<Chunk> chunkPlan(uint32_t size) {
    std::vector<Chunk> plan;
    for (uint32_t offset = 0; offset < size; offset += kChunkSize)
        plan.push_back({offset, std::min(kChunkSize, size - offset)});
    return plan;
}

std::vector<uint8_t> readBufferCdb(uint8_t mode, uint8_t id, uint32_t offset, uint32_t length) {
    return {0x3C,
            mode,
            id,
            static_cast<uint8_t>(offset >> 16),
            static_cast<uint8_t>(offset >> 8),
            static_cast<uint8_t>(offset),
            static_cast<uint8_t>(length >> 16),
            static_cast<uint8_t>(length >> 8),
            static_cast<uint8_t>(length),
            0};
}

namespace {

// One READ BUFFER frame. The name and CDB lines are for engineers; the customer sees the
// wizard. Dump data is not dumped line by line: the dump file holds it.
command::ScsiResult readBuffer(command::CScsiDevice& device, uint8_t mode, uint8_t id, uint32_t offset,
                               std::vector<uint8_t>& data) {
    using command::LineRule;
    command::CScsiDevice::Frame frame{
        " ReadBuffer",
        {fmt::format("  Mode = 0x{:1X}{}", mode, modeText(mode)), fmt::format("  Buffer ID = 0x{:02X}", id),
         fmt::format("  Offset = {}", offset), fmt::format("  Length = {}", data.size())},
        LineRule::EngineeringOnly,
        LineRule::EngineeringOnly};
    const auto length = static_cast<uint32_t>(data.size());
    return device.RunFrame(frame, readBufferCdb(mode, id, offset, length), data.data(), length, false,
                           [&](command::ScsiResult) {
                               data.resize(device.transferred());  // only what the drive sent
                               if (mode == kModeDescriptor)
                                   device.LogRawData(data.data(), data.size(), LineRule::EngineeringOnly);
                           });
}

}  // namespace

bool DumpReader::capacity(uint8_t id, uint32_t& capacity) {
    std::vector<uint8_t> d(4, 0);
    if (readBuffer(device_, kModeDescriptor, id, 0, d) != 0 || d.size() < 4) return false;
    capacity = (uint32_t{d[1]} << 16) | (uint32_t{d[2]} << 8) | d[3];
    return true;
}

bool DumpReader::data(uint8_t id, uint32_t offset, uint32_t length, std::vector<uint8_t>& out) {
    out.assign(length, 0);
    // A block that came short would put bytes into the dump that the drive never sent.
    return readBuffer(device_, kModeData, id, offset, out) == 0 && out.size() == length;
}

bool DumpReader::checkSource(Layout& layout, std::string& why) {
    uint32_t size = 0;
    std::vector<uint8_t> directory;
    if (!capacity(buffer_id::DirectoryLength, size)) {
        why = "the descriptor of buffer 81h could not be read";
        return false;
    }
    if (size > kLargeLayoutMinimum) {
        if (!data(buffer_id::Directory, 0, size, directory)) {
            why = "buffer 80h could not be read";
            return false;
        }
        layout = Layout::Large;
        return true;
    }
    if (size != 0) {
        why = fmt::format("buffer 81h reports {} bytes, too few for a dump", size);
        return false;
    }
    if (!capacity(buffer_id::SmallDirectory, size)) {
        why = "the descriptor of buffer A0h could not be read";
        return false;
    }
    if (size == 0) {
        why = "the drive offers no dump buffers";
        return false;
    }
    if (!data(buffer_id::SmallDirectory, 0, size, directory)) {
        why = "buffer A0h could not be read";
        return false;
    }
    layout = Layout::Small;
    return true;
}

}  // namespace vexal::fadump
