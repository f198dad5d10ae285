#pragma once
// A command's session on the terminal: the options go in, the core's session layer does
// the work, and the line list comes out as the view would draw it.
#include <memory>
#include <optional>

#include "app/session.h"
#include "cli/cli_context.h"
#include "cli/line_printer.h"
#include "cli/command_abort.h"
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
    // Writes --save and runs the exit sequence; returns `rc` unless saving failed, or 1
    // for a command that Ctrl+C aborted.
    int finish(int rc);
    // The result of the command that ended the run, for --json: its status name and sense
    // go into the document at finish(). `senseIsData`: the sense is the command's data
    // (REQUEST SENSE), shown whatever the result.
    void recordResult(command::ScsiResult result, bool senseIsData = false);

    // What the first Ctrl+C does besides aborting the command in progress (a run stops its
    // script); `onTerminate`: SIGTERM too (else SIGTERM ends the program at once).
    void onInterrupt(std::function<void()> also, bool onTerminate);
    // Ctrl+C asked the command to stop.
    bool interrupted() const { return abort_ && abort_->requested(); }

    app::Session& session() { return session_; }
    app::CFalderApp& app() { return session_.app(); }
    CliContext& context() { return context_; }
    document::CFalderDoc& doc() { return session_.doc(); }

private:
    // Takes the first Ctrl+C (and SIGTERM when asked) for the command.
    void listen();

    CliContext& context_;
    TerminalSessionHooks hooks_;
    app::Session session_;
    SessionOnSignal onSignal_;
    std::shared_ptr<LinePrinter> printer_;
    std::unique_ptr<CommandAbort> abort_;
    std::function<void()> alsoOnInterrupt_;
    bool interruptOnTerminate_ = false;
    // Last: unregistered before what it uses goes.
    std::unique_ptr<HandlerOnSignal> onInterrupt_;
    std::optional<command::ScsiResult> result_;
    bool senseIsData_ = false;
};

}  // namespace vexal::cli
