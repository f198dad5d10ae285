#pragma once
// "SD.txt" in the scripts folder: one line "NAME.SCS description" per script that has a
// DESCRIPTION statement, for the script selection dialog.
#include <filesystem>
#include <string>

namespace vexal::script {

inline constexpr const char* kDescriptionFileName = "SD.txt";
inline constexpr const char* kNoDescriptionText = "No description available at this time.";

// Rebuilds `sdPath` from every "*.scs" file of `folder` (in name order). Scrambled files
// are read unscrambled and left stored in the high-bit form. False when SD.txt cannot be
// written.
bool BuildDescriptionFile(const std::filesystem::path& folder, const std::filesystem::path& sdPath);

enum class DescriptionLookup { Found, EmptyFile, NotFound, FileMissing };

// The description of `fileName` (compared upper-cased with the first word of each line).
DescriptionLookup LookUpDescription(const std::filesystem::path& sdPath, const std::string& fileName,
                                    std::string& description);

}  // namespace vexal::script
