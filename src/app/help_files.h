#pragma once
// The Help menu's documents in the installation folder: the help of the current mode and
// the release notes, or the message that says why there is none to open.
#include <filesystem>
#include <string_view>

#include "log/install_folder.h"

namespace vexal::app {

enum class HelpDocument { Contents, ReleaseNotes };

inline constexpr std::string_view kHelpKeyMissingMessage = "Unable to open registry key 'Mendra'!";
inline constexpr std::string_view kHelpFileMissingMessage = "Cannot find help file!";
inline constexpr std::string_view kReleaseNotesMissingMessage = "Cannot find ReleaseNotes.htm file!";

struct HelpLookup {
    std::filesystem::path file;  // the document to open; empty when there is none
    std::string_view message;    // why there is none
    std::string_view caption;    // the message's title
};

// `install` is the installation folder's lookup; the document must exist in it.
HelpLookup FindHelpDocument(HelpDocument which, bool engineeringMode, const log::InstallPathLookup& install);

}  // namespace vexal::app
