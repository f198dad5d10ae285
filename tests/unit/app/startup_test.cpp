#include "app/startup.h"

#include <gtest/gtest.h>

#include "platform/settings_store.h"
#include "support/fake_operator.h"
#include "support/test_root.h"

using namespace vexal;
using vexal::testing::FakeOperator;

namespace {

struct RecordingHooks : app::StartupHooks {
    bool splashAnswer = true;
    bool cautionAnswer = true;
    int splashes = 0, cautions = 0, ready = 0, wizards = 0;
    bool showSplash(bool& dontShowAgain) override {
        ++splashes;
        dontShowAgain = true;
        return splashAnswer;
    }
    bool showCaution() override {
        ++cautions;
        return cautionAnswer;
    }
    void devicesReady() override { ++ready; }
    void runWizard() override { ++wizards; }
};

struct StartupTest : ::testing::Test {
    void TearDown() override { app::ExitInstance(application); }
    vexal::testing::TempRoot root;
    FakeOperator op;
    RecordingHooks hooks;
    app::CFalderApp application{op, hooks};
    device::BusScanner scanner{op};
    app::StartupState state;
};

TEST_F(StartupTest, FreshStartScansRestoresAndRunsTheWizard) {
    // The Transport setting decides the scan: write it before the start.
    vexal::platform::SettingsKey key;
    ASSERT_NE(key.CreateOrOpen("Mendra"), 0);
    ASSERT_EQ(key.WriteString("Transport", "virtual"), 0);
    ASSERT_TRUE(app::InitInstance(application, hooks, op, scanner, state));
    EXPECT_EQ(hooks.splashes, 1);
    EXPECT_EQ(hooks.cautions, 1);
    EXPECT_EQ(state.deviceCount, 3);
    EXPECT_EQ(state.active.index(), 0);
    EXPECT_EQ(hooks.ready, 1);
    EXPECT_EQ(hooks.wizards, 1);  // customer mode with the Wizard setting on
    EXPECT_TRUE(application.customerMode);
    EXPECT_EQ(application.instanceNumber, 1);
    EXPECT_EQ(application.settings.showSplashScreen, 0);
}

TEST_F(StartupTest, ExitOnTheSplashOrTheCautionEndsTheProgram) {
    hooks.splashAnswer = false;
    EXPECT_FALSE(app::InitInstance(application, hooks, op, scanner, state));
    EXPECT_EQ(hooks.cautions, 0);
    hooks.splashAnswer = true;
    hooks.cautionAnswer = false;
    EXPECT_FALSE(app::InitInstance(application, hooks, op, scanner, state));
    EXPECT_EQ(vexal::platform::ProfileStore::readInt("Mendra Globals", "Instance Count", 0), 0);
}

}  // namespace
