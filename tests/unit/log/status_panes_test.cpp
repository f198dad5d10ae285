// Status bar pane texts and the tray tooltip.
#include <gtest/gtest.h>

#include "log/status_panes.h"

using vexal::log::Pane;
using vexal::log::StatusInputs;

namespace {

StatusInputs device() {
    StatusInputs in;
    in.devicesFound = true;
    in.host = 2;
    in.target = 5;
    in.lun = 0;
    in.product = "ULTRIUM-TD4";
    in.serialNumber = "HU1234567 ";
    in.idle = true;
    return in;
}

struct PaneCase {
    const char* name;
    StatusInputs in;
    Pane pane;
    const char* text;
    bool active;
};

TEST(StatusPanesTest, PaneTexts) {
    auto with = [](auto change) {
        StatusInputs in = device();
        change(in);
        return in;
    };
    const PaneCase cases[] = {
        {"log open", with([](StatusInputs& s) { s.logEnabled = true; }), Pane::Log, "Log: Enabled", true},
        {"log off, customer", device(), Pane::Log, "Log: Disabled", false},
        {"log off, engineering", with([](StatusInputs& s) { s.engineeringMode = true; }), Pane::Log,
         "Log: Disabled", true},
        {"host", device(), Pane::Host, "H: 2", true},
        {"target", device(), Pane::Target, "T: 5", true},
        {"lun", device(), Pane::Lun, "L: 0", true},
        {"label", device(), Pane::DeviceLabel, "ULTRIUM-TD4", true},
        {"serial", device(), Pane::Serial, "HU1234567 ", true},
        {"idle", device(), Pane::State, "Idle", true},
        {"running", with([](StatusInputs& s) { s.idle = false; }), Pane::State, "Running", true},
        {"no devices: host", StatusInputs{}, Pane::Host, "", true},
        {"no devices: target", StatusInputs{}, Pane::Target, "", true},
        {"no devices: lun", StatusInputs{}, Pane::Lun, "", true},
        {"no devices: state", with([](StatusInputs& s) { s.devicesFound = false; }), Pane::State, "N/A", true},
        {"counter idle", with([](StatusInputs& s) { s.counter = 9; }), Pane::Counter, "", false},
        {"counter multi-block",
         with([](StatusInputs& s) {
             s.idle = false;
             s.multiBlockTransfer = true;
             s.counter = 12;
             s.total = 100;
         }),
         Pane::Counter, "Count: 12/100", true},
        {"counter multi-block at zero",
         with([](StatusInputs& s) {
             s.idle = false;
             s.multiBlockTransfer = true;
             s.total = 100;
         }),
         Pane::Counter, "Count: 0/100", true},
        {"counter other command",
         with([](StatusInputs& s) {
             s.idle = false;
             s.counter = 3;
         }),
         Pane::Counter, "Count: 3", true},
        {"counter other command at zero", with([](StatusInputs& s) { s.idle = false; }), Pane::Counter, "", true},
        {"message pane", device(), Pane::Message, "Ready", true},
    };
    for (const auto& c : cases) {
        const auto panes = vexal::log::statusPanes(c.in);
        EXPECT_EQ(panes[c.pane].text, c.text) << c.name;
        EXPECT_EQ(panes[c.pane].active, c.active) << c.name;
    }
}

TEST(StatusPanesTest, NoDevicesClearsTheIdleFlag) {
    EXPECT_FALSE(vexal::log::statusPanes(device()).clearIdleFlag);
    StatusInputs none = device();
    none.devicesFound = false;
    EXPECT_TRUE(vexal::log::statusPanes(none).clearIdleFlag);
}

TEST(StatusPanesTest, TooltipsAndTray) {
    EXPECT_EQ(vexal::log::kPaneTooltips[static_cast<size_t>(Pane::Log)], "Log file status");
    EXPECT_EQ(vexal::log::kPaneTooltips[static_cast<size_t>(Pane::Counter)], "Iteration counter");
    EXPECT_EQ(vexal::log::trayTooltip(true), "Vexal: Idle");
    EXPECT_EQ(vexal::log::trayTooltip(false), "Vexal: Running");
}

}  // namespace
