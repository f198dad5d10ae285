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
    int iterations = 1;
    bool suppressDialogs = false;
    bool step = false;
};
// Runs a script on the selected device; 1 when a load or a run had errors or was aborted.
int runScript(CliContext& context, const RunOptions& options);

// Loads a script without running it; 0 when it loads, 1 with load errors.
// With `declarations`, a script that loads also has its FILE and CHART objects listed.
int runCheck(CliContext& context, const std::string& script, bool declarations);
// Writes each script's fingerprint file (engineering mode; 2 in customer mode); 1 when any
// script could not be read or its fingerprint not written.
int runFingerprint(CliContext& context, const std::vector<std::string>& scripts);
int runSettings(CliContext& context, const std::string& action);
// Stores `port` as the SerialPort setting when given, then shows the setting.
// Sets (when given) and shows the serial port scripts talk to and its line format.
int runSerialPort(CliContext& context, const std::optional<std::string>& port, const std::optional<std::string>& line);

}  // namespace vexal::cli
