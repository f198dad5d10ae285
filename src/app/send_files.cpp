#include "app/send_files.h"

#include <filesystem>
#include <system_error>

#include "platform/paths.h"

namespace vexal::app {
namespace {

std::filesystem::path logsFolder() { return platform::installPath() / "Logs"; }

}  // namespace

bool SendView(document::CFalderDoc& doc, ui::Operator& op, std::string_view program) {
    std::error_code ec;
    std::filesystem::create_directories(logsFolder(), ec);
    const auto file = logsFolder() / kViewFileName;
    std::string error;
    if (!doc.lines().save(file, error)) {
        op.message(error, "Vexal", ui::Icon::Exclamation);
        return false;
    }
    const log::MailRun run = log::runMailProgram(program, log::kMailSubject, file.string());
    if (run.started)
        if (auto text = log::mailOutcomeMessage(run.outcome)) op.message(*text, "Vexal", ui::Icon::Exclamation);
    return run.started && run.outcome == log::kMailSuccess;
}

int SendLog(ui::Operator& op, const std::string& file, std::string_view program) {
    if (file.empty()) return log::SendLog(op, logsFolder(), program);
    const log::MailRun run = log::runMailProgram(program, log::kMailSubject, file);
    if (!run.started) return -1;
    if (auto text = log::mailOutcomeMessage(run.outcome)) op.message(*text, "Vexal", ui::Icon::Exclamation);
    return run.outcome;
}

}  // namespace vexal::app
