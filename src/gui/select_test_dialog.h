#pragma once
// The Select Test dialog: every "*.scs" of the scripts folder with its location, size and
// description, the iteration count and the option to suppress all dialogs.
#include <QDialog>

#include <filesystem>

#include "operator/operator.h"

class QCheckBox;
class QLabel;
class QSpinBox;
class QTreeWidget;

namespace vexal::gui {

inline constexpr const char* kSuppressDialogsQuestion =
    "Enabling this feature will allow a test to run without any dialogs during the test.  This must be used with "
    "extreme caution due to the fact that tapes already injected into the tape drive will be erased.  As a result, "
    "all data on the tape will be lost.  Are you sure you want to do this (click 'No' if you are unsure)?";

class SelectTestDialog : public QDialog {
    Q_OBJECT
public:
    // `embedded`: a page of another window (the Test Preparation Wizard), without buttons.
    SelectTestDialog(const std::filesystem::path& scriptsFolder, ui::Operator& op, QWidget* parent = nullptr,
                     bool embedded = false);

    std::filesystem::path scriptPath() const;
    std::string testName() const;
    int iterations() const;
    bool suppressDialogs() const;
    int testCount() const;
    // Selects the test of that name (without ".scs"); false when there is none.
    bool selectTest(const QString& name);
    QString description() const;

Q_SIGNALS:
    // Embedded: a test was double-clicked; any mode: the current test changed.
    void testActivated();
    void currentTestChanged();

private:
    void showDescription();

    std::filesystem::path folder_;
    ui::Operator& op_;
    QTreeWidget* list_;
    QLabel* description_;
    QSpinBox* iterations_;
    QCheckBox* suppress_;
};

}  // namespace vexal::gui
