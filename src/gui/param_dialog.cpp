#include "gui/param_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace vexal::gui {

ParamDialog::ParamDialog(const QString& title, QWidget* parent) : QDialog(parent) {
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    form_ = new QFormLayout;
    layout->addLayout(form_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

int ParamDialog::addNumber(const QString& label, long minimum, long maximum, long value) {
    auto* box = new QSpinBox(this);
    box->setRange(int(std::clamp<long>(minimum, INT_MIN, INT_MAX)), int(std::clamp<long>(maximum, INT_MIN, INT_MAX)));
    box->setValue(int(std::clamp<long>(value, box->minimum(), box->maximum())));
    form_->addRow(label, box);
    fields_.push_back(box);
    return int(fields_.size()) - 1;
}

int ParamDialog::addCheck(const QString& label, bool value) {
    auto* box = new QCheckBox(label, this);
    box->setChecked(value);
    form_->addRow(QString(), box);
    fields_.push_back(box);
    return int(fields_.size()) - 1;
}

int ParamDialog::addChoice(const QString& label, const QStringList& items, int index) {
    auto* box = new QComboBox(this);
    box->addItems(items);
    box->setCurrentIndex(index);
    form_->addRow(label, box);
    fields_.push_back(box);
    return int(fields_.size()) - 1;
}

int ParamDialog::addText(const QString& label, const QString& value) {
    auto* edit = new QLineEdit(value, this);
    form_->addRow(label, edit);
    fields_.push_back(edit);
    return int(fields_.size()) - 1;
}

long ParamDialog::number(int field) const { return static_cast<QSpinBox*>(fields_.at(size_t(field)))->value(); }
bool ParamDialog::checked(int field) const {
    return static_cast<QCheckBox*>(fields_.at(size_t(field)))->isChecked();
}
int ParamDialog::choice(int field) const {
    return static_cast<QComboBox*>(fields_.at(size_t(field)))->currentIndex();
}
QString ParamDialog::text(int field) const { return static_cast<QLineEdit*>(fields_.at(size_t(field)))->text(); }

}  // namespace vexal::gui
