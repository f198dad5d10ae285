#pragma once
// The FA dump wizard window: the setup page (where the dump goes, a full or a custom dump),
// the customer's page, the ready page with Start, and the outcome page with Send. The dump
// itself is the core's, run on a thread of its own while the wizard shows its progress.
#include <QDialog>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "operator/operator.h"
#include "command/scsi_device.h"
#include "fadump/fa_dump_wizard.h"
#include "gui/background_task.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace vexal::gui {

struct FaDumpWizardContext {
    command::CScsiDevice& device;
    ui::Operator& op;
    std::filesystem::path defaultFile;  // InstallPath/FADump/<serial>.dmz
    // Called with true before the dump starts reading the drive and false after: the
    // window is busy meanwhile.
    std::function<void(bool)> busy;
    std::string mailProgram = "xdg-email";
};

class FaDumpWizard : public QDialog {
    Q_OBJECT
public:
    enum Page { SetupPage, CustomerPage, ReadyPage, OutcomePage };

    FaDumpWizard(FaDumpWizardContext context, QWidget* parent = nullptr);
    ~FaDumpWizard() override;

    Page page() const;
    void setCustom(bool custom);
    void setItemChecked(size_t item, bool checked);
    // The setting shown for a custom item: "Checked" or "UnChecked".
    QString itemSetting(size_t item) const;
    void setDumpFile(const std::filesystem::path& file);
    void setCustomerField(int id, const QString& value);
    QString setupTitle() const;

    fadump::DumpSetup setup() const;
    // What the customer entered; the host fields are added when the dump starts.
    fadump::CustomerInfo customerInfo() const;

    bool running() const { return task_.running(); }
    const fadump::WizardResult& result() const { return result_; }
    QString outcomeText() const;

    QPushButton* backButton() const { return back_; }
    QPushButton* nextButton() const { return next_; }
    QPushButton* startButton() const { return start_; }
    QPushButton* sendButton() const { return send_; }
    QPushButton* cancelButton() const { return cancel_; }

    // The File Location item: the save dialog.
    void chooseFile();
    void startDump();
    void sendDump();

public Q_SLOTS:
    void reject() override;

Q_SIGNALS:
    void dumpFinished(bool ok);

private:
    class Progress;
    void showPage(Page page);
    void updateButtons();
    void updateSetupItems();
    QWidget* makeSetupPage();
    QWidget* makeCustomerPage();
    QWidget* makeReadyPage();
    QWidget* makeOutcomePage();

    FaDumpWizardContext context_;
    std::filesystem::path file_;
    fadump::WizardResult result_;

    QStackedWidget* pages_ = nullptr;
    QRadioButton* full_ = nullptr;
    QRadioButton* custom_ = nullptr;
    QLabel* setupTitle_ = nullptr;
    QLabel* setupText_ = nullptr;
    QTreeWidget* items_ = nullptr;
    QTreeWidgetItem* fileItem_ = nullptr;
    QTreeWidgetItem* locationItem_ = nullptr;
    std::vector<QTreeWidgetItem*> customItems_;
    QLabel* itemHelp_ = nullptr;
    std::map<int, QLineEdit*> fields_;
    QPlainTextEdit* problem_ = nullptr;
    QLabel* readyFile_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* progressText_ = nullptr;
    QLabel* outcome_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* send_ = nullptr;
    QPushButton* cancel_ = nullptr;

    std::unique_ptr<Progress> progressOperator_;
    BackgroundTask task_{this};  // last: joined before the rest goes
};

}  // namespace vexal::gui
