// vexal-cli: the console without a window.
#include <deque>
#include <iostream>

#include <CLI/CLI.hpp>

#include "cli/cartridge_commands.h"
#include "cli/command_access.h"
#include "cli/commands.h"
#include "cli/device_commands.h"
#include "cli/diag_commands.h"
#include "cli/number_option.h"
#include "cli/parse_failure.h"
#include "cli/json_result.h"
#include "cli/script_path.h"
#include "cli/termination.h"
#include "command/command_request.h"
#include "device/device_library.h"
#include "device/device_selector.h"
#include "log/log_system.h"

using namespace vexal::cli;

namespace {

int runCli(int argc, char** argv) {
    CLI::App app{"Korvane Vexal: test and diagnostics console for SCSI tape drives and medium changers", "vexal-cli"};
    app.set_version_flag("--version", std::string("vexal-cli ") + VEXAL_VERSION);
    app.require_subcommand(1);
    // Global options are taken after the command too, as users type them; the commands
    // made below inherit this.
    app.fallthrough();
    app.footer("Run 'vexal-cli COMMAND --help' for the options of a command, and see man vexal-cli.\n"
               "Exit status: 0 done; 1 the command, test or script failed; 2 usage; 3 no such device or not\n"
               "addressable; 4 transport or environment error (e.g. /dev/sgN not accessible: join group 'tape';\n"
               "a session log that cannot be created).\n"
               "Ctrl+C aborts the command in progress (exit status 1); a second Ctrl+C ends the program at once.");

    GlobalOptions g;
    app.add_option("--transport", g.transport, "Transport: sg, iscsi or virtual (default: the Transport setting)")
        ->check(CLI::IsMember({"sg", "iscsi", "virtual"}));
    app.add_option("--portal", g.portals, "iSCSI portal HOST[:PORT] (repeatable)");
    auto* virtualOption =
        app.add_option("--virtual", g.virtualProfile, "Use the virtual devices; --virtual=PROFILE.ini: from a profile file")
            ->expected(0, 1);
    auto* deviceOption = app.add_option(
        "--device", g.device,
        "Device: N (index in the scan), H:T:L, H:C:T:L or /dev/sgN; on sg, all but N open that device alone");
    addNumber(&app, "--timeout", g.timeoutSeconds,
              "Command time-out of the device in seconds, for this run only (timeout --set keeps one)", {1, 4294967});
    app.add_flag("--engineering", g.engineering, "Engineering mode");
    app.add_flag("--log", g.log, "Write the session log file (a new file; exit 4 when it cannot be created)");
    app.add_option("--save", g.saveFile, "Save the line list to FILE");
    auto* yes = app.add_flag("--yes", g.yes, "Answer Yes to every question");
    app.add_flag("--no", g.no, "Answer No to every question")->excludes(yes);
    app.add_option("--answers", g.answersFile, "Answer questions from FILE, one answer a line");
    app.add_option("--color", g.color, "Colour: auto, always or never")->check(CLI::IsMember({"auto", "always", "never"}));
    app.add_flag("--json", g.json, "One JSON document on stdout (messages on stderr): see man vexal-cli");
    app.add_flag("--quiet", g.quiet,
                 "Print less: results and errors only (no progress, information messages, frame markers or CDBs)");

    auto* scan = app.add_subcommand("scan", "Scan every bus and list the devices");
    bool rescan = false;
    scan->add_flag("--rescan", rescan,
                   "Have the kernel probe every SCSI host first (root; re-attaches deleted devices)");
    std::string selectDevice;
    auto* select = app.add_subcommand("select", "Make a device active and remember it");
    select->add_option("DEVICE", selectDevice, "Device index, H:T:L or /dev/sgN")->required();
    CdbOptions cdb;
    auto* cdbCommand = app.add_subcommand("cdb", "Create CDB: send any CDB, with its frame, status, sense and data");
    cdbCommand->add_option("CDB", cdb.cdb, "The CDB as hex bytes, e.g. \"12 00 00 00 24 00\"")->required();
    long long inLength = 0;
    std::string outData;
    // Wide: the command's own check names the lengths it takes.
    auto* inOption =
        addNumber(cdbCommand, "--in", inLength, "Read LENGTH bytes from the device", {0, int64_t{1} << 40, true});
    cdbCommand->add_option("--out", outData, "Send these hex bytes to the device")->excludes(inOption);

    DeviceCommands deviceCommands(app);
    DiagCommands diagCommands(app);
    std::string logPage, logPageControl;
    auto* logSenseCommand = app.add_subcommand("log-sense", "LOG SENSE of one page, decoded");
    logSenseCommand->add_option("PAGE", logPage, "Page code: 0x2E, 2EH or decimal (46)")->required();
    logSenseCommand->add_option("--pc", logPageControl,
                                "threshold, cumulative (default), default-threshold or default-cumulative");
    auto* tapeAlertsCommand = app.add_subcommand("tape-alerts", "Read the Tape Alert flags and rank them");
    CartridgeCommands cartridgeCommands(app);
    vexal::fadump::DumpCommandOptions dumpOptions;
    auto* faDumpCommand = app.add_subcommand("fadump", "Failure-analysis dump of the drive (.dmz)");
    faDumpCommand->add_option("--out", dumpOptions.out, "The .dmz file (default: FADump/<serial>.dmz)");
    faDumpCommand->add_option("--customer", dumpOptions.customerFile, "Customer information: lines Field=Value");
    faDumpCommand->add_flag("--mail", dumpOptions.mail, "Hand the dump to the mail client");
    std::string dumpFile;
    auto* faDumpViewCommand = app.add_subcommand("fadump-view", "Expand a dump and list its sections");
    faDumpViewCommand->add_option("FILE", dumpFile, "The .dmz file")->required();
    vexal::firmware::FirmwareCommandOptions firmwareOptions;
    auto* firmwareCommand = app.add_subcommand("firmware", "Update the drive's firmware from an image file");
    firmwareCommand->add_option("IMAGE", firmwareOptions.image, "The image file")->required();
    addNumber(firmwareCommand, "--mode", firmwareOptions.mode, "4 download microcode, 5 download and save (default)",
              {4, 5});
    std::string fupImage;
    auto* fupCommand = app.add_subcommand("fup-tape", "Write a firmware image to the tape in the drive");
    fupCommand->add_option("IMAGE", fupImage, "The image file")->required();
    RunOptions runOptions;
    auto* runCommand = app.add_subcommand("run", "Run a script on the selected device inside the test frames");
    runCommand->footer("Exit status: 0 when the script ended (at its end or EXIT 0) without a FAIL statement; 1 after\n"
                       "FAIL, EXIT with another value, a load or run-time error, or an abort (Ctrl+C).");
    runCommand->add_option("SCRIPT", runOptions.script, "The .scs file (a bare name is also looked for in Scripts/)")
        ->required();
    addNumber(runCommand, "--iterations", runOptions.iterations, "How many times to load and run it", {1, 1000000});
    runCommand->add_flag("--suppress-dialogs", runOptions.suppressDialogs, "Run without dialogs (GETSUPPRESSSTATUS reads 1)");
    runCommand->add_flag("--step", runOptions.step, "Show each statement and wait for Enter before running it");
    runCommand->add_option("--device", runOptions.devices,
                           "Device (N, H:T:L, H:C:T:L or /dev/sgN); repeat it to run on each device in turn")
        ->allow_extra_args(false);
    auto* readyCommand = app.add_subcommand("ready", "Check that the device is ready for a test (TEST UNIT READY rounds)");
    std::string sendLogFile;
    auto* sendLogCommand = app.add_subcommand("send-log", "Hand a log file of the Logs folder to the mail client");
    sendLogCommand->add_option("FILE", sendLogFile, "The log file (default: asked for)");
    std::string sendViewFile;
    auto* sendViewCommand = app.add_subcommand("send-view", "Hand a saved view to the mail client as View.txt");
    sendViewCommand->add_option("FILE", sendViewFile, "A view saved with --save")->required();
    std::string viewFile;
    auto* viewCommand = app.add_subcommand("view", "Show a view saved with --save as the view draws it");
    viewCommand->add_option("FILE", viewFile, "The saved view")->required();

    std::string checkScript;
    auto* checkCommand = app.add_subcommand("check", "Load a script (phases 1 to 3) and print its trail file");
    checkCommand->add_option("SCRIPT", checkScript, "The .scs file (a bare name is also looked for in Scripts/)")
        ->required();
    bool checkDeclarations = false;
    checkCommand->add_flag("--declarations", checkDeclarations, "Also list the script's FILE and CHART objects");
    std::vector<std::string> fingerprintScripts;
    auto* fingerprintCommand = app.add_subcommand(
        "fingerprint", "Write the fingerprint file (.FPF) beside each script");
    fingerprintCommand
        ->add_option("SCRIPT", fingerprintScripts, "The .scs files (a bare name is also looked for in Scripts/)")
        ->required();
    std::string modeName;
    auto* modeCommand = app.add_subcommand("mode", "Switch to customer or engineering mode (kept for later runs)");
    modeCommand->add_option("MODE", modeName, "customer or engineering")->required()->check(CLI::IsMember({"customer", "engineering"}));
    SettingsOptions settingsOptions;
    auto* settingsCommand = app.add_subcommand(
        "settings", "Show, list, get or set the settings, or reset them to their defaults");
    settingsCommand->add_option("ACTION", settingsOptions.action, "show (default), list, get NAME, set NAME VALUE or reset")
        ->check(CLI::IsMember({"show", "list", "get", "set", "reset"}));
    settingsCommand->add_option("NAME", settingsOptions.name,
                                "Transport, IscsiPortals, SerialPort, TapeAlertSet or a colour (ErrorClr, ...)");
    settingsCommand->add_option("VALUE", settingsOptions.value, "The new value");

    std::string serialPortName;
    auto* serialPortCommand = app.add_subcommand("serial-port", "Set or show the serial port scripts talk to");
    serialPortCommand->add_option("PORT", serialPortName, "A device (ttyS0, /dev/ttyUSB0) or virtual");
    std::string serialLine;
    serialPortCommand->add_option("--line", serialLine,
                                  "Line format: data bits, parity, stop bits and flow, e.g. 8N1 or 7E2,hardware");

    markEngineeringCommands(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (explainUnknownCommand(app, e, g.virtualProfile)) return kExitUsage;
        const int rc = app.exit(e);
        return rc == 0 ? kExitDone : kExitUsage;
    }
    // Under --json the run prints one document, however the command ends.
    JsonResult::run().begin(app.get_subcommands().front()->get_name(), g.json);
    g.useVirtual = virtualOption->count() > 0;
    if (runOptions.devices.size() == 1) g.device = runOptions.devices.front();
    if (deviceOption->count() > 0 && runOptions.devices.size() > 1) {
        std::cerr << "Give the devices of a run on several devices after 'run' only.\n";
        return kExitUsage;
    }
    // An empty --device would otherwise fall back on the stored selection unnoticed.
    if (deviceOption->count() > 0 && g.device.empty()) {
        std::cerr << "--device is empty: give an index from 'vexal-cli scan', H:T:L, H:C:T:L or /dev/sgN.\n";
        return kExitUsage;
    }
    // A device named in a form no device has is a usage error that shows the forms.
    for (const std::string& text : runOptions.devices) {
        vexal::device::DeviceSelector selector;
        std::string error;
        if (!vexal::device::parseDeviceSelector(text, selector, error)) {
            std::cerr << error << "\n";
            return kExitUsage;
        }
    }
    if (cdbCommand->get_option("--in")->count()) cdb.inLength = inLength;
    if (cdbCommand->get_option("--out")->count()) cdb.outData = outData;

    // A session log on a full disk must lose a line, not the process.
    vexal::log::ignoreFileSizeSignal();
    // Before any other thread: SIGINT and SIGTERM go to the watcher that ends the session.
    TerminationWatch::instance();
    vexal::device::DevStartup(1);
    CliContext context(g);
    if (!context.prepare()) return kExitUsage;
    context.setRequired(requiredAccess(app));
    int rc = kExitUsage;
    if (*scan) rc = runScan(context, rescan);
    else if (*select) rc = runSelect(context, selectDevice);
    else if (*cdbCommand) rc = runCdb(context, cdb);
    else if (*modeCommand) rc = runMode(context, modeName);
    else if (*logSenseCommand) rc = runLogSense(context, logPage, logPageControl);
    else if (*tapeAlertsCommand) rc = runTapeAlerts(context);
    else if (*faDumpCommand) rc = runFaDump(context, dumpOptions);
    else if (*faDumpViewCommand) rc = runFaDumpView(context, dumpFile);
    else if (*firmwareCommand) rc = runFirmware(context, firmwareOptions);
    else if (*checkCommand) rc = runCheck(context, resolveScriptPath(checkScript), checkDeclarations);
    else if (*fingerprintCommand) rc = runFingerprint(context, fingerprintScripts);
    else if (*runCommand) {
        runOptions.script = resolveScriptPath(runOptions.script);
        rc = runScript(context, runOptions);
    }
    else if (*fupCommand) rc = runFupTape(context, fupImage);
    else if (*settingsCommand) rc = runSettings(context, settingsOptions);
    else if (*readyCommand) rc = runReady(context);
    else if (*sendLogCommand) rc = runSendLog(context, sendLogFile);
    else if (*sendViewCommand) rc = runSendView(context, sendViewFile);
    else if (*viewCommand) rc = runView(context, viewFile);
    else if (*serialPortCommand)
        rc = runSerialPort(context,
                           serialPortCommand->get_option("PORT")->count() ? std::optional<std::string>(serialPortName)
                                                                          : std::nullopt,
                           serialPortCommand->get_option("--line")->count() ? std::optional<std::string>(serialLine)
                                                                            : std::nullopt);
    else if (!diagCommands.run(context, rc) && !cartridgeCommands.run(context, rc)) deviceCommands.run(context, rc);
    vexal::device::DevFreeList();
    vexal::device::DevSetTransport(nullptr);
    return rc;
}

}  // namespace

int main(int argc, char** argv) {
    const int rc = runCli(argc, argv);
    JsonResult::run().print(std::cout, rc);
    return rc;
}
