#include "cli/cli_context.h"

#include <charconv>
#include <iostream>

#include "device/device_library.h"
#include "device/drive_family.h"
#include "device/iscsi/iscsi_transport.h"
#include "platform/settings_store.h"

namespace vexal::cli {
namespace {

std::unique_ptr<TerminalOperator> makeOperator(const GlobalOptions& o) {
    std::deque<std::string> answers;
    if (!o.answersFile.empty() && !TerminalOperator::loadAnswers(o.answersFile, answers))
        std::cerr << "Cannot read the answers file " << o.answersFile << "; questions get their default answers.\n";
    const auto policy = o.yes ? TerminalOperator::Policy::Yes
                        : o.no ? TerminalOperator::Policy::No
                               : TerminalOperator::Policy::Ask;
    return std::make_unique<TerminalOperator>(policy, std::move(answers), o.quiet || o.json);
}

bool parseInt(std::string_view text, int& value) {
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size();
}

}  // namespace

std::string readUserSetting(const char* name, const std::string& fallback) {
    platform::SettingsKey key(platform::SettingsKey::Root::User);
    std::string value;
    if (!key.Open("Mendra") || key.ReadString(name, value) != 0) return fallback;
    return value;
}

CliContext::CliContext(const GlobalOptions& options)
    : options_(options), operator_(makeOperator(options)), scanner_(*operator_) {}

bool CliContext::prepare() {
    std::string kind = options_.transport;
    if (options_.useVirtual) {
        if (!kind.empty() && kind != "virtual") {
            std::cerr << "--virtual and --transport " << kind << " contradict each other.\n";
            return false;
        }
        kind = "virtual";
    }
    if (kind.empty() && !options_.portals.empty()) kind = "iscsi";
    if (kind.empty()) kind = readUserSetting("Transport", "sg");
    if (!device::parseTransportKind(kind, config_.kind)) {
        std::cerr << "Unknown transport '" << kind << "': use sg, iscsi or virtual.\n";
        return false;
    }
    config_.virtualProfile = options_.virtualProfile;
    config_.portals = options_.portals;
    if (config_.portals.empty()) config_.portals = device::splitPortalList(readUserSetting("IscsiPortals", ""));
    return true;
}

int CliContext::scan() {
    scanner_.ScanBuses(config_);
    if (scanner_.transportFailed()) return kExitTransport;
    // Devices refused for lack of permission are told even with --json: nothing else
    // explains an empty or short list.
    if (!options_.quiet && (!options_.json || scanner_.permissionDenied() > 0))
        for (const auto& note : scanner_.notes()) std::cerr << note << "\n";
    return kExitDone;
}

int CliContext::findDevice(const std::string& text) const {
    int index = 0;
    if (parseInt(text, index)) return index >= 0 && index < scanner_.deviceCount() ? index : -1;
    int h = 0, t = 0, l = 0;
    const size_t c1 = text.find(':');
    const size_t c2 = c1 == std::string::npos ? std::string::npos : text.find(':', c1 + 1);
    if (c2 == std::string::npos || !parseInt(std::string_view(text).substr(0, c1), h) ||
        !parseInt(std::string_view(text).substr(c1 + 1, c2 - c1 - 1), t) ||
        !parseInt(std::string_view(text).substr(c2 + 1), l))
        return -1;
    for (const auto& d : scanner_.devices())
        if (d.address.hostAdapter == h && d.address.target == t && d.address.lun == l) return d.index;
    return -1;
}

int CliContext::resolveDevice(device::DeviceEntry& entry, bool requireAddressable) {
    if (scanner_.deviceCount() == 0) {
        std::cerr << "No devices were found on the " << device::transportKindName(config_.kind) << " transport.\n";
        return kExitNoDevice;
    }
    int index = -1;
    if (!options_.device.empty()) {
        index = findDevice(options_.device);
        if (index < 0) {
            std::cerr << "There is no device " << options_.device << ": run 'vexal-cli scan' to list them.\n";
            return kExitNoDevice;
        }
    } else {
        device::ActiveDevice active;
        device::RestoreSelection(scanner_, kCliInstance, active, *operator_);
        index = active.index();
    }
    if (!scanner_.BindDevice(index, entry)) {
        std::cerr << "There is no device " << index << ".\n";
        return kExitNoDevice;
    }
    if (requireAddressable && !device::mayAddress(scanner_.DriveFamily(index), wizardPrivileges())) {
        operator_->message(device::kNotSupportedMessage, "Vexal", app::Icon::Exclamation, app::Buttons::Ok, app::Button::Ok);
        return kExitNoDevice;
    }
    // The time-out lives in the transport's device record, which ends with the process:
    // a run that wants a short one sets it here, before its commands.
    if (options_.timeoutSeconds > 0 && device::DevTimeout(index, 1, options_.timeoutSeconds) != options_.timeoutSeconds) {
        std::cerr << "The " << device::transportKindName(config_.kind) << " transport did not take a time-out of "
                  << options_.timeoutSeconds << " s.\n";
        return kExitTransport;
    }
    return kExitDone;
}

}  // namespace vexal::cli
