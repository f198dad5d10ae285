#pragma once
// A device command's session on the terminal: the application's settings and mode, the
// session log, the document, and the line list printed as the view would draw it.
#include <memory>

#include "app/falder_app.h"
#include "cli/cli_context.h"
#include "document/falder_doc.h"
#include "diag/tape_alerts.h"
#include "log/log_system.h"
#include "log/view_colours.h"

namespace vexal::cli {

class CliSession {
public:
    explicit CliSession(CliContext& context);
    ~CliSession();

    // Settings, mode, scan, device, session log; returns an exit code (0 to go on).
    int open(bool needDevice = true);
    // Runs the document's pending request synchronously and prints the new lines.
    command::ScsiResult run();
    // Prints the lines added since the last call.
    void printNewLines();
    // Writes --save and closes the log; returns `rc` unless saving failed.
    int finish(int rc);

    app::CFalderApp& app() { return app_; }
    CliContext& context() { return context_; }
    document::CFalderDoc& doc() { return *doc_; }

private:
    CliContext& context_;
    app::ShellHooks shell_;
    app::CFalderApp app_;
    std::unique_ptr<log::CLogSystem> log_;
    std::unique_ptr<document::CFalderDoc> doc_;
    log::ViewColours colours_;
    diag::TapeAlertTable tapeAlerts_;
    uint8_t familyCode_ = 0;
    bool colour_ = false;
    bool carry_ = false;
    size_t printed_ = 0;
};

}  // namespace vexal::cli
