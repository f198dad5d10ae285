#pragma once
// Where the Tape Alert check runs: the View menu's Tape Alerts, and the test runner before
// and after every iteration when the Tape Alert option ("Engage Korvane") is on.
#include <cstdint>
#include <filesystem>
#include <functional>

#include "operator/operator.h"
#include "command/scsi_device.h"
#include "diag/tape_alert_dialog.h"
#include "diag/tape_alerts.h"

namespace vexal::diag {

// Shows the dialog (the desktop draws it, the terminal prints it).
using ShowTapeAlertDialog = std::function<void(const TapeAlertDialogModel&)>;

// The menu accepts drive families 2, 4, 6 and 9 to 253, or any family when all devices
// may be addressed.
bool tapeAlertMenuAllows(uint8_t familyCode, bool allDevices);

struct TapeAlertOutcome {
    bool refused = false;  // the family is not accepted: nothing was sent
    TapeAlertCheckStatus status = TapeAlertCheckStatus::Done;
    TapeAlertResult result;
    bool dialogShown = false;
};

// View > Tape Alerts, once the device selection is confirmed: the family test (refused
// with the SKTX-only message), the check, then the dialog. A page that does not parse
// shows "There was an error loading the TapeAlert page." before the dialog.
TapeAlertOutcome RunTapeAlertsMenu(command::CScsiDevice& device, ui::Operator& op, uint8_t familyCode,
                                   bool allDevices, TapeAlertTable& table, const std::filesystem::path& folder,
                                   const ShowTapeAlertDialog& show);

// The test runner's check: the same family test (a refused family is skipped without a
// message, so that a test is not interrupted twice per iteration) and check; the dialog
// only when an alert is active and dialogs are not suppressed.
TapeAlertOutcome RunTapeAlertRunnerCheck(command::CScsiDevice& device, uint8_t familyCode, bool allDevices,
                                         bool suppressDialogs, TapeAlertTable& table,
                                         const std::filesystem::path& folder, const ShowTapeAlertDialog& show);

// The callable the document runs before and after each test iteration
// (CFalderDoc::tapeAlertCheck). Every value is read when it runs.
struct TapeAlertHook {
    command::CScsiDevice* device = nullptr;
    TapeAlertTable* table = nullptr;
    std::function<bool()> enabled;           // the Tape Alert option
    std::function<uint8_t()> familyCode;     // of the selected device
    std::function<bool()> allDevices;        // empty: false
    std::function<bool()> suppressDialogs;   // empty: false
    ShowTapeAlertDialog show;
    std::filesystem::path folder;            // empty: workFolder()

    void operator()() const;
};

}  // namespace vexal::diag
