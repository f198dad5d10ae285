#pragma once
// The Operator on the desktop: Qt dialogs. Calls from other threads (the worker, the test
// runner) are carried to the user-interface thread and wait there for the answer. A
// script's charts are shown in chart windows.
#include <QPointer>
#include <QProgressDialog>

#include <memory>

#include "operator/operator.h"
#include "script/chart_output.h"

class QWidget;

namespace vexal::gui {

class ChartWindows;

// A file filter in the "Text (*.a)|*.a|Other|*.b||" form as Qt's "Text (*.a);;Other (*.b)";
// a filter without '|' is taken as it is.
QString qtFileFilter(std::string_view filter);

class QtOperator : public ui::Operator, public script::ChartOutput {
public:
    explicit QtOperator(QWidget* parent);
    ~QtOperator() override;
    void setParent(QWidget* parent);

    ui::Button message(std::string_view text, std::string_view caption, ui::Icon icon, ui::Buttons buttons,
                        ui::Button defaultButton) override;
    bool askText(std::string_view prompt, std::string_view caption, std::string& answer) override;
    bool askSecret(std::string_view prompt, std::string_view caption, std::string& answer) override;
    bool askNumber(std::string_view prompt, std::string_view caption, long minimum, long maximum,
                   long& value) override;
    bool chooseFile(ui::FileDialog kind, std::string_view caption, std::string_view filter,
                    std::string& path) override;
    void progressBegin(std::string_view text, int minimum, int maximum) override;
    void progressSetRange(int minimum, int maximum) override;
    void progressSetPosition(int position) override;
    void progressStep() override;
    void progressSetText(std::string_view text) override;
    void progressEnd() override;
    void showText(std::string_view title, std::string_view text) override;
    void pace(std::chrono::milliseconds duration) override;

    bool chartOpen(const script::ChartModel& chart) override;
    bool chartAddPoint(const script::ChartModel& chart, uint8_t line, double x, double y) override;
    bool chartReset(const script::ChartModel& chart) override;
    bool chartClose(const script::ChartModel& chart, std::string& note) override;

    // The pass phrase is taken once from VEXAL_PASSPHRASE before the dialog is shown
    // (unattended starts such as screenshots); off by default.
    void usePassphraseFromEnvironment(bool on) { passphraseFromEnvironment_ = on; }

private:
    bool passphraseFromEnvironment_ = false;
    QWidget* parent_;
    QPointer<QProgressDialog> progress_;
    std::unique_ptr<ChartWindows> charts_;
};

}  // namespace vexal::gui
