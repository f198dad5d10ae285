#include "gui/qt_operator.h"

#ifdef VEXAL_HAVE_CHARTS
#include "gui/chart_window.h"
#endif

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QThread>
#include <QVBoxLayout>
#include <QDialog>

#include <cstdlib>
#include <type_traits>

namespace vexal::gui {
namespace {

QString q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }

// Runs `f` on the user-interface thread and returns its result; a call from that thread
// runs at once. The calling thread waits, as it would on a modal dialog.
template <typename F>
auto onUi(F f) -> decltype(f()) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) return f();
    if constexpr (std::is_void_v<decltype(f())>) {
        QMetaObject::invokeMethod(app, f, Qt::BlockingQueuedConnection);
    } else {
        decltype(f()) result{};
        QMetaObject::invokeMethod(app, [&] { result = f(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}

QMessageBox::StandardButton toQt(ui::Button b) {
    switch (b) {
    case ui::Button::Ok: return QMessageBox::Ok;
    case ui::Button::Cancel: return QMessageBox::Cancel;
    case ui::Button::Yes: return QMessageBox::Yes;
    case ui::Button::No: return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

}  // namespace

QString qtFileFilter(std::string_view filter) {
    const QString text = q(filter);
    if (!text.contains('|')) return text;
    const QStringList parts = text.split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString name = parts[i].trimmed();
        const QString patterns = parts[i + 1].trimmed();
        if (name.isEmpty() && patterns.isEmpty()) break;  // the closing "||"
        if (patterns.isEmpty() || name.contains('(')) filters << name;
        else filters << QString("%1 (%2)").arg(name, QString(patterns).replace(';', ' '));
    }
    return filters.join(";;");
}

#ifdef VEXAL_HAVE_CHARTS
QtOperator::QtOperator(QWidget* parent) : parent_(parent), charts_(std::make_unique<ChartWindows>(parent)) {}
QtOperator::~QtOperator() = default;

void QtOperator::setParent(QWidget* parent) {
    parent_ = parent;
    charts_ = std::make_unique<ChartWindows>(parent);
}

// The engine hands over the chart as it stands; a copy travels to the window's thread.
bool QtOperator::chartOpen(const script::ChartModel& chart) {
    return onUi([&]() { return charts_->open(chart); });
}
bool QtOperator::chartAddPoint(const script::ChartModel& chart, uint8_t line, double x, double y) {
    return onUi([&]() { return charts_->addPoint(chart, line, x, y); });
}
bool QtOperator::chartReset(const script::ChartModel& chart) {
    return onUi([&]() { return charts_->reset(chart); });
}
bool QtOperator::chartClose(const script::ChartModel& chart, std::string& note) {
    note.clear();
    return onUi([&]() { return charts_->close(chart); });
}
#else
// Without Qt Charts the run goes on without windows (the chart output's defaults).
class ChartWindows {};
QtOperator::QtOperator(QWidget* parent) : parent_(parent) {}
QtOperator::~QtOperator() = default;
void QtOperator::setParent(QWidget* parent) { parent_ = parent; }
bool QtOperator::chartOpen(const script::ChartModel& chart) { return ChartOutput::chartOpen(chart); }
bool QtOperator::chartAddPoint(const script::ChartModel& chart, uint8_t line, double x, double y) {
    return ChartOutput::chartAddPoint(chart, line, x, y);
}
bool QtOperator::chartReset(const script::ChartModel& chart) { return ChartOutput::chartReset(chart); }
bool QtOperator::chartClose(const script::ChartModel& chart, std::string& note) { return ChartOutput::chartClose(chart, note); }
#endif

ui::Button QtOperator::message(std::string_view text, std::string_view caption, ui::Icon icon,
                                ui::Buttons buttons, ui::Button defaultButton) {
    return onUi([&]() {
        QMessageBox box(parent_);
        box.setWindowTitle(q(caption));
        box.setText(q(text));
        switch (icon) {
        case ui::Icon::Information: box.setIcon(QMessageBox::Information); break;
        case ui::Icon::Exclamation: box.setIcon(QMessageBox::Warning); break;
        case ui::Icon::Stop: box.setIcon(QMessageBox::Critical); break;
        case ui::Icon::Question: box.setIcon(QMessageBox::Question); break;
        case ui::Icon::None: break;
        }
        switch (buttons) {
        case ui::Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
        case ui::Buttons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
        case ui::Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        case ui::Buttons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        }
        box.setDefaultButton(toQt(defaultButton));
        switch (box.exec()) {
        case QMessageBox::Cancel: return ui::Button::Cancel;
        case QMessageBox::Yes: return ui::Button::Yes;
        case QMessageBox::No: return ui::Button::No;
        default: return ui::Button::Ok;
        }
    });
}

bool QtOperator::askText(std::string_view prompt, std::string_view caption, std::string& answer) {
    return onUi([&]() {
        bool ok = false;
        const QString text = QInputDialog::getText(parent_, q(caption), q(prompt), QLineEdit::Normal, q(answer), &ok);
        if (ok) answer = text.toStdString();
        return ok;
    });
}

bool QtOperator::askNumber(std::string_view prompt, std::string_view caption, long minimum, long maximum,
                           long& value) {
    return onUi([&]() {
        bool ok = false;
        const int v = QInputDialog::getInt(parent_, q(caption), q(prompt), static_cast<int>(value),
                                           static_cast<int>(minimum), static_cast<int>(maximum), 1, &ok);
        if (ok) value = v;
        return ok;
    });
}

bool QtOperator::chooseFile(ui::FileDialog kind, std::string_view caption, std::string_view filter,
                            std::string& path) {
    return onUi([&]() {
        const QString chosen = kind == ui::FileDialog::Open
                                   ? QFileDialog::getOpenFileName(parent_, q(caption), q(path), qtFileFilter(filter))
                                   : QFileDialog::getSaveFileName(parent_, q(caption), q(path), qtFileFilter(filter));
        if (chosen.isEmpty()) return false;
        path = chosen.toStdString();
        return true;
    });
}

void QtOperator::progressBegin(std::string_view text, int minimum, int maximum) {
    return onUi([&]() {
        if (!progress_) progress_ = new QProgressDialog(parent_);  // owned by the parent widget
        progress_->setCancelButton(nullptr);
        progress_->setLabelText(q(text));
        progress_->setRange(minimum, maximum);
        progress_->setValue(minimum);
        progress_->setMinimumDuration(0);
        progress_->show();
        QApplication::processEvents();
    });
}
void QtOperator::progressSetRange(int minimum, int maximum) {
    return onUi([&]() {
        if (progress_) progress_->setRange(minimum, maximum);
    });
}
void QtOperator::progressSetPosition(int position) {
    return onUi([&]() {
        if (progress_) progress_->setValue(position);
    });
}
void QtOperator::progressStep() {
    return onUi([&]() {
        if (!progress_) return;
        const int next = progress_->value() + 1;
        progress_->setValue(next > progress_->maximum() ? progress_->minimum() : next);
    });
}
void QtOperator::progressSetText(std::string_view text) {
    return onUi([&]() {
        if (progress_) progress_->setLabelText(q(text));
    });
}
void QtOperator::progressEnd() {
    return onUi([&]() {
        if (progress_) progress_->hide();
    });
}

void QtOperator::showText(std::string_view title, std::string_view text) {
    return onUi([&]() {
        QDialog dialog(parent_);
        dialog.setWindowTitle(q(title));
        auto* layout = new QVBoxLayout(&dialog);  // owned by the dialog
        auto* view = new QPlainTextEdit(q(text), &dialog);
        view->setReadOnly(true);
        layout->addWidget(view);
        dialog.resize(700, 500);
        dialog.exec();
    });
}

bool QtOperator::askSecret(std::string_view prompt, std::string_view caption, std::string& answer) {
    if (passphraseFromEnvironment_) {
        passphraseFromEnvironment_ = false;  // once: a wrong phrase then asks in the dialog
        if (const char* phrase = std::getenv("VEXAL_PASSPHRASE")) {
            answer = phrase;
            return true;
        }
    }
    return onUi([&]() {
        bool ok = false;
        const QString text = QInputDialog::getText(parent_, q(caption), q(prompt), QLineEdit::Password, QString(), &ok);
        if (ok) answer = text.toStdString();
        return ok;
    });
}

void QtOperator::pace(std::chrono::milliseconds duration) {
    if (QCoreApplication::instance() && QThread::currentThread() != QCoreApplication::instance()->thread()) {
        QThread::msleep(static_cast<unsigned long>(duration.count()));  // the window draws on its own thread
        return;
    }
    // The window keeps drawing while the progress bar is paced.
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < duration.count()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

}  // namespace vexal::gui
