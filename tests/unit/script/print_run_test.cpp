// PRINT, PRINTBUFFER and PRINTCDB as they run: the printed forms of each conversion and
// value type, escapes, destinations, and the refusals of bad formats.
#include "script/script_error_codes.h"
#include "run_fixture.h"

namespace vexal::script::testing {
namespace {

struct PrintRunTest : ScriptRunTest {
    int runBody(const std::string& body) { return run("DESCRIPTION p\nStart:\n" + body + "\n"); }
    std::string lastView() const { return out.view.empty() ? std::string("<none>") : out.view.back(); }
    static std::string screen(std::string_view text) { return std::string(kScriptMessagePrefix) + std::string(text); }
};

TEST_F(PrintRunTest, ConversionsFollowTheValueType) {
    struct Case {
        const char* statement;
        const char* printed;
    };
    const Case cases[] = {
        {"PRINT 'Value %x' b", "Value 0A"},
        {"PRINT 'Value %x' w", "Value 000A"},
        {"PRINT 'Value %x' l", "Value 0000000A"},
        {"PRINT 'Value %X' 1FFH", "Value 01FF"},
        {"PRINT 'Value %x' 12345678H", "Value 12345678"},
        {"PRINT '%d %d' b m", "10 -1"},
        {"PRINT '%d %c' 65 65", "65 A"},
        {"PRINT '%f' 2", "2.000"},
        {"PRINT '%F' d", "3.750"},
        {"PRINT '%e' 1.5", "1.500000E+00"},
        {"PRINT '%g' 0.5", "0.5"},
        {"PRINT '%d/%x/%c' d d 65.9", "3/00000003/A"},
        {"PRINT '%s and %s' 12 d", "12 and 3.75"},
        {"PRINT ' padded '", "padded"},
        {"PRINT 'tab\\there'", "tab\there"},
        {"PRINT 'two\\Nlines'", "two\r\nlines"},
        {"PRINT 'it\\'s a \\\\ sign'", "it's a \\ sign"},
        {"PRINT SCREEN 'x=%d' 7", "x=7"},
    };
    for (const Case& c : cases) {
        out.view.clear();
        ASSERT_EQ(runBody(std::string("BYTE b = 10\nWORD w = 10\nLONG l = 10\nLONG m = FFFFFFFFH\nDOUBLE d = 3.75\n") + c.statement),
                  0)
            << c.statement << "\n" << engine.TrailText();
        EXPECT_EQ(lastView(), screen(c.printed)) << c.statement;
    }
}

TEST_F(PrintRunTest, BufferTextsAndDestinations) {
    ASSERT_EQ(runBody("BUFFER B [ 8 ]\nBUFFER Name [ 16 ]\nPRINT BUFFER Name 'disk'\nPRINT BUFFER B [ 4 ] 'xyz'\n"
                      "PRINT LOG 'to %s' Name\nPRINT BOTH 'both'\n"),
              0)
        << engine.TrailText();
    EXPECT_EQ(bytes("B"), (std::vector<uint8_t>{0, 0, 0, 0, 'x', 'y', 'z', 0}));
    EXPECT_TRUE(buffer("B").primed);
    ASSERT_EQ(out.log.size(), 2u);
    EXPECT_EQ(out.log[0], (std::pair<int, std::string>{4, "to disk"}));
    EXPECT_EQ(out.log[1].second, "both");
    EXPECT_EQ(out.view, (std::vector<std::string>{screen("both")}));

    // One byte short of the text and its zero byte.
    EXPECT_EQ(runBody("BUFFER B [ 7 ]\nPRINT BUFFER B [ 4 ] 'xyz'"), 1);
    EXPECT_EQ(runError(), err::PRINT_OUTPUT_STR_EXCEEDS_BUFFER_SIZE);
    EXPECT_EQ(runBody("BUFFER B [ 8 ]\nLONG at = 5\nPRINT BUFFER B [ at ] 'xyz'"), 1);
    EXPECT_EQ(runError(), err::PRINT_OUTPUT_STR_EXCEEDS_BUFFER_SIZE);
}

TEST_F(PrintRunTest, BadFormatsAreRefusedAtLoad) {
    struct Case {
        const char* statement;
        int32_t code;
    };
    const Case cases[] = {
        {"PRINT 'open", err::PRINT_INVALID_FORMAT_STR_SPECIFIER},
        {"PRINT text", err::PRINT_INVALID_FORMAT_STR_SPECIFIER},
        {"PRINT 'quote\\'", err::PRINT_INVALID_FORMAT_STR_SPECIFIER},
        {"PRINT 'end\\ '", err::PRINT_BACKSLASH_ERROR},
        {"PRINT 'bad \\q'", err::PRINT_BACKSLASH_SPECIFIER_ERROR},
        {"PRINT '%q' 1", err::PRINT_UNKNOWN_FORMAT_SPECIFIER_DETECTED},
        {"PRINT '100%'", err::PRINT_UNKNOWN_FORMAT_SPECIFIER_DETECTED},
        {"PRINT '%5d' 1", err::PRINT_UNKNOWN_FORMAT_SPECIFIER_DETECTED},
        {"PRINT '%d %d' 1", err::PRINT_FORMAT_SPECIFIED_WITHOUT_VALUE_FIELD},
        {"PRINT '%d' nothing", err::PRINT_UNKNOWN_VALUE_FIELD},
        {"PRINT '%d' B", err::PRINT_STR_SPECIFIED_ARG_ISNT_A_BUFFER},
        {"PRINT BUFFER Nope 'x'", err::PRINT_INVALID_DEST_BUFFER_SPECIFIED},
        {"PRINT BUFFER B [ zz ] 'x'", err::PRINT_UNKNOWN_BUFFER_INDEX_SPECIFIED},
        {"PRINT FILE Nope 'x'", err::K_PRINT_TO_FILE_INVALID_DEST_FILE_SPECIFIED},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(load(std::string("DESCRIPTION p\nStart:\nBUFFER B [ 8 ]\n") + c.statement + "\n")) << c.statement;
        EXPECT_EQ(onlyCode(), c.code) << c.statement;
    }
}

TEST_F(PrintRunTest, PrintBufferLinesAndRanges) {
    ASSERT_EQ(runBody("BUFFER B [ 20 ]\nFILLBUFFER B INCR\nPRINTBUFFER B\nPRINTBUFFER LOG B 4 6\nPRINTBUFFER LOG B 18 100"), 0)
        << engine.TrailText();
    EXPECT_EQ(out.view, (std::vector<std::string>{screen("00000000  00 01 02 03  04 05 06 07  08 09 0A 0B  0C 0D 0E 0F "),
                                                  screen("00000010  10 11 12 13  ")}));
    ASSERT_EQ(out.log.size(), 2u);
    EXPECT_EQ(out.log[0].second, "00000004  04 05 ");
    EXPECT_EQ(out.log[1].second, "00000012  12 13 ");  // an end past the buffer stops at its end

    EXPECT_FALSE(load("DESCRIPTION p\nStart:\nBUFFER B [ 20 ]\nPRINTBUFFER B 20\n"));
    EXPECT_EQ(onlyCode(), err::PRINTBUFFER_START_RANGE_ERROR);
    EXPECT_FALSE(load("DESCRIPTION p\nStart:\nBUFFER B [ 20 ]\nPRINTBUFFER B 8 4\n"));
    EXPECT_EQ(onlyCode(), err::PRINTBUFFER_START_END_RANGE_ERROR);
    EXPECT_EQ(runBody("BUFFER B [ 20 ]\nBYTE s = 20\nPRINTBUFFER B s"), 1);
    EXPECT_EQ(runError(), err::PRINTBUFFER_START_RANGE_ERROR);
}

TEST_F(PrintRunTest, PrintCdbAndPenColor) {
    ASSERT_EQ(runBody("BUFFER B [ 16 ]\nCDB Rd { 6 TOHOST B 08 0 0 0 16 0 }\nCOLOR Teal 0 80H 80H\nPRINTCDB BOTH Rd\nPENCOLOR Teal"), 0)
        << engine.TrailText();
    EXPECT_EQ(lastView(), screen("CDB Rd : 08 00 00 00 10 00 "));
    ASSERT_EQ(out.log.size(), 1u);
    EXPECT_EQ(engine.state().penColor, 0x808000u);
    EXPECT_FALSE(load("DESCRIPTION p\nStart:\nPENCOLOR Nope\n"));
    EXPECT_EQ(onlyCode(), err::K_PENCOLOR_ILLEGAL_PENNAME_DETECTED);
}

}  // namespace
}  // namespace vexal::script::testing
