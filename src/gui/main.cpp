// vexal: the desktop console.
#include <QApplication>
#include <QCommandLineParser>
#include <QMetaObject>
#include <QTimer>

#include <chrono>
#include <string_view>
#include <thread>

#include "app/startup.h"
#include "command/command_request.h"
#include "gui/main_window.h"
#include "gui/qt_operator.h"
#include "gui/screenshot.h"
#include "log/log_system.h"
#include "platform/single_instance.h"

using namespace vexal;

namespace {

// The command line, the same for a window and for --help and --version.
struct CommandLine {
    QCommandLineOption virtualOption{"virtual", "Use the virtual devices for this run."};
    QCommandLineOption profileOption{"profile", "The virtual devices' profile file.", "file"};
    QCommandLineOption engineeringOption{
        "engineering", "Start in engineering mode (the pass phrase is taken from VEXAL_PASSPHRASE when set)."};
    QCommandLineOption screenshotOption{"screenshot",
                                        "Start without the caution notice, grab the window into FILE and exit.",
                                        "file"};
    QCommandLineOption sizeOption{"size", "The window's size for --screenshot, WIDTHxHEIGHT.", "size"};
    QCommandLineOption viewOption{"view",
                                  "What --screenshot grabs: window, mam (the cartridge memory window) or chart "
                                  "(the chart window of the --script run).",
                                  "view", "window"};
    QCommandLineOption scriptOption{"script", "The script whose chart window --view chart grabs.", "file"};
    QCommandLineParser parser;

    CommandLine() {
        parser.setApplicationDescription(
            "Korvane Vexal: test and diagnostics console for SCSI tape drives and medium changers.");
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOptions({virtualOption, profileOption, engineeringOption, screenshotOption, sizeOption, viewOption,
                           scriptOption});
    }
};

// --help and --version print and exit without opening a display.
bool onlyAsksForText(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--help" || a == "-h" || a == "-?" || a == "--help-all" || a == "--version" || a == "-v") return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (onlyAsksForText(argc, argv)) {
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName("vexal");
        QCoreApplication::setApplicationVersion(VEXAL_VERSION);
        CommandLine line;
        line.parser.process(core);  // prints and exits
        return 0;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName("Vexal");
    QApplication::setApplicationVersion(VEXAL_VERSION);
    CommandLine line;
    QCommandLineParser& parser = line.parser;
    const QCommandLineOption& virtualOption = line.virtualOption;
    const QCommandLineOption& profileOption = line.profileOption;
    const QCommandLineOption& engineeringOption = line.engineeringOption;
    const QCommandLineOption& screenshotOption = line.screenshotOption;
    const QCommandLineOption& sizeOption = line.sizeOption;
    const QCommandLineOption& viewOption = line.viewOption;
    const QCommandLineOption& scriptOption = line.scriptOption;
    parser.process(application);
    log::ignoreFileSizeSignal();

    gui::QtOperator op(nullptr);
    gui::MainWindow window(&op, nullptr, &op);
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
    gui::ShotView view = gui::ShotView::Window;
    if (!gui::shotViewNamed(parser.value(viewOption), view)) {
        qCritical("--view takes window, mam or chart.");
        return 2;
    }
    if (parser.isSet(engineeringOption)) {
        op.usePassphraseFromEnvironment(true);
    }
    if (!window.start(options)) return 0;
    if (parser.isSet(engineeringOption) && !window.application().engineeringMode) window.enterEngineeringMode();
    if (screenshot) {
        const QStringList size = parser.value(sizeOption).split('x');
        window.showNormal();
        window.resize(size.size() == 2 ? size[0].toInt() : 1100, size.size() == 2 ? size[1].toInt() : 700);
        gui::grabAfterStart(window, parser.value(screenshotOption), view, parser.value(scriptOption));
    }
    const int rc = application.exec();
    app::ExitInstance(window.application());
    return rc;
}
