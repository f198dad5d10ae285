// The questions to the operator as they run: what is asked, what the answer stores, and
// the jumps the triggers select.
#include <filesystem>

#include "script/script_error_codes.h"
#include "run_fixture.h"

namespace vexal::script::testing {
namespace {

struct AskRunTest : ScriptRunTest {
    // `statement` jumps to Taken on its trigger; the view shows which way the run went.
    int runAsk(const std::string& declarations, const std::string& statement) {
        out.view.clear();
        return run("DESCRIPTION a\nStart:\n" + declarations + "\n" + statement + "\nMSG fell through\nEXIT 0\nTaken:\nMSG taken\n");
    }
    bool taken() const { return !out.view.empty() && out.view.back() == std::string(kScriptMessagePrefix) + "taken"; }
};

TEST_F(AskRunTest, AskJumpsWhenTheAnswerMatchesTheTrigger) {
    struct Case {
        const char* trigger;
        ui::Button answer;
        bool jumps;
    };
    const Case cases[] = {
        {"ONYES", ui::Button::Yes, true}, {"ONYES", ui::Button::No, false},
        {"ONNO", ui::Button::No, true},   {"ONNO", ui::Button::Yes, false},
    };
    for (const Case& c : cases) {
        op.calls.clear();
        op.buttons = {c.answer};
        ASSERT_EQ(runAsk("", std::string("ASK Go on?\\nSure? ") + c.trigger + " Taken"), 0) << engine.TrailText();
        EXPECT_EQ(taken(), c.jumps) << c.trigger;
        ASSERT_EQ(op.calls.size(), 1u);
        EXPECT_EQ(op.calls[0].text, "Go on?\nSure?");
        EXPECT_EQ(op.calls[0].icon, ui::Icon::Question);
    }
}

TEST_F(AskRunTest, AskForTextStoresAtMostTheLimit) {
    op.texts = {"hello world"};
    ASSERT_EQ(runAsk("BUFFER B [ 16 ]", "ASKFORTEXT Your\\tname? B 5 ONOK Taken"), 0) << engine.TrailText();
    EXPECT_TRUE(taken());
    EXPECT_EQ(text("B"), "hello");
    EXPECT_TRUE(buffer("B").primed);
    EXPECT_EQ(op.calls.back().text, "Your\tname?");

    // Cancel leaves the buffer as it was and takes the ONCANCEL jump.
    ASSERT_EQ(runAsk("BUFFER B [ 16 ]", "PRINT BUFFER B 'kept'\nASKFORTEXT name B 5 ONCANCEL Taken"), 0);
    EXPECT_TRUE(taken());
    EXPECT_EQ(text("B"), "kept");
    ASSERT_EQ(runAsk("BUFFER B [ 16 ]", "ASKFORTEXT name B 5 ONOK Taken"), 0);
    EXPECT_FALSE(taken());
}

TEST_F(AskRunTest, AskForNumberReadsTheRadixAndTheFieldWidth) {
    struct Case {
        const char* type;
        const char* radix;
        const char* typed;
        double expected;
    };
    const Case cases[] = {
        {"BYTE", "HEX", "1A5", 0x1A},          // two characters fit a BYTE in hexadecimal
        {"BYTE", "HEX", "zz", 0xFF},           // no number: the parse's failure value
        {"BYTE", "DEC", "200", 200},
        {"WORD", "HEX", " 12h ", 0x12},
        {"WORD", "DEC", "123456", 12345},
        {"LONG", "HEX", "DEADBEEF", 0xDEADBEEF},
        {"LONG", "DEC", "12345678901", 1234567890},
        {"DOUBLE", "DEC", "2.5", 2.5},
    };
    for (const Case& c : cases) {
        op.texts = {c.typed};
        ASSERT_EQ(runAsk(std::string(c.type) + " v", std::string("ASKFORNUMBER Number? v ") + c.radix + " ONOK Taken"), 0)
            << c.typed << "\n" << engine.TrailText();
        EXPECT_TRUE(taken());
        const ScriptVariable& v = var("v");
        EXPECT_TRUE(v.set);
        const double got = v.type == VarType::Byte ? v.byteSlot : v.type == VarType::Word ? v.wordSlot
                         : v.type == VarType::Long ? v.longSlot : v.doubleSlot;
        EXPECT_EQ(got, c.expected) << c.type << " " << c.radix << " " << c.typed;
    }
}

TEST_F(AskRunTest, AskForFileTakesAnExistingPath) {
    const fs::path image = scripts / "update.img";
    writeFile(image, "x");
    op.texts = {image.string()};
    ASSERT_EQ(runAsk("BUFFER B [ 256 ]", "ASKFORFILE B ONOK Taken"), 0) << engine.TrailText();
    EXPECT_TRUE(taken());
    EXPECT_EQ(text("B"), fs::absolute(image).string());
    EXPECT_EQ(op.calls.back().text, "Select FUP File");

    // A path that does not exist counts as Cancel; the buffer is marked primed anyway.
    op.texts = {(scripts / "none.img").string()};
    ASSERT_EQ(runAsk("BUFFER B [ 256 ]", "ASKFORFILE B ONCANCEL Taken"), 0);
    EXPECT_TRUE(taken());
    EXPECT_EQ(text("B"), "");
    EXPECT_TRUE(buffer("B").primed);

    op.texts = {image.string()};
    EXPECT_EQ(runAsk("BUFFER B [ 4 ]", "ASKFORFILE B ONOK Taken"), 1);
    EXPECT_EQ(runError(), err::KRT_ASK_FOR_FILE_BUFFER_TOO_SMALL_ERROR);
}

}  // namespace
}  // namespace vexal::script::testing
