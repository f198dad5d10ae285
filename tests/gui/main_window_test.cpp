// The desktop window on the offscreen platform: menus and tool bars by mode, the log view's
// colours and its 10 000-line limit, a menu command and a script on the virtual drive, and
// what the window leaves to the core: a script's FUP, the I/O-mode switch, Send Log.
#include <QMenuBar>
#include <QTest>
#include <QToolBar>

#include <chrono>
#include <fstream>
#include <memory>
#include <thread>

#include "app/io_mode.h"
#include "app/pass_phrases.h"
#include "app/user_settings.h"
#include "command/command_request.h"
#include "device/drive_family.h"
#include "log/send_log.h"
#include "gui/device_pane.h"
#include "gui/log_view.h"
#include "gui/main_window.h"
#include "gui/status_bar.h"
#include "log/install_folder.h"
#include "support/fake_operator.h"
#include "support/test_root.h"
#include "gui/window_fixture.h"

#ifdef VEXAL_HAVE_CHARTS
#include <QChartView>
#include <QLineSeries>

#include "gui/chart_window.h"
#endif

using namespace vexal;
using testing::countRows;
using testing::waitFor;

namespace {

QStringList menuTitles(gui::MainWindow& w) {
    QStringList titles;
    for (QAction* a : w.menuBar()->actions()) titles << a->text().remove('&');
    return titles;
}

int findRow(gui::LogView& view, const QString& text) {
    for (size_t i = 0; i < view.drawnCount(); ++i)
        if (view.rowText(i).contains(text)) return int(i);
    return -1;
}

// Waits until the window is idle again with a command's frame ended in its view.
bool waitForCommandDone(gui::MainWindow& w) {
    return waitFor([&] {
        w.refresh();
        return w.document().idle.load() && findRow(*w.logView(), "Command_Done") >= 0;
    });
}

bool shown(const testing::FakeOperator& op, std::string_view text) {
    for (const auto& m : op.messages())
        if (m.find(text) != std::string::npos) return true;
    return false;
}

[[maybe_unused]] void dump(gui::LogView& view) {
    for (size_t i = 0; i < view.drawnCount(); ++i) qInfo("%s", qPrintable(view.rowText(i)));
}

}  // namespace

class MainWindowTest : public QObject, protected testing::WindowFixture {
    Q_OBJECT

private Q_SLOTS:
    void init() { setUpWindowTest(); }
    void cleanup() { tearDownWindowTest(); }

    void modeSwitchChangesMenusAndToolBars() {
        gui::MainWindow& w = startWindow(false);
        QVERIFY(w.application().customerMode);
        QCOMPARE(menuTitles(w), (QStringList{"File", "View", "Settings", "Tests", "Help"}));
        QVERIFY(!w.standardToolBar()->isVisibleTo(&w));
        QVERIFY(w.labelledToolBar()->isVisibleTo(&w));
        QVERIFY(!w.action("actUpdates")->isEnabled());

        // Entering asks for the pass phrase: a wrong one, then Cancel, stays in customer mode.
        op_->texts = {"wrong phrase"};
        w.enterEngineeringMode();
        QVERIFY(w.application().customerMode);
        QVERIFY(!w.engineeringMenusShown());

        app::WriteSetting("PasswordSet", 1);
        app::WriteSetting("Password", app::engineeringDigest());
        w.application().settings.passwordSet = 1;
        w.application().settings.password = app::engineeringDigest();
        w.enterEngineeringMode();
        QVERIFY(w.application().engineeringMode);
        QCOMPARE(menuTitles(w),
                 (QStringList{"File", "View", "Commands", "Custom", "Settings", "Tests", "Mode", "Help"}));
        QVERIFY(w.standardToolBar()->isVisibleTo(&w));
        QVERIFY(w.action("actUpdates")->isEnabled());
        QCOMPARE(w.windowTitle(), QString("Korvane Vexal [Engineering Mode]"));

        w.enterCustomerMode();
        QVERIFY(w.application().customerMode);
        QCOMPARE(menuTitles(w), (QStringList{"File", "View", "Settings", "Tests", "Help"}));
        QVERIFY(!w.standardToolBar()->isVisibleTo(&w));
        QCOMPARE(w.windowTitle(), QString("Vexal"));
    }

    void logViewColoursLinesByTheirTags() {
        gui::MainWindow& w = startWindow(false);
        auto& lines = w.document().lines();
        lines.clearView();
        const std::vector<std::pair<std::string, uint32_t>> cases = {
            {"[Vexal_Command_Sent on 01/02/2024]", 0x960000},  // CmdIOClr
            {" Inquiry", 0x960000},                            // the line after Command_Sent
            {"  000000: 12 00 00 00 40 00   ....@.", 0x808080},  // untagged: RawDataClr
            {" [Vexal_CmdStatus: SCSI_GOOD]", 0xF00000},
            {"[Vexal_Check_Condition: 3/11/00]", 0x0000FF},
            {"[Vexal_Command_Done]", 0x960000},
            {"[Vexal_Starting_Script on 01/02/2024 1of1]", 0xFF00FF},
            {"[Vexal_Something_Else]", 0xFFFF00},
        };
        for (const auto& c : cases) lines.append(c.first);
        lines.append("[Vexal_Script_Message: hello operator");
        gui::LogView& view = *w.logView();
        view.refresh();
        QCOMPARE(view.drawnCount(), cases.size() + 2);
        QCOMPARE(view.rowColour(0), gui::fromColorRef(0x000000));  // the header: AppHdrClr
        for (size_t i = 0; i < cases.size(); ++i) {
            QCOMPARE(view.rowText(i + 1), QString::fromStdString(cases[i].first));
            QCOMPARE(view.rowColour(i + 1), gui::fromColorRef(cases[i].second));
        }
        // The script message is drawn without its prefix, the stored line keeps it.
        QCOMPARE(view.rowText(cases.size() + 1), QString("hello operator"));
        QCOMPARE(view.rowColour(cases.size() + 1), gui::fromColorRef(0xF00000));
        QCOMPARE(lines.range(cases.size() + 1, 1).front(), std::string("[Vexal_Script_Message: hello operator"));

        // A configured colour is used at the next drawing.
        w.colours()[log::ColourSlot::ScriptMessages] = 0x00AA00;
        view.refresh(true);
        QCOMPARE(view.rowColour(cases.size() + 1), gui::fromColorRef(0x00AA00));
    }

    void logViewDrawsTheLastTenThousandLines() {
        gui::MainWindow& w = startWindow(false);
        auto& lines = w.document().lines();
        lines.clearView();
        for (int i = 1; i <= 9999; ++i) lines.append("line " + std::to_string(i));
        gui::LogView& view = *w.logView();
        view.refresh();
        QCOMPARE(view.drawnCount(), size_t(10000));
        QVERIFY(view.rowText(0).contains("Log_View"));  // exactly 10 000: the header still drawn
        lines.append("line 10000");
        view.refresh();
        QCOMPARE(view.drawnCount(), size_t(10000));
        QCOMPARE(view.rowText(0), QString("line 1"));  // 10 001 lines: the header is not drawn
        QCOMPARE(view.rowText(9999), QString("line 10000"));
        QCOMPARE(lines.drawnCount(), size_t(10000));
        view.resize(400, 300);
        view.grab();  // draws without touching rows beyond the list
    }

    void inquiryFromTheMenuShowsItsFrame() {
        gui::MainWindow& w = startWindow(true);
        QVERIFY(w.application().engineeringMode);
        QVERIFY(w.activeDevice().bound);
        QCOMPARE(w.devicePane()->rowCount(), 3);
        w.refresh();
        QCOMPARE(w.statusPanes()->paneText(log::Pane::Host), QString("H: 0"));
        QCOMPARE(w.statusPanes()->paneText(log::Pane::State), QString("Idle"));
        QCOMPARE(w.statusPanes()->paneTooltip(log::Pane::Counter), QString("Iteration counter"));

        w.action("actInquiry")->trigger();
        QVERIFY(waitForCommandDone(w));
        gui::LogView& view = *w.logView();
        const int sent = findRow(view, "Command_Sent");
        QVERIFY(sent >= 0);
        QCOMPARE(view.rowText(size_t(sent) + 1), QString(" Inquiry"));
        QCOMPARE(view.rowColour(size_t(sent) + 1), gui::fromColorRef(0x960000));
        QVERIFY(findRow(view, "Vendor ID: KORVANE") >= 0);
        QVERIFY(findRow(view, "SCSI_GOOD") >= 0);

        // While a command is pending the command menus are disabled.
        w.document().idle = 0;
        w.refresh();
        QVERIFY(!w.action("actInquiry")->isEnabled());
        w.document().idle = 1;
        w.refresh();
        QVERIFY(w.action("actInquiry")->isEnabled());
    }

    void scriptRunsStepByStep() {
        gui::MainWindow& w = startWindow(true);
        const auto folder = log::lookUpInstallPath().path / "Scripts";
        std::filesystem::create_directories(folder);
        const auto script = folder / "TWO_MESSAGES.SCS";
        std::ofstream(script) << "DESCRIPTION Two messages\nStart:\nMSG first message\nMSG second message\nEXIT 0\n";
        w.action("actStepMode")->setChecked(true);
        QVERIFY(w.startScript(script.string(), "TWO_MESSAGES", 1, false));
        QVERIFY(w.scriptRunning());
        QVERIFY(w.action("actSingleStep")->isEnabled() || (w.refresh(), w.action("actSingleStep")->isEnabled()));
        // Each step shows the statement before it runs; nothing runs without a step.
        bool stepped = false;
        QVERIFY(waitFor([&] {
            w.refresh();
            if (findRow(*w.logView(), "MSG first message") >= 0) return true;
            // One step releases the DESCRIPTION statement shown first.
            if (!stepped && findRow(*w.logView(), "DESCRIPTION") >= 0) {
                w.action("actSingleStep")->trigger();
                stepped = true;
            }
            return false;
        }));
        QTest::qWait(300);
        w.refresh();
        QCOMPARE(countRows(*w.logView(), "first message"), 1);  // shown, not yet run
        QVERIFY(waitFor([&] {
            w.action("actSingleStep")->trigger();
            w.refresh();
            return !w.scriptRunning();
        }));
        w.refresh();
        QVERIFY(findRow(*w.logView(), "Starting_Script") >= 0);
        QVERIFY(findRow(*w.logView(), "Ending_Script") >= 0);
        QVERIFY(findRow(*w.logView(), "second message") >= 0);
    }

    // Customer mode with no pass phrase remembered loads a script only with its fingerprint;
    // the engineering-mode action writes one for the script the operator picks.
    void fingerprintIsDemandedInCustomerModeAndWrittenFromTheTestsMenu() {
        gui::MainWindow& w = startWindow(false);
        const auto folder = log::lookUpInstallPath().path / "Scripts";
        std::filesystem::create_directories(folder);
        const auto script = folder / "PRINTED.SCS";
        std::ofstream(script) << "DESCRIPTION Printed\nStart:\nMSG the printed script ran\nEXIT 0\n";
        auto runToTheEnd = [&] {
            const size_t ends = countRows(*w.logView(), "Ending_Script");
            if (!w.startScript(script.string(), "PRINTED", 1, false)) return false;
            return waitFor([&] {
                w.refresh();
                return !w.scriptRunning() && size_t(countRows(*w.logView(), "Ending_Script")) == ends + 1;
            });
        };
        auto shownErrors = [&] {
            std::string shown;
            for (const auto& call : op_->calls)
                if (call.kind == "showText") shown += call.text;
            return shown;
        };

        op_->buttons = {ui::Button::Yes};  // view the load errors
        QVERIFY(runToTheEnd());
        QCOMPARE(findRow(*w.logView(), "the printed script ran"), -1);
        QVERIFY(shownErrors().find("K_PHASE1_FILE_FINGERPRINT_ERROR") != std::string::npos);

        // Customer mode offers no such action, and the action does nothing there.
        auto testsMenuHas = [&](const char* name) {
            for (QAction* menu : w.menuBar()->actions())
                if (menu->text().remove('&') == "Tests" && menu->menu()->actions().contains(w.action(name))) return true;
            return false;
        };
        QVERIFY(!testsMenuHas("actWriteFingerprint"));
        op_->texts = {script.string()};
        w.action("actWriteFingerprint")->trigger();
        QVERIFY(!std::filesystem::exists(folder / "PRINTED.FPF"));

        app::WriteSetting("PasswordSet", 1);
        app::WriteSetting("Password", app::engineeringDigest());
        w.application().settings.passwordSet = 1;
        w.application().settings.password = app::engineeringDigest();
        w.enterEngineeringMode();
        QVERIFY(w.application().engineeringMode);
        QVERIFY(testsMenuHas("actWriteFingerprint"));
        w.action("actWriteFingerprint")->trigger();
        QVERIFY(std::filesystem::exists(folder / "PRINTED.FPF"));
        QCOMPARE(op_->messages().back(), "Fingerprint written: " + (folder / "PRINTED.FPF").string());
        QCOMPARE(op_->calls.back().icon, ui::Icon::Information);

        // Back in customer mode with the pass phrase forgotten, the script now loads.
        w.enterCustomerMode();
        w.application().settings.passwordSet = 0;
        QVERIFY(runToTheEnd());
        QVERIFY(findRow(*w.logView(), "the printed script ran") >= 0);
    }

    void stopEndsAStepModeRun() {
        gui::MainWindow& w = startWindow(true);
        const auto folder = log::lookUpInstallPath().path / "Scripts";
        std::filesystem::create_directories(folder);
        const auto script = folder / "STOPPED.SCS";
        std::ofstream(script) << "DESCRIPTION Stopped\nStart:\nMSG one\nMSG two\nMSG three\nEXIT 0\n";
        w.action("actStepMode")->setChecked(true);
        QVERIFY(w.startScript(script.string(), "STOPPED", 1, false));
        bool stepped = false;
        const bool shown = waitFor([&] {
            w.refresh();
            if (findRow(*w.logView(), "MSG one") >= 0) return true;
            // One step releases the DESCRIPTION statement shown first.
            if (!stepped && findRow(*w.logView(), "DESCRIPTION") >= 0) {
                w.action("actSingleStep")->trigger();
                stepped = true;
            }
            return false;
        }, 5);
        if (!shown) {
            dump(*w.logView());
            for (const auto& call : op_->calls) qInfo("%s: %s", call.kind.c_str(), call.text.c_str());
        }
        QVERIFY(shown);
        w.action("actStopScript")->trigger();
        QVERIFY(waitFor([&] { return !w.scriptRunning(); }));
        w.refresh();
        QCOMPARE(findRow(*w.logView(), "MSG two"), -1);
        QVERIFY(findRow(*w.logView(), "Ending_Script") >= 0);
    }

    // SCSI Bus Reset from the menu: the document's reset thread resets the selected drive
    // inside a command's frame, and the window is idle again afterwards.
    void busResetFromTheMenuShowsItsFrame() {
        gui::MainWindow& w = startWindow(true);
        w.action("actBusReset")->trigger();
        QVERIFY(waitForCommandDone(w));
        gui::LogView& view = *w.logView();
        const int sent = findRow(view, "Command_Sent");
        QVERIFY(sent >= 0);
        QCOMPARE(view.rowText(size_t(sent) + 1), QString(" ResetBus"));
        QVERIFY(w.action("actBusReset")->isEnabled());
    }

    // A script's FUP decides by the wizard privileges the operator holds when it runs: the
    // virtual disk (family 255) is refused without them and reaches the warning with them.
    void scriptFupFollowsTheCurrentWizardPrivileges() {
        const struct {
            bool privileges;
            const char* outcome;  // the label the FUP's vectors lead to
            bool refused;         // the "not supported" message
        } cases[] = {{true, "cancelled", false}, {false, "failed", true}};
        for (const auto& c : cases) {
            cleanup();
            init();
            gui::MainWindow& w = startWindow(true);
            const auto folder = log::lookUpInstallPath().path / "Scripts";
            std::filesystem::create_directories(folder);
            const auto image = folder / "fw.img";
            std::ofstream(image) << "image";
            const auto script = folder / "FUP.SCS";
            std::ofstream(script) << "DESCRIPTION fup\nStart:\nONERROR Failed\nONCANCEL Cancelled\nFUP " << image.string()
                                  << "\nMSG outcome updated\nEXIT 0\nFailed:\nMSG outcome failed\nEXIT 0\n"
                                     "Cancelled:\nMSG outcome cancelled\nEXIT 0\n";
            // Only privileges make the disk the active device; the run reads them afresh.
            w.application().wizardPrivileges = true;
            QVERIFY(w.selectDevice(2));
            w.application().wizardPrivileges = c.privileges;
            op_->calls.clear();
            op_->buttons = {ui::Button::Cancel};  // the FUP warning, when it comes
            QVERIFY(w.startScript(script.string(), "FUP", 1, false));
            QVERIFY(waitFor([&] { return !w.scriptRunning(); }));
            w.refresh();
            QVERIFY2(findRow(*w.logView(), QString("outcome ") + c.outcome) >= 0, c.outcome);
            QCOMPARE(shown(*op_, device::kNotSupportedMessage), c.refused);
        }
    }

    // The Mode menu's I/O modes ask the core's question and keep the answer in the setting;
    // back on the virtual drives the devices and the idle state return.
    void ioModeSwitchAsksTheCoresQuestion() {
        gui::MainWindow& w = startWindow(true);
        const struct {
            const char* action;
            ui::Button answer;
            bool asked;
            const char* transport;  // the setting afterwards
            int devices;
        } steps[] = {
            {"actUseVirtual", ui::Button::Yes, false, "", 3},  // already in use: nothing asked
            {"actUseIscsi", ui::Button::No, true, "", 3},
            {"actUseIscsi", ui::Button::Yes, true, "iscsi", 0},  // no portals: no devices
            {"actUseVirtual", ui::Button::Yes, true, "virtual", 3},
        };
        for (const auto& s : steps) {
            app::UserSettings before;
            app::LoadSettings(before);
            op_->calls.clear();
            op_->buttons = {s.answer};
            w.action(s.action)->trigger();
            w.refresh();
            QCOMPARE(shown(*op_, app::kSwitchIoModeQuestion), s.asked);
            app::UserSettings after;
            app::LoadSettings(after);
            QCOMPARE(after.transport, *s.transport ? std::string(s.transport) : before.transport);
            QCOMPARE(w.devicePane()->rowCount(), s.devices);
            QCOMPARE(w.scanner().deviceCount(), s.devices);
        }
        QVERIFY(w.action("actUseVirtual")->isChecked());
        QVERIFY(w.activeDevice().bound);
        QVERIFY(w.document().idle.load());
        QVERIFY(w.action("actInquiry")->isEnabled());
    }

    // Send Log: the core's choice of a log file, the mail program, the outcome's message.
    void sendLogGoesThroughTheCore() {
        gui::MainWindow& w = startWindow(false);
        const auto dir = root_->path() / "bin";
        std::filesystem::create_directories(dir);
        const auto args = root_->path() / "mail-args.txt";
        {
            std::ofstream mailer(dir / "xdg-email");
            mailer << "#!/bin/sh\nprintf '%s\\n' \"$@\" > " << args.string() << "\nexit ${MAIL_STATUS:-0}\n";
        }
        std::filesystem::permissions(dir / "xdg-email", std::filesystem::perms::owner_all);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QByteArray::fromStdString(dir.string()) + ":" + path);
        const auto logFile = (root_->path() / "session.txt").string();
        std::ofstream(logFile) << "a log line\n";
        const struct {
            bool chosen;
            const char* status;
            const char* message;  // empty: none
        } cases[] = {{true, "0", ""}, {true, "2", "The specified attachment was not found"}, {false, "0", ""}};
        for (const auto& c : cases) {
            std::filesystem::remove(args);
            op_->calls.clear();
            op_->texts.clear();
            if (c.chosen) op_->texts.push_back(logFile);
            qputenv("MAIL_STATUS", c.status);
            w.action("actSendLog")->trigger();
            QCOMPARE(op_->calls.front().kind, std::string("chooseFile"));
            QCOMPARE(op_->calls.front().text, std::string(log::kSelectLogFileCaption));
            QCOMPARE(std::filesystem::exists(args), c.chosen);
            if (c.chosen) {
                std::ifstream in(args);
                const std::string sent((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
                QCOMPARE(sent, "--subject\n" + std::string(log::kMailSubject) + "\n--attach\n" + logFile + "\n");
            }
            QCOMPARE(op_->messages().size(), size_t(*c.message ? 1 : 0));
            if (*c.message) QVERIFY(shown(*op_, c.message));
        }
        qputenv("PATH", path);
        qunsetenv("MAIL_STATUS");
    }

#ifdef VEXAL_HAVE_CHARTS
    void chartWindowDrawsTheModelsLines() {
        QWidget parent;
        gui::ChartWindows charts(&parent);
        script::ChartModel chart;
        chart.tag = "Speed";
        chart.title = "Transfer rate";
        chart.lines.push_back({1, "read", 0x0000FF, 0, {{0, 1}, {1, 4}}});
        QVERIFY(charts.open(chart));
        QWidget* window = charts.window("Speed");
        QVERIFY(window);
        auto* view = window->findChild<QChartView*>();
        QVERIFY(view);
        QCOMPARE(view->chart()->title(), QString("Transfer rate"));
        chart.lines.front().points.push_back({2, 9});
        chart.lines.push_back({2, "write", 0x00FF00, 0, {{0, 2}}});
        QVERIFY(charts.addPoint(chart, 1, 2, 9));
        const auto series = view->chart()->series();
        QCOMPARE(series.size(), 2);
        QCOMPARE(static_cast<QLineSeries*>(series[0])->count(), 3);
        QCOMPARE(static_cast<QLineSeries*>(series[0])->color(), QColor(255, 0, 0));
        // Closing leaves the window for the operator; a later open makes a new one.
        QVERIFY(charts.close(chart));
        QVERIFY(!charts.window("Speed"));
        QVERIFY(window->isVisible());
    }
#endif
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
