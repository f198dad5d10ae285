#pragma once
// One SCSI command as a virtual device carries it out: the CDB, the data buffer the
// initiator gave, how many bytes moved, and the sense when it ends in CHECK CONDITION.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

#include "device/virtual/byte_order.h"
#include "device/virtual/sense_builder.h"

namespace vexal::device::virt {

struct Exchange {
    std::array<uint8_t, 16> cdb{};  // bytes past the CDB length read as zero
    uint8_t cdbLength = 0;
    uint8_t* buffer = nullptr;
    uint32_t bufferLength = 0;
    uint32_t transferred = 0;  // data bytes that moved in either direction
    std::optional<Sense> sense;

    uint8_t opcode() const { return cdb[0]; }
    uint8_t byte(size_t i) const { return i < cdb.size() ? cdb[i] : 0; }
    bool bit(size_t i, int b) const { return (byte(i) >> b) & 1; }
    uint32_t be16(size_t i) const { return i + 2 <= cdb.size() ? getBe16(&cdb[i]) : 0; }
    uint32_t be24(size_t i) const { return i + 3 <= cdb.size() ? getBe24(&cdb[i]) : 0; }
    uint32_t be32(size_t i) const { return i + 4 <= cdb.size() ? getBe32(&cdb[i]) : 0; }

    void fail(Sense s) { sense = std::move(s); }
    bool failed() const { return sense.has_value(); }

    // Returns `length` bytes to the initiator, cut to the allocation length and the buffer.
    void sendData(const uint8_t* data, size_t length, size_t allocation) {
        const size_t n = std::min({length, allocation, static_cast<size_t>(bufferLength)});
        if (n > 0 && buffer) std::memcpy(buffer, data, n);
        transferred = buffer ? static_cast<uint32_t>(n) : 0;
    }
    // Room for data-in at `offset` (0 when the buffer ends before it).
    size_t roomAt(uint64_t offset) const {
        return buffer && offset < bufferLength ? static_cast<size_t>(bufferLength - offset) : 0;
    }
};

}  // namespace vexal::device::virt
