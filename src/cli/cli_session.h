#pragma once
// A command's session on the terminal: the options go in, the core's session layer does
// the work, and the line list comes out as the view would draw it.
#include <memory>
#include <optional>

#include "app/session.h"
#include "cli/cli_context.h"
#include "cli/line_printer.h"
#include "cli/termination.h"

namespace vexal::cli {

// What the session layer asks of the terminal.
class TerminalSessionHooks : public app::SessionHooks {
public:
    void lostLogLine(std::string_view text) override;
    void showTapeAlerts(const diag::TapeAlertDialogModel& model) override;
};

class CliSession {
public:
    explicit CliSession(CliContext& context);
    ~CliSession();

    // Settings, mode, scan, device, session log; returns an exit code (0 to go on).
    int open(bool needDevice = true);
    // --log: the session log for the device in use; 4 with one sentence on stderr when no
    // log file could be created (a run that was asked to be logged does not run unlogged).
    int enableLog();
    // Runs the document's pending request synchronously; its lines are printed as they
    // are made.
    command::ScsiResult run();
    // Prints the lines added since the last call (they are also printed as they come).
    void printNewLines();
    // Stops printing lines as they are added (before a saved view replaces the list).
    void stopLivePrinting();
    // Prints every line the view would draw (the last ones of a long list); with --json a
    // JSON array of them.
    void showAllLines();
    // Writes --save and runs the exit sequence; returns `rc` unless saving failed.
    int finish(int rc);

    app::Session& session() { return session_; }
    app::CFalderApp& app() { return session_.app(); }
    CliContext& context() { return context_; }
    document::CFalderDoc& doc() { return session_.doc(); }

private:
    CliContext& context_;
    TerminalSessionHooks hooks_;
    app::Session session_;
    SessionOnSignal onSignal_;
    std::shared_ptr<LinePrinter> printer_;
};

}  // namespace vexal::cli
