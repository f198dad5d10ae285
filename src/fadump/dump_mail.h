#pragma once
// Mailing a compressed dump: the desktop's mail client (xdg-email) gets the .dmz as its one
// attachment and asks for the recipients itself. Outcomes and their texts are those of
// Send Log.
#include <filesystem>
#include <string_view>

#include "operator/operator.h"
#include "log/send_log.h"

namespace vexal::fadump {

inline constexpr std::string_view kMailSubject = "Korvane Vexal FA Dump File";
inline constexpr std::string_view kSendButton = "&Send";
inline constexpr std::string_view kCancelButton = "&Cancel";

// Sends `dumpFile` and shows the outcome's message. Returns the outcome (0 sent, 1 cancelled
// in the mail client, others failed), or -1 when the mail program cannot be run (nothing
// is shown then).
int MailDump(ui::Operator& op, const std::filesystem::path& dumpFile, std::string_view program = log::kMailProgram);

}  // namespace vexal::fadump
