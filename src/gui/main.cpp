// vexal: the desktop console.
#include <QApplication>
#include <QCommandLineParser>
#include <QMetaObject>
#include <QTimer>

#include <chrono>
#include <thread>

#include "app/startup.h"
#include "command/command_request.h"
#include "gui/main_window.h"
#include "gui/qt_operator.h"
#include "log/log_system.h"
#include "platform/single_instance.h"

using namespace vexal;

namespace {

// For the screenshots: one INQUIRY so that the view shows a command's frame, then the
// window is grabbed into `file`.
void grabAfterStart(gui::MainWindow& window, const QString& file) {
    QTimer::singleShot(300, &window, [&window, file] {
        if (window.activeDevice().bound && window.document().idle.load()) {
            window.document().request().code = command::code::Inquiry;
            window.document().StartCommand();
            for (int i = 0; i < 100 && !window.document().idle.load(); ++i) {
                QApplication::processEvents();
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
        window.refresh();
        QTimer::singleShot(300, &window, [&window, file] {
            const bool ok = window.grab().save(file);
            QApplication::exit(ok ? 0 : 1);
        });
    });
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Vexal");
    QCommandLineParser parser;
    parser.addHelpOption();
    QCommandLineOption virtualOption("virtual", "Use the virtual devices for this run.");
    QCommandLineOption profileOption("profile", "The virtual devices' profile file.", "file");
    QCommandLineOption engineeringOption(
        "engineering", "Start in engineering mode (the pass phrase is taken from VEXAL_PASSPHRASE when set).");
    QCommandLineOption screenshotOption("screenshot",
                                        "Start without the caution notice, grab the window into FILE and exit.",
                                        "file");
    QCommandLineOption sizeOption("size", "The window's size for --screenshot, WIDTHxHEIGHT.", "size");
    parser.addOptions({virtualOption, profileOption, engineeringOption, screenshotOption, sizeOption});
    parser.process(application);
    log::ignoreFileSizeSignal();

    gui::QtOperator op(nullptr);
    gui::MainWindow window(&op);
    op.setParent(&window);
    platform::SingleInstance instance("vexal");
    if (!instance.acquire([&window] {
            QMetaObject::invokeMethod(&window, [&window] {
                window.showNormal();
                window.raise();
                window.activateWindow();
            });
        }))
        return 0;  // the running console was asked to come to the front

    gui::StartOptions options;
    if (parser.isSet(virtualOption) || parser.isSet(profileOption)) {
        options.config.kind = device::TransportKind::Virtual;
        options.transportChosen = true;
        options.config.virtualProfile = parser.value(profileOption).toStdString();
    }
    const bool screenshot = parser.isSet(screenshotOption);
    options.skipCaution = screenshot;
    if (parser.isSet(engineeringOption)) {
        op.usePassphraseFromEnvironment(true);
    }
    if (!window.start(options)) return 0;
    if (parser.isSet(engineeringOption) && !window.application().engineeringMode) window.enterEngineeringMode();
    if (screenshot) {
        const QStringList size = parser.value(sizeOption).split('x');
        window.showNormal();
        window.resize(size.size() == 2 ? size[0].toInt() : 1100, size.size() == 2 ? size[1].toInt() : 700);
        grabAfterStart(window, parser.value(screenshotOption));
    }
    const int rc = application.exec();
    app::ExitInstance(window.application());
    return rc;
}
