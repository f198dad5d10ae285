#pragma once
// Names of the FA dump files.
#include <filesystem>
#include <string>
#include <string_view>

namespace vexal::fadump {

inline constexpr std::string_view kDumpFolder = "FADump/";
inline constexpr std::string_view kNoSerialNumber = "NoSerialNum";
inline constexpr std::string_view kCompressedExtension = ".dmz";
inline constexpr std::string_view kRawExtension = ".dmp";
inline constexpr std::string_view kTextExtension = ".ptf";
inline constexpr std::string_view kSectionFileName = "BW.txt";

// installPath + "FADump/" + the serial number (trailing blanks dropped), or "NoSerialNum"
// when it is empty, + ".dmz".
std::filesystem::path defaultDumpFile(const std::filesystem::path& installPath, std::string_view serialNumber);
// The same path and base name with another extension (".dmp", ".ptf").
std::filesystem::path withExtension(const std::filesystem::path& file, std::string_view extension);

}  // namespace vexal::fadump
