#include "gui/screenshot.h"

#include <QApplication>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <thread>

#ifdef VEXAL_HAVE_CHARTS
#include <QChartView>
#endif

#include "command/command_request.h"
#include "gui/main_window.h"
#include "gui/mam_dialog.h"

namespace vexal::gui {
namespace {

// Lets the window draw for a while (commands and scripts run on their own threads).
template <typename F>
void waitUntil(F done, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done() && std::chrono::steady_clock::now() < end) {
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void finish(QWidget* shown, const QString& file) {
    QTimer::singleShot(300, shown, [shown, file] {
        const bool ok = shown->grab().save(file);
        QApplication::exit(ok ? 0 : 1);
    });
}

void shootWindow(MainWindow& window, const QString& file) {
    if (window.activeDevice().bound && window.document().idle.load()) {
        window.document().request().code = command::code::Inquiry;
        window.document().StartCommand();
        waitUntil([&] { return window.document().idle.load() != 0; }, 2);
    }
    window.refresh();
    finish(&window, file);
}

void shootMam(MainWindow& window, const QString& file) {
    if (!window.activeDevice().bound) {
        QApplication::exit(1);
        return;
    }
    // The window reads the cartridge memory as it opens; it is owned by the main window.
    auto* dialog = new MamDialog(window.document().device(), window.application().engineeringMode, &window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    finish(dialog, file);
}

void shootChart(MainWindow& window, const QString& file, const QString& script) {
#ifdef VEXAL_HAVE_CHARTS
    const std::filesystem::path path = script.toStdString();
    if (!window.startScript(path.string(), path.stem().string(), 1, true)) {
        QApplication::exit(1);
        return;
    }
    waitUntil([&] { return !window.scriptRunning(); }, 60);
    window.refresh();
    const auto views = window.findChildren<QChartView*>();
    if (views.isEmpty()) {
        QApplication::exit(1);
        return;
    }
    finish(views.back()->window(), file);
#else
    (void)window;
    (void)file;
    (void)script;
    QApplication::exit(1);  // built without chart windows
#endif
}

}  // namespace

bool shotViewNamed(const QString& name, ShotView& view) {
    if (name == "window") view = ShotView::Window;
    else if (name == "mam") view = ShotView::Mam;
    else if (name == "chart") view = ShotView::Chart;
    else return false;
    return true;
}

void grabAfterStart(MainWindow& window, const QString& file, ShotView view, const QString& script) {
    QTimer::singleShot(300, &window, [&window, file, view, script] {
        switch (view) {
        case ShotView::Window: shootWindow(window, file); break;
        case ShotView::Mam: shootMam(window, file); break;
        case ShotView::Chart: shootChart(window, file, script); break;
        }
    });
}

}  // namespace vexal::gui
