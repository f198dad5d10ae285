#pragma once
// The fingerprint file beside a script ("A.SCS" -> "A.FPF"): 128 bytes holding, at offset
// 60, the byte sum of the plain script (32-bit little-endian, wrapping) and, at offset 124,
// its length. The other bytes are not examined.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace vexal::script {

inline constexpr size_t kFingerprintSize = 128;

// The script path cut after the last '.' of its file name, with "FPF" appended.
std::filesystem::path FingerprintPath(const std::filesystem::path& script);

uint32_t ScriptByteSum(std::string_view plain);

// A fingerprint of `plain` (zeros where nothing is examined).
std::string MakeFingerprint(std::string_view plain);

// True when `fingerprint` is exactly 128 bytes and matches the plain script text.
bool FingerprintMatches(std::string_view plain, std::string_view fingerprint);

// Whether the script-run thread demands the fingerprint: never in engineering mode; in
// customer mode only while no password is remembered; in any other state always.
bool FingerprintDemanded(bool engineeringMode, bool customerMode, bool passwordSet);

}  // namespace vexal::script
