// vexal-cli firmware and fup-tape.
#include <iostream>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "firmware/firmware_commands.h"
#include "firmware/fup_tape.h"

namespace vexal::cli {

int runFirmware(CliContext& context, const firmware::FirmwareCommandOptions& options) {
    CliSession session(context);
    if (const int rc = session.open(); rc != kExitDone) return session.finish(rc);
    firmware::UpdateContext update{session.doc().device(), context.op(), context.wizardPrivileges()};
    update.rescan.scanner = &context.scanner();
    update.rescan.config = context.config();
    update.rescan.instance = kCliInstance;
    update.refreshView = [&session] { session.printNewLines(); };
    const int rc = firmware::FirmwareCommand(update, options, std::cerr);
    session.printNewLines();
    return session.finish(rc);
}

int runFupTape(CliContext& context, const std::string& image) {
    CliSession session(context);
    if (const int rc = session.open(); rc != kExitDone) return session.finish(rc);
    firmware::FupTapeContext tape{session.doc().device(), context.op(), context.wizardPrivileges()};
    const int rc = firmware::FupTapeCommand(tape, image, std::cerr);
    session.printNewLines();
    return session.finish(rc);
}

}  // namespace vexal::cli
