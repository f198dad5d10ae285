#include "diag/tape_alert_check.h"

#include "device/drive_family.h"
#include "diag/log_sense.h"
#include "diag/side_files.h"

namespace vexal::diag {
namespace {

TapeAlertOutcome check(command::CScsiDevice& device, uint8_t familyCode, TapeAlertTable& table,
                       const std::filesystem::path& folder) {
    TapeAlertOutcome outcome;
    outcome.status = CheckTapeAlerts(device.handle, familyCode, table, outcome.result, device.output(), folder);
    return outcome;
}

}  // namespace

bool tapeAlertMenuAllows(uint8_t familyCode, bool allDevices) {
    if (allDevices) return true;
    return familyCode == 2 || familyCode == 4 || familyCode == 6 || (familyCode >= 9 && familyCode <= 253);
}

TapeAlertOutcome RunTapeAlertsMenu(command::CScsiDevice& device, ui::Operator& op, uint8_t familyCode,
                                   bool allDevices, TapeAlertTable& table, const std::filesystem::path& folder,
                                   const ShowTapeAlertDialog& show) {
    if (!tapeAlertMenuAllows(familyCode, allDevices)) {
        op.message(device::familyLimitedMessage(device::kSktxOnly), "Vexal", ui::Icon::Exclamation);
        TapeAlertOutcome refused;
        refused.refused = true;
        return refused;
    }
    TapeAlertOutcome outcome = check(device, familyCode, table, folder);
    if (outcome.status == TapeAlertCheckStatus::PageRefused)
        op.message(loadErrorText(page::TapeAlert), "Vexal", ui::Icon::Exclamation);
    if (show) {
        show(buildTapeAlertDialog(table, outcome.result, reportsTapeAlerts(familyCode)));
        outcome.dialogShown = true;
    }
    return outcome;
}

TapeAlertOutcome RunTapeAlertRunnerCheck(command::CScsiDevice& device, uint8_t familyCode, bool allDevices,
                                         bool suppressDialogs, TapeAlertTable& table,
                                         const std::filesystem::path& folder, const ShowTapeAlertDialog& show) {
    if (!tapeAlertMenuAllows(familyCode, allDevices)) {
        TapeAlertOutcome refused;
        refused.refused = true;
        return refused;
    }
    TapeAlertOutcome outcome = check(device, familyCode, table, folder);
    if (outcome.result.alertActive && !suppressDialogs && show) {
        show(buildTapeAlertDialog(table, outcome.result, reportsTapeAlerts(familyCode)));
        outcome.dialogShown = true;
    }
    return outcome;
}

void TapeAlertHook::operator()() const {
    if (!device || !table || !enabled || !enabled() || !familyCode) return;
    RunTapeAlertRunnerCheck(*device, familyCode(), allDevices && allDevices(), suppressDialogs && suppressDialogs(),
                            *table, folder.empty() ? workFolder() : folder, show);
}

}  // namespace vexal::diag
