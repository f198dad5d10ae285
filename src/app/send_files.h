#pragma once
// Send View and Send Log: a file of the Logs folder handed to the mail client.
#include <string>
#include <string_view>

#include "document/falder_doc.h"
#include "log/send_log.h"
#include "operator/operator.h"

namespace vexal::app {

inline constexpr std::string_view kViewFileName = "View.txt";

// Saves the view as View.txt in the Logs folder and mails it. False (after a message)
// when the view cannot be saved or the mail program cannot be run.
bool SendView(document::CFalderDoc& doc, ui::Operator& op, std::string_view program = log::kMailProgram);

// The operator chooses a log of the Logs folder (`file`, when not empty, is the choice
// already made) and it is mailed; the outcome's message is shown. Returns the mail
// outcome, -1 when nothing was sent because the choice was cancelled or the program is
// missing.
int SendLog(ui::Operator& op, const std::string& file = {}, std::string_view program = log::kMailProgram);

}  // namespace vexal::app
