#include "cli/cli_context.h"

#include <filesystem>
#include <iostream>

#include <fmt/format.h>

#include "cli/json_result.h"
#include "device/device_library.h"
#include "device/drive_family.h"
#include "device/iscsi/iscsi_transport.h"
#include "device/stored_timeouts.h"
#include "platform/settings_store.h"

namespace vexal::cli {
namespace {

std::unique_ptr<TerminalOperator> makeOperator(const GlobalOptions& o) {
    const auto policy = o.yes ? TerminalOperator::Policy::Yes
                        : o.no ? TerminalOperator::Policy::No
                               : TerminalOperator::Policy::Ask;
    auto op = std::make_unique<TerminalOperator>(policy, std::deque<std::string>{}, o.quiet || o.json);
    op->setTextToStderr(o.json);
    return op;
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
    // Answers that cannot be read would leave every question to its default: not a run.
    if (!options_.answersFile.empty()) {
        std::deque<std::string> answers;
        if (!TerminalOperator::loadAnswers(options_.answersFile, answers)) {
            std::cerr << "Cannot read the answers file " << options_.answersFile << ".\n";
            return false;
        }
        operator_->setAnswers(std::move(answers));
    }
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
    if (!options_.device.empty()) {
        device::DeviceSelector selector;
        std::string error;
        if (!device::parseDeviceSelector(options_.device, selector, error)) {
            std::cerr << error << "\n";
            return false;
        }
        const bool sg = config_.kind == device::TransportKind::Sg;
        if (selector.kind == device::DeviceSelector::Kind::Node && !sg) {
            std::cerr << "--device " << options_.device << " is a SCSI generic node: it needs --transport sg.\n";
            return false;
        }
        // Off SCSI generic the kernel's H:C:T:L has no channel: it stands for H:T:L.
        if (device::DeviceAddress plain; selector.kind == device::DeviceSelector::Kind::Kernel && !sg) {
            if (!selector.plainAddress(plain)) {
                std::cerr << "--device " << options_.device
                          << " has a channel or target the " << device::transportKindName(config_.kind)
                          << " transport does not have: give H:T:L with a target of 0 to 15.\n";
                return false;
            }
            selector.kind = device::DeviceSelector::Kind::Address;
            selector.address = plain;
        }
        // An index means the place in a full scan's list; the others name one device.
        if (sg && selector.kind != device::DeviceSelector::Kind::Index) only_ = selector;
        deviceName_ = options_.device;
        if (const std::string named = selector.text(); named != options_.device) deviceName_ += " (" + named + ")";
    }
    config_.virtualProfile = options_.virtualProfile;
    config_.portals = options_.portals;
    if (config_.portals.empty()) config_.portals = device::splitPortalList(readUserSetting("IscsiPortals", ""));
    return true;
}

int CliContext::scan(bool wholeBus) {
    config_.only = wholeBus ? std::nullopt : only_;
    scanner_.ScanBuses(config_);
    // A virtual drive profile that cannot be used is the user's input, not the environment.
    if (scanner_.transportFailed())
        return config_.kind == device::TransportKind::Virtual ? kExitUsage : kExitTransport;
    // A time-out set with `timeout --set` holds from the moment the drive is opened.
    device::applyStoredTimeouts(scanner_);
    // Devices refused for lack of permission are told even with --json or --quiet when no
    // device could be opened: nothing else explains an empty list.
    const bool refused = scanner_.deviceCount() == 0 && scanner_.permissionDenied() > 0;
    if (refused || (!options_.quiet && (!options_.json || scanner_.permissionDenied() > 0)))
        for (const auto& note : scanner_.notes()) std::cerr << note << "\n";
    return kExitDone;
}

void CliContext::rescan() { scanner_.RescanBus(config_); }

int CliContext::accessFailure() const {
    if (scanner_.portalFailed()) {
        std::cerr << "An iSCSI portal could not be reached or refused the session; its devices are "
                     "not listed.\n";
        return kExitTransport;
    }
    const int denied = scanner_.permissionDenied();
    if (scanner_.deviceCount() > 0 || denied == 0) return kExitDone;
    std::cerr << fmt::format("{} SCSI generic device{} found but {} could be opened for lack of permission "
                             "(see above).\n",
                             denied, denied == 1 ? " was" : "s were", denied == 1 ? "it" : "none");
    return kExitTransport;
}

int CliContext::findDevice(const std::string& text) const {
    device::DeviceSelector selector;
    std::string error;
    if (!device::parseDeviceSelector(text, selector, error)) return -1;
    using Kind = device::DeviceSelector::Kind;
    if (selector.kind == Kind::Index)
        return selector.index < scanner_.deviceCount() ? selector.index : -1;
    // In the whole bus's list H:C:T:L is found by its H:T:L (channel 0, targets 0 to 15).
    device::DeviceAddress address;
    if (selector.kind == Kind::Kernel && !selector.plainAddress(address)) return -1;
    if (selector.kind == Kind::Address) address = selector.address;
    for (const auto& d : scanner_.devices()) {
        const bool match = selector.kind != Kind::Node
                               ? d.address == address
                               : !d.node.empty() && std::filesystem::path(d.node).filename() == selector.node;
        if (match) return d.index;
    }
    return -1;
}

int CliContext::resolveDevice(device::DeviceEntry& entry, bool requireAddressable) {
    if (scanner_.deviceCount() == 0) {
        if (const int rc = accessFailure(); rc != kExitDone) return rc;
        if (scanner_.partial())
            std::cerr << "There is no device " << deviceName_ << ": run 'vexal-cli scan' to list them.\n";
        else
            std::cerr << "No devices were found on the " << device::transportKindName(config_.kind)
                      << " transport.\n";
        return kExitNoDevice;
    }
    int index = -1;
    if (scanner_.partial()) {
        index = 0;  // the one device --device named
    } else if (!options_.device.empty()) {
        index = findDevice(options_.device);
        if (index < 0) {
            if (scanner_.portalFailed()) return accessFailure();  // it may be behind that portal
            std::cerr << "There is no device " << deviceName_ << ": run 'vexal-cli scan' to list them.\n";
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
    JsonResult::run().setDevice(entry);
    if (requireAddressable && !device::mayAddress(scanner_.DriveFamily(index), wizardPrivileges())) {
        operator_->message(device::kNotSupportedMessage, "Vexal", ui::Icon::Exclamation, ui::Buttons::Ok, ui::Button::Ok);
        return kExitNoDevice;
    }
    // --timeout holds for this run only, over the one kept for the drive: it is set here,
    // before the command.
    if (options_.timeoutSeconds > 0 && device::DevTimeout(index, 1, options_.timeoutSeconds) != options_.timeoutSeconds) {
        std::cerr << "The " << device::transportKindName(config_.kind) << " transport did not take a time-out of "
                  << options_.timeoutSeconds << " s.\n";
        return kExitTransport;
    }
    return kExitDone;
}

}  // namespace vexal::cli
