// The File menu: Save, Save As, Send View, Send Log, Send FA Dump, Exit.
#include "gui/main_window.h"

#include <QAction>
#include <QFileDialog>

#include "gui/icons.h"
#include "gui/main_window_support.h"
#include "app/send_files.h"
#include "log/send_log.h"

namespace vexal::gui {

using detail::installPath;

void MainWindow::createFileActions() {
    makeAction("actSave", "&Save", [this] { saveView(false); }, QKeySequence::Save)
        ->setIcon(toolIcon(ToolImage::Save));
    makeAction("actSaveAs", "Save &As...", [this] { saveView(true); });
    makeAction("actSendView", "Send &View...", [this] { app::SendView(*doc_, *op_); });
    makeAction("actSendLog", "Send &Log...", [this] { app::SendLog(*op_); });
    makeAction("actSendFaDump", "Send &FA Dump...", [this] { log::SendLog(*op_, installPath() / "FADump"); });
    makeAction("actExit", "E&xit", [this] { close(); });
}

void MainWindow::saveView(bool askName) {
    static QString lastFile;
    QString file = lastFile;
    if (askName || file.isEmpty()) {
        file = QFileDialog::getSaveFileName(this, "Save As", lastFile, "Vexal Log Files (*.txt)");
        if (file.isEmpty()) return;
        if (!file.endsWith(".txt", Qt::CaseInsensitive)) file += ".txt";
    }
    std::string error;
    if (!doc_->lines().save(file.toStdString(), error)) {
        op_->message(error, "Vexal", ui::Icon::Exclamation);
        return;
    }
    lastFile = file;
}

}  // namespace vexal::gui
