// vexal-cli run: a script on the selected device, or on several devices in turn, inside
// the test runner's frames. Lines are printed as the run adds them; Ctrl+C (or SIGTERM)
// aborts between statements; --step releases one statement per line read from the
// terminal (end of input stops the run).
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <iostream>
#include <thread>

#include <fmt/format.h>

#include "app/device_runs.h"
#include "app/script_setup.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/json_result.h"
#include "device/drive_family.h"
#include "script/script_engine.h"

namespace vexal::cli {
namespace {

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

std::string trimmed(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    while (!s.empty() && s.front() == ' ') s.erase(0, 1);
    return s;
}

// The devices a run on several devices covers, as indexes of the full scan. A device that
// may not be addressed is announced and left out, as the device list does.
int resolveDevices(CliContext& context, const std::vector<std::string>& names, std::vector<int>& indexes,
                   int& leftOut) {
    if (const int rc = context.scan(true); rc != kExitDone) return rc;
    for (const std::string& name : names) {
        const int index = context.findDevice(name);
        if (index < 0) {
            if (const int rc = context.accessFailure(); rc != kExitDone) return rc;
            std::cerr << "There is no device " << name << ": run 'vexal-cli scan' to list them.\n";
            return kExitNoDevice;
        }
        if (std::find(indexes.begin(), indexes.end(), index) != indexes.end()) continue;
        if (!device::mayAddress(context.scanner().DriveFamily(index), context.wizardPrivileges())) {
            context.op().message(device::kRemovedFromSelectionMessage, "Vexal", ui::Icon::Exclamation,
                                 ui::Buttons::Ok, ui::Button::Ok);
            ++leftOut;
            continue;
        }
        indexes.push_back(index);
    }
    if (indexes.empty()) {
        std::cerr << "None of the devices given may be addressed.\n";
        return kExitNoDevice;
    }
    return kExitDone;
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
    const bool several = options.devices.size() > 1;
    CliSession session(context);
    if (const int rc = session.open(!several); rc != kExitDone) return session.finish(rc);
    std::vector<int> devices;
    int leftOut = 0;
    if (several) {
        if (const int rc = resolveDevices(context, options.devices, devices, leftOut); rc != kExitDone)
            return session.finish(rc);
        device::DeviceEntry first;
        context.scanner().BindDevice(devices.front(), first);
        session.session().UseDevice(context.scanner(), first, false);
        if (context.options().log)
            if (const int rc = session.enableLog(); rc != kExitDone) return session.finish(rc);
    }
    document::CFalderDoc& doc = session.doc();

    script::ScriptEngine engine(&context.op(), &context.op());
    app::ScriptRunSetup setup;
    setup.scanner = &context.scanner();
    setup.config = context.config();
    setup.instance = kCliInstance;
    // A run on several devices is without dialogs, as the device list's is.
    setup.suppressDialogs = options.suppressDialogs || several;
    setup.step = options.step;
    app::PrepareScriptEngine(engine, session.session(), setup);
    app::EngineTestScript script(engine);

    std::atomic<bool> finished{false};
    // Ctrl+C or SIGTERM stops the script after the command in progress, which is aborted.
    session.onInterrupt([&engine] { engine.requestStop(); }, true);
    const std::string testName = std::filesystem::path(options.script).stem().string();
    std::vector<app::DeviceOutcome> outcomes;
    std::thread severalRun;
    const document::MultiDeviceTest test{testName, options.script, options.iterations, setup.suppressDialogs, false};
    if (several) {
        doc.idle = 0;
        doc.testRunning = 1;
        severalRun = std::thread([&] {
            outcomes = app::RunScriptOnDevices(session.session(), context.scanner(), devices, kCliInstance, test,
                                               script, [&](const device::DeviceEntry& d) {
                                                   // The frames of each drive are announced by its name.
                                                   doc.output().addToView(fmt::format(
                                                       "[Vexal_Device {} {} {} {}]", d.index, trimmed(d.product),
                                                       d.address.text(), trimmed(d.serialNumber)));
                                               });
            finished = true;
        });
    } else {
        doc.RunTest(testName, options.script, options.iterations, script, [&] { finished = true; });
    }
    std::thread stepper;
    if (options.step) stepper = std::thread(stepReader, std::ref(engine), std::cref(finished));

    while (!finished) {
        session.printNewLines();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (severalRun.joinable()) severalRun.join();
    doc.WaitForTest();
    if (stepper.joinable()) stepper.join();
    session.printNewLines();
    const bool aborted = session.interrupted();
    int rc = (script.failed || aborted) ? kExitFailed : kExitDone;
    if (several) {
        // The worst of the drives: one not reached after a "No" counts as not passed.
        const bool allReached = outcomes.size() == devices.size();
        const bool anyFailed = std::any_of(outcomes.begin(), outcomes.end(),
                                           [](const app::DeviceOutcome& o) { return o.failed || o.aborted; });
        rc = (anyFailed || aborted || !allReached) ? kExitFailed : kExitDone;
        if (leftOut > 0) rc = std::max<int>(rc, kExitNoDevice);
    }
    auto& out = JsonResult::run();
    out["script"] = options.script;
    out["iterations"] = options.iterations;
    out["failed"] = several ? rc != kExitDone : script.failed.load();
    out["aborted"] = aborted;
    if (several) {
        nlohmann::json runs = nlohmann::json::array();
        for (const app::DeviceOutcome& o : outcomes) {
            device::DeviceEntry d;
            context.scanner().BindDevice(o.index, d);
            runs.push_back({{"index", o.index}, {"address", fmt::format("{}:{}:{}", d.address.hostAdapter, d.address.target, d.address.lun)}, {"failed", o.failed},
                            {"aborted", o.aborted}});
        }
        out["devices"] = std::move(runs);
        out["devices_left_out"] = leftOut;
    }
    return session.finish(rc);
}

}  // namespace vexal::cli
