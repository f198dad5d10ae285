// INQUIRY in its three forms and the unsolicited REQUEST SENSE.
#include <array>

#include <fmt/format.h>

#include "command/scsi_device.h"
#include "device/bus_scan.h"
#include "device/drive_family.h"
#include "device/inquiry_lines.h"
#include "platform/settings_store.h"

namespace vexal::command {
namespace {

constexpr uint8_t kInquiryLength = 64;

// The product family of byte 36 as the INQUIRY command names it.
struct FamilyRange {
    uint8_t low, high;
    std::string_view text;
};

constexpr std::array<FamilyRange, 8> kProductFamilies{{
    {0x10, 0x1F, "40.0 / 80.0 GB"},
    {0x80, 0x8F, "40.0 / 80.0 GB"},
    {0x30, 0x3F, "80.0 / 160.0 GB"},
    {0x50, 0x5F, "20.0 / 40.0 GB"},
    {0x70, 0x7F, "35.0 / 70.0 GB"},
    {0xA0, 0xAF, "100.0+ / 200.0+"},
    {0xB0, 0xBF, "160.0 / 320.0 GB"},
    {0xC0, 0xCF, "300.0 / 600.0 GB"},
}};

std::string_view productFamily(uint8_t byte36) {
    for (const auto& r : kProductFamilies)
        if (byte36 >= r.low && byte36 <= r.high) return r.text;
    return "Unknown";
}

}  // namespace

ScsiResult CScsiDevice::Inquiry(bool vpdSerialNumber) {
    const bool supportedDrive = device::familyIcon(familyCode) == 1;
    const LineRule rule = LineRule::EngineeringOnly;
    const std::array<uint8_t, 6> cdb{0x12, static_cast<uint8_t>(vpdSerialNumber ? 1 : 0),
                                     static_cast<uint8_t>(vpdSerialNumber ? 0x80 : 0), 0, kInquiryLength, 0};
    std::array<uint8_t, kInquiryLength> data{};
    LogCommandSent();
    Line(vpdSerialNumber ? " Inquiry (VDP Page Data)" : " Inquiry", rule);
    LogRawCdb(cdb.data(), 6, LineRule::FileAlwaysViewEngineering);
    ScsiResult result = ExecuteCdb(cdb.data(), 6, data.data(), kInquiryLength, false);
    // Each field only when the drive sent its bytes.
    const size_t n = transferred();
    LogRawData(data.data(), n, rule);
    if (vpdSerialNumber) {
        if (n >= 1) Line(fmt::format("   Device Type: {}", device::deviceTypeName(data[0])), rule);
        // The page's serial number (as far as it came), padded with zero bytes to 14.
        std::array<uint8_t, 15> serial{};
        const size_t length = n >= 4 ? std::min<size_t>({data[3], 14, n - 4}) : 0;
        std::copy_n(data.begin() + 4, length, serial.begin());
        const std::string unitSerial = device::inquiryField(serial.data(), serial.size(), 0, 14);
        if (n >= 4) Line(fmt::format("   Unit Serial Number: {}", unitSerial), rule);
        serialNumber = result == 0 && n >= 4 ? unitSerial : std::string("          ");
        if (labeledIndex >= 0)
            platform::ProfileStore::writeString(device::labeledSection(labeledIndex), "SerialNumber", serialNumber);
    } else {
        // The vendor block only for a supported drive.
        for (const std::string& line : device::inquiryLines(data.data(), n, {supportedDrive, productFamily}))
            Line(line, rule);
        inquiryData_.assign(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
    }
    result = LogCommandStatus(result);
    LogCommandDone();
    return result;
}

ScsiResult CScsiDevice::InquiryFirmwareBuild() {
    const std::array<uint8_t, 6> cdb{0x12, 0x01, 0xC0, 0x00, kInquiryLength, 0x00};
    std::array<uint8_t, kInquiryLength> data{};
    LogCommandSent();
    Line(" Inquiry (Firmware Build Data)", LineRule::EngineeringOnly);
    LogRawCdb(cdb.data(), 6, LineRule::FileAlwaysViewEngineering);
    ScsiResult result = ExecuteCdb(cdb.data(), 6, data.data(), kInquiryLength, false);
    LogRawData(data.data(), transferred(), LineRule::EngineeringOnly);
    result = LogCommandStatus(result);
    LogCommandDone();
    return result;
}

ScsiResult CScsiDevice::RequestSense() {
    constexpr uint8_t kLength = 29;
    const std::array<uint8_t, 6> cdb{0x03, 0, 0, 0, kLength, 0};
    std::array<uint8_t, kLength> data{};
    LogCommandSent();
    Line(" RequestSense", LineRule::EngineeringOnly);
    Line(" [Vexal_Request_Sense: UnsolicitedRequestSense]", LineRule::EngineeringOnly, 2);
    LogRawCdb(cdb.data(), 6, LineRule::EngineeringOnly);
    ScsiResult result = ExecuteCdb(cdb.data(), 6, data.data(), kLength, false);
    // Sense the drive did not send is neither shown nor kept as the last sense.
    const size_t n = transferred();
    if (n > 0) LogSenseData(data.data(), n, output(), status.lastSense);
    auto be = [&](size_t from, size_t count) {
        uint32_t v = 0;
        for (size_t i = 0; i < count; ++i) v = (v << 8) | data[from + i];
        return v;
    };
    if (n >= 29) Line(fmt::format("   Tape Remaining: 0x{:08X}", be(25, 4)), LineRule::EngineeringOnly);
    if (n >= 25) Line(fmt::format("   Power On Hours: 0x{:08X}", be(21, 4)), LineRule::EngineeringOnly);
    if (n >= 21) Line(fmt::format("   Tape Motion Hours: 0x{:04X}", be(19, 2)), LineRule::EngineeringOnly);
    result = LogCommandStatus(result);
    LogCommandDone();
    return result;
}

}  // namespace vexal::command
