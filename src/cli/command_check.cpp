// vexal-cli check: load a script (phases 1 to 3) and print its trail file.
#include <iostream>

#include "app/fingerprint_demand.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/json_result.h"
#include "device/device_library.h"
#include "device/virtual/virtual_transport.h"
#include "script/chart_objects.h"
#include "script/file_objects.h"
#include "script/script_engine.h"
#include "script/script_text.h"
#include "serial/port_setting.h"
#include "serial/serial_session.h"

namespace vexal::cli {

namespace {

// A listing's lines end in CR LF, as the engine writes them; the terminal gets LF.
void printListing(const std::string& text) {
    for (char c : text)
        if (c != '\r') std::cout << c;
}

}  // namespace

int runCheck(CliContext& context, const std::string& script, bool declarations) {
    // The mode decides whether the load demands the script's fingerprint, as a run's would.
    CliSession session(context);
    if (const int rc = session.open(false); rc != kExitDone) return session.finish(rc);
    // SERIAL and BAUD pass only with a port: the one the SerialPort setting names. The
    // virtual drive's console needs its transport, which check otherwise never starts.
    const std::string port = serial::serialPortSetting();
    std::shared_ptr<device::Transport> consoles;
    if (script::equalsUpper(port, "VIRTUAL") && context.config().kind == device::TransportKind::Virtual) {
        std::string error;
        consoles = device::makeVirtualTransport(context.config().virtualProfile, error);
        if (consoles) device::DevSetTransport(consoles);
    }
    script::ScriptEngine engine(&context.op());  // closes its port before the console goes
    engine.setSerialSession(std::make_shared<serial::SerialSession>(port));
    app::SetUpFingerprintDemand(engine, session.app());
    const bool loaded = engine.Load(script);
    if (context.options().json) {
        auto& out = JsonResult::run();
        out["script"] = script;
        out["loaded"] = loaded;
        out["trail"] = splitLines(engine.TrailText());
        if (loaded && declarations) {
            out["files"] = splitLines(script::ListFiles(engine.tables().files));
            out["charts"] = splitLines(script::ListCharts(engine.tables().charts));
        }
        return session.finish(loaded ? kExitDone : kExitFailed);
    }
    std::cout << engine.TrailText();
    if (!engine.TrailText().empty() && engine.TrailText().back() != '\n') std::cout << "\n";
    if (loaded && declarations) {
        printListing(script::ListFiles(engine.tables().files));
        printListing(script::ListCharts(engine.tables().charts));
    }
    return session.finish(loaded ? kExitDone : kExitFailed);
}

}  // namespace vexal::cli
