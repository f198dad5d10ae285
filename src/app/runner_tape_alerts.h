#pragma once
// The Tape Alert check the test runner makes before and after each iteration, as both
// front ends set it up: the document's active device, the application's Tape Alert option,
// privileges and dialog suppression. Only how the result is shown differs.
#include "app/falder_app.h"
#include "document/falder_doc.h"
#include "diag/tape_alert_check.h"
#include "diag/tape_alerts.h"

namespace vexal::app {

// `doc`, `table` and `app` must outlive the document's use of the hook.
inline diag::TapeAlertHook RunnerTapeAlertHook(document::CFalderDoc& doc, diag::TapeAlertTable& table,
                                               const CFalderApp& app, diag::ShowTapeAlertDialog show) {
    return diag::TapeAlertHook{&doc.device(),
                               &table,
                               [&app] { return app.settings.tapeAlertSet != 0; },
                               [&doc] { return doc.device().familyCode; },
                               [&app] { return app.wizardPrivileges; },
                               [&doc] { return doc.suppressDialogs.load(); },
                               std::move(show),
                               {}};
}

}  // namespace vexal::app
