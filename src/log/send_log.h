#pragma once
// Send Log: the operator picks a log file and it is handed to the desktop's mail client
// (xdg-email) as an attachment. The client's outcome is reported with the mail service's
// outcome texts.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "operator/operator.h"

namespace vexal::log {

inline constexpr std::string_view kMailSubject = "Korvane Vexal Log File";
inline constexpr std::string_view kMailProgram = "xdg-email";
inline constexpr std::string_view kSelectLogFileCaption = "Select Log File";
inline constexpr std::string_view kLogFileFilter = "Log Files (*.txt)|*.txt|";

// Mail service outcomes: 0 success and 1 cancelled by the user show nothing; the others
// have a message.
inline constexpr int kMailSuccess = 0;
inline constexpr int kMailUserAbort = 1;
inline constexpr int kMailFailure = 2;

// The warning text for an outcome; none for success, cancel and unknown outcomes.
std::optional<std::string_view> mailOutcomeMessage(int outcome);

// xdg-email exit status onto an outcome: 0 success; 2 (file not found) the attachment
// was not found; 5 (no permission) it could not be opened; 3 (a required tool is missing)
// no mail client; 1 (syntax error), 4 (action failed) and anything else unspecified.
int mailOutcomeFromExitStatus(int exitStatus);

struct MailRun {
    bool started = false;  // false: the mail program could not be run at all
    int outcome = kMailFailure;
};

// Runs `program --subject <subject> --attach <attachment>` (found through PATH, no shell,
// arguments passed as they are) and waits for it.
MailRun runMailProgram(std::string_view program, std::string_view subject, const std::string& attachment);

// Mails `file` and shows the outcome's message. Returns the outcome, or -1 when the mail
// program is missing (nothing is shown then).
int MailFile(ui::Operator& op, const std::string& file, std::string_view program = kMailProgram);

// The whole command: asks for the file (starting in `logsFolder`), sends it, shows the
// outcome's message. Returns the outcome, or -1 when the operator cancelled or the mail
// program is missing (nothing is shown then).
int SendLog(ui::Operator& op, const std::filesystem::path& logsFolder,
            std::string_view program = kMailProgram);

}  // namespace vexal::log
