#include "log/status_panes.h"

#include <fmt/printf.h>

namespace vexal::log {

StatusPanes statusPanes(const StatusInputs& in) {
    StatusPanes out;
    auto pane = [&](Pane p) -> PaneState& { return out.panes[static_cast<size_t>(p)]; };

    pane(Pane::Message).text = "Ready";
    if (in.logEnabled) {
        pane(Pane::Log) = {"Log: Enabled", true};
    } else {
        pane(Pane::Log) = {"Log: Disabled", in.engineeringMode};
    }

    if (in.devicesFound) {
        pane(Pane::Host).text = fmt::sprintf("H: %d", in.host);
        pane(Pane::Target).text = fmt::sprintf("T: %d", in.target);
        pane(Pane::Lun).text = fmt::sprintf("L: %d", in.lun);
        pane(Pane::State).text = in.idle ? "Idle" : "Running";
    } else {
        pane(Pane::State).text = "N/A";
        out.clearIdleFlag = true;
    }
    pane(Pane::DeviceLabel).text = in.product;
    pane(Pane::Serial).text = in.serialNumber;

    const bool idle = in.idle && in.devicesFound;
    PaneState& counter = pane(Pane::Counter);
    if (idle) {
        counter = {"", false};
    } else if (in.multiBlockTransfer) {
        counter.text = fmt::sprintf("Count: %ld/%ld", in.counter, in.total);
    } else if (in.counter != 0) {
        counter.text = fmt::sprintf("Count: %ld", in.counter);
    }
    return out;
}

std::string_view trayTooltip(bool idle) { return idle ? "Vexal: Idle" : "Vexal: Running"; }

}  // namespace vexal::log
