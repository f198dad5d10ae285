#pragma once
// The FA dump viewer: opens a .dmz (expanded and scanned on a thread of its own), lists the
// sections of its text part beside the text, and saves a report of them.
#include <QWidget>

#include <filesystem>
#include <string>

#include "operator/operator.h"
#include "fadump/dump_viewer.h"
#include "gui/background_task.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace vexal::gui {

class DumpViewerWindow : public QWidget {
    Q_OBJECT
public:
    DumpViewerWindow(ui::Operator& op, std::filesystem::path startFolder, QWidget* parent = nullptr);
    ~DumpViewerWindow() override;

    // "Select FA Dump File", then the file is opened; false when the operator cancelled.
    bool chooseAndOpen();
    // Expands and scans `dmz` off the window's thread; `opened` follows.
    void openFile(const std::filesystem::path& dmz);
    bool busy() const { return task_.running(); }

    const fadump::ViewerResult& result() const { return result_; }
    QTreeWidget* sectionList() const { return sections_; }
    QPlainTextEdit* textView() const { return text_; }
    QPushButton* saveButton() const { return save_; }
    // Puts the text cursor on the heading of section `row`.
    void showSection(int row);

    // The report: the window title and one "%s , %d , %08X" line per section.
    std::string report() const;
    bool saveReport(const std::filesystem::path& file, std::string& error);
    bool reportSaved() const { return reportSaved_; }

Q_SIGNALS:
    void opened(bool ok);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void saveReportAs();
    void showResult(const std::string& text);

    ui::Operator& op_;
    std::filesystem::path startFolder_;
    fadump::ViewerResult result_;
    bool reportSaved_ = true;  // nothing to save before a dump is shown
    std::string ptfText_;      // the text part as written to the .ptf

    QLabel* file_;
    QTreeWidget* sections_;
    QPlainTextEdit* text_;
    QPushButton* open_;
    QPushButton* save_;
    BackgroundTask task_{this};  // last: joined before the rest goes
};

}  // namespace vexal::gui
