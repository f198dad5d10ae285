// vexal-cli log-sense and tape-alerts: drive health through the document's device.
#include <iostream>
#include <sstream>

#include "cli/cli_session.h"
#include "cli/number_option.h"
#include "cli/commands.h"
#include "cli/json_result.h"
#include "device/drive_family.h"
#include "diag/log_sense.h"
#include "diag/side_files.h"
#include "diag/tape_alert_check.h"
#include "diag/tape_alert_dialog.h"
#include "fadump/fadump_commands.h"

namespace vexal::cli {
namespace {

// The Tape Alert dialog as members: its caption, the active alerts and the advice shown.
void tapeAlertsJson(const diag::TapeAlertDialogModel& model) {
    nlohmann::json alerts = nlohmann::json::array();
    for (const auto& row : model.rows)
        if (!row.severity.empty()) alerts.push_back({{"name", row.name}, {"severity", row.severity}});
    auto& out = JsonResult::run();
    out["caption"] = model.caption;
    out["alerts"] = std::move(alerts);
    out["advice"] = model.selected >= 0 ? nlohmann::json(model.detailText) : nlohmann::json();
}

}  // namespace

int runLogSense(CliContext& context, const std::string& page, const std::string& pageControlName) {
    uint8_t pageCode = 0;
    uint8_t pageControl = diag::page_control::Cumulative;
    // Page codes are read as every number is: 0x2E, 2EH or decimal.
    constexpr NumberRange kPageCodes{0, 63};
    if (!numberProblem(page, kPageCodes).empty()) {
        std::cerr << "'" << page << "' is not a page code: give 0 to 63 as 0x2E, 2EH or decimal (46).\n";
        return kExitUsage;
    }
    pageCode = static_cast<uint8_t>(*parseNumber(page, kPageCodes));
    if (!pageControlName.empty() && !diag::parsePageControlName(pageControlName, pageControl)) {
        std::cerr << "Unknown page control '" << pageControlName
                  << "': use threshold, cumulative, default-threshold or default-cumulative.\n";
        return kExitUsage;
    }
    CliSession session(context);
    if (const int rc = session.open(); rc != kExitDone) return session.finish(rc);
    const auto outcome = diag::LogSenseWithProbe(session.doc().device(), {pageControl, pageCode}, context.op(),
                                                 diag::workFolder());
    session.printNewLines();
    if (context.options().json) {
        auto& out = JsonResult::run();
        out["page"] = pageCode;
        out["page_control"] = pageControl;
        out["sent"] = outcome.sent;
        out["load_error"] = outcome.loadError;
        out["missing_parameters"] = outcome.missing;
        if (outcome.sent) session.recordResult(outcome.result);
    } else if (!session.app().engineeringMode && outcome.sent) {
        std::cout << "Status: " << session.doc().device().status.lastStatus << "\n";
    }
    return session.finish(!outcome.sent || outcome.result != 0 || outcome.loadError ? kExitFailed : kExitDone);
}

int runTapeAlerts(CliContext& context) {
    CliSession session(context);
    if (const int rc = session.open(); rc != kExitDone) return session.finish(rc);
    auto& device = session.doc().device();
    const uint8_t family = context.scanner().DriveFamily(device.handle);
    diag::TapeAlertTable table;
    const bool json = context.options().json;
    const auto outcome = diag::RunTapeAlertsMenu(device, context.op(), family, context.wizardPrivileges(), table,
                                                 diag::workFolder(), [json](const diag::TapeAlertDialogModel& model) {
                                                     if (json) {
                                                         tapeAlertsJson(model);
                                                         return;
                                                     }
                                                     for (const auto& line : diag::tapeAlertReport(model))
                                                         std::cout << line << "\n";
                                                 });
    session.printNewLines();
    if (json) {
        JsonResult::run()["refused"] = outcome.refused;
        JsonResult::run()["checked"] = outcome.status == diag::TapeAlertCheckStatus::Done;
    }
    return session.finish(outcome.refused || outcome.status != diag::TapeAlertCheckStatus::Done ? kExitFailed
                                                                                                  : kExitDone);
}

}  // namespace vexal::cli

namespace vexal::cli {

int runFaDump(CliContext& context, const fadump::DumpCommandOptions& options) {
    CliSession session(context);
    if (const int rc = session.open(); rc != kExitDone) return session.finish(rc);
    session.doc().idle = 0;  // busy until the dump ends
    // Under --json the dump's report lines are members of the document.
    std::ostringstream report;
    const bool json = context.options().json;
    const int rc =
        fadump::RunDumpCommand(session.doc().device(), context.op(), options, json ? report : std::cout, std::cerr);
    if (json) JsonResult::run()["report"] = splitLines(report.str());
    session.doc().idle = 1;
    session.printNewLines();
    return session.finish(rc);
}

int runFaDumpView(CliContext& context, const std::string& file) {
    // No device, but the mode: the dump viewer is an engineering view.
    CliSession session(context);
    if (const int rc = session.open(false); rc != kExitDone) return session.finish(rc);
    if (!context.options().json) return session.finish(fadump::RunViewCommand(context.op(), file, std::cout));
    std::ostringstream report;
    const int rc = fadump::RunViewCommand(context.op(), file, report);
    JsonResult::run()["report"] = splitLines(report.str());
    return session.finish(rc);
}

}  // namespace vexal::cli
