#pragma once
// Tape Alerts: the drive's own health flags in log page 2Eh, matched against a fixed table
// of 23 alerts with a name, a severity and advice. The check reads the page straight
// through the device library (no command frame) and rewrites each entry's active flag.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "command/command_output.h"
#include "diag/log_page.h"

namespace vexal::diag {

enum class Severity { Informational, Warning, Critical };

// "Informational", "Warning", "Critical"
std::string_view severityWord(Severity severity);

struct TapeAlertDefinition {
    uint8_t flag;  // the parameter code in page 2Eh
    std::string_view name;
    Severity severity;
    std::string_view text;  // the advice shown for the alert
};

inline constexpr size_t kTapeAlertCount = 23;
extern const std::array<TapeAlertDefinition, kTapeAlertCount> kTapeAlerts;

// The table's active flags: each check rewrites the entries the page reports and leaves
// the others as they were.
struct TapeAlertTable {
    std::array<bool, kTapeAlertCount> active{};
};

// What one check found. The severity slots hold the word of the most severe alert: finding
// a Warning clears Informational, finding a Critical clears both others.
struct TapeAlertResult {
    bool alertActive = false;  // at least one alert is set
    bool flagClear = false;    // at least one flag was read as clear or unusable
    std::string informational;
    std::string warning;
    std::string critical;

    // The highest severity found; false when none.
    bool highest(Severity& severity) const;
};

enum class TapeAlertCheckStatus {
    Done,            // the page was read and parsed (the table walked for families 10-12)
    CommandFailed,   // the library reported a failure: no result
    PageRefused,     // the page did not parse: no result
};

// The families whose drives report the alerts this table describes.
bool reportsTapeAlerts(uint8_t familyCode);

// "Tape Alert:%s Severity:%s"
std::string tapeAlertLogLine(const TapeAlertDefinition& alert);

// Walks the table over a parsed page 2Eh: each flag fetched as a one-byte value; 1 makes
// the entry active and writes its line to the log file at level 0, 0 makes it inactive,
// anything else only sets flag-clear; a missing or longer parameter changes nothing.
// Does nothing unless `familyCode` reports Tape Alerts.
void ApplyTapeAlertPage(const LogPage& page, uint8_t familyCode, TapeAlertTable& table, TapeAlertResult& result,
                        command::CommandOutput& out);

// The allocation length of the check's LOG SENSE.
inline constexpr uint16_t kTapeAlertReadLength = 1024;

// The check: LOG SENSE page 2Eh (page control 0, 1024 bytes) through DevExecute and
// DevReadBuffer on `handle`, parse (keeping "2E.XXX" in `folder`), then the walk above.
TapeAlertCheckStatus CheckTapeAlerts(int handle, uint8_t familyCode, TapeAlertTable& table, TapeAlertResult& result,
                                     command::CommandOutput& out, const std::filesystem::path& folder);

}  // namespace vexal::diag
