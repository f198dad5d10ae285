#include "fadump/dump_mail.h"

namespace vexal::fadump {

int MailDump(ui::Operator& op, const std::filesystem::path& dumpFile, std::string_view program) {
    const log::MailRun run = log::runMailProgram(program, kMailSubject, dumpFile.string());
    if (!run.started) return -1;
    if (auto text = log::mailOutcomeMessage(run.outcome)) op.message(*text, "Vexal", ui::Icon::Exclamation);
    return run.outcome;
}

}  // namespace vexal::fadump
