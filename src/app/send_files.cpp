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
    return log::MailFile(op, file.string(), program) == log::kMailSuccess;
}

int SendLog(ui::Operator& op, const std::string& file, std::string_view program) {
    return file.empty() ? log::SendLog(op, logsFolder(), program) : log::MailFile(op, file, program);
}

}  // namespace vexal::app
