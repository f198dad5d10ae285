#include "device/virtual/mode_pages.h"

#include <array>
#include <cstring>

#include "device/virtual/byte_order.h"

namespace vexal::device::virt {
namespace {

constexpr size_t kPageSize = 16;
using Page = std::array<uint8_t, kPageSize>;
constexpr size_t kControlPageSize = 12;
using ControlPage = std::array<uint8_t, kControlPageSize>;
constexpr uint8_t kDescriptorSenseBit = 0x04;  // D_SENSE, byte 2 of the control page

// Control page: only D_SENSE may change; no busy time-out limit, no extended self-test.
ControlPage controlPage(const ModeParameters& p, bool changeable) {
    ControlPage b{};
    b[0] = 0x0A;
    b[1] = kControlPageSize - 2;
    if (changeable) {
        b[2] = kDescriptorSenseBit;
        return b;
    }
    b[2] = p.descriptorSense ? kDescriptorSenseBit : 0;
    putBe16(&b[8], 0xFFFF);  // busy time-out period: unlimited
    return b;
}

// Data compression page: DCE/DCC, DDE, the algorithms (1: the drive's default algorithm).
Page compressionPage(const ModeParameters& p, bool changeable) {
    Page b{};
    b[0] = 0x0F;
    b[1] = kPageSize - 2;
    if (changeable) {
        b[2] = 0x80;  // DCE
        b[3] = 0x80;  // DDE
        return b;
    }
    b[2] = static_cast<uint8_t>(0x40 | (p.compression ? 0x80 : 0));  // DCC: the drive can compress
    b[3] = p.decompression ? 0x80 : 0;
    putBe32(&b[4], 1);
    putBe32(&b[8], 1);
    return b;
}

// Device configuration page: block identifiers supported, early warning on EOD, and the
// compression algorithm selector, which follows DCE.
Page configurationPage(const ModeParameters& p, bool changeable) {
    Page b{};
    b[0] = 0x10;
    b[1] = kPageSize - 2;
    if (changeable) {
        b[14] = 0xFF;
        return b;
    }
    b[4] = 0x80;             // write buffer full ratio
    b[5] = 0x80;             // read buffer empty ratio
    putBe16(&b[6], 100);     // write delay time, 100 ms units
    b[8] = 0x40;             // BIS
    b[10] = 0x18;            // EEG, SEW
    b[14] = p.compression ? 1 : 0;
    return b;
}

ModeParameters changeableMask() {
    ModeParameters m;
    m.density = 0;
    m.blockLength = 0xFFFFFF;
    m.bufferedMode = 0x7;
    return m;
}

template <size_t N>
void appendPage(std::vector<uint8_t>& out, const std::array<uint8_t, N>& page) {
    out.insert(out.end(), page.begin(), page.end());
}

}  // namespace

bool buildModeSense(const ModeSenseRequest& request, const ModeParameters& current, bool writeProtected,
                    std::vector<uint8_t>& out, Sense& error) {
    const size_t pageByte = 2;
    if (request.page != 0x00 && request.page != 0x0A && request.page != 0x0F && request.page != 0x10 &&
        request.page != 0x3F) {
        error = invalidCdbField(pageByte, 5);
        return false;
    }
    if (request.subpage != 0) {
        error = invalidCdbField(3);
        return false;
    }
    const bool changeable = request.control == PageControl::Changeable;
    // Nothing is saved: saved values are the power-on values.
    const ModeParameters values = changeable ? changeableMask()
                                  : request.control == PageControl::Current ? current
                                                                            : ModeParameters{};
    const size_t headerSize = request.tenByte ? 8 : 4;
    out.assign(headerSize, 0);
    const uint8_t deviceSpecific = changeable ? static_cast<uint8_t>(0x70)
                                              : static_cast<uint8_t>((writeProtected ? 0x80 : 0) |
                                                                     ((values.bufferedMode & 7) << 4));
    out[request.tenByte ? 3 : 2] = deviceSpecific;
    if (!request.disableBlockDescriptors) {
        std::array<uint8_t, 8> descriptor{};
        descriptor[0] = values.density;
        putBe24(&descriptor[5], values.blockLength);
        out.insert(out.end(), descriptor.begin(), descriptor.end());
        if (request.tenByte) out[7] = 8;
        else out[3] = 8;
    }
    if (request.page == 0x0A || request.page == 0x3F) appendPage(out, controlPage(values, changeable));
    if (request.page == 0x0F || request.page == 0x3F) appendPage(out, compressionPage(values, changeable));
    if (request.page == 0x10 || request.page == 0x3F) appendPage(out, configurationPage(values, changeable));
    if (request.tenByte) putBe16(&out[0], static_cast<uint32_t>(out.size() - 2));
    else out[0] = static_cast<uint8_t>(out.size() - 1);
    return true;
}

bool applyModeSelect(bool tenByte, const uint8_t* data, size_t length, ModeParameters& params, Sense& error) {
    const size_t headerSize = tenByte ? 8 : 4;
    if (length == 0) return true;
    if (length < headerSize) {
        error = makeSense(sense_key::IllegalRequest, 0x1A, 0x00);  // parameter list length error
        return false;
    }
    ModeParameters next = params;
    const size_t specificAt = tenByte ? 3 : 2;
    const uint8_t buffered = (data[specificAt] >> 4) & 7;
    if (buffered > 1 || (data[specificAt] & 0x0F) != 0) {
        error = invalidParameterField(static_cast<uint16_t>(specificAt), buffered > 1 ? 4 : 0);
        return false;
    }
    next.bufferedMode = buffered;
    const size_t descriptorLengthAt = tenByte ? 6 : 3;
    const size_t descriptorLength = tenByte ? getBe16(&data[6]) : data[3];
    if (descriptorLength != 0 && descriptorLength != 8) {
        error = invalidParameterField(static_cast<uint16_t>(descriptorLengthAt));
        return false;
    }
    size_t at = headerSize;
    if (descriptorLength == 8) {
        if (length < at + 8) {
            error = makeSense(sense_key::IllegalRequest, 0x1A, 0x00);
            return false;
        }
        const uint8_t* d = data + at;
        if (d[0] != 0 && d[0] != ModeParameters::kDensity) {
            error = invalidParameterField(static_cast<uint16_t>(at));
            return false;
        }
        if (getBe24(d + 1) != 0) {
            error = invalidParameterField(static_cast<uint16_t>(at + 1));
            return false;
        }
        next.blockLength = getBe24(d + 5);
        at += 8;
    }
    while (at < length) {
        if (length - at < 2) {
            error = makeSense(sense_key::IllegalRequest, 0x1A, 0x00);
            return false;
        }
        const uint8_t code = data[at] & 0x3F;
        const size_t pageLength = size_t{data[at + 1]} + 2;
        if (data[at] & 0x40) {  // sub-page format: none here
            error = invalidParameterField(static_cast<uint16_t>(at), 6);
            return false;
        }
        const bool known = code == 0x0A || code == 0x0F || code == 0x10;
        if (!known || pageLength != (code == 0x0A ? kControlPageSize : kPageSize)) {
            error = invalidParameterField(static_cast<uint16_t>(known ? at + 1 : at));
            return false;
        }
        if (length - at < pageLength) {
            error = makeSense(sense_key::IllegalRequest, 0x1A, 0x00);
            return false;
        }
        const uint8_t* p = data + at;
        // Everything but the changeable fields must equal the current values.
        ModeParameters candidate = next;
        if (code == 0x0A) {
            candidate.descriptorSense = p[2] & kDescriptorSenseBit;
            const ControlPage expected = controlPage(candidate, false);
            for (size_t i = 2; i < kControlPageSize; ++i) {
                if (p[i] != expected[i]) {
                    error = invalidParameterField(static_cast<uint16_t>(at + i));
                    return false;
                }
            }
            next = candidate;
            at += pageLength;
            continue;
        }
        if (code == 0x0F) {
            candidate.compression = p[2] & 0x80;
            candidate.decompression = p[3] & 0x80;
        } else {
            if (p[14] > 1) {
                error = invalidParameterField(static_cast<uint16_t>(at + 14));
                return false;
            }
            candidate.compression = p[14] == 1;
        }
        const Page expected = code == 0x0F ? compressionPage(candidate, false) : configurationPage(candidate, false);
        for (size_t i = 2; i < kPageSize; ++i) {
            if (p[i] != expected[i]) {
                error = invalidParameterField(static_cast<uint16_t>(at + i));
                return false;
            }
        }
        next = candidate;
        at += pageLength;
    }
    params = next;
    return true;
}

}  // namespace vexal::device::virt
