#pragma once
// Big-endian fields of CDBs and SCSI data, little-endian fields of the cartridge file.
#include <cstdint>

namespace vexal::device::virt {

inline void putBe16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}
inline void putBe24(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 16);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v);
}
inline void putBe32(uint8_t* p, uint32_t v) {
    putBe16(p, v >> 16);
    putBe16(p + 2, v & 0xFFFF);
}
inline void putBe64(uint8_t* p, uint64_t v) {
    putBe32(p, static_cast<uint32_t>(v >> 32));
    putBe32(p + 4, static_cast<uint32_t>(v));
}
inline uint32_t getBe16(const uint8_t* p) { return (uint32_t{p[0]} << 8) | p[1]; }
inline uint32_t getBe24(const uint8_t* p) { return (uint32_t{p[0]} << 16) | getBe16(p + 1); }
inline uint32_t getBe32(const uint8_t* p) { return (getBe16(p) << 16) | getBe16(p + 2); }

inline void putLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void putLe64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint32_t getLe32(const uint8_t* p) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}
inline uint64_t getLe64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

}  // namespace vexal::device::virt
