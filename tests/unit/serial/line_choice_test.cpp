// The SerialLine setting: the line format the script engine's port opens with.
#include "serial/line_choice.h"

#include <gtest/gtest.h>

#include "app/user_settings.h"
#include "pty_peer.h"
#include "serial/serial_session.h"
#include "support/test_root.h"

namespace vexal::serial::testing {
namespace {

TEST(LineChoiceTest, OpeningAppliesTheSettingAndEachOpeningRereadsIt) {
    vexal::testing::TempRoot root;
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    const struct {
        const char* setting;  // nullptr: absent
        uint8_t byteSize;
        Parity parity;
        StopBits stopBits;
        bool ctsOutFlow;
        RtsControl rts;
        bool xonXoff;
    } cases[] = {
        {nullptr, 8, Parity::None, StopBits::One, false, RtsControl::Enable, false},
        {"7E2,hardware", 7, Parity::Even, StopBits::Two, true, RtsControl::Handshake, false},
        {"8O1,software", 8, Parity::Odd, StopBits::One, false, RtsControl::Disable, true},
        {"nonsense", 8, Parity::None, StopBits::One, false, RtsControl::Enable, false},  // the defaults
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting ? c.setting : "(absent)");
        if (c.setting) ASSERT_TRUE(app::WriteSetting(kSerialLineSetting, c.setting));
        SerialSession session(peer.path());
        ASSERT_TRUE(session.ensureOpen()) << session.status();
        const LineSettings s = session.port().lineSettings();  // as the line has them now
        EXPECT_EQ(s.byteSize, c.byteSize);
        EXPECT_EQ(s.parity, c.parity);
        EXPECT_EQ(s.stopBits, c.stopBits);
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
