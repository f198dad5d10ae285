#include "serial/port_setting.h"

#include "device/device_library.h"
#include "device/virtual/virtual_transport.h"
#include "platform/settings_store.h"
#include "platform/text_case.h"

namespace vexal::serial {

std::string serialPortSetting() {
    platform::SettingsKey key(platform::SettingsKey::Root::User);
    std::string value;
    if (!key.Open("Mendra") || key.ReadString(kSerialPortSetting, value) != 0 || value.empty()) return "ttyS0";
    return value;
}

std::string resolveSerialPort(const std::string& setting) {
    if (!platform::equalsUpper(setting, "VIRTUAL")) return setting;
    const auto transport = device::DevGetTransport();
    if (!transport) return {};
    const auto consoles = device::virtualSerialConsoles(*transport);
    return consoles.empty() ? std::string() : consoles.front().path;
}

}  // namespace vexal::serial
