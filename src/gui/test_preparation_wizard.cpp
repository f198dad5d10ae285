#include "gui/test_preparation_wizard.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/test_preparation.h"
#include "gui/device_list_dialog.h"
#include "gui/select_test_dialog.h"

namespace vexal::gui {
namespace {

QLabel* wrapped(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

}  // namespace

TestPreparationWizard::TestPreparationWizard(TestPreparationContext context, QWidget* parent)
    : QDialog(parent), context_(std::move(context)) {
    setObjectName("testPreparationWizard");
    setWindowTitle("Test Preparation Wizard");
    auto* layout = new QVBoxLayout(this);
    pages_ = new QStackedWidget(this);

    auto* welcome = new QWidget(pages_);
    auto* w = new QVBoxLayout(welcome);
    auto* heading = wrapped(app::kWizardWelcome, welcome);
    QFont big = heading->font();
    big.setPointSizeF(big.pointSizeF() * 1.2);
    heading->setFont(big);
    w->addWidget(heading);
    w->addStretch(1);
    w->addWidget(new QLabel(app::kWizardContinue, welcome));
    dontRunAgain_ = new QCheckBox(app::kWizardDontRunAgain, welcome);
    w->addWidget(dontRunAgain_);
    pages_->addWidget(welcome);

    auto* choose = new QWidget(pages_);
    auto* c = new QVBoxLayout(choose);
    c->addWidget(new QLabel(app::kWizardSelectDevice, choose));
    devices_ = makeDeviceList(choose, context_.devices, context_.families, context_.activeIndex, false);
    c->addWidget(devices_, 1);
    checkingText_ = new QLabel(choose);
    c->addWidget(checkingText_);
    pages_->addWidget(choose);

    auto* ready = new QWidget(pages_);
    auto* r = new QVBoxLayout(ready);
    r->addWidget(wrapped(app::kWizardReady, ready));
    tests_ = new SelectTestDialog(context_.scriptsFolder, context_.op, ready, true);
    r->addWidget(tests_, 1);
    pages_->addWidget(ready);

    auto* notReady = new QWidget(pages_);
    auto* n = new QVBoxLayout(notReady);
    n->addWidget(wrapped(app::kWizardNotReady, notReady));
    n->addStretch(1);
    pages_->addWidget(notReady);
    layout->addWidget(pages_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    back_ = new QPushButton("< &Back", this);
    next_ = new QPushButton("&Next >", this);
    run_ = new QPushButton("&Run", this);
    viewError_ = new QPushButton("&View Error", this);
    finish_ = new QPushButton("&Finish", this);
    cancel_ = new QPushButton("Cancel", this);
    for (QPushButton* b : {back_, next_, run_, viewError_, finish_, cancel_}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    connect(back_, &QPushButton::clicked, this, &TestPreparationWizard::back);
    connect(next_, &QPushButton::clicked, this, &TestPreparationWizard::next);
    connect(run_, &QPushButton::clicked, this, &TestPreparationWizard::runTest);
    connect(viewError_, &QPushButton::clicked, this, [this] {
        if (context_.viewError) context_.viewError();
    });
    connect(finish_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &TestPreparationWizard::reject);
    connect(devices_, &QTreeWidget::itemSelectionChanged, this, &TestPreparationWizard::updateButtons);
    connect(devices_, &QTreeWidget::itemDoubleClicked, this, &TestPreparationWizard::next);
    connect(tests_, &SelectTestDialog::currentTestChanged, this, &TestPreparationWizard::updateButtons);
    connect(tests_, &SelectTestDialog::testActivated, this, &TestPreparationWizard::runTest);
    resize(640, 420);
    showPage(WelcomePage);
}

TestPreparationWizard::~TestPreparationWizard() = default;

TestPreparationWizard::Page TestPreparationWizard::page() const {
    return static_cast<Page>(pages_->currentIndex());
}

void TestPreparationWizard::selectDevice(int index) {
    for (int i = 0; i < devices_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = devices_->topLevelItem(i);
        if (item->data(0, Qt::UserRole).toInt() == index) devices_->setCurrentItem(item);
    }
}

void TestPreparationWizard::showPage(Page page) {
    pages_->setCurrentIndex(page);
    updateButtons();
}

void TestPreparationWizard::updateButtons() {
    const Page p = page();
    const bool busy = checking();
    back_->setVisible(p != WelcomePage);
    back_->setEnabled(!busy);
    next_->setVisible(p == WelcomePage || p == DevicePage);
    next_->setEnabled(!busy && (p == WelcomePage || !selectedDevices(devices_).empty()));
    run_->setVisible(p == ReadyPage);
    run_->setEnabled(!tests_->scriptPath().empty());
    viewError_->setVisible(p == NotReadyPage);
    finish_->setVisible(p == NotReadyPage);
    cancel_->setVisible(p != NotReadyPage);
    cancel_->setEnabled(!busy);
}

void TestPreparationWizard::next() {
    if (checking()) return;
    if (page() == WelcomePage) {
        app::StoreWizardChoice(dontRunAgain_->isChecked());
        showPage(DevicePage);
        return;
    }
    if (page() != DevicePage) return;
    const std::vector<int> chosen = selectedDevices(devices_);
    if (chosen.size() != 1) return;
    // A device that may not be addressed was refused with its message; the page stays.
    if (!context_.selectDevice || !context_.selectDevice(chosen.front())) return;
    checkingText_->setText(app::kCheckingReadiness);
    task_.start([this] { ready_ = context_.checkReadiness && context_.checkReadiness(); },
                [this] {
                    checkingText_->clear();
                    showPage(ready_ ? ReadyPage : NotReadyPage);
                    Q_EMIT readinessChecked(ready_);
                });
    updateButtons();
}

void TestPreparationWizard::back() {
    if (checking()) return;
    if (page() == DevicePage) showPage(WelcomePage);
    else if (page() == ReadyPage || page() == NotReadyPage) showPage(DevicePage);
}

void TestPreparationWizard::runTest() {
    if (page() != ReadyPage || tests_->scriptPath().empty()) return;
    if (context_.runTest)
        context_.runTest(tests_->scriptPath(), tests_->testName(), tests_->iterations(), tests_->suppressDialogs());
    accept();
}

void TestPreparationWizard::reject() {
    if (checking()) return;  // the check ends on its own within seconds
    if (page() == WelcomePage) app::StoreWizardChoice(dontRunAgain_->isChecked());
    QDialog::reject();
}

}  // namespace vexal::gui
