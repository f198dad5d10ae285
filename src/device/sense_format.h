#pragma once
// One reader for the two layouts of sense data: fixed format (response codes 70h/71h)
// and descriptor format (72h/73h, what a drive returns when its control mode page sets
// D_SENSE). Every reader of sense bytes goes through it, so a drive's choice of format
// never changes what is shown or decided. Only the bytes received are read.
#include <cstddef>
#include <cstdint>
#include <span>

namespace vexal::device {

struct SenseFields {
    enum class Format : uint8_t { None, Fixed, Descriptor };
    // None: no bytes, or a response code of neither layout (its fields are still read at
    // the fixed-format places, as older drives and tools do).
    Format format = Format::None;
    uint8_t responseCode = 0;      // byte 0 without the VALID bit
    bool deferred = false;         // 71h or 73h
    uint8_t key = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
    bool filemark = false;
    bool eom = false;
    bool ili = false;
    bool informationValid = false;  // fixed: VALID bit; descriptor: the information descriptor's VALID
    uint64_t information = 0;       // fixed format holds 32 bits, descriptor format 64

    bool present() const { return format != Format::None; }
    // The information field as the signed residue of a stream command (a negative one
    // means the block was longer than asked): 32 bits in fixed format, 64 in descriptor.
    int64_t signedInformation() const {
        return format == Format::Descriptor ? static_cast<int64_t>(information)
                                            : static_cast<int64_t>(static_cast<int32_t>(information));
    }
};

// Decodes `sense`, whose size is the number of bytes the device returned. A fixed-format
// field beyond that count reads as zero; descriptors are walked within both the count
// and the additional sense length, and a descriptor cut short is ignored.
SenseFields parseSense(std::span<const uint8_t> sense);

}  // namespace vexal::device
