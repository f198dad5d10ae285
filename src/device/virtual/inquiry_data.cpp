#include "device/virtual/inquiry_data.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "device/virtual/byte_order.h"

namespace vexal::device::virt {
namespace {

constexpr size_t kStandardLength = 96;

void putText(std::vector<uint8_t>& out, size_t at, const std::string& text, size_t width) {
    for (size_t i = 0; i < width; ++i) out[at + i] = i < text.size() ? static_cast<uint8_t>(text[i]) : ' ';
}

// Firmware major and minor from a revision such as "V100" (1 and 00); 0 otherwise.
void firmwareVersion(const std::string& revision, uint8_t& major, uint8_t& minor) {
    major = minor = 0;
    if (revision.size() == 4 && std::all_of(revision.begin() + 1, revision.end(),
                                            [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
        major = static_cast<uint8_t>(revision[1] - '0');
        minor = static_cast<uint8_t>((revision[2] - '0') * 10 + (revision[3] - '0'));
    }
}

std::vector<uint8_t> pageHeader(const DeviceProfile& profile, uint8_t page, size_t length) {
    std::vector<uint8_t> out(4 + length, 0);
    out[0] = peripheralType(profile.kind);
    out[1] = page;
    putBe16(&out[2], static_cast<uint32_t>(length));
    return out;
}

std::vector<uint8_t> supportedPages(const DeviceProfile& profile) {
    std::vector<uint8_t> pages = {0x00, 0x80, 0x83, 0xC0};
    if (profile.pageC1) pages.push_back(0xC1);
    std::vector<uint8_t> out = pageHeader(profile, 0x00, pages.size());
    std::copy(pages.begin(), pages.end(), out.begin() + 4);
    return out;
}

std::vector<uint8_t> serialPage(const DeviceProfile& profile) {
    std::vector<uint8_t> out = pageHeader(profile, 0x80, profile.serial.size());
    std::copy(profile.serial.begin(), profile.serial.end(), out.begin() + 4);
    return out;
}

std::vector<uint8_t> identificationPage(const DeviceProfile& profile) {
    const std::string id = profile.vendor + profile.product + profile.serial;
    std::vector<uint8_t> out = pageHeader(profile, 0x83, 4 + id.size());
    out[4] = 0x02;  // code set ASCII
    out[5] = 0x01;  // associated with the logical unit, T10 vendor ID
    out[7] = static_cast<uint8_t>(id.size());
    std::copy(id.begin(), id.end(), out.begin() + 8);
    return out;
}

// C0h, firmware build information:
//   4..7 firmware revision, 8..15 build date "YYYYMMDD", 16..23 build time "HH:MM:SS",
//   24..31 build name, 32..35 build number, 36 personality, 37 sub-personality,
//   38..39 EEPROM format major and minor version.
std::vector<uint8_t> firmwarePage(const DeviceProfile& profile) {
    std::vector<uint8_t> out = pageHeader(profile, 0xC0, 36);
    putText(out, 4, profile.revision, 4);
    putText(out, 8, "20240517", 8);
    putText(out, 16, "10:30:00", 8);
    putText(out, 24, "VIRTUAL", 8);
    uint8_t major = 0, minor = 0;
    firmwareVersion(profile.revision, major, minor);
    putBe32(&out[32], 1000u + major * 100u + minor);
    out[36] = 1;
    out[37] = 0;
    out[38] = 2;
    out[39] = 1;
    return out;
}

// C1h, drive family and configuration:
//   4 family code (high nibble of INQUIRY byte 36), 5 INQUIRY byte 36, 6 code level
//   (1 released, 0 field test), 7 partitions supported, 8..15 family name (the first word
//   of the product identification), 16..19 native capacity of the loaded cartridge in MiB,
//   20..23 largest block length, 24 compression supported, 25 loader present,
//   26 cartridge write protected, 27 cartridge loaded, 28..31 reserved.
std::vector<uint8_t> familyPage(const DeviceProfile& profile, const FamilyDetails& d) {
    std::vector<uint8_t> out = pageHeader(profile, 0xC1, 28);
    out[4] = static_cast<uint8_t>(profile.byte36 >> 4);
    out[5] = profile.byte36;
    out[6] = (profile.byte36 & 0x0F) == 1 ? 1 : 0;
    out[7] = d.partitions;
    const std::string family = profile.product.substr(0, profile.product.find(' '));
    putText(out, 8, family, 8);
    putBe32(&out[16], d.loaded ? d.capacityMib : 0);
    putBe32(&out[20], d.maxBlockLength);
    out[24] = d.compression ? 1 : 0;
    out[25] = 0;
    out[26] = d.loaded && d.writeProtected ? 1 : 0;
    out[27] = d.loaded ? 1 : 0;
    return out;
}

}  // namespace

uint8_t peripheralType(DeviceKind kind) {
    switch (kind) {
    case DeviceKind::Tape: return 0x01;
    case DeviceKind::Changer: return 0x08;
    case DeviceKind::Disk: return 0x00;
    }
    return 0x1F;
}

std::vector<uint8_t> standardInquiry(const DeviceProfile& profile) {
    std::vector<uint8_t> d(kStandardLength, 0);
    d[0] = peripheralType(profile.kind);
    d[1] = profile.kind == DeviceKind::Tape ? 0x80 : 0x00;  // removable medium
    d[2] = 0x05;                                             // SPC-3
    d[3] = 0x02;                                             // response data format
    d[4] = static_cast<uint8_t>(kStandardLength - 5);
    d[7] = 0x32;  // WBus16, Sync, CmdQue
    putText(d, 8, profile.vendor, 8);
    putText(d, 16, profile.product, 16);
    putText(d, 32, profile.revision, 4);
    d[36] = profile.byte36;
    if (profile.kind == DeviceKind::Tape) {
        // Vendor block: firmware and hardware versions, loader and library presence,
        // module revision.
        uint8_t major = 0, minor = 0;
        firmwareVersion(profile.revision, major, minor);
        const uint8_t block[] = {major, minor, 2, 1, 1, 0, 3, 2, 4, 2, 0, 0, 0, 0, 0};
        std::copy(std::begin(block), std::end(block), d.begin() + 37);
        putText(d, 52, "M100", 4);
    }
    // Version descriptors: SAM-3, SPC-3 and the command set of the device type.
    putBe16(&d[58], 0x0060);
    putBe16(&d[60], 0x0300);
    const uint16_t set = profile.kind == DeviceKind::Tape ? 0x0400 : profile.kind == DeviceKind::Changer ? 0x0480 : 0x0320;
    putBe16(&d[62], set);
    return d;
}

bool vpdPage(const DeviceProfile& profile, uint8_t page, const FamilyDetails& details, std::vector<uint8_t>& out) {
    switch (page) {
    case 0x00: out = supportedPages(profile); return true;
    case 0x80: out = serialPage(profile); return true;
    case 0x83: out = identificationPage(profile); return true;
    case 0xC0: out = firmwarePage(profile); return true;
    case 0xC1:
        if (!profile.pageC1) return false;
        out = familyPage(profile, details);
        return true;
    default: return false;
    }
}

}  // namespace vexal::device::virt
