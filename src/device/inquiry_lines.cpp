#include "device/inquiry_lines.h"

#include <array>

#include <fmt/format.h>

#include "device/drive_family.h"

namespace vexal::device {
namespace {

std::string_view yesNo(bool b) { return b ? "Yes" : "No"; }

struct CapabilityBit {
    size_t byte;
    uint8_t mask;
    std::string_view label;
};

constexpr std::array<CapabilityBit, 8> kCapabilities{{
    {6, 0x08, "   Media Chngr Present: "},
    {7, 0x01, "   SftRe: "},
    {7, 0x02, "   Tagged Command Queuing: "},
    {7, 0x08, "   Linked Commands Support: "},
    {7, 0x10, "   Synchronous Data Transfers: "},
    {7, 0x20, "   16-bit Data Transfer Support: "},
    {7, 0x40, "   32-bit Data Transfer Support: "},
    {7, 0x80, "   Relative Addressing: "},
}};

// Bytes 37 to 49, one line each.
constexpr std::array<std::string_view, 13> kVersionLabels{
    "   Firmware Major Version: ",     "   Firmware Minor Version: ",       "   EEPROM Format Major Version: ",
    "   EEPROM Format Minor Version: ", "   Firmware Personality: ",        "   Firmware SubPersonality: ",
    "   TapeDir Format Version: ",     "   Controller Hardware Version: ",  "   Drive EEPROM Version: ",
    "   Drive Hardware Version: ",     "   Media Loader Firmware Version: ", "   Media Loader Hardware Version: ",
    "   Media Loader Mechanical Version: "};
constexpr size_t kFirstVersionByte = 37;

std::string_view releasedFirmware(uint8_t byte36) {
    switch (byte36 & 0x0F) {
    case 0: return "Field Test / Engineering Code (Txxx)";
    case 1: return "Released Code (Vxxx)";
    default: return "Unknown";
    }
}

}  // namespace

std::vector<std::string> inquiryLines(const uint8_t* data, size_t length, const InquiryListing& listing) {
    std::vector<std::string> lines;
    if (!data) return lines;
    const auto has = [&](size_t byte) { return length > byte; };
    const auto field = [&](size_t from, size_t count) { return inquiryField(data, length, from, count); };
    if (has(0)) lines.push_back(fmt::format("   Device Type: {}", deviceTypeName(data[0])));
    if (has(2)) lines.push_back(fmt::format("   ANSI Version: {}", data[2] & 0x07));
    for (const auto& bit : kCapabilities)
        if (has(bit.byte)) lines.push_back(fmt::format("{}{}", bit.label, yesNo(data[bit.byte] & bit.mask)));
    if (has(8)) lines.push_back(fmt::format("   Vendor ID: {}", field(8, 8)));
    if (has(16)) lines.push_back(fmt::format("   Product ID: {}", field(16, 16)));
    if (has(32)) lines.push_back(fmt::format("   Product Revision Level: {}", field(32, 4)));
    if (!listing.vendorBlock) return lines;
    if (has(36)) {
        lines.push_back(fmt::format("   Product Family: {}", listing.family ? listing.family(data[36]) : "Unknown"));
        lines.push_back(fmt::format("   Released Firmware: {}", releasedFirmware(data[36])));
    }
    for (size_t i = 0; i < kVersionLabels.size(); ++i)
        if (has(kFirstVersionByte + i)) lines.push_back(fmt::format("{}{}", kVersionLabels[i], data[kFirstVersionByte + i]));
    if (has(50)) lines.push_back(fmt::format("   Loader Present: {}", data[50] == 0 ? "No" : data[50] == 1 ? "Yes" : "Unknown"));
    if (has(51)) lines.push_back(fmt::format("   Library Present: {}", yesNo(data[51] != 0)));
    if (has(52)) lines.push_back(fmt::format("   Module Revision: {}", field(52, 4)));
    return lines;
}

}  // namespace vexal::device
