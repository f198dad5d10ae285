#pragma once
// A script as a customer gets it: its text with its fingerprint file beside it, so that it
// loads in customer mode while no pass phrase is remembered, where the fingerprint is
// demanded.
#include <filesystem>
#include <fstream>
#include <string_view>

#include "script/fingerprint_file.h"

namespace vexal::testing {

// Fingerprints a script already on disk; false when the fingerprint could not be written
// (a file that is not text gets none, as the program would give it none).
inline bool fingerprintScript(const std::filesystem::path& path) {
    return script::WriteFingerprintFile(path).result == script::FingerprintWrite::Written;
}

inline std::filesystem::path writeFingerprintedScript(const std::filesystem::path& path, std::string_view text) {
    std::ofstream(path, std::ios::binary) << text;
    fingerprintScript(path);
    return path;
}

}  // namespace vexal::testing
