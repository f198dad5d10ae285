#include "device/virtual/drive_buffers.h"

#include <algorithm>

#include "device/virtual/byte_order.h"

namespace vexal::device::virt {
namespace {

namespace mode {
constexpr uint8_t HeaderAndData = 0x00;
constexpr uint8_t Data = 0x02;
constexpr uint8_t Descriptor = 0x03;
constexpr uint8_t Echo = 0x0A;
constexpr uint8_t EchoDescriptor = 0x0B;
}  // namespace mode

// CDB bytes of READ BUFFER and WRITE BUFFER, for the field pointer.
constexpr uint16_t kModeByte = 1, kIdByte = 2, kOffsetByte = 3, kLengthByte = 6;

bool refuse(Sense& error, Sense why) {
    error = std::move(why);
    return false;
}

}  // namespace

DriveBuffers::DriveBuffers() {
    for (size_t i = 0; i < kBuffers.size(); ++i) buffers_[i].assign(kBuffers[i].capacity, 0);
}

bool DriveBuffers::read(uint8_t m, uint8_t id, uint32_t offset, uint32_t allocation, std::vector<uint8_t>& out,
                        Sense& error) const {
    out.clear();
    switch (m) {
    case mode::HeaderAndData: {
        // Buffer ID and offset are reserved in this mode: buffer 0 from its start.
        if (id != 0) return refuse(error, invalidCdbField(kIdByte));
        if (offset != 0) return refuse(error, invalidCdbField(kOffsetByte));
        const auto& b = buffers_[0];
        out.assign(4, 0);
        putBe24(&out[1], static_cast<uint32_t>(b.size()));
        const size_t n = std::min<size_t>(b.size(), allocation > 4 ? allocation - 4 : 0);
        out.insert(out.end(), b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n));
        return true;
    }
    case mode::Data: {
        if (id >= kBuffers.size()) return refuse(error, invalidCdbField(kIdByte));
        const auto& b = buffers_[id];
        if (offset >= b.size() || offset % (1u << kBuffers[id].offsetBoundary) != 0)
            return refuse(error, invalidCdbField(kOffsetByte));
        const size_t n = std::min<size_t>(b.size() - offset, allocation);
        out.assign(b.begin() + offset, b.begin() + static_cast<std::ptrdiff_t>(offset + n));
        return true;
    }
    case mode::Descriptor:
        // A buffer ID without a buffer reads as an all-zero descriptor.
        out.assign(4, 0);
        if (id < kBuffers.size()) {
            out[0] = kBuffers[id].offsetBoundary;
            putBe24(&out[1], kBuffers[id].capacity);
        }
        return true;
    case mode::Echo:
        if (id != 0) return refuse(error, invalidCdbField(kIdByte));
        if (offset != 0) return refuse(error, invalidCdbField(kOffsetByte));
        if (!echoWritten_) return refuse(error, makeSense(sense_key::IllegalRequest, 0x2C, 0x00));
        out = echo_;
        return true;
    case mode::EchoDescriptor:
        out.assign(4, 0);  // EBOS 0: one initiator, the echo buffer is never overwritten by another
        putBe16(&out[2], kEchoCapacity & 0x1FFF);
        return true;
    default:
        return refuse(error, invalidCdbField(kModeByte, 4));
    }
}

bool DriveBuffers::write(uint8_t m, uint8_t id, uint32_t offset, const uint8_t* data, uint32_t length,
                         Sense& error) {
    switch (m) {
    case mode::HeaderAndData: {
        if (id != 0) return refuse(error, invalidCdbField(kIdByte));
        if (offset != 0) return refuse(error, invalidCdbField(kOffsetByte));
        if (length == 0) return true;
        // Four reserved header bytes, then the data for buffer 0.
        if (length < 4 || length - 4 > buffers_[0].size()) return refuse(error, invalidCdbField(kLengthByte));
        std::copy(data + 4, data + length, buffers_[0].begin());
        return true;
    }
    case mode::Data: {
        if (id >= kBuffers.size()) return refuse(error, invalidCdbField(kIdByte));
        auto& b = buffers_[id];
        if (offset > b.size() || offset % (1u << kBuffers[id].offsetBoundary) != 0)
            return refuse(error, invalidCdbField(kOffsetByte));
        if (length > b.size() - offset) return refuse(error, invalidCdbField(kLengthByte));
        if (length > 0) std::copy(data, data + length, b.begin() + offset);
        return true;
    }
    case mode::Echo:
        if (id != 0) return refuse(error, invalidCdbField(kIdByte));
        if (offset != 0) return refuse(error, invalidCdbField(kOffsetByte));
        if (length > kEchoCapacity) return refuse(error, invalidCdbField(kLengthByte));
        if (length > 0) echo_.assign(data, data + length);
        else echo_.clear();
        echoWritten_ = true;
        return true;
    default:
        // Microcode download (04h to 07h, 0Dh to 0Fh) and vendor modes are not offered.
        return refuse(error, invalidCdbField(kModeByte, 4));
    }
}

}  // namespace vexal::device::virt
