// The window's actions, created menu by menu, and the menu bar of the current mode.
#include "gui/main_window.h"

#include <QAction>
#include <QMenuBar>
#include <QToolBar>

namespace vexal::gui {

QAction* MainWindow::makeAction(const char* name, const QString& text, std::function<void()> handler,
                                const QKeySequence& key) {
    auto* a = new QAction(text, this);
    a->setObjectName(name);
    if (!key.isEmpty()) a->setShortcut(key);
    connect(a, &QAction::triggered, this, [handler = std::move(handler)] { handler(); });
    actions_[name] = a;
    return a;
}

QAction* MainWindow::commandAction(const char* name, const QString& text, int commandCode) {
    QAction* a = makeAction(name, text, [this, name, commandCode] {
        if (QString(name) == "actPrevent") doc_->request().prevent = true;
        if (QString(name) == "actAllow") doc_->request().prevent = false;
        sendCommand(commandCode);
    });
    needIdle_.push_back(a);
    return a;
}

QAction* MainWindow::action(const QString& name) const {
    const auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::createActions() {
    createFileActions();
    createViewActions();
    createCommandActions();
    createTestActions();
    createModeActions();
    createHelpActions();
    createToolActions();
}

void MainWindow::buildMenus() {
    delete menuOwner_;  // the previous mode's menus
    menuOwner_ = new QObject(this);
    QMenuBar* bar = menuBar();
    bar->clear();
    const bool eng = engineeringShown_;
    auto menu = [&](const QString& title) {
        auto* m = new QMenu(title, bar);
        connect(menuOwner_, &QObject::destroyed, m, &QObject::deleteLater);
        bar->addMenu(m);
        return m;
    };
    auto add = [this](QMenu* m, std::initializer_list<const char*> names) {
        for (const char* n : names) {
            if (!*n) m->addSeparator();
            else m->addAction(actions_.at(n));
        }
    };
    QMenu* file = menu("&File");
    add(file, {"actSave", "actSaveAs", "", "actSendView", "actSendLog", "actSendFaDump", "", "actExit"});
    QMenu* view = menu("&View");
    if (eng) add(view, {"actToolbar"});
    add(view, {"actStatusBar", "", "actClearView", "", "actMam"});
    if (eng) add(view, {"actEeprom", "actFaDumpFile", "actTapeAlerts"});
    if (eng) {
        QMenu* commands = menu("&Commands");
        add(commands, {"actInquiry", "actTestUnitReady", "actRequestSense", "actReadBlockLimits", "", "actRewind",
                       "actLocate", "actSpace", "actReadPosition", "", "actLoad", "actUnload", "actRetension"});
        QMenu* cdb = commands->addMenu("C&DB");
        add(cdb, {"actCreateCdb"});
        QMenu* compression = commands->addMenu("Co&mpression");
        add(compression, {"actCompressionOn", "actCompressionOff"});
        QMenu* diagnostics = commands->addMenu("Dia&gnostics");
        add(diagnostics, {"actSendDiagnostic", "actReceiveDiagnostic", "actReadBuffer", "actWriteBuffer"});
        QMenu* reservations = commands->addMenu("Reser&vations");
        add(reservations, {"actReserve", "actRelease", "actPrevent", "actAllow"});
        QMenu* changer = commands->addMenu("Medium C&hanger");
        add(changer, {"actInitElementStatus"});
        QMenu* rw = commands->addMenu("Read/&Write");
        add(rw, {"actRead", "actWrite", "actWriteFilemarks", "actVerify", "", "actEraseLong", "actEraseShort"});
        commands->addMenu("SCSI-&3")->setEnabled(false);
        QMenu* bus = commands->addMenu("SCSI &Bus");
        add(bus, {"actRescan", "actSelectDevice", "actBusReset"});
        QMenu* sense = commands->addMenu("Sense and &Select");
        add(sense, {"actModeSense", "actModeSelect", "actLogSense", "actLogSelect"});
        QMenu* custom = menu("C&ustom");
        add(custom, {"actWriteReadTest", "", "actTest1", "actTest2", "actTest3", "actTest4", "", "actEnableLog",
                     "actDisableLog"});
    }
    QMenu* settings = menu("&Settings");
    add(settings, {"actPreferences"});
    QMenu* tests = menu("&Tests");
    add(tests, {"actAbortTest", "actRunTest"});
    if (eng) {
        QMenu* debug = tests->addMenu("&Debug");
        add(debug, {"actStepMode", "actSingleStep", "actStopScript"});
        add(tests, {"", "actWriteFingerprint"});
        QMenu* mode = menu("&Mode");
        add(mode, {"actCustomerMode", "actEngineeringMode", "", "actSetDefaults", "", "actUseSg", "actUseIscsi",
                   "actUseVirtual"});
    }
    QMenu* help = menu("&Help");
    add(help, {"actHelpContents", "actReadMe", "", "actWeb", "actSupport", "actFeedback", "", "actAbout", "actUpdates"});
    actions_.at("actUpdates")->setEnabled(eng);
}

void MainWindow::showEngineeringMenus(bool engineering) {
    engineeringShown_ = engineering;
    buildMenus();
    standardBar_->setVisible(engineering);
    actions_.at("actToolbar")->setChecked(engineering);
}

}  // namespace vexal::gui
