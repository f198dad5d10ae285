#include "diag/tape_alert_dialog.h"

#include <fmt/format.h>

namespace vexal::diag {

AlertImage imageOf(Severity severity) {
    switch (severity) {
    case Severity::Informational: return AlertImage::Informational;
    case Severity::Warning: return AlertImage::Warning;
    case Severity::Critical: return AlertImage::Critical;
    }
    return AlertImage::None;
}

void TapeAlertDialogModel::select(int row) {
    if (row < 0 || row >= static_cast<int>(rows.size())) {
        selected = -1;
        detailText = kSelectAlertPrompt;
        return;
    }
    selected = row;
    detailText = rows[static_cast<size_t>(row)].advice;
}

TapeAlertDialogModel buildTapeAlertDialog(const TapeAlertTable& table, const TapeAlertResult& result, bool listAlerts) {
    TapeAlertDialogModel model;
    model.caption = result.alertActive ? kAlertsFoundCaption : kNoAlertsCaption;
    Severity highest{};
    const bool found = result.highest(highest);
    model.icon = found ? imageOf(highest) : AlertImage::None;
    int toSelect = -1;
    if (listAlerts) {
        for (size_t i = 0; i < kTapeAlerts.size(); ++i) {
            const TapeAlertDefinition& alert = kTapeAlerts[i];
            TapeAlertRow row{std::string(alert.name), "", AlertImage::None, alert.text};
            if (table.active[i]) {
                row.severity = severityWord(alert.severity);
                row.image = imageOf(alert.severity);
                if (toSelect < 0 && found && alert.severity == highest) toSelect = static_cast<int>(i);
            }
            model.rows.push_back(std::move(row));
        }
    }
    model.select(toSelect);
    return model;
}

std::vector<std::string> tapeAlertReport(const TapeAlertDialogModel& model) {
    std::vector<std::string> lines{model.caption};
    for (const TapeAlertRow& row : model.rows)
        if (!row.severity.empty()) lines.push_back(fmt::format("  {:<34} {}", row.name, row.severity));
    if (model.selected >= 0) lines.push_back(model.detailText);
    return lines;
}

}  // namespace vexal::diag
