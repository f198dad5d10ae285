#pragma once
// Side files of the log pages: every parsed page is kept as raw bytes in "%X.XXX" (the
// page code in hexadecimal, "2.XXX", "2E.XXX"), page 7 in "7.XXX" with its event text in
// "7_RAW.TXT". Each read replaces the earlier file.
//
// They go to the working folder "Work/" below the install path, not to the process's
// current directory: a desktop program does not choose its current directory, and one
// fixed folder lets support find the files (and scripts read them back) from any front end.
// Files are written through a temporary file and a rename, so a reader never sees half a
// page.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "diag/log_page.h"

namespace vexal::diag {

inline constexpr std::string_view kEventPageFile = "7.XXX";
inline constexpr std::string_view kEventTextFile = "7_RAW.TXT";

// installPath()/Work/, created when missing.
std::filesystem::path workFolder();

// "%X.XXX" of the page code.
std::string pageFileName(uint8_t pageCode);

// Writes the raw page to `folder`/pageFileName(pageCode). False when it could not be
// written (the previous file is then left as it was).
bool writePageFile(const std::filesystem::path& folder, uint8_t pageCode, std::span<const uint8_t> bytes);

// Writes `data` to `folder`/`name`, replacing it.
bool writeSideFile(const std::filesystem::path& folder, std::string_view name, std::string_view data);

// Parses a page as the commands and scripts load it: the raw page (up to its end when the
// header is there) goes to its side file first, whether or not the parser accepts it.
PageError LoadLogPage(uint8_t pageCode, std::span<const uint8_t> bytes, const std::filesystem::path& folder,
                      LogPage& page);

}  // namespace vexal::diag
