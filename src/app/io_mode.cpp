#include "app/io_mode.h"

#include "app/user_settings.h"

namespace vexal::app {

bool SwitchTransport(device::TransportKind to, device::ScanConfig& config, device::BusScanner& scanner,
                     device::ActiveDevice& active, int instance, ui::Operator& op) {
    if (config.kind == to) return false;
    if (op.message(kSwitchIoModeQuestion, "Vexal", ui::Icon::Question, ui::Buttons::YesNo, ui::Button::No) != ui::Button::Yes)
        return false;
    config.kind = to;
    WriteSetting("Transport", std::string(device::transportKindName(to)));
    device::RescanAndReselect(scanner, config, instance, active, op);
    return true;
}

}  // namespace vexal::app
