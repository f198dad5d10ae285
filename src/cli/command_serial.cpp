// vexal-cli serial-port: which serial port scripts talk to (the SerialPort setting).
#include <iostream>

#include "app/user_settings.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "script/script_text.h"
#include "serial/port_setting.h"
#include "serial/serial_port.h"

namespace vexal::cli {

int runSerialPort(CliContext& context, const std::optional<std::string>& port) {
    CliSession session(context);
    if (const int rc = session.open(false); rc != kExitDone) return session.finish(rc);
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
    const std::string& value = session.app().settings.serialPort;
    std::cout << "Serial port: " << value;
    if (script::equalsUpper(value, "VIRTUAL")) std::cout << " (the serial console of the virtual drive)\n";
    else std::cout << " (" << serial::portDevicePath(value) << ")\n";
    return session.finish(kExitDone);
}

}  // namespace vexal::cli
