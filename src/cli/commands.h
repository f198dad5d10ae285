#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_context.h"
#include "fadump/fadump_commands.h"
#include "firmware/firmware_commands.h"

namespace vexal::cli {

// The device list of a full scan; with `rescan`, the kernel probes the buses first.
int runScan(CliContext& context, bool rescan);
int runSelect(CliContext& context, const std::string& device);

struct CdbOptions {
    std::string cdb;
    std::optional<long long> inLength;
    std::optional<std::string> outData;
};
int runCdb(CliContext& context, const CdbOptions& options);

int runMode(CliContext& context, const std::string& mode);
int runLogSense(CliContext& context, const std::string& page, const std::string& pageControlName);
int runTapeAlerts(CliContext& context);
int runFaDump(CliContext& context, const fadump::DumpCommandOptions& options);
int runFaDumpView(CliContext& context, const std::string& file);
int runFirmware(CliContext& context, const firmware::FirmwareCommandOptions& options);
int runFupTape(CliContext& context, const std::string& image);
struct RunOptions {
    std::string script;
    std::vector<std::string> devices;  // run --device, repeated: each device in turn
    int iterations = 1;
    bool suppressDialogs = false;
    bool step = false;
};
// Runs a script on the selected device, or on each of several devices in turn; 1 when a
// load or a run had errors or was aborted (on several devices: the worst of them, 3 when a
// device given was left out as not addressable).
int runScript(CliContext& context, const RunOptions& options);

// Loads a script without running it; 0 when it loads, 1 with load errors.
// With `declarations`, a script that loads also has its FILE and CHART objects listed.
int runCheck(CliContext& context, const std::string& script, bool declarations);
// Writes each script's fingerprint file (engineering mode; 2 in customer mode); 1 when any
// script could not be read or its fingerprint not written.
int runFingerprint(CliContext& context, const std::vector<std::string>& scripts);
struct SettingsOptions {
    std::string action = "show";  // show, reset, list, get, set
    std::string name;
    std::string value;
};
int runSettings(CliContext& context, const SettingsOptions& options);
// The readiness check of the selected device: 0 ready, 1 not ready.
int runReady(CliContext& context);
// Send Log: `file`, or a log chosen from the Logs folder, handed to the mail client.
int runSendLog(CliContext& context, const std::string& file);
// Send View: the lines of `savedView` (or an empty view) handed to the mail client.
int runSendView(CliContext& context, const std::string& savedView);
// Shows a saved view as the view would draw it.
int runView(CliContext& context, const std::string& file);
// Stores `port` as the SerialPort setting when given, then shows the setting.
// Sets (when given) and shows the serial port scripts talk to and its line format.
int runSerialPort(CliContext& context, const std::optional<std::string>& port, const std::optional<std::string>& line);

}  // namespace vexal::cli
