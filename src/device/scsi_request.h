#pragma once
#include <array>
#include <cstdint>

#include "device/request_block.h"

namespace vexal::device {

class Buffer;

// One command for one device; embedded in each channel and reused.
struct ScsiRequest {
    enum Direction : uint8_t { None = 0, ToDevice = 1, FromDevice = 2 };

    std::array<uint8_t, 16> cdb{};
    uint16_t cdbLength = 0;
    uint8_t direction = None;
    Buffer* buffer = nullptr;   // the channel buffer; its used size is the transfer length
    uint32_t senseLength = 0;
    std::array<uint8_t, kMaxSense> sense{};
    // Data bytes the device is known to have sent (see data_in_count.h); the buffer
    // holds zeros after them.
    uint32_t transferred = 0;
    int systemError = 0;  // errno of a failed pass-through, 0 when it worked
};

}  // namespace vexal::device
