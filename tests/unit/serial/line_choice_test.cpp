// The SerialLine setting: the line format the script engine's port opens with.
#include "serial/line_choice.h"

#include <gtest/gtest.h>

#include "app/user_settings.h"
#include "pty_peer.h"
#include "serial/serial_session.h"
#include "support/test_root.h"

namespace vexal::serial::testing {
namespace {

// A pseudo-terminal takes the flow control but keeps 8 bits without parity: a framing it
// cannot take makes the opening fail, which shows the setting reached the line.
TEST(LineChoiceTest, OpeningAppliesTheSettingAndEachOpeningRereadsIt) {
    vexal::testing::TempRoot root;
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    const struct {
        const char* setting;  // nullptr: absent
        bool opens;
        bool ctsOutFlow;
        RtsControl rts;
        bool xonXoff;
    } cases[] = {
        {nullptr, true, false, RtsControl::Enable, false},
        {"8N1,software", true, false, RtsControl::Disable, true},
        {"8N1,hardware", true, true, RtsControl::Handshake, false},
        {"7E2", false, false, RtsControl::Enable, false},
        {"nonsense", true, false, RtsControl::Enable, false},  // the defaults
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting ? c.setting : "(absent)");
        if (c.setting) ASSERT_TRUE(app::WriteSetting(kSerialLineSetting, c.setting));
        SerialSession session(peer.path());
        ASSERT_EQ(session.ensureOpen(), c.opens) << session.status();
        if (!c.opens) {
            EXPECT_EQ(session.status(), "Invalid argument");
            continue;
        }
        const LineSettings s = session.port().lineSettings();  // as the line has them now
        EXPECT_EQ(s.byteSize, 8);
        EXPECT_EQ(s.parity, Parity::None);
        EXPECT_EQ(s.ctsOutFlow, c.ctsOutFlow);
        EXPECT_EQ(session.port().rtsControl(), c.rts);
        EXPECT_EQ(s.xonXoffOut, c.xonXoff);
        EXPECT_EQ(s.xonXoffIn, c.xonXoff);
    }
}

TEST(LineChoiceTest, TextRoundTripsAndBadFormsLeaveTheChoiceAlone) {
    const struct {
        const char* text;
        const char* again;  // nullptr: refused
    } cases[] = {
        {"8N1", "8N1,none"},         {"7e2,hardware", "7E2,hardware"}, {"5M1.5,software", "5M1.5,software"},
        {"6S2,none", "6S2,none"},    {"4N1", nullptr},                 {"8N1,", nullptr},
        {"8N1,Hardware", nullptr},   {"8Q1", nullptr},                 {"8N1.0", nullptr},
        {"88N1", nullptr},           {"8N", nullptr},                  {"", nullptr},
    };
    for (const auto& c : cases) {
        LineChoice choice;
        choice.byteSize = 6;
        EXPECT_EQ(parseLineChoice(c.text, choice), c.again != nullptr) << c.text;
        if (c.again) EXPECT_EQ(lineChoiceText(choice), c.again) << c.text;
        else EXPECT_EQ(choice.byteSize, 6) << c.text;
    }
}

}  // namespace
}  // namespace vexal::serial::testing
