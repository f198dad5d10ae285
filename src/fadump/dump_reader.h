#pragma once
// Reading the drive's FA dump buffers with READ BUFFER (10-byte CDB, mode 02h data, 03h
// descriptor): the dump source check that chooses the buffer layout, and the chunks in
// which a dump buffer is read.
#include <cstdint>
#include <string>
#include <vector>

#include "command/scsi_device.h"

namespace vexal::fadump {

namespace buffer_id {
inline constexpr uint8_t Directory = 0x80;
inline constexpr uint8_t DirectoryLength = 0x81;  // its capacity: how much of 80h to read
inline constexpr uint8_t Dump = 0x82;
inline constexpr uint8_t Lram = 0x83;
inline constexpr uint8_t TestText = 0x84;
inline constexpr uint8_t TestRegisters = 0x85;
inline constexpr uint8_t SmallDirectory = 0xA0;
inline constexpr uint8_t SmallDump = 0xA2;
}  // namespace buffer_id

inline constexpr uint8_t kModeData = 0x02;
inline constexpr uint8_t kModeDescriptor = 0x03;
inline constexpr uint32_t kChunkSize = 32768;
// A buffer 81h above this capacity selects the large layout.
inline constexpr uint32_t kLargeLayoutMinimum = 2048;

enum class Layout { Large, Small };

struct Chunk {
    uint32_t offset;
    uint32_t length;
};

// Chunks of 32768 bytes at offsets 0, 32768, ... and a last one of the remainder.
std::vector<Chunk> chunkPlan(uint32_t size);
// READ BUFFER: 3Ch, mode, buffer ID, offset and allocation length as 24-bit big-endian.
std::vector<uint8_t> readBufferCdb(uint8_t mode, uint8_t id, uint32_t offset, uint32_t length);

class DumpReader {
public:
    explicit DumpReader(command::CScsiDevice& device) : device_(device) {}

    // The capacity from a descriptor read; false when the command did not end GOOD.
    bool capacity(uint8_t id, uint32_t& capacity);
    // `length` bytes of buffer `id` from `offset`; false when the command did not end GOOD.
    bool data(uint8_t id, uint32_t offset, uint32_t length, std::vector<uint8_t>& out);

    // The dump source check: buffer 81h above 2048 bytes reads that many bytes of 80h
    // (large layout); 81h of 0 reads 0A0h by its descriptor (small layout). False with the
    // reason in `why` for a capacity of 1 to 2048, an empty 0A0h or any failed read.
    bool checkSource(Layout& layout, std::string& why);

private:
    command::CScsiDevice& device_;
};

// The dump buffer of a layout: 82h or 0A2h.
inline uint8_t dumpBuffer(Layout layout) { return layout == Layout::Large ? buffer_id::Dump : buffer_id::SmallDump; }

}  // namespace vexal::fadump
