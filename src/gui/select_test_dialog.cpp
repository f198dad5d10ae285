#include "gui/select_test_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

#include "script/description_file.h"

namespace vexal::gui {

SelectTestDialog::SelectTestDialog(const std::filesystem::path& folder, ui::Operator& op, QWidget* parent,
                                   bool embedded)
    : QDialog(parent, embedded ? Qt::Widget : Qt::Dialog), folder_(folder), op_(op) {
    setWindowTitle("Select Test");
    setObjectName("selectTestDialog");
    auto* layout = new QVBoxLayout(this);
    list_ = new QTreeWidget(this);
    list_->setHeaderLabels({"Test", "Location", "Size"});
    list_->setRootIsDecorated(false);
    list_->header()->resizeSection(0, 140);
    list_->header()->resizeSection(1, 120);
    list_->header()->resizeSection(2, 60);
    layout->addWidget(list_);
    description_ = new QLabel(this);
    description_->setWordWrap(true);
    description_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    description_->setMinimumHeight(48);
    layout->addWidget(description_);
    auto* form = new QFormLayout;
    iterations_ = new QSpinBox(this);
    iterations_->setRange(1, 999999);
    form->addRow("Test Iterations:", iterations_);
    layout->addLayout(form);
    suppress_ = new QCheckBox("Suppress all dialogs while running test.", this);
    layout->addWidget(suppress_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    QPushButton* run = buttons->addButton("Run", QDialogButtonBox::AcceptRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    if (embedded) {
        buttons->hide();
        layout->setContentsMargins(0, 0, 0, 0);
    } else {
        resize(420, 400);
    }

    // The description file is rebuilt every time the dialog opens.
    script::BuildDescriptionFile(folder_, folder_ / script::kDescriptionFileName);
    std::vector<std::filesystem::directory_entry> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, ec)) {
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        if (ext == ".scs" && entry.is_regular_file(ec)) files.push_back(entry);
    }
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.path() < b.path(); });
    for (const auto& f : files) {
        auto* item = new QTreeWidgetItem(list_);  // owned by the list
        item->setText(0, QString::fromStdString(f.path().stem().string()));
        item->setText(1, QString::fromStdString(f.path().parent_path().filename().string()));
        item->setText(2, QString::number(qulonglong(f.file_size(ec))));
        item->setData(0, Qt::UserRole, QString::fromStdString(f.path().string()));
    }
    connect(list_, &QTreeWidget::currentItemChanged, this, [this, run] {
        showDescription();
        run->setEnabled(list_->currentItem() != nullptr);
        Q_EMIT currentTestChanged();
    });
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this, embedded] {
        if (embedded) Q_EMIT testActivated();
        else accept();
    });
    connect(suppress_, &QCheckBox::toggled, this, [this](bool on) {
        if (on && op_.message(kSuppressDialogsQuestion, "Vexal", ui::Icon::Question, ui::Buttons::YesNo,
                              ui::Button::No) != ui::Button::Yes)
            suppress_->setChecked(false);
    });
    run->setEnabled(false);
    if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
}

void SelectTestDialog::showDescription() {
    QTreeWidgetItem* item = list_->currentItem();
    if (!item) {
        description_->clear();
        return;
    }
    const std::filesystem::path path = item->data(0, Qt::UserRole).toString().toStdString();
    std::string text;
    const auto found =
        script::LookUpDescription(folder_ / script::kDescriptionFileName, path.filename().string(), text);
    description_->setText(found == script::DescriptionLookup::Found ? QString::fromStdString(text)
                                                                     : QString(script::kNoDescriptionText));
}

std::filesystem::path SelectTestDialog::scriptPath() const {
    QTreeWidgetItem* item = list_->currentItem();
    return item ? std::filesystem::path(item->data(0, Qt::UserRole).toString().toStdString())
                : std::filesystem::path();
}
std::string SelectTestDialog::testName() const {
    QTreeWidgetItem* item = list_->currentItem();
    return item ? item->text(0).toStdString() : std::string();
}
int SelectTestDialog::iterations() const { return iterations_->value(); }
bool SelectTestDialog::suppressDialogs() const { return suppress_->isChecked(); }
int SelectTestDialog::testCount() const { return list_->topLevelItemCount(); }
QString SelectTestDialog::description() const { return description_->text(); }

bool SelectTestDialog::selectTest(const QString& name) {
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        if (list_->topLevelItem(i)->text(0).compare(name, Qt::CaseInsensitive) == 0) {
            list_->setCurrentItem(list_->topLevelItem(i));
            return true;
        }
    return false;
}

}  // namespace vexal::gui
