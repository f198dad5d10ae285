// Buffer statements as they run: fills, indexed writes and reads, copies and comparisons,
// re-dimensioning, loading from files, and the time statements.
#include "script/script_error_codes.h"
#include "script/script_values.h"
#include "run_fixture.h"

namespace vexal::script::testing {
namespace {

using Bytes = std::vector<uint8_t>;

struct BufferRunTest : ScriptRunTest {
    // Runs a body after the DESCRIPTION and label every script needs.
    int runBody(const std::string& body) { return run("DESCRIPTION b\nStart:\n" + body + "\n"); }
};

// The fill generator as documented: s = s * 214013 + 2531011, output (s >> 16) & 7FFFh.
Bytes expectedRandom(uint32_t seed, size_t size) {
    Bytes out;
    uint32_t s = seed;
    for (size_t i = 0; i < size; ++i) {
        s = s * 214013u + 2531011u;
        out.push_back(static_cast<uint8_t>((s >> 16) & 0x7FFF));
    }
    return out;
}

TEST_F(BufferRunTest, FillBufferRandomIsRepeatableAndKeepsTheSeedsLowByte) {
    ASSERT_EQ(runBody("BUFFER A [ 64 ]\nBUFFER B [ 64 ]\nBUFFER C [ 64 ]\nBYTE seed = 7\n"
                      "FILLBUFFER ( A , RAND , 7 );\nFILLBUFFER ( B , RAND , 263 );\nFILLBUFFER C rand seed\n"),
              0)
        << engine.TrailText();
    EXPECT_EQ(bytes("A"), expectedRandom(7, 64));
    EXPECT_EQ(bytes("B"), bytes("A"));
    EXPECT_EQ(bytes("C"), bytes("A"));
    EXPECT_TRUE(buffer("A").primed);
    // A second run regenerates the same contents.
    ASSERT_EQ(rerun(), 0);
    EXPECT_EQ(bytes("A"), expectedRandom(7, 64));
}

TEST_F(BufferRunTest, FillBufferIncrementsAndLiterals) {
    ASSERT_EQ(runBody("BUFFER I [ 300 ]\nBUFFER F [ 8 ]\nBUFFER N [ 4 ]\nFILLBUFFER I INCR\nFILLBUFFER F 1FFH\n"
                      "FILLBUFFER N 0AH\n"),
              0)
        << engine.TrailText();
    const Bytes incr = bytes("I");
    ASSERT_EQ(incr.size(), 300u);
    for (size_t i = 0; i < incr.size(); ++i) ASSERT_EQ(incr[i], i % 256) << i;
    EXPECT_EQ(incr[299], 43);
    EXPECT_EQ(bytes("F"), Bytes(8, 0xFF));
    EXPECT_EQ(bytes("N"), Bytes(4, 0x0A));
    EXPECT_TRUE(buffer("I").primed && buffer("F").primed);
}

TEST_F(BufferRunTest, IndexedWritesCombineTheValueWithTheByte) {
    struct Case {
        const char* statement;
        uint8_t expected;  // byte 2, which starts as F0h
    };
    const Case cases[] = {
        {"SETBUFFER B [ 2 ] 5", 0x05},       {"SETBUFFER B[i] v", 0x3C},      {"SETBUFFER B [ 2 ] 1ABH", 0xAB},
        {"ANDBUFFER B [ 2 ] 3CH", 0x30},     {"ANDBUFFER B [ i ] v", 0x30},   {"ORBUFFER B [ 2 ] 0FH", 0xFF},
        {"ORBUFFER B [ i ] v", 0xFC},        {"XORBUFFER B [ 2 ] FFH", 0x0F}, {"XORBUFFER B [ i ] v", 0xCC},
        {"POKE B [ 2 ] 255", 0xFF},          {"POKE B [ 2 ] FFH", 0xFF},      {"POKE B [ i ] v", 0x3C},
        {"POKE B [ 2 ] 0x41", 0x41},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(runBody(std::string("BUFFER B [ 4 ]\nLONG i = 2\nBYTE v = 3CH\nFILLBUFFER B F0H\n") + c.statement), 0)
            << c.statement << "\n" << engine.TrailText();
        EXPECT_EQ(bytes("B"), (Bytes{0xF0, 0xF0, c.expected, 0xF0})) << c.statement;
    }
}

TEST_F(BufferRunTest, ReadsTakeTheMostSignificantByteFirst) {
    ASSERT_EQ(runBody("BUFFER B [ 6 ]\nBYTE b\nWORD w\nWORD w2\nLONG l\nLONG i = 4\n"
                      "POKE B [ 0 ] 12H\nPOKE B [ 1 ] 34H\nPOKE B [ 2 ] 56H\nPOKE B [ 3 ] 78H\nPOKE B [ 4 ] 9AH\nPOKE B [ 5 ] BCH\n"
                      "PEEK B [ 5 ] b\nPEEKW B [ 0 ] w\nPEEKW B [ i ] w2\nPEEKL B [ 2 ] l\n"),
              0)
        << engine.TrailText();
    EXPECT_EQ(var("b").byteSlot, 0xBC);
    EXPECT_EQ(var("w").wordSlot, 0x1234);
    EXPECT_EQ(var("w2").wordSlot, 0x9ABC);  // index size-2: the last two bytes
    EXPECT_EQ(var("l").longSlot, 0x56789ABCu);
    EXPECT_TRUE(var("b").set && var("w").set && var("w2").set && var("l").set);
    EXPECT_TRUE(buffer("B").primed);
}

TEST_F(BufferRunTest, IndexFromAVariableIsCheckedWhenTheStatementRuns) {
    struct Case {
        const char* statement;
        int32_t code;
    };
    // The buffer has 5 bytes; i holds 5, big holds FFFFFFFFh (compared unsigned), last holds 4.
    const Case cases[] = {
        {"SETBUFFER B [ i ] 1", err::SET_BUFFER_INDEX_OUT_OF_RANGE},
        {"SETBUFFER B [ big ] 1", err::SET_BUFFER_INDEX_OUT_OF_RANGE},
        {"ANDBUFFER B [ i ] 1", err::AND_BUFFER_INDEX_OUT_OF_RANGE},
        {"ORBUFFER B [ i ] 1", err::OR_BUFFER_INDEX_OUT_OF_RANGE},
        {"XORBUFFER B [ big ] 1", err::XOR_BUFFER_INDEX_OUT_OF_RANGE},
        {"PEEK B [ i ] b", err::PEEK_INDEX_OUT_OF_RANGE},
        {"PEEKW B [ last ] w", err::KRT_PEEKW_INDEX_OUT_OF_RANGE},
        {"PEEKW B [ big ] w", err::KRT_PEEKW_INDEX_OUT_OF_RANGE},
        {"PEEKL B [ one ] l", err::KRT_PEEKL_INDEX_OUT_OF_RANGE},
        {"PEEKL B [ big ] l", err::KRT_PEEKL_INDEX_OUT_OF_RANGE},
        {"POKE B [ i ] 1", err::POKE_INDEX_OUT_OF_RANGE},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(runBody(std::string("BUFFER B [ 5 ]\nLONG i = 5\nLONG big = FFFFFFFFH\nLONG last = 4\nLONG one = 2\n"
                                      "BYTE b\nWORD w\nLONG l\n") +
                          c.statement + "\nMSG after"),
                  1)
            << c.statement;
        EXPECT_EQ(runError(), c.code) << c.statement;
        EXPECT_EQ(bytes("B"), Bytes(5, 0)) << c.statement;
        EXPECT_TRUE(out.view.empty()) << c.statement;  // the run ended at the statement
    }
}

TEST_F(BufferRunTest, LiteralIndexOutOfRangeIsRefusedBeforeTheRun) {
    EXPECT_FALSE(load("DESCRIPTION b\nStart:\nBUFFER B [ 5 ]\nSETBUFFER ( B[5] , 1 );\n"));
    EXPECT_EQ(onlyCode(), err::SET_BUFFER_INDEX_OUT_OF_RANGE);
    EXPECT_FALSE(load("DESCRIPTION b\nStart:\nBUFFER B [ 5 ]\nPOKE B [ 0 ] 256\n"));
    EXPECT_EQ(onlyCode(), err::POKE_SOURCE_FIELD_MUST_BE_A_BYTE_TYPE_NUMBER);
}

TEST_F(BufferRunTest, CopyBufferCopiesEveryByte) {
    ASSERT_EQ(runBody("BUFFER S [ 300 ]\nBUFFER D [ 300 ]\nFILLBUFFER S INCR\nCOPYBUFFER S D\n"), 0) << engine.TrailText();
    EXPECT_EQ(bytes("D"), bytes("S"));
    EXPECT_TRUE(buffer("D").primed);
}

TEST_F(BufferRunTest, CompareBufferReportsTheFirstDifference) {
    const std::string declarations = "BUFFER W [ 16 ]\nBUFFER R [ 16 ]\nBYTE st = 5\nLONG at = 5\nBYTE rd = 5\nBYTE wr = 5\n"
                                     "FILLBUFFER W INCR\nCOPYBUFFER W R\n";
    ASSERT_EQ(runBody(declarations + "COMPAREBUFFER W R st at rd wr\n"), 0) << engine.TrailText();
    for (const char* name : {"st", "at", "rd", "wr"}) {
        EXPECT_EQ(integerValue(var(name)), 0u) << name;
        EXPECT_TRUE(var(name).set) << name;
    }

    ASSERT_EQ(runBody(declarations + "POKE R [ 9 ] 77H\nPOKE R [ 12 ] 1\nCOMPAREBUFFER W R st at rd wr\n"), 0);
    EXPECT_EQ(var("st").byteSlot, 0xFF);
    EXPECT_EQ(var("at").longSlot, 9u);
    EXPECT_EQ(var("rd").byteSlot, 0x77);
    EXPECT_EQ(var("wr").byteSlot, 9);

    // Sizes are compared only when it runs.
    EXPECT_EQ(runBody("BUFFER W [ 16 ]\nBUFFER R [ 15 ]\nBYTE st\nLONG at\nBYTE rd\nBYTE wr\nCOMPAREBUFFER W R st at rd wr\n"), 1);
    EXPECT_EQ(runError(), err::COMPARE_BUFFER_BUFFER_SIZE_MISMATCH_DETECTED);
}

TEST_F(BufferRunTest, DimensionResizesTheBufferAndEverythingBoundToIt) {
    ASSERT_EQ(runBody("BUFFER B [ 16 ]\nBUFFER Other [ 16 ]\nCDB Rd { 6 TOHOST B 08 0 0 0 16 0 }\n"
                      "CDB Wr { 6 FROMHOST B 0AH 0 0 0 16 0 }\nCDB Keep { 6 TOHOST Other 08 0 0 0 16 0 }\n"
                      "LOGPAGE Errs { 2 B }\nWORD size = 600\nFILLBUFFER B INCR\nDIMENSION B size\n"),
              0)
        << engine.TrailText();
    EXPECT_EQ(buffer("B").size(), 600u);
    EXPECT_TRUE(buffer("B").primed);  // unchanged by DIMENSION
    for (const char* name : {"Rd", "Wr"}) {
        const ScriptCdb* cdb = engine.tables().cdbs.find(name);
        ASSERT_NE(cdb, nullptr);
        EXPECT_EQ(cdb->transferLength, 600u) << name;
        EXPECT_EQ(cdb->bufferSize, 600u) << name;
        EXPECT_EQ(cdb->buffer, &buffer("B")) << name;
    }
    EXPECT_EQ(engine.tables().cdbs.find("Keep")->transferLength, 16u);
    EXPECT_EQ(engine.tables().logPages.find("Errs")->bufferSize, 600u);

    // The new size is usable at once (a literal index is checked against the declared size
    // before the run, so the index is a variable).
    ASSERT_EQ(runBody("BUFFER B [ 4 ]\nLONG i = 7\nDIMENSION B 8\nPOKE B [ i ] 1\n"), 0) << engine.TrailText();
    EXPECT_EQ(bytes("B"), (Bytes{0, 0, 0, 0, 0, 0, 0, 1}));
}

TEST_F(BufferRunTest, DimensionRefusesZeroAndAbsurdSizes) {
    EXPECT_EQ(runBody("BUFFER B [ 4 ]\nBYTE zero = 0\nDIMENSION B zero\n"), 1);
    EXPECT_EQ(runError(), err::KRT_DIMENSION_SIZE_ERROR);
    EXPECT_EQ(buffer("B").size(), 4u);

    // Far beyond what a script may hold: refused, and the buffer keeps its storage and size.
    EXPECT_EQ(runBody("BUFFER B [ 4 ]\nLONG huge = FFFFFFFFH\nPOKE B [ 3 ] 9\nDIMENSION B huge\n"), 1);
    EXPECT_EQ(runError(), err::KRT_DIMENSION_NEW_BUFFER_CREATION_ERROR);
    EXPECT_EQ(bytes("B"), (Bytes{0, 0, 0, 9}));

    LoadLimits limits;
    limits.maxBufferBytes = 1024;
    limits.maxTotalBufferBytes = 1500;
    engine.setLimits(limits);
    EXPECT_EQ(runBody("BUFFER A [ 1000 ]\nBUFFER B [ 4 ]\nDIMENSION B 1025\n"), 1);
    EXPECT_EQ(runError(), err::KRT_DIMENSION_NEW_BUFFER_CREATION_ERROR);
    // Within one buffer's bound but beyond the total of all buffers.
    EXPECT_EQ(runBody("BUFFER A [ 1000 ]\nBUFFER B [ 4 ]\nDIMENSION B 600\n"), 1);
    EXPECT_EQ(runError(), err::KRT_DIMENSION_NEW_BUFFER_CREATION_ERROR);
    EXPECT_EQ(runBody("BUFFER A [ 1000 ]\nBUFFER B [ 4 ]\nDIMENSION B 500\n"), 0) << engine.TrailText();
    EXPECT_EQ(buffer("B").size(), 500u);
}

TEST_F(BufferRunTest, LoadBufferRepeatsTheFileOrReadsItOnce) {
    write("abc.bin", "\x01\x02\x03");
    write("long file.bin", "0123456789");
    write("empty.bin", "");
    ASSERT_EQ(runBody("BUFFER R [ 8 ]\nBUFFER O [ 8 ]\nBUFFER L [ 4 ]\nBUFFER E [ 2 ]\n"
                      "FILLBUFFER O 9\nFILLBUFFER E 9\n"
                      "LOADBUFFER R abc.bin\nLOADBUFFER once O \"abc.bin\"\nLOADBUFFER L \"long file.bin\"\n"
                      "LOADBUFFER E empty.bin\n"),
              0)
        << engine.TrailText();
    EXPECT_EQ(bytes("R"), (Bytes{1, 2, 3, 1, 2, 3, 1, 2}));
    EXPECT_EQ(bytes("O"), (Bytes{1, 2, 3, 9, 9, 9, 9, 9}));
    EXPECT_EQ(bytes("L"), (Bytes{'0', '1', '2', '3'}));
    EXPECT_EQ(bytes("E"), (Bytes{9, 9}));  // an empty file changes nothing
    EXPECT_TRUE(buffer("R").primed && buffer("O").primed && buffer("L").primed);
}

TEST_F(BufferRunTest, LoadBufferFailsWhenTheFileIsGoneAtRunTime) {
    const auto path = write("gone.bin", "x");
    ASSERT_TRUE(load("DESCRIPTION b\nStart:\nBUFFER B [ 4 ]\nLOADBUFFER B gone.bin\n"));
    fs::remove(path);
    EXPECT_EQ(engine.Run(), 1);
    EXPECT_EQ(runError(), err::LOAD_BUFFER_UNABLE_TO_OPEN_FILE_SPECIFIED);
}

TEST_F(BufferRunTest, FormatTimeSplitsSecondsIntoHoursMinutesAndSeconds) {
    struct Case {
        const char* time;
        uint16_t hours;
        uint8_t minutes;
        double seconds;
    };
    const Case cases[] = {{"3725.5", 1, 2, 5.5}, {"59.25", 0, 0, 59.25}, {"0.0", 0, 0, 0}, {"90061.0", 25, 1, 1}};
    for (const Case& c : cases) {
        ASSERT_EQ(runBody(std::string("DOUBLE t = ") + c.time + "\nWORD h = 7\nBYTE m = 7\nDOUBLE s\nFORMATTIME t h m s\n"), 0)
            << engine.TrailText();
        EXPECT_EQ(var("h").wordSlot, c.hours) << c.time;
        EXPECT_EQ(var("m").byteSlot, c.minutes) << c.time;
        EXPECT_DOUBLE_EQ(var("s").doubleSlot, c.seconds) << c.time;
        EXPECT_TRUE(var("h").set && var("m").set && var("s").set);
    }
}

TEST_F(BufferRunTest, TimeCountsSecondsSinceTheProgramStarted) {
    ASSERT_EQ(runBody("DOUBLE a\nDOUBLE b\nTIME a\nSLEEP 20\nTIME b\nTHUMBPRINT anything at all\n"), 0) << engine.TrailText();
    EXPECT_TRUE(var("a").set && var("b").set);
    EXPECT_GE(var("a").doubleSlot, 0.0);
    EXPECT_GE(var("b").doubleSlot - var("a").doubleSlot, 0.015);
}

}  // namespace
}  // namespace vexal::script::testing
