#pragma once
// The drive-internal structures the virtual tape drive shows through READ BUFFER (mode 02h
// data, mode 03h descriptor), made from the cartridge as it is at the time of the read:
//   90h filemark table (1040 bytes)
//   91h header frame: header data with the track table (17192 bytes) at 0, the header
//       frame's AUX data (256 bytes) at 17408; 17664 bytes in all
//   92h AUX data of the frame at the current position (256 bytes)
//   93h EOD frame: the track table (16680 bytes)
//   94h defect map (8 + 8 x 4096 bytes)
//   95h trace memory: the last 768 commands the drive carried out (12304 bytes)
// The tape is modelled as 32 KiB frames of data after 64 frames of lead-in, laid out in
// four columns of 24 tracks on one partition.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "device/virtual/exchange.h"
#include "device/virtual/sense_builder.h"
#include "device/virtual/tape_medium.h"

namespace vexal::device::virt {

class TapeStructureBuffers {
public:
    static constexpr uint8_t kFilemarkTable = 0x90, kHeaderFrame = 0x91, kAux = 0x92, kEodFrame = 0x93,
                             kDefectMap = 0x94, kTraceMemory = 0x95;
    static constexpr uint32_t kHeaderAuxOffset = 17408;
    static constexpr uint32_t kTraceEntries = 768;
    static constexpr uint32_t kTraceSize = 16 + 16 * kTraceEntries;  // 12304

    // What the structures are made from.
    struct Tape {
        const TapeMedium& medium;
        size_t position;
        bool loaded;
        std::optional<uint64_t> mediumErrorAt;
    };

    static bool holds(uint8_t id) { return id >= kFilemarkTable && id <= kTraceMemory; }
    static uint32_t capacity(uint8_t id);

    // READ BUFFER of one of these buffers: the data before the allocation length cuts it,
    // or false with the sense.
    bool read(uint8_t mode, uint8_t id, uint32_t offset, uint32_t allocation, const Tape& tape,
              std::vector<uint8_t>& out, Sense& error) const;
    // Records a command that has been carried out in the trace memory.
    void noteCommand(const Exchange& x);

private:
    std::vector<uint8_t> build(uint8_t id, const Tape& tape) const;

    std::array<std::array<uint8_t, 16>, kTraceEntries> trace_{};
    uint64_t commands_ = 0;
};

}  // namespace vexal::device::virt
