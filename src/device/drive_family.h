#pragma once
// Drive families: which devices are supported tape drives, from INQUIRY byte 36 and
// whether the drive answers vital product data page C1h.
#include <cstdint>
#include <string>
#include <string_view>

namespace vexal::device {

namespace family {
inline constexpr uint8_t NoAnswer = 0;
inline constexpr uint8_t UnknownTapeOrChanger = 254;
inline constexpr uint8_t NotTape = 255;
}  // namespace family

// The family code from the standard INQUIRY data (at least 37 bytes) and the page C1h
// answer; `inquiryOk` false gives 0.
uint8_t familyFromInquiry(bool inquiryOk, const uint8_t* inquiry, size_t length, bool pageC1Answers);

// A device may be made active or tested when its family is neither 0 nor 255, or with
// wizard privileges.
bool mayAddress(uint8_t familyCode, bool wizardPrivileges);

// The family enables the load-count threshold (families 10, 11, 12).
bool hasLoadCountThreshold(uint8_t familyCode);

// Capacity text and code type from INQUIRY byte 36.
std::string_view capacityText(uint8_t byte36);
std::string_view codeTypeText(uint8_t byte36);

// "%.Ns" of an INQUIRY field: at most `width` bytes from `offset`, stopping at a NUL byte
// or the end of the data.
std::string inquiryField(const uint8_t* data, size_t length, size_t offset, size_t width);

// Peripheral device type names (INQUIRY byte 0, low 5 bits).
std::string_view deviceTypeName(uint8_t peripheralType);

// The device list icon: 1 supported tape drive, 4 tape or changer of no known family,
// 2 anything else.
int familyIcon(uint8_t familyCode);

// The refusal for a device that may not be addressed, and its variants for commands
// limited to some families.
extern const std::string_view kNotSupportedMessage;
std::string familyLimitedMessage(std::string_view limitText);
inline constexpr std::string_view kRqKtxSktxOnly = "This command supports RQ/KTX/SKTX tape drives only.";
inline constexpr std::string_view kKtxSktxOnly = "This command supports KTX/SKTX tape drives only.";
inline constexpr std::string_view kSktxOnly = "This command supports SKTX tape drives only.";

}  // namespace vexal::device
