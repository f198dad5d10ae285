#include "app/help_files.h"

namespace vexal::app {

HelpLookup FindHelpDocument(HelpDocument which, bool engineeringMode, const log::InstallPathLookup& install) {
    const bool notes = which == HelpDocument::ReleaseNotes;
    // The settings store cannot be read: the message names the store, under the title of
    // the program the document belongs to.
    if (install.status == log::InstallPathStatus::KeyUnavailable)
        return {{}, kHelpKeyMissingMessage, notes ? "Vexal Error" : "Mendra Error"};
    const HelpLookup missing{{}, notes ? kReleaseNotesMissingMessage : kHelpFileMissingMessage, "Vexal Error"};
    if (install.status != log::InstallPathStatus::Ok) return missing;
    const std::filesystem::path file =
        install.path / (notes ? "ReadMe/ReleaseNotes.htm"
                              : engineeringMode ? "hlp/Eng/Korvane_Vexal_e.html" : "hlp/Korvane_Vexal_c.html");
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) return missing;
    return {file, {}, {}};
}

}  // namespace vexal::app
