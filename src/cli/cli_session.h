#pragma once
// A command's session on the terminal: the options go in, the core's session layer does
// the work, and the line list comes out as the view would draw it.
#include <memory>
#include <optional>

#include "app/session.h"
#include "cli/cli_context.h"
#include "cli/termination.h"
#include "log/view_colours.h"

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
    // Runs the document's pending request synchronously and prints the new lines.
    command::ScsiResult run();
    // Prints the lines added since the last call.
    void printNewLines();
    // Prints every line the view would draw (the last ones of a long list); with --json a
    // JSON array of them.
    void showAllLines();
    // Writes --save and runs the exit sequence; returns `rc` unless saving failed.
    int finish(int rc);
    // The result of the command that ended the run, for --json: its status name and sense
    // go into the document at finish(). `senseIsData`: the sense is the command's data
    // (REQUEST SENSE), shown whatever the result.
    void recordResult(command::ScsiResult result, bool senseIsData = false);

    app::Session& session() { return session_; }
    app::CFalderApp& app() { return session_.app(); }
    CliContext& context() { return context_; }
    document::CFalderDoc& doc() { return session_.doc(); }

private:
    CliContext& context_;
    TerminalSessionHooks hooks_;
    app::Session session_;
    SessionOnSignal onSignal_;
    log::ViewColours colours_;
    bool colour_ = false;
    bool carry_ = false;
    size_t printed_ = 0;
    std::optional<command::ScsiResult> result_;
    bool senseIsData_ = false;
};

}  // namespace vexal::cli
