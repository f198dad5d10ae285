#include "device/stored_timeouts.h"

#include <cctype>

#include <fmt/format.h>

#include "device/device_library.h"
#include "platform/settings_store.h"

namespace vexal::device {
namespace {

std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
    while (!s.empty() && s.front() == ' ') s.erase(0, 1);
    return s;
}

}  // namespace

std::string timeoutKey(const DeviceEntry& entry) {
    const std::string serial = entry.serialFromDevice ? trimmed(entry.serialNumber) : std::string();
    const std::string where = serial.empty() ? fmt::format("{}:{}:{}", entry.address.hostAdapter,
                                                           entry.address.target, entry.address.lun)
                                             : serial;
    std::string key = trimmed(entry.vendor) + "_" + trimmed(entry.product) + "_" + where;
    for (char& c : key)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != ':') c = '_';
    return key;
}

std::optional<int> storedTimeout(const DeviceEntry& entry) {
    const long value = platform::ProfileStore::readInt(kTimeoutSection, timeoutKey(entry), 0);
    // What a hand-edited profile may hold beyond a time-out the transports take is ignored.
    if (value < 1 || value > 4294967) return std::nullopt;
    return static_cast<int>(value);
}

bool storeTimeout(const DeviceEntry& entry, int seconds) {
    return platform::ProfileStore::writeInt(kTimeoutSection, timeoutKey(entry), seconds);
}

int applyStoredTimeouts(const BusScanner& scanner) {
    int applied = 0;
    for (const DeviceEntry& d : scanner.devices())
        if (const auto seconds = storedTimeout(d); seconds && DevTimeout(d.index, 1, *seconds) == *seconds) ++applied;
    return applied;
}

}  // namespace vexal::device
