// The session's exit sequence: it runs once, gives back only the instance count its start
// took, forgets wizard privileges, and closes the session log.
#include "app/session.h"

#include <gtest/gtest.h>

#include "app/pass_phrases.h"
#include "platform/settings_store.h"
#include "support/fake_operator.h"
#include "support/test_root.h"

using namespace vexal;

namespace {

long instanceCount() { return platform::ProfileStore::readInt("Mendra Globals", "Instance Count", 0); }

std::string stored(const char* name) {
    platform::SettingsKey key;
    std::string value;
    return key.Open("Mendra") && key.ReadString(name, value) == 0 ? value : "(none)";
}

TEST(SessionTest, EndRunsOnceAndGivesBackOnlyWhatTheStartTook) {
    vexal::testing::TempRoot root;
    vexal::testing::FakeOperator op;
    app::SessionHooks hooks;
    struct Case {
        bool counts;
        long during;  // the instance count while both sessions are open
    };
    for (const Case c : {Case{true, 2}, Case{false, 1}}) {
        app::Session first(op, hooks);
        ASSERT_EQ(first.Begin({false, true}), app::SessionStart::Ok);
        {
            app::Session second(op, hooks);
            second.Begin({false, c.counts});
            EXPECT_EQ(instanceCount(), c.during);
            second.End();
            second.End();  // the destructor's run, too, changes nothing more
            EXPECT_EQ(instanceCount(), 1);
        }
        EXPECT_EQ(instanceCount(), 1) << "the first session's count stays";
        first.End();
        first.app().ExitInstance();  // a desktop's own exit after the session's: harmless
        EXPECT_EQ(instanceCount(), 0);
    }
}

TEST(SessionTest, EndForgetsWizardPrivilegesAndClosesTheLog) {
    vexal::testing::TempRoot root;
    vexal::testing::FakeOperator op;
    app::SessionHooks hooks;
    app::Session session(op, hooks);
    session.Begin({false, false});
    session.OpenDocument();
    ASSERT_TRUE(session.log().Enable("SERIAL"));
    session.app().wizardPrivileges = true;
    ASSERT_TRUE(app::WriteSetting("Password", app::wizardDigest()));
    session.End();
    EXPECT_FALSE(session.log().isOpen());
    EXPECT_EQ(stored("Password"), "");
    EXPECT_EQ(stored("PasswordSet"), "0");
}

}  // namespace
