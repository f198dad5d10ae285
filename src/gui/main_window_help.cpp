// The Help menu: the help and release notes from the installation folder, the web links,
// About.
#include "gui/main_window.h"

#include <QAction>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include "app/help_files.h"
#include "gui/icons.h"

namespace vexal::gui {

namespace {

constexpr const char* kProductUrl = "https://www.korvane.example/vexal";
constexpr const char* kSupportUrl = "https://www.korvane.example/";
constexpr const char* kFeedbackUrl = "mailto:vexal-feedback@korvane.example?subject=Korvane%20Vexal%20feedback";

}  // namespace

void MainWindow::createHelpActions() {
    makeAction("actHelpContents", "C&ontents", [this] { openHelp(false); }, QKeySequence("Shift+F1"));
    makeAction("actReadMe", "&Read Me", [this] { openHelp(true); });
    makeAction("actWeb", "&Vexal On The Web", [this] { openUrl(kProductUrl); });
    makeAction("actSupport", "&Contact Support", [this] { openUrl(kSupportUrl); });
    makeAction("actFeedback", "Send Feedbac&k", [this] { openUrl(kFeedbackUrl); });
    makeAction("actAbout", "&About Vexal...", [this] { about(); })->setIcon(toolIcon(ToolImage::About));
    makeAction("actUpdates", "Check For &Updates", [this] {
        op_->message("Program updates come with the distribution's packages.", "Vexal", ui::Icon::Information);
    });
}

void MainWindow::about() {
    QMessageBox::about(this, "About Vexal",
                       "<b>Korvane Vexal</b><br>Test and diagnostics console for SCSI tape drives and medium "
                       "changers.<br><br>Version " + QString(VEXAL_VERSION) +
                           "<br>Built with Qt " QT_VERSION_STR ".");
}

void MainWindow::openHelp(bool releaseNotes) {
    const app::HelpLookup help =
        app::FindHelpDocument(releaseNotes ? app::HelpDocument::ReleaseNotes : app::HelpDocument::Contents,
                              app_.engineeringMode, log::lookUpInstallPath());
    if (help.file.empty()) {
        op_->message(help.message, help.caption, ui::Icon::Exclamation);
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(help.file.string()))))
        op_->message("Can't open link:\n\nThere is no application associated\nwith the given filename extension.",
                     "Vexal Error", ui::Icon::Exclamation);
}

void MainWindow::openUrl(const char* url) {
    if (!QDesktopServices::openUrl(QUrl(url)))
        op_->message(std::string("Can't open link:\n\nUnknown Error (0) occurred."), "Vexal Error",
                     ui::Icon::Exclamation);
}

}  // namespace vexal::gui
