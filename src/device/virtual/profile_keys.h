#pragma once
// The keys of a virtual profile section and the text helpers the profile parser shares.
#include <cstdint>
#include <string>
#include <string_view>

#include "device/virtual/virtual_profile.h"

namespace vexal::device::virt {

struct ProfileKey {
    std::string_view name;      // lower case
    bool tapeOnly;
    std::string_view expected;  // shown when the value is bad
    bool (*apply)(std::string_view value, DeviceProfile& device);
};

// The key of this (lower-case) name; null for an unknown key.
const ProfileKey* findProfileKey(std::string_view name);
// The cartridge memory keys, "mam_" + an attribute's key (mam_profile_keys.cpp).
const ProfileKey* findMamProfileKey(std::string_view name);
// "tape", "changer" or "disk", in any case.
bool parseDeviceKind(std::string_view text, DeviceKind& kind);

std::string_view trimBlanks(std::string_view s);
std::string lowerAscii(std::string_view s);
std::string padText(std::string_view text, size_t width);
// Decimal digits only, at most `max`.
bool parseUnsigned(std::string_view text, uint64_t max, uint64_t& out);

}  // namespace vexal::device::virt
