#include "device/drive_family.h"

#include <array>

namespace vexal::device {
namespace {

struct FamilyRow {
    uint8_t nibble;
    uint8_t withPageC1;
    uint8_t withoutPageC1;
};

// High nibble of INQUIRY byte 36 for sequential-access devices; other nibbles are 254.
constexpr std::array<FamilyRow, 8> kFamilies{{
    {1, 254, 1},
    {3, 254, 3},
    {5, 5, 255},
    {7, 7, 1},
    {8, 8, 1},
    {10, 10, 254},
    {11, 11, 254},
    {12, 12, 254},
}};

struct CapacityRow {
    uint8_t nibble;
    std::string_view text;
};

constexpr std::array<CapacityRow, 7> kCapacities{{
    {3, "80.0/160.0 GB"},
    {5, "20.0/40.0 GB"},
    {7, "35.0/70.0 GB"},
    {8, "40.0/80.0 GB"},
    {10, "110.0/220.0 GB"},
    {11, "160.0/320.0 GB"},
    {12, "300.0/600.0 GB"},
}};

constexpr std::array<std::string_view, 10> kTypeNames{
    "Disk", "Tape", "Printer", "Processor", "WORM", "CD/DVD", "Scanner", "Optical", "Medium Changer", "Communcations"};

constexpr std::string_view kGenericAdvice = "Please refer to the online help manual for supported tape drives.";

}  // namespace

const std::string_view kNotSupportedMessage =
    "You cannot access this device.  It does not appear to be a supported tape drive.  Please refer to the "
    "online help manual for supported tape drives.  If you feel you have received this message in error please "
    "verify that your device manager reports all of your tape drives correctly, then rescan the SCSI bus or stop "
    "and restart the application.";

uint8_t familyFromInquiry(bool inquiryOk, const uint8_t* inquiry, size_t length, bool pageC1Answers) {
    if (!inquiryOk || !inquiry || length < 1) return family::NoAnswer;
    const uint8_t type = inquiry[0] & 0x1F;
    if (type != 1) return type == 8 ? family::UnknownTapeOrChanger : family::NotTape;
    const uint8_t nibble = length > 36 ? inquiry[36] >> 4 : 0;
    for (const FamilyRow& row : kFamilies)
        if (row.nibble == nibble) return pageC1Answers ? row.withPageC1 : row.withoutPageC1;
    return family::UnknownTapeOrChanger;
}

bool mayAddress(uint8_t familyCode, bool wizardPrivileges) {
    return wizardPrivileges || (familyCode != family::NoAnswer && familyCode != family::NotTape);
}

bool hasLoadCountThreshold(uint8_t familyCode) { return familyCode >= 10 && familyCode <= 12; }

std::string_view capacityText(uint8_t byte36) {
    const uint8_t nibble = byte36 >> 4;
    for (const CapacityRow& row : kCapacities)
        if (row.nibble == nibble) return row.text;
    return byte36 < 16 ? "Not Specified" : "Undetermined";
}

std::string_view codeTypeText(uint8_t byte36) {
    switch (byte36 & 0x0F) {
    case 0: return "T Code";
    case 1: return "V Code";
    default: return "Unknown";
    }
}

std::string inquiryField(const uint8_t* data, size_t length, size_t offset, size_t width) {
    std::string text;
    for (size_t i = offset; data && i < offset + width && i < length && data[i] != 0; ++i)
        text += static_cast<char>(data[i]);
    return text;
}

std::string_view deviceTypeName(uint8_t peripheralType) {
    const uint8_t type = peripheralType & 0x1F;
    return type < kTypeNames.size() ? kTypeNames[type] : "Unknown";
}

int familyIcon(uint8_t familyCode) {
    for (const FamilyRow& row : kFamilies)
        if (row.nibble == familyCode) return 1;  // the supported family codes are the nibbles
    return familyCode == family::UnknownTapeOrChanger ? 4 : 2;
}

std::string familyLimitedMessage(std::string_view limitText) {
    std::string text(kNotSupportedMessage);
    text.replace(text.find(kGenericAdvice), kGenericAdvice.size(), limitText);
    return text;
}

}  // namespace vexal::device
