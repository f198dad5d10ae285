#pragma once
// The Test Preparation Wizard: welcome, the device choice, the readiness check (on a thread
// of its own; its progress window is the operator's), then the ready page with the tests
// or the not-ready page.
#include <QDialog>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "operator/operator.h"
#include "device/bus_scan.h"
#include "gui/background_task.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTreeWidget;

namespace vexal::gui {

class SelectTestDialog;

struct TestPreparationContext {
    ui::Operator& op;
    std::vector<device::DeviceEntry> devices;
    std::vector<uint8_t> families;  // one drive family code per device, in index order
    int activeIndex = -1;
    std::filesystem::path scriptsFolder;
    // Makes the device active (refusing one that may not be addressed); true when it did.
    std::function<bool(int)> selectDevice;
    // The unit-readiness check; runs on the wizard's worker thread.
    std::function<bool()> checkReadiness;
    // Starts the chosen test.
    std::function<void(const std::filesystem::path& script, const std::string& testName, int iterations,
                       bool suppressDialogs)>
        runTest;
    std::function<void()> viewError;
};

class TestPreparationWizard : public QDialog {
    Q_OBJECT
public:
    enum Page { WelcomePage, DevicePage, ReadyPage, NotReadyPage };

    explicit TestPreparationWizard(TestPreparationContext context, QWidget* parent = nullptr);
    ~TestPreparationWizard() override;

    Page page() const;
    bool checking() const { return task_.running(); }
    QCheckBox* dontRunAgain() const { return dontRunAgain_; }
    QTreeWidget* deviceList() const { return devices_; }
    SelectTestDialog* tests() const { return tests_; }
    QPushButton* backButton() const { return back_; }
    QPushButton* nextButton() const { return next_; }
    QPushButton* runButton() const { return run_; }
    QPushButton* viewErrorButton() const { return viewError_; }
    QPushButton* finishButton() const { return finish_; }
    QPushButton* cancelButton() const { return cancel_; }
    // Selects the row of this device index.
    void selectDevice(int index);

public Q_SLOTS:
    void next();
    void back();
    void runTest();
    void reject() override;

Q_SIGNALS:
    void readinessChecked(bool ready);

private:
    void showPage(Page page);
    void updateButtons();

    TestPreparationContext context_;
    QStackedWidget* pages_;
    QCheckBox* dontRunAgain_;
    QTreeWidget* devices_;
    SelectTestDialog* tests_;
    QLabel* checkingText_;
    QPushButton* back_;
    QPushButton* next_;
    QPushButton* run_;
    QPushButton* viewError_;
    QPushButton* finish_;
    QPushButton* cancel_;
    bool ready_ = false;
    BackgroundTask task_{this};  // last: joined before the rest goes
};

}  // namespace vexal::gui
