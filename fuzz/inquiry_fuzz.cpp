// libFuzzer target: device identity from INQUIRY: the enumeration's identity, the device
// list rows, the drive family, and the three INQUIRY commands with their decoded lines. The
// input is taken directly as INQUIRY data, and then serves as the device's replies to every
// INQUIRY, the enumeration's included. Checked: the identity fields keep their widths and
// stop at a zero byte, and the family is one the table or its fallbacks name.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "device/bus_scan.h"
#include "device/device_library.h"
#include "device/drive_family.h"
#include "fuzz_drive.h"

namespace {

using namespace vexal;
using namespace vexal::device;

void check(bool ok) {
    if (!ok) std::abort();
}

// What "%.Ns" of the field prints, the plain way.
std::string expectedField(std::span<const uint8_t> data, size_t offset, size_t width) {
    std::string out;
    for (size_t i = offset; i < data.size() && i < offset + width && data[i] != 0; ++i) out += static_cast<char>(data[i]);
    return out;
}

void direct(std::span<const uint8_t> bytes) {
    for (const auto& [offset, width] : {std::pair<size_t, size_t>{8, 8}, {16, 16}, {32, 4}, {52, 4}, {0, 64}})
        check(inquiryField(bytes.data(), bytes.size(), offset, width) == expectedField(bytes, offset, width));
    for (const bool pageC1 : {false, true}) {
        const uint8_t family = familyFromInquiry(true, bytes.data(), bytes.size(), pageC1);
        if (bytes.empty()) check(family == family::NoAnswer);
        else if ((bytes[0] & 0x1F) == 8) check(family == family::UnknownTapeOrChanger);
        else if ((bytes[0] & 0x1F) != 1) check(family == family::NotTape);
        const int icon = familyIcon(family);
        check(icon == 1 || icon == 2 || icon == 4);
        (void)mayAddress(family, false);
        (void)hasLoadCountThreshold(family);
    }
    check(familyFromInquiry(false, bytes.data(), bytes.size(), true) == family::NoAnswer);
    if (!bytes.empty()) {
        (void)deviceTypeName(bytes[0]);
        (void)capacityText(bytes[0]);
        (void)codeTypeText(bytes[0]);
    }
}

void exerciseDrive(fuzz::FuzzDrive& drive) {
    if (!drive.enumerate()) return;
    BusScanner scanner(drive.op);
    DeviceEntry entry;
    check(scanner.BindDevice(0, entry));
    check(entry.vendor.size() <= 8 && entry.product.size() <= 16 && entry.revision.size() <= 4);
    check(entry.peripheralType <= 0x1F);
    check(deviceListRow(entry).size() == 7 && devicePaneRow(entry).size() == 4);
    const uint8_t family = scanner.DriveFamily(0);
    drive.device.familyCode = family;
    drive.device.Inquiry(false);
    // Only the bytes the drive sent are kept.
    check(drive.device.inquiryData().size() <= 64);
    drive.device.Inquiry(true);
    drive.device.InquiryFirmwareBuild();
}

}  // namespace

VEXAL_FUZZ_DRIVE_TARGET(direct, exerciseDrive, true, true)
