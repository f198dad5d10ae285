// The console's wizards and windows on the offscreen platform, against the virtual drive:
// the FA dump wizard and the dump viewer, the Test Preparation Wizard, device selection for
// several devices, the busy animation and the tray tip.
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <QPlainTextEdit>
#include <QCheckBox>
#include <QTextBlock>
#include <QToolBar>

#include <chrono>
#include <fstream>
#include <memory>
#include <sys/stat.h>

#include "app/pass_phrases.h"
#include "app/test_preparation.h"
#include "app/user_settings.h"
#include "document/multi_device_run.h"
#include "device/drive_family.h"
#include "device/virtual/firmware_download.h"
#include "firmware/firmware_messages.h"
#include "device/device_selection.h"
#include "fadump/dump_viewer.h"
#include "fadump/zip_archive.h"
#include "gui/busy_indicator.h"
#include "gui/device_list_dialog.h"
#include "gui/device_pane.h"
#include "gui/dump_viewer_window.h"
#include "gui/fa_dump_wizard_dialog.h"
#include "gui/log_view.h"
#include "gui/main_window.h"
#include "gui/qt_operator.h"
#include "gui/select_test_dialog.h"
#include "gui/status_bar.h"
#include "gui/test_preparation_wizard.h"
#include "log/install_folder.h"
#include "platform/settings_store.h"
#include "support/fake_operator.h"
#include "support/fingerprinted_script.h"
#include "support/test_root.h"
#include "gui/window_fixture.h"

using namespace vexal;
using testing::countRows;
using testing::waitFor;

namespace {

bool saidMessage(const testing::FakeOperator& op, std::string_view text) {
    for (const auto& m : op.messages())
        if (m == text) return true;
    return false;
}

std::filesystem::path writeScript(const std::string& name, const std::string& body) {
    const auto folder = log::lookUpInstallPath().path / "Scripts";
    std::filesystem::create_directories(folder);
    const auto file = folder / (name + ".SCS");
    std::ofstream(file) << body;
    return file;
}

}  // namespace

class WindowsTest : public QObject, protected testing::WindowFixture {
    Q_OBJECT

    // The full dump of the virtual drive through the wizard's pages.
    std::filesystem::path dumpThroughTheWizard(gui::MainWindow& w) {
        gui::FaDumpWizard* wizard = w.openFaDumpWizard();
        if (!wizard) return {};
        wizard->nextButton()->click();
        wizard->setCustomerField(fadump::field::Name, "Ann");
        wizard->nextButton()->click();
        wizard->startButton()->click();
        if (!waitFor([&] { return !wizard->running(); })) return {};
        const auto file = wizard->result().ok ? wizard->result().file : std::filesystem::path();
        wizard->cancelButton()->click();
        return file;
    }

private Q_SLOTS:
    void init() { setUpWindowTest(); }
    void cleanup() { tearDownWindowTest(); }

    void faDumpWizardPagesAndASuccessfulDump() {
        gui::MainWindow& w = startWindow(false);
        gui::FaDumpWizard* wizard = w.openFaDumpWizard();
        QVERIFY(wizard);
        QCOMPARE(wizard->page(), gui::FaDumpWizard::SetupPage);
        QCOMPARE(wizard->setupTitle(), QString("FA Full Dump Setup"));
        QVERIFY(!wizard->backButton()->isEnabled());
        // The scan read the drive's serial number (page 80h): the dump is named after it.
        const auto expected = log::lookUpInstallPath().path / "FADump" / "VD00000001.dmz";
        QCOMPARE(wizard->setup().file, expected);
        wizard->nextButton()->click();
        QCOMPARE(wizard->page(), gui::FaDumpWizard::CustomerPage);
        wizard->setCustomerField(fadump::field::Name, "Ann");
        wizard->setCustomerField(fadump::field::ProblemDescription, "  Tape stuck  ");
        QCOMPARE(wizard->customerInfo()[fadump::field::ProblemDescription], std::string("Tape stuck"));
        wizard->nextButton()->click();
        QCOMPARE(wizard->page(), gui::FaDumpWizard::ReadyPage);
        QVERIFY(wizard->startButton()->isVisible());

        wizard->startButton()->click();
        QVERIFY(wizard->running());
        w.refresh();
        // While the drive is read nothing else may start, and the window says it is busy.
        QVERIFY(!w.action("actInquiry")->isEnabled());
        QVERIFY(!wizard->startButton()->isEnabled());
        QVERIFY(!wizard->backButton()->isEnabled());
        QVERIFY(w.busyAnimation()->isRunning());
        QVERIFY(waitFor([&] { return !wizard->running(); }));
        QCOMPARE(wizard->page(), gui::FaDumpWizard::OutcomePage);
        QVERIFY(wizard->result().ok);
        QVERIFY(wizard->outcomeText().startsWith(
            "The requested dump has successfully completed.  Click 'Back' to generate another dump file"));
        QVERIFY(wizard->sendButton()->isVisible());
        QVERIFY(std::filesystem::exists(expected));
        QVERIFY(!std::filesystem::exists(std::filesystem::path(expected).replace_extension(".dmp")));
        struct stat st {};
        QCOMPARE(::stat(expected.c_str(), &st), 0);
        QCOMPARE(st.st_mode & 0222, 0u);  // read-only
        // The outcome is on the page, not in a message box as well.
        QVERIFY(!saidMessage(*op_, fadump::kSuccessText));
        w.refresh();
        QVERIFY(w.document().idle.load());
        QVERIFY(w.action("actInquiry")->isEnabled());

        // Back makes another dump of the same name.
        wizard->backButton()->click();
        QCOMPARE(wizard->page(), gui::FaDumpWizard::ReadyPage);
        wizard->startButton()->click();
        QVERIFY(waitFor([&] { return !wizard->running(); }));
        QVERIFY(wizard->result().ok);
        wizard->cancelButton()->click();
    }

    void faDumpWizardSetupAndFailure() {
        gui::MainWindow& w = startWindow(false);
        gui::FaDumpWizard* wizard = w.openFaDumpWizard();
        QVERIFY(wizard);
        wizard->setCustom(true);
        QCOMPARE(wizard->setupTitle(), QString("FA Custom Dump Setup"));
        QCOMPARE(wizard->itemSetting(3), QString("Checked"));  // FA Dump is checked at first
        QCOMPARE(wizard->itemSetting(0), QString("UnChecked"));
        wizard->setItemChecked(3, false);
        QVERIFY(!wizard->nextButton()->isEnabled());  // a custom dump of nothing
        wizard->setItemChecked(0, true);
        QVERIFY(wizard->nextButton()->isEnabled());
        QCOMPARE(wizard->setup().items, (std::array<bool, 4>{true, false, false, false}));
        // File Location: the save dialog; a name without extension gets ".dmz".
        op_->texts.push_back((root_->path() / "chosen").string());
        wizard->chooseFile();
        QCOMPARE(wizard->setup().file, root_->path() / "chosen.dmz");

        // A dump file that cannot be made: the file error is shown and the wizard fails.
        std::ofstream(root_->path() / "plain") << "x";
        wizard->setDumpFile(root_->path() / "plain" / "dump.dmz");
        wizard->nextButton()->click();
        wizard->nextButton()->click();
        wizard->startButton()->click();
        QVERIFY(waitFor([&] { return !wizard->running(); }));
        QCOMPARE(wizard->page(), gui::FaDumpWizard::OutcomePage);
        QVERIFY(!wizard->result().ok);
        QVERIFY(wizard->outcomeText().startsWith("Dump failed.  Click 'Back' to try again."));
        QVERIFY(!wizard->sendButton()->isVisible());
        QVERIFY(wizard->result().failureShown);
        QVERIFY(w.document().idle.load());
        wizard->cancelButton()->click();
    }

    void viewerShowsTheSectionsOfADumpAndSavesTheReport() {
        gui::MainWindow& w = startWindow(true);
        const auto dmz = dumpThroughTheWizard(w);
        QVERIFY(!dmz.empty());
        gui::DumpViewerWindow* viewer = w.openDumpViewer(dmz);
        QVERIFY(viewer);
        QSignalSpy opened(viewer, &gui::DumpViewerWindow::opened);
        QVERIFY(waitFor([&] { return !viewer->busy(); }));
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.front().front().toBool(), true);
        QCOMPARE(viewer->windowTitle(), QString("FA Dump: VD00000001.dmz"));
        QVERIFY(viewer->sectionList()->isEnabled());
        QVERIFY(viewer->sectionList()->topLevelItemCount() >= 3);
        QCOMPARE(viewer->sectionList()->topLevelItem(0)->text(0), QString("configuration"));
        // Choosing a section puts the text on its heading.
        viewer->sectionList()->setCurrentItem(viewer->sectionList()->topLevelItem(1));
        QVERIFY(viewer->textView()->textCursor().block().text().startsWith("-- "));
        QVERIFY(viewer->textView()->textCursor().block().text().contains(viewer->sectionList()->topLevelItem(1)->text(0)));

        // Closing with the report unsaved asks; No keeps the window.
        QVERIFY(!viewer->reportSaved());
        op_->buttons.push_back(ui::Button::No);
        QVERIFY(!viewer->close());
        QVERIFY(saidMessage(*op_, fadump::kExitQuestion));
        const auto report = root_->path() / "report.txt";
        std::string error;
        QVERIFY(viewer->saveReport(report, error));
        std::ifstream in(report);
        std::string first, second;
        std::getline(in, first);
        std::getline(in, second);
        QCOMPARE(first, std::string("FA Dump: VD00000001.dmz\r"));
        QCOMPARE(second, fadump::sectionLine(viewer->result().sections.front()) + "\r");
        QVERIFY(viewer->close());
    }

    void viewerRefusesAShortDump() {
        gui::DumpViewerWindow viewer(*op_, root_->path());
        const auto dmp = root_->path() / "short.dmp";
        std::ofstream(dmp) << std::string(100, 'x');
        int error = 0;
        QVERIFY(fadump::compressFile(dmp, root_->path() / "short.dmz", 0644, error));
        std::filesystem::remove(dmp);
        viewer.openFile(root_->path() / "short.dmz");
        QVERIFY(waitFor([&] { return !viewer.busy(); }));
        QCOMPARE(viewer.result().scanError, fadump::scan_error::TooShort);
        QVERIFY(saidMessage(*op_, "Scan detected an error. EC# -2"));
        QVERIFY(!viewer.sectionList()->isEnabled());
        QVERIFY(!viewer.saveButton()->isEnabled());
        QVERIFY(viewer.close());  // no report to lose
    }

    void testPreparationWizardPageOrder() {
        // A ready and a not-ready drive, with a refused device first.
        for (const bool ready : {true, false}) {
            testing::FakeOperator op;
            std::vector<int> selected;
            int viewed = 0;
            std::string ran;
            gui::TestPreparationContext context{op, {}, {10, 255}, 0,
                                               log::lookUpInstallPath().path / "Scripts", {}, {}, {}, {}};
            context.devices.resize(2);
            context.devices[0].index = 0;
            context.devices[0].product = "SKTX";
            context.devices[1].index = 1;
            context.devices[1].product = "DISK";
            context.selectDevice = [&](int index) {
                selected.push_back(index);
                return index == 0;
            };
            context.checkReadiness = [ready] { return ready; };
            context.runTest = [&](const std::filesystem::path&, const std::string& name, int, bool) { ran = name; };
            context.viewError = [&] { ++viewed; };
            writeScript("FIRST", "DESCRIPTION First test\nStart:\nEXIT 0\n");
            gui::TestPreparationWizard wizard(std::move(context));
            wizard.show();
            QCOMPARE(wizard.page(), gui::TestPreparationWizard::WelcomePage);
            QVERIFY(!wizard.backButton()->isVisible());
            wizard.dontRunAgain()->setChecked(true);
            wizard.nextButton()->click();
            QCOMPARE(wizard.page(), gui::TestPreparationWizard::DevicePage);
            app::UserSettings settings;
            app::LoadSettings(settings);
            QCOMPARE(settings.wizard, 0);
            QCOMPARE(wizard.deviceList()->columnCount(), 7);

            wizard.selectDevice(1);
            wizard.nextButton()->click();  // refused: the page stays
            QCOMPARE(wizard.page(), gui::TestPreparationWizard::DevicePage);
            QVERIFY(!wizard.checking());
            wizard.selectDevice(0);
            wizard.nextButton()->click();
            QVERIFY(waitFor([&] { return !wizard.checking(); }));
            QCOMPARE(selected, (std::vector<int>{1, 0}));
            QCOMPARE(wizard.page(), ready ? gui::TestPreparationWizard::ReadyPage : gui::TestPreparationWizard::NotReadyPage);
            wizard.backButton()->click();
            QCOMPARE(wizard.page(), gui::TestPreparationWizard::DevicePage);
            wizard.nextButton()->click();
            QVERIFY(waitFor([&] { return !wizard.checking(); }));
            if (ready) {
                QVERIFY(wizard.tests()->selectTest("FIRST"));
                QVERIFY(wizard.runButton()->isEnabled());
                wizard.runButton()->click();
                QCOMPARE(ran, std::string("FIRST"));
            } else {
                QVERIFY(wizard.viewErrorButton()->isVisible());
                wizard.viewErrorButton()->click();
                QCOMPARE(viewed, 1);
                wizard.finishButton()->click();
            }
            QVERIFY(!wizard.isVisible());
            QCOMPARE(wizard.result(), int(QDialog::Accepted));
        }
    }

    void testPreparationWizardOnTheVirtualDrive() {
        gui::MainWindow& w = startWindow(false);
        // Customer mode with nothing remembered: the test needs its fingerprint to load.
        const auto quick = writeScript("QUICK", "DESCRIPTION Quick\nStart:\nMSG quick test ran\nEXIT 0\n");
        QVERIFY(testing::fingerprintScript(quick));
        gui::TestPreparationWizard* wizard = w.openTestPreparationWizard();
        QVERIFY(wizard);
        wizard->nextButton()->click();
        wizard->selectDevice(2);  // the disk: refused with its message
        wizard->nextButton()->click();
        QCOMPARE(wizard->page(), gui::TestPreparationWizard::DevicePage);
        QVERIFY(saidMessage(*op_, device::kNotSupportedMessage));
        QCOMPARE(w.activeDevice().index(), 0);
        wizard->selectDevice(0);
        wizard->nextButton()->click();
        QVERIFY(waitFor([&] { return !wizard->checking(); }));
        QCOMPARE(wizard->page(), gui::TestPreparationWizard::ReadyPage);
        QVERIFY(wizard->tests()->selectTest("QUICK"));
        wizard->runButton()->click();
        QVERIFY(waitFor([&] {
            w.refresh();
            return !w.scriptRunning() && countRows(*w.logView(), "Ending_Script") == 1;
        }));
        QCOMPARE(countRows(*w.logView(), "quick test ran"), 1);
    }

    // Each drive's load of a run on several devices is held to the fingerprint demand too.
    void severalDevicesInCustomerModeLoadOnlyAFingerprintedTest() {
        gui::MainWindow& w = startWindow(false);
        const auto script = writeScript("EACH", "DESCRIPTION Each\nStart:\nMSG ran on a drive\nEXIT 0\n");
        auto runOnTheDrive = [&] {
            const int ends = countRows(*w.logView(), "Ending_Script");
            return w.startOnDevices({0}, script.string(), "EACH", 1, false, false) && waitFor([&] {
                       w.refresh();
                       return !w.scriptRunning() && countRows(*w.logView(), "Ending_Script") == ends + 1;
                   });
        };
        QVERIFY(runOnTheDrive());
        QCOMPARE(countRows(*w.logView(), "ran on a drive"), 0);
        QVERIFY(saidMessage(*op_, document::kLoadErrorsQuestion));
        QVERIFY(testing::fingerprintScript(script));
        QVERIFY(runOnTheDrive());
        QCOMPARE(countRows(*w.logView(), "ran on a drive"), 1);
    }

    void severalDevicesRunTheTestOnEach() {
        gui::MainWindow& w = startWindow(true);
        // The disk is announced and dropped; the operator confirms the rest.
        op_->buttons.push_back(ui::Button::Yes);
        const std::vector<int> kept = w.confirmSeveral({0, 1, 2}, false);
        QCOMPARE(kept, (std::vector<int>{0, 1}));
        QVERIFY(saidMessage(*op_, device::kRemovedFromSelectionMessage));
        QVERIFY(saidMessage(*op_, device::kMultiSelectQuestion));
        op_->buttons.push_back(ui::Button::No);
        QVERIFY(w.confirmSeveral({0, 1}, true).empty());
        QVERIFY(saidMessage(*op_, device::kPaneMultiSelectQuestion));

        const auto script = writeScript("EACH", "DESCRIPTION Each\nStart:\nMSG ran on a drive\nEXIT 0\n");
        QVERIFY(w.startOnDevices(kept, script.string(), "EACH", 1, false, true));
        w.refresh();
        QVERIFY(!w.action("actInquiry")->isEnabled());
        QVERIFY(waitFor([&] {
            w.refresh();
            return !w.scriptRunning();
        }));
        w.refresh();
        QCOMPARE(countRows(*w.logView(), "Starting_Script"), 2);
        QCOMPARE(countRows(*w.logView(), "ran on a drive"), 2);
        // The pane's run asks before the next drive; the last drive stays active.
        QVERIFY(saidMessage(*op_, document::kContinueRemainingQuestion));
        QCOMPARE(w.activeDevice().index(), 1);
        QCOMPARE(w.statusPanes()->paneText(log::Pane::Target), QString("T: 1"));
        QCOMPARE(platform::ProfileStore::readInt(device::selectedSection(w.application().instanceNumber),
                                                 "UnitNumber", -1),
                 1L);
        QVERIFY(w.document().idle.load());
        QVERIFY(w.action("actInquiry")->isEnabled());
    }

    void deviceListAndPaneHandOverTheChosenDevices() {
        gui::MainWindow& w = startWindow(true);
        // The pane: several selected rows go out together.
        QSignalSpy several(w.devicePane(), &gui::DevicePane::devicesChosen);
        w.devicePane()->list()->topLevelItem(0)->setSelected(true);
        w.devicePane()->list()->topLevelItem(2)->setSelected(true);
        QCOMPARE(w.devicePane()->selectedDevices(), (std::vector<int>{0, 2}));
        auto actions = w.devicePane()->list()->actions();
        QCOMPARE(actions.size(), 1);
        op_->buttons.push_back(ui::Button::No);  // declined at the question
        actions.front()->trigger();
        QCOMPARE(several.size(), 1);
        QCOMPARE(several.front().front().value<std::vector<int>>(), (std::vector<int>{0, 2}));

        // The device list: one row makes the device active, several ask for a test run.
        gui::DeviceListDialog* list = w.openDeviceList();
        QVERIFY(list);
        QCOMPARE(list->windowTitle(), QString("Vexal - Select Active Device"));
        QCOMPARE(list->list()->headerItem()->text(3), QString("Serial Number"));
        list->selectRows({1});
        list->select();
        QCOMPARE(w.activeDevice().index(), 1);
        QVERIFY(!list->selectButton()->isEnabled());
        list->selectRows({2});
        list->select();  // the disk is refused
        QCOMPARE(w.activeDevice().index(), 1);
        QVERIFY(saidMessage(*op_, device::kNotSupportedMessage));
        list->close();
    }

    void readyButtonChecksWhileTheWindowGoesOn() {
        gui::MainWindow& w = startWindow(false);
        w.action("actReady")->trigger();
        // The check runs on; the window answers meanwhile and refuses other commands.
        w.refresh();
        QVERIFY(!w.action("actRunTest")->isEnabled());
        QVERIFY(w.busyAnimation()->isRunning());
        QVERIFY(waitFor([&] { return saidMessage(*op_, "Your KTX/SKTX is ready to run a test.  Click OK and then "
                                                       "click the 'Run Test' button to select and run a test.  "); }));
        w.refresh();
        QVERIFY(w.action("actRunTest")->isEnabled());
    }

    void firmwareUpdateRunsOffTheWindowsThreadAndRescans() {
        // The drive takes new firmware only without a cartridge.
        gui::MainWindow& w = startWindow(true, "[target 0]\ntype = tape\ncartridge = no\n");
        const auto image = root_->path() / "fw-V777.img";
        const auto bytes = device::virt::makeFirmwareImage("V777", 20000);
        std::ofstream(image, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        op_->texts.push_back(image.string());
        w.action("actFirmware")->trigger();
        w.refresh();
        QVERIFY(!w.action("actInquiry")->isEnabled());  // the drive is being updated
        QVERIFY(w.busyAnimation()->isRunning());
        QVERIFY(waitFor([&] {
            w.refresh();
            return w.action("actInquiry")->isEnabled();
        }));
        QVERIFY(saidMessage(*op_, firmware::kUpdateDone));
        // The rescan re-bound the active drive: it reports its new firmware.
        QCOMPARE(w.activeDevice().entry.revision, std::string("V777"));
        QCOMPARE(w.document().device().revision, std::string("V777"));
    }

    void busyAnimationAndTrayTipFollowTheState() {
        gui::MainWindow& w = startWindow(true);
        w.refresh();
        QVERIFY(!w.busyAnimation()->isRunning());
        QCOMPARE(w.trayTip(), QString("Vexal: Idle"));
        w.document().idle = 0;
        w.refresh();
        QVERIFY(w.busyAnimation()->isRunning());
        QCOMPARE(w.trayTip(), QString("Vexal: Running"));
        const int frame = w.busyAnimation()->frame();
        QTest::qWait(250);
        QVERIFY(w.busyAnimation()->frame() != frame);  // it turns
        w.document().idle = 1;
        w.refresh();
        QVERIFY(!w.busyAnimation()->isRunning());
        // Every labelled button has its picture.
        for (QAction* a : w.labelledToolBar()->actions())
            if (!a->isSeparator() && !a->text().isEmpty()) QVERIFY2(!a->icon().isNull(), qPrintable(a->text()));
    }

    void fileFiltersInQtsForm_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("expected");
        QTest::newRow("dump files") << "Dump files (*.dmz)|*.dmz||" << "Dump files (*.dmz)";
        QTest::newRow("one bar at the end") << "FA Dump Files (*.dmz)|*.dmz|" << "FA Dump Files (*.dmz)";
        QTest::newRow("name without patterns") << "Logs|*.txt;*.log|All|*.*||" << "Logs (*.txt *.log);;All (*.*)";
        QTest::newRow("Qt's form") << "Firmware Images (*.img *.image)" << "Firmware Images (*.img *.image)";
    }
    void fileFiltersInQtsForm() {
        QFETCH(QString, filter);
        QFETCH(QString, expected);
        QCOMPARE(gui::qtFileFilter(filter.toStdString()), expected);
    }
};

QTEST_MAIN(WindowsTest)
#include "windows_test.moc"
