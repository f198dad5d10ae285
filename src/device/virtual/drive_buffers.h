#pragma once
// The buffers READ BUFFER and WRITE BUFFER reach: buffer 0 (the 64 KiB data buffer),
// buffers 1 and 2, and the echo buffer. Modes: 00h header and data (buffer 0 at offset 0),
// 02h data, 03h descriptor (READ BUFFER), 0Ah echo buffer, 0Bh echo buffer descriptor
// (READ BUFFER). Microcode download modes are not offered here.
#include <array>
#include <cstdint>
#include <vector>

#include "device/virtual/sense_builder.h"

namespace vexal::device::virt {

class DriveBuffers {
public:
    struct Spec {
        uint32_t capacity;
        uint8_t offsetBoundary;  // offsets are multiples of 2 to this power
    };
    static constexpr std::array<Spec, 3> kBuffers = {{{64 * 1024, 0}, {8 * 1024, 2}, {1024, 0}}};
    static constexpr uint32_t kEchoCapacity = 4096;

    DriveBuffers();

    // The data READ BUFFER returns (before the allocation length cuts it), or false with
    // the sense. `allocation` bounds how much of a buffer is copied.
    bool read(uint8_t mode, uint8_t id, uint32_t offset, uint32_t allocation, std::vector<uint8_t>& out,
              Sense& error) const;
    // WRITE BUFFER of `length` bytes at `data`; false with the sense.
    bool write(uint8_t mode, uint8_t id, uint32_t offset, const uint8_t* data, uint32_t length, Sense& error);

private:
    std::array<std::vector<uint8_t>, kBuffers.size()> buffers_;
    std::vector<uint8_t> echo_;
    bool echoWritten_ = false;
};

}  // namespace vexal::device::virt
