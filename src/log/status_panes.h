#pragma once
// The status bar panes and the tray tooltip as a function of the application's state.
// An inactive pane shows no text.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace vexal::log {

enum class Pane : size_t { Message, Log, Host, Target, Lun, DeviceLabel, Serial, State, Counter };
inline constexpr size_t kPaneCount = 9;

inline constexpr std::array<std::string_view, kPaneCount> kPaneTooltips = {
    "Vexal status information", "Log file status", "Host ID",     "Target ID",        "Lun ID",
    "Device label",             "Device serial number", "Application state", "Iteration counter"};

struct StatusInputs {
    bool devicesFound = false;
    bool logEnabled = false;  // the log-enabled flag (set while the log file is open)
    bool engineeringMode = false;
    int host = 0;
    int target = 0;
    int lun = 0;
    std::string product;       // the selected device's product identification
    std::string serialNumber;  // its stored serial number
    bool idle = false;         // the document's idle flag
    long counter = 0;          // the document's iteration counter
    bool multiBlockTransfer = false;  // the pending command is a multi-block READ or WRITE
    long total = 0;                   // that command's total count
};

struct PaneState {
    std::string text;
    bool active = true;
};

struct StatusPanes {
    std::array<PaneState, kPaneCount> panes;
    // With no devices found the document's idle flag is cleared, which keeps the command
    // menus disabled; the caller applies it.
    bool clearIdleFlag = false;

    const PaneState& operator[](Pane p) const { return panes[static_cast<size_t>(p)]; }
};

StatusPanes statusPanes(const StatusInputs& in);

// The tray tooltip until the start-up sequence has run.
inline constexpr std::string_view kTrayTooltipStarting = "Vexal: Initializing";
// "Vexal: Idle" or "Vexal: Running".
std::string_view trayTooltip(bool idle);

}  // namespace vexal::log
