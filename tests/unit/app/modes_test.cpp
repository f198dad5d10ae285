#include <gtest/gtest.h>

#include "app/falder_app.h"
#include "app/pass_phrases.h"
#include "platform/paths.h"
#include "platform/settings_store.h"
#include "support/fake_operator.h"
#include "support/test_root.h"

using namespace vexal::app;
namespace ui = vexal::ui;
using vexal::testing::FakeOperator;

namespace {

std::string stored(const char* name) {
    vexal::platform::SettingsKey key;
    std::string value;
    if (!key.Open("Mendra") || key.ReadString(name, value) != 0) return "<missing>";
    return value;
}

struct ModesTest : ::testing::Test {
    vexal::testing::TempRoot root;
    FakeOperator op;
    ShellHooks shell;
    CFalderApp app{op, shell};
    void SetUp() override { ASSERT_TRUE(app.LoadSettings()); }
};

TEST(PassPhraseTest, DigestsAreMd5OfTheDocumentedPhrases) {
    EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(engineeringDigest(), md5Hex("Korvane-Eng42"));
    EXPECT_EQ(wizardDigest(), md5Hex("Wz!831"));
}

TEST_F(ModesTest, FreshUserGetsEveryDefaultWritten) {
    const std::pair<const char*, const char*> defaults[] = {
        {"FullScreen", "1"}, {"Left", "0"},     {"ShowSplashScreen", "1"}, {"ShowEngineeringMode", "0"},
        {"TapeAlertSet", "1"}, {"PasswordSet", "0"}, {"Password", ""},  {"Wizard", "1"},
        {"Mode", "1"},       {"Transport", "sg"}};
    for (const auto& [name, value] : defaults) EXPECT_EQ(stored(name), value) << name;
    // A value that cannot be read is recreated with its default; others are kept.
    vexal::platform::SettingsKey key;
    ASSERT_EQ(key.CreateOrOpen("Mendra"), 2);
    key.WriteString("Wizard", "0");
    ASSERT_TRUE(vexal::platform::updateIniFile(vexal::platform::userSettingsFile(),
                                               [](vexal::platform::IniFile& f) { f.remove("Mendra", "Mode"); }));
    ASSERT_TRUE(app.LoadSettings());
    EXPECT_EQ(app.settings.wizard, 0);
    EXPECT_EQ(stored("Mode"), "1");
}

TEST_F(ModesTest, EngineeringPhraseIsRememberedAndWrongOnesAreRefused) {
    op.texts = {"wrong", "Korvane-Eng42"};
    ASSERT_TRUE(app.EnterEngineeringMode());
    EXPECT_TRUE(app.engineeringMode);
    EXPECT_FALSE(app.customerMode);
    EXPECT_EQ(op.messages(), std::vector<std::string>{kPasswordIncorrect});
    EXPECT_EQ(stored("PasswordSet"), "1");
    EXPECT_EQ(stored("Password"), engineeringDigest());

    // Remembered: the next entry asks nothing.
    app.EnterCustomerMode();
    op.calls.clear();
    ASSERT_TRUE(app.EnterEngineeringMode());
    EXPECT_TRUE(op.calls.empty());
}

TEST_F(ModesTest, StoredDigestMatchingNeitherPhraseAsksOnceMore) {
    app.settings.passwordSet = 1;
    WriteSetting("PasswordSet", 1);
    WriteSetting("Password", "0123456789abcdef0123456789abcdef");
    op.texts = {"Korvane-Eng42"};
    EXPECT_TRUE(app.EnterEngineeringMode());
    ASSERT_EQ(op.calls.size(), 1u);
    EXPECT_EQ(op.calls[0].kind, "askText");
}

TEST_F(ModesTest, WizardPhraseDeclinedLeavesCustomerModeAndForgetsIt) {
    op.texts = {"Wz!831"};
    op.buttons = {ui::Button::No};  // the warning
    EXPECT_FALSE(app.EnterEngineeringMode());
    EXPECT_TRUE(app.customerMode);
    EXPECT_FALSE(app.wizardPrivileges);
    EXPECT_EQ(stored("PasswordSet"), "0");
    EXPECT_EQ(stored("Password"), "");
    EXPECT_EQ(op.messages().back(), kWizardWarning);
}

TEST_F(ModesTest, WizardPrivilegesNeverOutliveTheRun) {
    op.texts = {"Wz!831"};
    op.buttons = {ui::Button::Yes};
    ASSERT_TRUE(app.EnterEngineeringMode());
    EXPECT_TRUE(app.wizardPrivileges);
    EXPECT_EQ(stored("Password"), wizardDigest());
    app.ExitInstance();
    EXPECT_EQ(stored("PasswordSet"), "0");
    EXPECT_EQ(stored("Password"), "");

    CFalderApp next(op, shell);
    ASSERT_TRUE(next.LoadSettings());
    EXPECT_EQ(next.settings.passwordSet, 0);
    EXPECT_TRUE(next.customerMode);
}

TEST_F(ModesTest, CancelReturnsToCustomerMode) {
    EXPECT_FALSE(app.EnterEngineeringMode());  // no answer queued: the dialog is cancelled
    EXPECT_TRUE(app.customerMode);
}

TEST_F(ModesTest, WindowSettingsAndDefaults) {
    app.SaveWindowSettings({true, 10, 20, 30, 40});
    EXPECT_EQ(stored("FullScreen"), "1");
    EXPECT_EQ(stored("Left"), "0");
    EXPECT_EQ(stored("Bottom"), "0");
    app.SaveWindowSettings({false, 10, 20, 30, 40});
    EXPECT_EQ(stored("FullScreen"), "0");
    EXPECT_EQ(stored("Top"), "20");
    ASSERT_TRUE(app.LoadSettings());
    EXPECT_TRUE(app.settings.hasPlacement());
    app.settings.left = 0;
    EXPECT_FALSE(app.settings.hasPlacement());

    op.buttons = {ui::Button::Yes};
    app.ResetSettingsToDefaults();
    EXPECT_EQ(stored("FullScreen"), "1");
    EXPECT_EQ(stored("Top"), "0");
    op.buttons = {ui::Button::Cancel};
    WriteSetting("Wizard", 0);
    app.ResetSettingsToDefaults();
    EXPECT_EQ(stored("Wizard"), "0");
}

TEST_F(ModesTest, InstanceCountGoesUpAndDown) {
    EXPECT_EQ(app.StartInstance(), 1);
    CFalderApp second(op, shell);
    EXPECT_EQ(second.StartInstance(), 2);
    second.ExitInstance();
    app.ExitInstance();
    EXPECT_EQ(vexal::platform::ProfileStore::readInt("Mendra Globals", "Instance Count", -1), 0);
}

}  // namespace
