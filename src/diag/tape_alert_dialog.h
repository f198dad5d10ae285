#pragma once
// The Tape Alert dialog as data: the desktop draws it, the terminal prints it. It lists
// every alert of the table, shows an icon for the highest severity found and the advice
// text of the selected alert (the first active one of the highest severity).
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "diag/tape_alerts.h"

namespace vexal::diag {

inline constexpr std::string_view kTapeAlertTitle = "Tape Alert";
inline constexpr std::string_view kAlertsFoundCaption = "Scroll the list to view the tape alert(s).";
inline constexpr std::string_view kNoAlertsCaption = "No tape alerts were detected.";
inline constexpr std::string_view kSelectAlertPrompt = "Select a tape alert to view more details of the problem.";
inline constexpr std::array<std::string_view, 2> kTapeAlertColumns{"Alert", "Severity"};
inline constexpr std::array<std::string_view, 2> kTapeAlertButtons{"OK", "Details"};

// The dialog's icon and each row's image.
enum class AlertImage { None, Informational, Warning, Critical };

struct TapeAlertRow {
    std::string name;
    std::string severity;  // empty for an inactive entry
    AlertImage image = AlertImage::None;
    std::string_view advice;
};

struct TapeAlertDialogModel {
    std::string caption;
    AlertImage icon = AlertImage::None;
    std::vector<TapeAlertRow> rows;
    int selected = -1;       // the selected row, -1 for none
    std::string detailText;  // the selected row's advice, else the prompt

    // The operator picks a row (-1 or a row out of range clears the selection).
    void select(int row);
};

AlertImage imageOf(Severity severity);

// The dialog after a check. `listAlerts` is false for drives that do not report the
// table's alerts (families other than 10 to 12): the list stays empty.
TapeAlertDialogModel buildTapeAlertDialog(const TapeAlertTable& table, const TapeAlertResult& result, bool listAlerts);

// The dialog as terminal lines: the caption, one line per active alert with its severity,
// and the advice of the selected alert.
std::vector<std::string> tapeAlertReport(const TapeAlertDialogModel& model);

}  // namespace vexal::diag
