// The wizard's readiness check, the I/O-mode switch and multi-device runs on virtual drives.
#include <gtest/gtest.h>

#include <fstream>

#include "app/io_mode.h"
#include "app/test_preparation.h"
#include "document/falder_doc.h"
#include "document/multi_device_run.h"
#include "device/device_library.h"
#include "platform/settings_store.h"
#include "support/fake_operator.h"
#include "support/test_root.h"

using namespace vexal;
using vexal::testing::FakeOperator;

namespace {

class VirtualDocTest : public ::testing::Test {
protected:
    void scan(const std::string& profile) {
        const auto file = root.path() / "profile.ini";
        std::ofstream(file) << profile;
        config.kind = device::TransportKind::Virtual;
        config.virtualProfile = file.string();
        ASSERT_GT(scanner.ScanBuses(config), 0);
        doc = std::make_unique<document::CFalderDoc>(op, log, [] { return false; });
        ASSERT_TRUE(doc->device().Select(0));
    }
    void TearDown() override {
        doc.reset();
        device::DevFreeList();
        device::DevSetTransport(nullptr);
    }
    vexal::testing::TempRoot root;
    FakeOperator op;
    log::CLogSystem log{op, {}};
    device::BusScanner scanner{op};
    device::ScanConfig config;
    std::unique_ptr<document::CFalderDoc> doc;
    int waitedMs = 0;
    std::function<void(std::chrono::milliseconds)> fakeWait = [this](std::chrono::milliseconds d) {
        waitedMs += static_cast<int>(d.count());
    };
};

TEST_F(VirtualDocTest, ReadyDriveAndDriveWithoutCartridgeAreBothReady) {
    scan("[target 0]\ntype = tape\n[target 1]\ntype = tape\ncartridge = no\n");
    EXPECT_TRUE(app::CheckUnitReadiness(*doc, op, fakeWait));
    EXPECT_EQ(waitedMs, 5000);
    ASSERT_TRUE(doc->device().Select(1));
    EXPECT_TRUE(app::CheckUnitReadiness(*doc, op, fakeWait));
    EXPECT_EQ(doc->device().status.lastStatus, "MEDIUM_NOT_PRESENT");
}

TEST_F(VirtualDocTest, BecomingReadyIsAskedAgainUntilReady) {
    scan("[target 0]\ntype = tape\nnot_ready_seconds = 1\n");
    // Real time passes while the check runs, so the drive does become ready.
    EXPECT_TRUE(app::CheckUnitReadiness(*doc, op));
    bool sawComingReady = false;
    for (const auto& c : op.calls) sawComingReady |= c.kind == "progressSetText" && c.text == app::kComingReady;
    EXPECT_TRUE(sawComingReady);
}

TEST_F(VirtualDocTest, SwitchingTransportAsksThenRescansAndKeepsTheChoice) {
    scan("[target 0]\ntype = tape\n");
    device::ActiveDevice active;
    const auto virtualKind = config.kind;
    EXPECT_FALSE(app::SwitchTransport(virtualKind, config, scanner, active, 1, op));  // already in use
    EXPECT_TRUE(op.messages().empty());
    op.buttons = {vexal::ui::Button::No};
    EXPECT_FALSE(app::SwitchTransport(device::TransportKind::Iscsi, config, scanner, active, 1, op));
    EXPECT_EQ(config.kind, virtualKind);
    EXPECT_EQ(op.messages(), std::vector<std::string>{app::kSwitchIoModeQuestion});
}

class CountingScript : public document::TestScript {
public:
    std::vector<int> devices;
    document::CFalderDoc* doc = nullptr;
    bool abortOnFirst = false;
    bool Load(const std::string&) override { return true; }
    bool Execute() override {
        devices.push_back(doc->device().handle);
        if (abortOnFirst && devices.size() == 1) doc->abortRequested = 1;
        return true;
    }
    std::string ErrorText() override { return {}; }
};

TEST_F(VirtualDocTest, MultiDeviceRunVisitsEachDriveAndStopsWhenTold) {
    scan("[target 0]\ntype = tape\n[target 1]\ntype = tape\n[target 2]\ntype = tape\n");
    CountingScript script;
    script.doc = doc.get();
    document::MultiDeviceTest test{"Multi", "m.scs", 1, true, false};
    EXPECT_EQ(document::RunOnDevices(*doc, scanner, {0, 1, 2}, 1, test, script, op), 3);
    EXPECT_EQ(script.devices, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(platform::ProfileStore::readInt("Selected Device 1", "UnitNumber", -1), 2);
    EXPECT_TRUE(op.messages().empty());
    EXPECT_FALSE(doc->suppressDialogs.load());

    // After an abort the operator is asked whether to go on; No ends the run.
    script.devices.clear();
    script.abortOnFirst = true;
    op.buttons = {vexal::ui::Button::No};
    EXPECT_EQ(document::RunOnDevices(*doc, scanner, {0, 1, 2}, 1, test, script, op), 1);
    EXPECT_EQ(op.messages(), std::vector<std::string>{document::kContinueRemainingQuestion});
    EXPECT_EQ(doc->idle.load(), 1);
}

}  // namespace
