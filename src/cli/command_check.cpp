// vexal-cli check: load a script (phases 1 to 3) and print its trail file.
#include <iostream>

#include "cli/commands.h"
#include "script/script_engine.h"
#include "serial/port_setting.h"
#include "serial/serial_session.h"

namespace vexal::cli {

int runCheck(CliContext& context, const std::string& script) {
    script::ScriptEngine engine(&context.op());
    // SERIAL and BAUD pass only with a port: the one the SerialPort setting names.
    engine.setSerialSession(std::make_shared<serial::SerialSession>(serial::serialPortSetting()));
    const bool loaded = engine.Load(script);
    std::cout << engine.TrailText();
    if (!engine.TrailText().empty() && engine.TrailText().back() != '\n') std::cout << "\n";
    return loaded ? kExitDone : kExitFailed;
}

}  // namespace vexal::cli
