// vexal-cli run: a script on the selected device inside the test runner's frames. Lines are
// printed as the run adds them; Ctrl+C aborts between statements; --step releases one
// statement per line read from the terminal (end of input stops the run).
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <thread>

#include "app/fingerprint_demand.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "firmware/firmware_update.h"
#include "script/script_engine.h"
#include "serial/port_setting.h"
#include "serial/serial_session.h"

namespace vexal::cli {
namespace {

std::atomic<bool> runInterrupted{false};

extern "C" void onRunInterrupt(int) { runInterrupted = true; }

// Remembers whether any load or run of the test failed: the runner itself only asks the
// operator about it.
class TrackedScript : public document::TestScript {
public:
    explicit TrackedScript(script::ScriptEngine& engine) : engine_(engine) {}
    bool Load(const std::string& file) override {
        const bool ok = engine_.Load(file);
        if (!ok) failed = true;
        return ok;
    }
    bool Execute() override {
        const bool ok = engine_.Execute();
        // Files and charts the run left open are closed now, so each run's charts are kept.
        engine_.closeScriptFiles();
        if (!ok) failed = true;
        return ok;
    }
    std::string ErrorText() override { return engine_.ErrorText(); }
    std::atomic<bool> failed{false};

private:
    script::ScriptEngine& engine_;
};

// Step mode on the terminal: each line read releases the statement on show. The next line
// is read only once the next statement is shown, so lines typed ahead are not lost.
void stepReader(script::ScriptEngine& engine, const std::atomic<bool>& finished) {
    auto shown = engine.events().find("KDone");
    std::string line;
    while (!finished) {
        if (!shown->wait(std::chrono::milliseconds(100))) continue;
        for (;;) {
            if (finished) return;
            pollfd in{STDIN_FILENO, POLLIN, 0};
            if (::poll(&in, 1, 100) > 0) break;
        }
        if (!std::getline(std::cin, line)) {
            engine.requestStop();
            return;
        }
        engine.trigger();
    }
}

}  // namespace

int runScript(CliContext& context, const RunOptions& options) {
    if (options.iterations < 1) {
        std::cerr << "The number of iterations must be at least 1.\n";
        return kExitUsage;
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(options.script, ec)) {
        std::cerr << "Cannot read the script " << options.script << ".\n";
        return kExitUsage;
    }
    CliSession session(context);
    if (const int rc = session.open(); rc != kExitDone) return session.finish(rc);
    document::CFalderDoc& doc = session.doc();

    script::ScriptEngine engine(&context.op(), &context.op());
    engine.setDocument(&doc);
    engine.setSerialSession(std::make_shared<serial::SerialSession>(serial::serialPortSetting(),
                                                                    engine.events().find("KSerialDone").get()));
    engine.setFirmwareUpdater([&](const std::string& image) {
        firmware::UpdateContext update{doc.device(), context.op(), context.wizardPrivileges()};
        update.rescan.scanner = &context.scanner();
        update.rescan.config = context.config();
        update.rescan.instance = kCliInstance;
        return firmware::FupFromScript(update, image);
    });
    app::SetUpFingerprintDemand(engine, session.app());
    engine.setStepMode(options.step);
    engine.setSuppressDialogs(options.suppressDialogs);
    doc.suppressDialogs = options.suppressDialogs;

    TrackedScript script(engine);
    std::atomic<bool> finished{false};
    runInterrupted = false;
    auto previous = std::signal(SIGINT, onRunInterrupt);
    const std::string testName = std::filesystem::path(options.script).stem().string();
    doc.RunTest(testName, options.script, options.iterations, script, [&] { finished = true; });
    std::thread stepper;
    if (options.step) stepper = std::thread(stepReader, std::ref(engine), std::cref(finished));

    bool aborted = false;
    while (!finished) {
        if (runInterrupted && !aborted) {
            aborted = true;
            engine.requestStop();
            doc.AbortTestConfirmed();
        }
        session.printNewLines();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    doc.WaitForTest();
    if (stepper.joinable()) stepper.join();
    std::signal(SIGINT, previous);
    session.printNewLines();
    const int rc = (script.failed || aborted) ? kExitFailed : kExitDone;
    return session.finish(rc);
}

}  // namespace vexal::cli
