#include "device/sense_format.h"

namespace vexal::device {
namespace {

constexpr uint8_t kInformationDescriptor = 0x00;
constexpr uint8_t kStreamCommandsDescriptor = 0x04;
constexpr uint8_t kBlockCommandsDescriptor = 0x05;

uint64_t bigEndian(std::span<const uint8_t> bytes) {
    uint64_t value = 0;
    for (uint8_t b : bytes) value = (value << 8) | b;
    return value;
}

void readFixed(std::span<const uint8_t> s, SenseFields& f) {
    const auto at = [&](size_t i) -> uint8_t { return i < s.size() ? s[i] : 0; };
    const uint8_t flags = at(2);
    f.key = flags & 0x0F;
    f.filemark = flags & 0x80;
    f.eom = flags & 0x40;
    f.ili = flags & 0x20;
    f.asc = at(12);
    f.ascq = at(13);
    // The information field counts only when all four bytes arrived.
    if ((s[0] & 0x80) && s.size() >= 7) {
        f.informationValid = true;
        f.information = bigEndian(s.subspan(3, 4));
    }
}

void readDescriptors(std::span<const uint8_t> s, SenseFields& f) {
    const auto at = [&](size_t i) -> uint8_t { return i < s.size() ? s[i] : 0; };
    f.key = at(1) & 0x0F;
    f.asc = at(2);
    f.ascq = at(3);
    if (s.size() <= 8) return;
    // The descriptors lie within the additional length and the bytes received.
    std::span<const uint8_t> list = s.subspan(8);
    if (list.size() > s[7]) list = list.first(s[7]);
    while (list.size() >= 2) {
        const size_t length = size_t{2} + list[1];
        if (length > list.size()) break;
        const std::span<const uint8_t> d = list.first(length);
        switch (d[0]) {
        case kInformationDescriptor:
            if (d.size() >= 12) {
                f.informationValid = d[2] & 0x80;
                f.information = bigEndian(d.subspan(4, 8));
            }
            break;
        case kStreamCommandsDescriptor:
            if (d.size() >= 4) {
                f.filemark = d[3] & 0x80;
                f.eom = d[3] & 0x40;
                f.ili = d[3] & 0x20;
            }
            break;
        case kBlockCommandsDescriptor:
            if (d.size() >= 4) f.ili = d[3] & 0x20;
            break;
        default:
            break;
        }
        list = list.subspan(length);
    }
}

}  // namespace

SenseFields parseSense(std::span<const uint8_t> sense) {
    SenseFields f;
    if (sense.empty()) return f;
    f.responseCode = sense[0] & 0x7F;
    switch (f.responseCode) {
    case 0x72:
    case 0x73:
        f.format = SenseFields::Format::Descriptor;
        f.deferred = f.responseCode == 0x73;
        readDescriptors(sense, f);
        return f;
    case 0x70:
    case 0x71:
        f.format = SenseFields::Format::Fixed;
        f.deferred = f.responseCode == 0x71;
        break;
    default:
        break;
    }
    readFixed(sense, f);
    return f;
}

}  // namespace vexal::device
