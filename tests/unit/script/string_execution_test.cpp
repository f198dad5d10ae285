// String and conversion statements as they run: buffers treated as text, searches, the
// replacement loop, and conversions between text and numbers.
#include "script/script_error_codes.h"
#include "run_fixture.h"

namespace vexal::script::testing {
namespace {

struct StringRunTest : ScriptRunTest {
    static constexpr const char* kDeclarations =
        "DESCRIPTION s\nStart:\nBUFFER S [ 64 ]\nBUFFER D [ 64 ]\nBUFFER Q [ 64 ]\nBUFFER Tiny [ 4 ]\n"
        "BYTE b\nBYTE b2\nWORD w\nWORD w2\nWORD r\nLONG l\n";
    // Loads the declarations and `body`, gives S the text `source` (and Q the text `query`)
    // and runs it.
    int runWith(const std::string& body, std::string_view source, std::string_view query = "") {
        if (!load(std::string(kDeclarations) + body + "\n")) {
            ADD_FAILURE() << "load failed:\n" << engine.TrailText();
            return -1;
        }
        setText("S", source);
        setText("Q", query);
        setText("D", "untouched");
        return engine.Run();
    }
};

TEST_F(StringRunTest, InPlaceRewrites) {
    struct Case {
        const char* statement;
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {"UPPERCASE S", "Mixed case 1x!", "MIXED CASE 1X!"},
        {"WIPELEFT S", " \t lead  trail  ", "lead  trail  "},
        {"WIPERIGHT S", "  lead trail \t ", "  lead trail"},
        {"WIPERIGHT S", " \t  ", ""},
        {"SHRINK S", "  a \t\r\n b\v\fc  ", " a b c "},
        {"SHRINK S", "plain", "plain"},
        {"REMOVECOMMENTS S", "value 5 // note // more", "value 5 "},
        {"REMOVECOMMENTS S", "a / b", "a / b"},
        {"FETCH1STWORD S", "  first second third", "first"},
        {"FETCH1STWORD S", "", ""},
        {"CLEAR1STWORD S", "  first  second third", "second third"},
        {"CLEAR1STWORD S", "only", ""},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(runWith(c.statement, c.before), 0) << c.statement << "\n" << engine.TrailText();
        EXPECT_EQ(text("S"), c.after) << c.statement << " on \"" << c.before << "\"";
        EXPECT_TRUE(buffer("S").primed) << c.statement;
    }
}

TEST_F(StringRunTest, PartsOfAText) {
    struct Case {
        const char* body;  // w is the count (LEFT, RIGHT) or the start (MID), w2 the count (MID)
        const char* after; // the text of D
    };
    const Case cases[] = {
        {"w = 3\nLEFTSTRING S D w", "abc"},
        {"w = 6\nLEFTSTRING S D w", "abcdef"},
        {"w = 7\nLEFTSTRING S D w", "untouched"},  // fewer characters than the count
        {"w = 2\nw2 = 3\nMIDSTRING S D w w2", "bcd"},
        {"w = 5\nw2 = 3\nMIDSTRING S D w w2", "ef"},   // cut at the end of the text
        {"w = 9\nw2 = 2\nMIDSTRING S D w w2", ""},     // starts past the end
        {"w = 1\nw2 = 7\nMIDSTRING S D w w2", "untouched"},
        {"w = 2\nRIGHTSTRING S D w", "ef"},
        {"w = 40\nRIGHTSTRING S D w", "abcdef"},       // more than the text: all of it
        {"w = 0\nRIGHTSTRING S D w", ""},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(runWith(c.body, "abcdef"), 0) << c.body << "\n" << engine.TrailText();
        EXPECT_EQ(text("D"), c.after) << c.body;
        EXPECT_EQ(text("S"), "abcdef") << c.body;
    }
}

TEST_F(StringRunTest, Store1stWordMovesTheFirstWordAndTrimsTheSource) {
    ASSERT_EQ(runWith("STORE1STWORD S D", "   reply 42 ok"), 0) << engine.TrailText();
    EXPECT_EQ(text("D"), "reply");
    EXPECT_EQ(text("S"), "reply 42 ok");
}

TEST_F(StringRunTest, Searches) {
    struct Case {
        const char* body;
        const char* against;
        const char* query;
        uint16_t result;  // of r
    };
    const Case cases[] = {
        {"STRINGC S Q w r", "one two one", "one", 0},
        {"w = 1\nSTRINGC S Q w r", "one two one", "one", 8},
        {"w = 8\nSTRINGC S Q w r", "one two one", "one", 8},
        {"w = 9\nSTRINGC S Q w r", "one two one", "one", 0xFFFF},
        {"w = 11\nSTRINGC S Q w r", "one two one", "e", 0xFFFF},  // start equal to the length
        {"STRINGC S Q w r", "one", "", 0xFFFF},
        {"STRINGC S Q w r", "on", "one", 0xFFFF},
        {"STRINGC S Q w r", "one", "xyz", 0xFFFF},
        {"OCCURANCE S Q r", "aaaa", "aa", 3},
        {"OCCURANCE S Q r", "a-b-c", "-", 2},
        {"OCCURANCE S Q r", "abc", "x", 0},
        {"OCCURANCE S Q r", "abc", "", 0},
        {"STRLEN S r", "twelve chars", "", 12},
        {"STRLEN S r", "", "", 0},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(runWith(c.body, c.against, c.query), 0) << c.body << "\n" << engine.TrailText();
        EXPECT_EQ(var("r").wordSlot, c.result) << c.body << " \"" << c.against << "\" \"" << c.query << "\"";
        EXPECT_TRUE(var("r").set) << c.body;
    }
}

TEST_F(StringRunTest, StringAbsCComparesWholeTexts) {
    const std::tuple<const char*, const char*, uint8_t> cases[] = {
        {"same", "same", 0}, {"same", "sam", 0xFF}, {"same", "SAME", 0xFF}, {"", "", 0}};
    for (const auto& [a, q, result] : cases) {
        ASSERT_EQ(runWith("STRINGABSC S Q b", a, q), 0) << engine.TrailText();
        EXPECT_EQ(var("b").byteSlot, result) << a << " / " << q;
    }
}

TEST_F(StringRunTest, RipReplaceRepeatsUntilNoOccurrenceRemains) {
    struct Case {
        const char* find;
        const char* replacement;
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {"cat", "dog", "cat and cat", "dog and dog"},
        {"aa", "a", "xaaaay", "xay"},        // occurrences formed by a replacement go too
        {"ab", "", "aabbx", "x"},
        {"a", "ab", "banana", "banana"},     // the replacement contains the find text
        {"long find", "x", "short", "short"},
        {"", "x", "abc", "abc"},
        {"ab", "ba", "aabb", "bbaa"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(load(std::string(kDeclarations) + "RIPREPLACE Q D S\n")) << engine.TrailText();
        setText("Q", c.find);
        setText("D", c.replacement);
        setText("S", c.before);
        ASSERT_EQ(engine.Run(), 0) << engine.TrailText();
        EXPECT_EQ(text("S"), c.after) << c.find << " -> " << c.replacement << " in " << c.before;
    }
}

TEST_F(StringRunTest, RipReplaceNeverGrowsPastTheTarget) {
    ASSERT_TRUE(load(std::string(kDeclarations) + "RIPREPLACE Q D Tiny\n")) << engine.TrailText();
    setText("Q", "a");
    setText("D", "xyz");
    setText("Tiny", "aa");
    ASSERT_EQ(engine.Run(), 0) << engine.TrailText();
    // One replacement fits the four bytes; the next would not.
    EXPECT_EQ(text("Tiny"), "xyza");
}

TEST_F(StringRunTest, RipReplaceOfCharacters) {
    ASSERT_EQ(runWith("b = 2DH\nb2 = 5FH\nRIPREPLACE b b2 S", "a-b-c"), 0) << engine.TrailText();
    EXPECT_EQ(text("S"), "a_b_c");
    ASSERT_EQ(runWith("b = 2DH\nb2 = 2DH\nRIPREPLACE b b2 S", "a-b-c"), 0);
    EXPECT_EQ(text("S"), "a-b-c");
}

TEST_F(StringRunTest, NumberTypeOfAText) {
    const std::pair<const char*, uint8_t> cases[] = {
        {"0X12", 1}, {"0X123", 0xFE}, {"100H", 2}, {"1.5", 8}, {"12Z", 0xFD}, {"255", 1}, {"70000", 4}, {"GGH", 0xFF}};
    for (const auto& [value, code] : cases) {
        ASSERT_EQ(runWith("DETERMINNUMBERTYPE S b", value), 0) << engine.TrailText();
        EXPECT_EQ(var("b").byteSlot, code) << value;
    }
}

TEST_F(StringRunTest, AtonParsesAndNormalisesTheText) {
    struct Case {
        const char* body;
        const char* before;
        uint32_t value;     // of w (or b)
        const char* after;  // the text left in S
    };
    const Case cases[] = {
        {"ATON S w", " 0x1f ", 0x1F, "1F"},
        {"ATON S w", "1234h", 0x1234, "1234"},
        {"ATON S w", "  300 ", 300, "300"},
        {"ATON S w", "70000", 0xFFFF, "70000"},  // no byte or word literal
        {"ATON S b", "1234H", 0x34, "1234"},     // a BYTE keeps the low 8 bits
    };
    for (const Case& c : cases) {
        ASSERT_EQ(runWith(c.body, c.before), 0) << engine.TrailText();
        const ScriptVariable& v = var(std::string_view(c.body).substr(7));
        EXPECT_EQ(v.type == VarType::Byte ? v.byteSlot : v.wordSlot, c.value) << c.before;
        EXPECT_TRUE(v.set);
        EXPECT_EQ(text("S"), c.after) << c.before;
    }
}

TEST_F(StringRunTest, AtolnParsesWithoutChangingTheText) {
    const std::pair<const char*, uint32_t> cases[] = {
        {"12345678H", 0x12345678u}, {"0x89ABCDEF", 0x89ABCDEFu}, {"65536", 65536u}, {"nonsense", 0xFFFFFFFFu}};
    for (const auto& [value, expected] : cases) {
        ASSERT_EQ(runWith("ATOLN S l", value), 0) << engine.TrailText();
        EXPECT_EQ(var("l").longSlot, expected) << value;
        EXPECT_EQ(text("S"), value);
    }
}

TEST_F(StringRunTest, BigIndianIsRefusedForEveryVariable) {
    EXPECT_FALSE(load(std::string(kDeclarations) + "BIGINDIAN l\n"));
    EXPECT_EQ(onlyCode(), err::BIG_INDIAN_INVALID_VARIABLE_TYPE_SPECIFIED);
}

// A buffer full of text holds no zero byte: every statement stops at its end, and results
// are cut to their destination.
TEST_F(StringRunTest, TextWithoutAZeroByteIsBoundedByTheBuffer) {
    ASSERT_TRUE(load(std::string(kDeclarations) + "BUFFER T [ 2 ]\nSTRLEN Tiny r\nUPPERCASE Tiny\nw = 4\n"
                                                  "LEFTSTRING Tiny T w\nOCCURANCE Tiny Tiny w2\n"))
        << engine.TrailText();
    buffer("Tiny").storage = {'a', 'b', 'c', 'd'};
    ASSERT_EQ(engine.Run(), 0) << engine.TrailText();
    EXPECT_EQ(var("r").wordSlot, 4);
    EXPECT_EQ(buffer("Tiny").storage, (std::vector<uint8_t>{'A', 'B', 'C', 'D'}));
    EXPECT_EQ(buffer("T").storage, (std::vector<uint8_t>{'A', 'B'}));
    EXPECT_EQ(var("w2").wordSlot, 1);
}

}  // namespace
}  // namespace vexal::script::testing
