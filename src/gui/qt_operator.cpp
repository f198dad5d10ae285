#include "gui/qt_operator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QThread>
#include <QVBoxLayout>
#include <QDialog>

namespace vexal::gui {
namespace {

QString q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }

QMessageBox::StandardButton toQt(app::Button b) {
    switch (b) {
    case app::Button::Ok: return QMessageBox::Ok;
    case app::Button::Cancel: return QMessageBox::Cancel;
    case app::Button::Yes: return QMessageBox::Yes;
    case app::Button::No: return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

}  // namespace

app::Button QtOperator::message(std::string_view text, std::string_view caption, app::Icon icon,
                                app::Buttons buttons, app::Button defaultButton) {
    QMessageBox box(parent_);
    box.setWindowTitle(q(caption));
    box.setText(q(text));
    switch (icon) {
    case app::Icon::Information: box.setIcon(QMessageBox::Information); break;
    case app::Icon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case app::Icon::Stop: box.setIcon(QMessageBox::Critical); break;
    case app::Icon::Question: box.setIcon(QMessageBox::Question); break;
    case app::Icon::None: break;
    }
    switch (buttons) {
    case app::Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case app::Buttons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case app::Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case app::Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    box.setDefaultButton(toQt(defaultButton));
    switch (box.exec()) {
    case QMessageBox::Cancel: return app::Button::Cancel;
    case QMessageBox::Yes: return app::Button::Yes;
    case QMessageBox::No: return app::Button::No;
    default: return app::Button::Ok;
    }
}

bool QtOperator::askText(std::string_view prompt, std::string_view caption, std::string& answer) {
    bool ok = false;
    const QString text = QInputDialog::getText(parent_, q(caption), q(prompt), QLineEdit::Normal, q(answer), &ok);
    if (ok) answer = text.toStdString();
    return ok;
}

bool QtOperator::askNumber(std::string_view prompt, std::string_view caption, long minimum, long maximum,
                           long& value) {
    bool ok = false;
    const int v = QInputDialog::getInt(parent_, q(caption), q(prompt), static_cast<int>(value),
                                       static_cast<int>(minimum), static_cast<int>(maximum), 1, &ok);
    if (ok) value = v;
    return ok;
}

bool QtOperator::chooseFile(app::FileDialog kind, std::string_view caption, std::string_view filter,
                            std::string& path) {
    const QString chosen = kind == app::FileDialog::Open
                               ? QFileDialog::getOpenFileName(parent_, q(caption), q(path), q(filter))
                               : QFileDialog::getSaveFileName(parent_, q(caption), q(path), q(filter));
    if (chosen.isEmpty()) return false;
    path = chosen.toStdString();
    return true;
}

void QtOperator::progressBegin(std::string_view text, int minimum, int maximum) {
    if (!progress_) progress_ = new QProgressDialog(parent_);  // owned by the parent widget
    progress_->setCancelButton(nullptr);
    progress_->setLabelText(q(text));
    progress_->setRange(minimum, maximum);
    progress_->setValue(minimum);
    progress_->setMinimumDuration(0);
    progress_->show();
    QApplication::processEvents();
}
void QtOperator::progressSetRange(int minimum, int maximum) {
    if (progress_) progress_->setRange(minimum, maximum);
}
void QtOperator::progressSetPosition(int position) {
    if (progress_) progress_->setValue(position);
}
void QtOperator::progressStep() {
    if (!progress_) return;
    const int next = progress_->value() + 1;
    progress_->setValue(next > progress_->maximum() ? progress_->minimum() : next);
}
void QtOperator::progressSetText(std::string_view text) {
    if (progress_) progress_->setLabelText(q(text));
}
void QtOperator::progressEnd() {
    if (progress_) progress_->hide();
}

void QtOperator::showText(std::string_view title, std::string_view text) {
    QDialog dialog(parent_);
    dialog.setWindowTitle(q(title));
    auto* layout = new QVBoxLayout(&dialog);  // owned by the dialog
    auto* view = new QPlainTextEdit(q(text), &dialog);
    view->setReadOnly(true);
    layout->addWidget(view);
    dialog.resize(700, 500);
    dialog.exec();
}

void QtOperator::pace(std::chrono::milliseconds duration) {
    // The window keeps drawing while the progress bar is paced.
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < duration.count()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

}  // namespace vexal::gui
