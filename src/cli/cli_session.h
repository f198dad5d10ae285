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

inline constexpr const char* kEngineeringRefused =
    "Engineering mode was not entered: the pass phrase was not given or not accepted.";

// What the session layer asks of the terminal.
class TerminalSessionHooks : public app::SessionHooks {
public:
    void lostLogLine(std::string_view text) override;
    void showTapeAlerts(const diag::TapeAlertDialogModel& model) override;
    void saveSettings(app::CFalderApp& app) override;
};

class CliSession {
public:
    explicit CliSession(CliContext& context);
    ~CliSession();

    // Settings and mode (a pass phrase not accepted, or a command the mode does not offer,
    // is 2), scan, device, session log; returns an exit code (0 to go on).
    int open(bool needDevice = true);
    // Runs the document's pending request synchronously and prints the new lines.
    command::ScsiResult run();
    // Prints the lines added since the last call.
    void printNewLines();
    // Prints every line the view would draw (the last ones of a long list); with --json a
    // JSON array of them.
    void showAllLines();
    // Writes --save and runs the exit sequence; returns `rc` unless saving failed or a
    // hazardous question found no one to answer it (2).
    int finish(int rc);

    app::Session& session() { return session_; }
    app::CFalderApp& app() { return session_.app(); }
    CliContext& context() { return context_; }
    document::CFalderDoc& doc() { return session_.doc(); }

private:
    // False when VEXAL_PASSPHRASE holds a phrase that the start did not need and that is
    // neither pass phrase.
    bool takeOfferedPhrase();

    CliContext& context_;
    TerminalSessionHooks hooks_;
    app::Session session_;
    SessionOnSignal onSignal_;
    log::ViewColours colours_;
    bool colour_ = false;
    bool carry_ = false;
    size_t printed_ = 0;
};

}  // namespace vexal::cli
