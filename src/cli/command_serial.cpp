// vexal-cli serial-port: which serial port scripts talk to and its line format (the
// SerialPort and SerialLine settings).
#include <iostream>

#include "app/user_settings.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/json_result.h"
#include "script/script_text.h"
#include "serial/line_choice.h"
#include "serial/port_setting.h"
#include "serial/serial_port.h"

namespace vexal::cli {

int runSerialPort(CliContext& context, const std::optional<std::string>& port, const std::optional<std::string>& line) {
    CliSession session(context);
    if (const int rc = session.open(false); rc != kExitDone) return session.finish(rc);
    serial::LineChoice choice;
    if (line && !serial::parseLineChoice(*line, choice)) {
        std::cerr << "Bad line format '" << *line
                  << "': give data bits 5 to 8, parity N, O, E, M or S and stop bits 1, 1.5 or 2, then optionally "
                     "',none', ',hardware' or ',software' (8N1, 7E2,hardware).\n";
        return session.finish(kExitUsage);
    }
    if (port) {
        const std::string name(script::trimBlanks(*port));
        if (name.empty()) {
            std::cerr << "The serial port name is empty.\n";
            return session.finish(kExitUsage);
        }
        if (!app::WriteSetting(serial::kSerialPortSetting, name)) {
            std::cerr << "The setting " << serial::kSerialPortSetting << " cannot be written.\n";
            return session.finish(kExitTransport);
        }
        session.app().LoadSettings();
    }
    if (line && !app::WriteSetting(serial::kSerialLineSetting, serial::lineChoiceText(choice))) {
        std::cerr << "The setting " << serial::kSerialLineSetting << " cannot be written.\n";
        return session.finish(kExitTransport);
    }
    const std::string& value = session.app().settings.serialPort;
    if (context.options().json) {
        auto& out = JsonResult::run();
        out["serial_port"] = value;
        out["virtual"] = script::equalsUpper(value, "VIRTUAL");
        if (!script::equalsUpper(value, "VIRTUAL")) out["path"] = serial::portDevicePath(value);
        out["line"] = serial::lineChoiceText(serial::serialLineSetting());
        return session.finish(kExitDone);
    }
    std::cout << "Serial port: " << value;
    if (script::equalsUpper(value, "VIRTUAL")) std::cout << " (the serial console of the virtual drive)\n";
    else std::cout << " (" << serial::portDevicePath(value) << ")\n";
    std::cout << "Line: " << serial::lineChoiceText(serial::serialLineSetting()) << "\n";
    return session.finish(kExitDone);
}

}  // namespace vexal::cli
