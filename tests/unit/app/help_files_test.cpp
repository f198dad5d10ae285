// The Help menu's documents: which file each mode opens, and the message when there is none.
#include <gtest/gtest.h>

#include <fstream>

#include "app/help_files.h"
#include "support/test_root.h"

using namespace vexal;
using app::HelpDocument;

TEST(HelpFiles, EachDocumentAndModeFindsItsFileOrSaysWhy) {
    vexal::testing::TempRoot root;
    const auto install = root.path() / "install/";
    std::filesystem::create_directories(install / "hlp/Eng");
    std::filesystem::create_directories(install / "ReadMe");
    std::ofstream(install / "hlp/Korvane_Vexal_c.html") << "customer";
    std::ofstream(install / "hlp/Eng/Korvane_Vexal_e.html") << "engineering";
    const log::InstallPathLookup found{log::InstallPathStatus::Ok, install};
    const log::InstallPathLookup noKey{log::InstallPathStatus::KeyUnavailable, {}};
    const log::InstallPathLookup noValue{log::InstallPathStatus::ValueUnavailable, {}};
    const struct {
        HelpDocument which;
        bool engineering;
        log::InstallPathLookup install;
        const char* file;  // below the install folder; empty: none
        std::string_view message;
        std::string_view caption;
    } cases[] = {
        {HelpDocument::Contents, false, found, "hlp/Korvane_Vexal_c.html", {}, {}},
        {HelpDocument::Contents, true, found, "hlp/Eng/Korvane_Vexal_e.html", {}, {}},
        // No release notes were installed.
        {HelpDocument::ReleaseNotes, false, found, "", app::kReleaseNotesMissingMessage, "Vexal Error"},
        {HelpDocument::Contents, false, noKey, "", app::kHelpKeyMissingMessage, "Mendra Error"},
        {HelpDocument::ReleaseNotes, true, noKey, "", app::kHelpKeyMissingMessage, "Vexal Error"},
        {HelpDocument::Contents, true, noValue, "", app::kHelpFileMissingMessage, "Vexal Error"},
    };
    for (const auto& c : cases) {
        const app::HelpLookup help = app::FindHelpDocument(c.which, c.engineering, c.install);
        SCOPED_TRACE(std::string(c.file) + " / " + std::string(c.message));
        EXPECT_EQ(help.file, *c.file ? install / c.file : std::filesystem::path());
        EXPECT_EQ(help.message, c.message);
        EXPECT_EQ(help.caption, c.caption);
    }
    // A folder named like the document is no document.
    std::filesystem::create_directories(install / "ReadMe/ReleaseNotes.htm");
    EXPECT_TRUE(app::FindHelpDocument(HelpDocument::ReleaseNotes, false, found).file.empty());
}
