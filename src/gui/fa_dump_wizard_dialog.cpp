#include "gui/fa_dump_wizard_dialog.h"

#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "fadump/dump_mail.h"

namespace vexal::gui {
namespace {

QString q(std::string_view s) { return QString::fromUtf8(s.data(), int(s.size())); }

// "-Drive_Location" as "Drive Location".
QString fieldLabel(int id) { return q(fadump::fieldName(id).substr(1)).replace('_', ' '); }

QLabel* wrapped(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

}  // namespace

// The operator of the running dump: its progress goes to the ready page's bar, its outcome
// message to the outcome page; everything else (file errors) to the window's operator.
class FaDumpWizard::Progress : public ui::Operator {
public:
    Progress(FaDumpWizard& wizard, ui::Operator& op) : wizard_(wizard), op_(op) {}

    ui::Button message(std::string_view text, std::string_view caption, ui::Icon icon, ui::Buttons buttons,
                        ui::Button defaultButton) override {
        if (caption == fadump::kWizardCaption && (text == fadump::kSuccessText || text == fadump::kFailureText))
            return ui::Button::Ok;
        return op_.message(text, caption, icon, buttons, defaultButton);
    }
    bool askText(std::string_view prompt, std::string_view caption, std::string& answer) override {
        return op_.askText(prompt, caption, answer);
    }
    bool askNumber(std::string_view prompt, std::string_view caption, long minimum, long maximum,
                   long& value) override {
        return op_.askNumber(prompt, caption, minimum, maximum, value);
    }
    bool chooseFile(ui::FileDialog kind, std::string_view caption, std::string_view filter,
                    std::string& path) override {
        return op_.chooseFile(kind, caption, filter, path);
    }
    void progressBegin(std::string_view text, int minimum, int maximum) override {
        post([text = q(text), minimum, maximum](FaDumpWizard& w) {
            w.progressText_->setText(text);
            w.progress_->setRange(minimum, maximum);
            w.progress_->setValue(minimum);
        });
    }
    void progressSetRange(int minimum, int maximum) override {
        post([minimum, maximum](FaDumpWizard& w) { w.progress_->setRange(minimum, maximum); });
    }
    void progressSetPosition(int position) override {
        post([position](FaDumpWizard& w) { w.progress_->setValue(position); });
    }
    void progressStep() override {
        post([](FaDumpWizard& w) { w.progress_->setValue(std::min(w.progress_->maximum(), w.progress_->value() + 1)); });
    }
    void progressSetText(std::string_view text) override {
        post([text = q(text)](FaDumpWizard& w) { w.progressText_->setText(text); });
    }
    void progressEnd() override {
        post([](FaDumpWizard& w) { w.progress_->setValue(w.progress_->maximum()); });
    }
    void showText(std::string_view title, std::string_view text) override { op_.showText(title, text); }
    void pace(std::chrono::milliseconds duration) override { op_.pace(duration); }

private:
    // Progress is drawn by the window's thread; the dump does not wait for it.
    template <typename F>
    void post(F f) {
        QMetaObject::invokeMethod(&wizard_, [w = &wizard_, f = std::move(f)] { f(*w); }, Qt::QueuedConnection);
    }

    FaDumpWizard& wizard_;
    ui::Operator& op_;
};

FaDumpWizard::FaDumpWizard(FaDumpWizardContext context, QWidget* parent)
    : QDialog(parent), context_(std::move(context)), file_(context_.defaultFile) {
    setObjectName("faDumpWizard");
    setWindowTitle(q(fadump::kWizardCaption));
    progressOperator_ = std::make_unique<Progress>(*this, context_.op);
    auto* layout = new QVBoxLayout(this);
    pages_ = new QStackedWidget(this);
    pages_->addWidget(makeSetupPage());
    pages_->addWidget(makeCustomerPage());
    pages_->addWidget(makeReadyPage());
    pages_->addWidget(makeOutcomePage());
    layout->addWidget(pages_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    back_ = new QPushButton("< &Back", this);
    next_ = new QPushButton("&Next >", this);
    start_ = new QPushButton("&Start", this);
    send_ = new QPushButton(q(fadump::kSendButton), this);
    cancel_ = new QPushButton(q(fadump::kCancelButton), this);
    for (QPushButton* b : {back_, next_, start_, send_, cancel_}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    connect(back_, &QPushButton::clicked, this, [this] {
        switch (page()) {
        case CustomerPage: showPage(SetupPage); break;
        case ReadyPage: showPage(CustomerPage); break;
        case OutcomePage: showPage(ReadyPage); break;  // another dump
        case SetupPage: break;
        }
    });
    connect(next_, &QPushButton::clicked, this, [this] {
        if (page() == SetupPage) showPage(CustomerPage);
        else if (page() == CustomerPage) showPage(ReadyPage);
    });
    connect(start_, &QPushButton::clicked, this, &FaDumpWizard::startDump);
    connect(send_, &QPushButton::clicked, this, &FaDumpWizard::sendDump);
    connect(cancel_, &QPushButton::clicked, this, &FaDumpWizard::reject);
    resize(560, 420);
    updateSetupItems();
    showPage(SetupPage);
}

FaDumpWizard::~FaDumpWizard() = default;

QWidget* FaDumpWizard::makeSetupPage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    auto* kinds = new QHBoxLayout;
    full_ = new QRadioButton("&Full dump", page);
    custom_ = new QRadioButton("C&ustom dump", page);
    full_->setChecked(true);
    kinds->addWidget(full_);
    kinds->addWidget(custom_);
    kinds->addStretch(1);
    layout->addLayout(kinds);
    setupTitle_ = new QLabel(page);
    QFont bold = setupTitle_->font();
    bold.setBold(true);
    setupTitle_->setFont(bold);
    layout->addWidget(setupTitle_);
    setupText_ = wrapped({}, page);
    layout->addWidget(setupText_);
    items_ = new QTreeWidget(page);
    items_->setObjectName("dumpSetupItems");
    items_->setColumnCount(2);
    items_->setHeaderLabels({"Item", "Setting"});
    items_->setRootIsDecorated(false);
    items_->header()->resizeSection(0, 150);
    fileItem_ = new QTreeWidgetItem(items_, {q(fadump::kDumpFileItem), {}});
    fileItem_->setData(0, Qt::UserRole, q(fadump::kDumpFileHelp));
    locationItem_ = new QTreeWidgetItem(items_, {q(fadump::kFileLocationItem), "..."});
    locationItem_->setData(0, Qt::UserRole, q(fadump::kFileLocationHelp));
    for (const auto& item : fadump::kCustomItems) {
        auto* row = new QTreeWidgetItem(items_, {q(item.name), {}});  // owned by the list
        row->setData(0, Qt::UserRole, q(item.help));
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        customItems_.push_back(row);
    }
    const fadump::DumpSetup defaults;
    for (size_t i = 0; i < customItems_.size(); ++i)
        customItems_[i]->setCheckState(0, defaults.items[i] ? Qt::Checked : Qt::Unchecked);
    layout->addWidget(items_, 1);
    itemHelp_ = wrapped(q(fadump::kDumpFileHelp), page);
    itemHelp_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    itemHelp_->setMinimumHeight(36);
    layout->addWidget(itemHelp_);

    connect(full_, &QRadioButton::toggled, this, [this] { updateSetupItems(); });
    connect(items_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        itemHelp_->setText(item ? item->data(0, Qt::UserRole).toString() : QString());
    });
    items_->setCurrentItem(fileItem_);
    connect(items_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        if (item == locationItem_ || item == fileItem_) chooseFile();
    });
    connect(items_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (column == 0 && std::find(customItems_.begin(), customItems_.end(), item) != customItems_.end())
            updateSetupItems();
    });
    return page;
}

QWidget* FaDumpWizard::makeCustomerPage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(wrapped("Tell support who you are and what happened. Every field may be left empty.", page));
    auto* form = new QFormLayout;
    for (int id : fadump::kCustomerFields) {
        if (id == fadump::field::ProblemDescription) continue;
        auto* edit = new QLineEdit(page);
        edit->setObjectName(QString("field%1").arg(id));
        fields_[id] = edit;
        form->addRow(fieldLabel(id) + ":", edit);
    }
    problem_ = new QPlainTextEdit(page);
    problem_->setObjectName(QString("field%1").arg(fadump::field::ProblemDescription));
    form->addRow(fieldLabel(fadump::field::ProblemDescription) + ":", problem_);
    layout->addLayout(form, 1);
    return page;
}

QWidget* FaDumpWizard::makeReadyPage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(wrapped(q(fadump::kReadyText), page));
    readyFile_ = wrapped({}, page);
    layout->addWidget(readyFile_);
    layout->addStretch(1);
    progressText_ = new QLabel(page);
    layout->addWidget(progressText_);
    progress_ = new QProgressBar(page);
    progress_->setObjectName("dumpProgress");
    progress_->setRange(0, 1);
    progress_->setValue(0);
    layout->addWidget(progress_);
    return page;
}

QWidget* FaDumpWizard::makeOutcomePage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    outcome_ = wrapped({}, page);
    outcome_->setObjectName("dumpOutcome");
    outcome_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(outcome_);
    layout->addStretch(1);
    return page;
}

FaDumpWizard::Page FaDumpWizard::page() const { return static_cast<Page>(pages_->currentIndex()); }

void FaDumpWizard::showPage(Page page) {
    if (page == ReadyPage) readyFile_->setText("Dump file: " + QString::fromStdString(file_.string()));
    pages_->setCurrentIndex(page);
    updateButtons();
}

void FaDumpWizard::updateButtons() {
    const Page p = page();
    const bool busy = running();
    back_->setVisible(true);
    back_->setEnabled(p != SetupPage && !busy);
    next_->setVisible(p == SetupPage || p == CustomerPage);
    const fadump::DumpSetup s = setup();
    const bool anyItem = std::find(s.items.begin(), s.items.end(), true) != s.items.end();
    next_->setEnabled(p != SetupPage || (!file_.empty() && (!s.custom || anyItem)));
    start_->setVisible(p == ReadyPage);
    start_->setEnabled(!busy);
    send_->setVisible(p == OutcomePage && result_.ok);
    send_->setEnabled(!busy);
    cancel_->setEnabled(!busy);
}

void FaDumpWizard::updateSetupItems() {
    const bool custom = custom_->isChecked();
    setupTitle_->setText(q(custom ? fadump::kCustomSetupTitle : fadump::kFullSetupTitle));
    setupText_->setText(q(custom ? fadump::kCustomSetupText : fadump::kFullSetupText));
    fileItem_->setText(1, QString::fromStdString(file_.string()));
    const QSignalBlocker block(items_);
    for (QTreeWidgetItem* item : customItems_) {
        item->setHidden(!custom);
        item->setText(1, q(item->checkState(0) == Qt::Checked ? fadump::kChecked : fadump::kUnchecked));
    }
    updateButtons();
}

void FaDumpWizard::setCustom(bool custom) { (custom ? custom_ : full_)->setChecked(true); }

void FaDumpWizard::setItemChecked(size_t item, bool checked) {
    customItems_.at(item)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    updateSetupItems();
}

QString FaDumpWizard::itemSetting(size_t item) const { return customItems_.at(item)->text(1); }

void FaDumpWizard::setDumpFile(const std::filesystem::path& file) {
    file_ = file;
    updateSetupItems();
}

void FaDumpWizard::setCustomerField(int id, const QString& value) {
    if (id == fadump::field::ProblemDescription) problem_->setPlainText(value);
    else if (auto it = fields_.find(id); it != fields_.end()) it->second->setText(value);
}

QString FaDumpWizard::setupTitle() const { return setupTitle_->text(); }

fadump::DumpSetup FaDumpWizard::setup() const {
    fadump::DumpSetup s;
    s.file = file_;
    s.custom = custom_->isChecked();
    for (size_t i = 0; i < customItems_.size() && i < s.items.size(); ++i)
        s.items[i] = customItems_[i]->checkState(0) == Qt::Checked;
    return s;
}

fadump::CustomerInfo FaDumpWizard::customerInfo() const {
    fadump::CustomerInfo info;
    for (const auto& [id, edit] : fields_) info[id] = edit->text().trimmed().toStdString();
    info[fadump::field::ProblemDescription] = problem_->toPlainText().trimmed().toStdString();
    return info;
}

QString FaDumpWizard::outcomeText() const { return outcome_->text(); }

void FaDumpWizard::chooseFile() {
    if (running()) return;
    fadump::DumpSetup s = setup();
    if (fadump::chooseDumpFile(context_.op, s)) setDumpFile(s.file);
}

void FaDumpWizard::startDump() {
    if (running() || page() != ReadyPage) return;
    fadump::CustomerInfo info = customerInfo();
    fadump::gatherHostFields(info);
    const fadump::DumpSetup s = setup();
    result_ = {};
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (context_.busy) context_.busy(true);
    task_.start(
        [this, s, info] { result_ = fadump::RunDumpWizard(context_.device, *progressOperator_, s, info); },
        [this] {
            QApplication::restoreOverrideCursor();
            if (context_.busy) context_.busy(false);
            QString text = q(result_.ok ? fadump::kSuccessText : fadump::kFailureText);
            if (!result_.ok && !result_.failure.empty() && !result_.failureShown)
                text += "\n\n" + QString::fromStdString(result_.failure);
            if (result_.ok) text += "\n\n" + QString::fromStdString(result_.file.string());
            outcome_->setText(text);
            showPage(OutcomePage);
            Q_EMIT dumpFinished(result_.ok);
        });
    updateButtons();
}

void FaDumpWizard::sendDump() {
    if (running() || !result_.ok) return;
    const auto file = result_.file;
    const std::string program = context_.mailProgram;
    task_.start([this, file, program] { fadump::MailDump(context_.op, file, program); }, [this] { updateButtons(); });
    updateButtons();
}

void FaDumpWizard::reject() {
    if (running()) return;  // the drive is being read: the wizard ends with the dump
    QDialog::reject();
}

}  // namespace vexal::gui
