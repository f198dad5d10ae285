#include "device/virtual/sense_builder.h"

#include "device/virtual/byte_order.h"

namespace vexal::device::virt {

Sense makeSense(uint8_t key, uint8_t asc, uint8_t ascq) {
    Sense s;
    s.key = key;
    s.asc = asc;
    s.ascq = ascq;
    return s;
}

namespace {
Sense streamCondition(uint8_t key, uint8_t ascq, int64_t residue, bool Sense::*flag) {
    Sense s = makeSense(key, 0x00, ascq);
    if (flag) s.*flag = true;
    return s.withInformation(residue);
}
}  // namespace

Sense filemarkDetected(int64_t residue) { return streamCondition(sense_key::NoSense, 0x01, residue, &Sense::filemark); }
Sense endOfData(int64_t residue) { return streamCondition(sense_key::BlankCheck, 0x05, residue, nullptr); }
Sense earlyWarning(int64_t residue) { return streamCondition(sense_key::NoSense, 0x02, residue, &Sense::eom); }
Sense volumeOverflow(int64_t residue) { return streamCondition(sense_key::VolumeOverflow, 0x02, residue, &Sense::eom); }
Sense beginningOfPartition(int64_t residue) { return streamCondition(sense_key::NoSense, 0x04, residue, &Sense::eom); }
Sense incorrectLength(int64_t residue) { return streamCondition(sense_key::NoSense, 0x00, residue, &Sense::ili); }

Sense invalidCdbField(uint16_t byte, int bit) {
    Sense s = makeSense(sense_key::IllegalRequest, 0x24, 0x00);
    s.field = Sense::FieldPointer{true, byte, bit};
    return s;
}

Sense invalidParameterField(uint16_t byte, int bit) {
    Sense s = makeSense(sense_key::IllegalRequest, 0x26, 0x00);
    s.field = Sense::FieldPointer{false, byte, bit};
    return s;
}

Sense invalidOpcode() {
    Sense s = makeSense(sense_key::IllegalRequest, 0x20, 0x00);
    s.field = Sense::FieldPointer{true, 0, -1};
    return s;
}

namespace {
// The three bytes of a field pointer: SKSV, C/D, BPV and bit, then the byte.
void putFieldPointer(const Sense::FieldPointer& f, uint8_t* out) {
    out[0] = static_cast<uint8_t>(0x80 | (f.inCdb ? 0x40 : 0));
    if (f.bit >= 0 && f.bit <= 7) out[0] |= static_cast<uint8_t>(0x08 | f.bit);
    putBe16(&out[1], f.byte);
}
}  // namespace

std::array<uint8_t, kSenseLength> buildFixedSense(const Sense& sense, const SenseCounters& counters) {
    std::array<uint8_t, kSenseLength> b{};
    b[0] = sense.information ? 0xF0 : 0x70;
    b[2] = static_cast<uint8_t>((sense.key & 0x0F) | (sense.filemark ? 0x80 : 0) | (sense.eom ? 0x40 : 0) |
                                (sense.ili ? 0x20 : 0));
    if (sense.information) putBe32(&b[3], static_cast<uint32_t>(*sense.information));
    b[7] = static_cast<uint8_t>(kSenseLength - 8);
    b[12] = sense.asc;
    b[13] = sense.ascq;
    if (sense.field) putFieldPointer(*sense.field, &b[15]);
    putBe16(&b[19], counters.tapeMotionHours);
    putBe32(&b[21], counters.powerOnHours);
    putBe32(&b[25], counters.tapeRemaining);
    return b;
}

std::vector<uint8_t> buildDescriptorSense(const Sense& sense) {
    std::vector<uint8_t> b{0x72, static_cast<uint8_t>(sense.key & 0x0F), sense.asc, sense.ascq, 0, 0, 0, 0};
    if (sense.information) {
        const size_t at = b.size();
        b.resize(at + 12);
        b[at] = 0x00;
        b[at + 1] = 0x0A;
        b[at + 2] = 0x80;  // VALID
        // Sign-extended to 64 bits, as the 32-bit fixed field is read as two's complement.
        putBe64(&b[at + 4], static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(*sense.information))));
    }
    if (sense.field) {
        const size_t at = b.size();
        b.resize(at + 8);
        b[at] = 0x02;
        b[at + 1] = 0x06;
        putFieldPointer(*sense.field, &b[at + 4]);
    }
    if (sense.filemark || sense.eom || sense.ili) {
        b.insert(b.end(), {0x04, 0x02, 0x00,
                           static_cast<uint8_t>((sense.filemark ? 0x80 : 0) | (sense.eom ? 0x40 : 0) |
                                                (sense.ili ? 0x20 : 0))});
    }
    b[7] = static_cast<uint8_t>(b.size() - 8);
    return b;
}

}  // namespace vexal::device::virt
