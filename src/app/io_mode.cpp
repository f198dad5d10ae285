#include "app/io_mode.h"

namespace vexal::app {

bool StoreTransport(UserSettings& settings, device::TransportKind kind) {
    settings.transport = device::transportKindName(kind);
    return WriteSetting("Transport", settings.transport);
}

bool SwitchTransport(device::TransportKind to, UserSettings& settings, device::ScanConfig& config,
                     device::BusScanner& scanner, device::ActiveDevice& active, int instance, ui::Operator& op) {
    if (config.kind == to) return false;
    if (op.message(kSwitchIoModeQuestion, "Vexal", ui::Icon::Question, ui::Buttons::YesNo, ui::Button::No) != ui::Button::Yes)
        return false;
    config.kind = to;
    StoreTransport(settings, to);
    device::RescanAndReselect(scanner, config, instance, active, op);
    return true;
}

}  // namespace vexal::app
