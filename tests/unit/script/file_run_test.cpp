// The file statements as they run: text and binary round trips, appending, seeking, reading
// lines, and the refusals of files in the wrong state.
#include "script/file_objects.h"
#include "script/script_error_codes.h"
#include "run_fixture.h"

namespace vexal::script::testing {
namespace {

struct FileRunTest : ScriptRunTest {
    int runBody(const std::string& body) {
        return run("DESCRIPTION f\nStart:\nFILE F\nLONG Len\nWORD n\nBUFFER B [ 16 ]\n" + body + "\n");
    }
};

TEST_F(FileRunTest, TextFileRoundTrip) {
    ASSERT_EQ(runBody("OPENFILE ( F , Log.txt , WRITE , TEXT , Len )\nPRINT FILE F 'a\\nb'\nCLOSEFILE F"), 0) << engine.TrailText();
    EXPECT_EQ(var("Len").longSlot, 0u);
    EXPECT_EQ(readFile(scripts / "Log.txt"), "a\nb");

    ASSERT_EQ(runBody("OPENFILE F Log.txt WRITE APPEND Len\nPRINT FILE F '\\n\\nlast'\nCLOSEFILE F"), 0) << engine.TrailText();
    EXPECT_EQ(readFile(scripts / "Log.txt"), "a\nb\n\nlast");

    // Lines come back one by one; an empty line and the end of the file both give 0.
    ASSERT_EQ(runBody("WORD n1\nWORD n2\nWORD n3\nWORD n4\nBUFFER B3 [ 3 ]\n"
                      "OPENFILE F Log.txt READ Len\nFGETS F B 16 n1\nFGETS F B 16 n2\nFGETS F B 16 n3\nFGETS F B3 3 n4\n"
                      "FGETS F B 16 n\nFGETS F B 16 n\n"),
              0)
        << engine.TrailText();
    EXPECT_EQ(var("Len").longSlot, 9u);
    EXPECT_EQ(var("n1").wordSlot, 1);
    EXPECT_EQ(var("n2").wordSlot, 1);
    EXPECT_EQ(var("n3").wordSlot, 0);
    EXPECT_EQ(var("n4").wordSlot, 2);  // a limit of 3 reads at most 2 characters
    EXPECT_EQ(text("B3"), "la");
    EXPECT_EQ(var("n").wordSlot, 0);  // the end of the file
    EXPECT_TRUE(buffer("B").primed);
}

TEST_F(FileRunTest, FgetsDropsTheCarriageReturnOfWindowsLines) {
    writeFile(scripts / "crlf.txt", "one\r\ntwo\r\n");
    ASSERT_EQ(runBody("OPENFILE F crlf.txt READ TEXT Len\nFGETS F B 16 n"), 0) << engine.TrailText();
    EXPECT_EQ(text("B"), "one");
    EXPECT_EQ(var("n").wordSlot, 3);
}

TEST_F(FileRunTest, BinaryRoundTripWithSeek) {
    writeFile(scripts / "bin.dat", "");  // a file read in the same script must exist at load time
    ASSERT_EQ(runBody("BUFFER C [ 8 ]\nFILLBUFFER B INCR\nOPENFILE F bin.dat WRITE BINARY Len\nFWRITE F B 16\nCLOSEFILE F\n"
                      "OPENFILE F bin.dat READ BINARY Len\nFSEEK F 4 SEEK_SET\nFREAD F C 8 n\nBYTE one\n"
                      "FSEEK F 1 SEEK_CUR\nFREAD F C 65537 one\nLONG back = FFFFFFFEH\nFSEEK F back SEEK_END\nLONG rest\nFREAD F C 8 rest\n"),
              0)
        << engine.TrailText();
    EXPECT_EQ(var("Len").longSlot, 16u);
    EXPECT_EQ(var("n").wordSlot, 8);
    EXPECT_EQ(var("one").byteSlot, 1);  // 65537 uses its low 16 bits
    EXPECT_EQ(var("rest").longSlot, 2u);  // a LONG offset is signed: 2 bytes before the end
    EXPECT_EQ(bytes("C"), (std::vector<uint8_t>{14, 15, 6, 7, 8, 9, 10, 11}));
    EXPECT_TRUE(buffer("C").primed);
    EXPECT_EQ(readFile(scripts / "bin.dat").size(), 16u);
}

TEST_F(FileRunTest, AFileNameInABufferIsUsedWhenItRuns) {
    ASSERT_EQ(runBody("BUFFER Name [ 32 ]\nPRINT BUFFER Name 'named.txt'\nOPENFILE F Name WRITE Len\nPRINT FILE F 'x'\nCLOSEFILE F"), 0)
        << engine.TrailText();
    EXPECT_EQ(readFile(scripts / "named.txt"), "x");
}

TEST_F(FileRunTest, StatementsRefuseFilesInTheWrongState) {
    writeFile(scripts / "in.txt", "data\n");
    struct Case {
        const char* body;
        int32_t code;
    };
    const Case cases[] = {
        {"OPENFILE F in.txt READ Len\nOPENFILE F in.txt READ Len", err::K_OPENFILE_FILE_ALREADY_OPEN},
        {"OPENFILE F in.txt READ Len\nFREAD F B 4 n", err::K_FREAD_READ_ERROR},
        {"FREAD F B 4 n", err::K_FREAD_READ_ERROR},
        {"OPENFILE F in.txt READ BINARY Len\nFWRITE F B 4", err::K_FWRITE_WRITE_ERROR},
        {"OPENFILE F out.txt WRITE Len\nFWRITE F B 4", err::K_FWRITE_WRITE_ERROR},
        {"FGETS F B 4 n", err::K_FGETS_FILE_NOT_OPEN},
        {"OPENFILE F in.txt READ BINARY Len\nFGETS F B 4 n", err::K_FGETS_INVALID_FILE_MODE},
        {"FSEEK F 0 SEEK_SET", err::K_FSEEK_FILE_NOT_OPENED},
        {"PRINT FILE F 'x'", err::K_PRINT_TO_FILE_THAT_ISNT_OPEN},
        {"OPENFILE F in.txt READ Len\nPRINT FILE F 'x'", err::K_PRINT_TO_FILE_INVALID_MODE_DETECTED},
        {"OPENFILE F out.bin WRITE BINARY Len\nPRINT FILE F 'x'", err::K_PRINT_TO_FILE_INVALID_MODE_DETECTED},
        {"BYTE big = 17\nOPENFILE F in.txt READ BINARY Len\nFREAD F B big n", err::K_FREAD_LIMIT_EXCEEDS_BUFFER_SIZE},
        {"BUFFER Name [ 32 ]\nPRINT BUFFER Name 'missing.txt'\nOPENFILE F Name READ Len", err::K_OPENFILE_FILE_OPEN_ERROR},
        {"BUFFER Name [ 32 ]\nOPENFILE F Name READ Len", err::K_OPENFILE_FILE_OPEN_ERROR},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(runBody(c.body), 1) << c.body;
        EXPECT_EQ(runError(), c.code) << c.body;
        engine.closeScriptFiles();
    }
}

TEST_F(FileRunTest, LoadTimeChecks) {
    struct Case {
        const char* body;
        int32_t code;  // 0: accepted
    };
    const Case cases[] = {
        {"OPENFILE F missing.txt READ Len", err::K_OPENFILE_FILE_SPECIFIED_NOT_PRESENT},
        {"OPENFILE F missing.txt WRITE Len", 0},
        {"BUFFER Name [ 8 ]\nOPENFILE F Name READ Len", 0},
        {"OPENFILE F missing.txt WRITE n", err::K_OPENFILE_INVALID_RESULT_ARG},
        {"OPENFILE F WRITE TEXT Len", err::K_OPENFILE_MODE_SPECIFICATION_ERROR},
        {"OPENFILE G x.txt WRITE Len", err::K_OPENFILE_INVALID_FILE_TAG_SPECIFIED},
        {"FREAD F B 17 n", err::K_FREAD_LIMIT_EXCEEDS_BUFFER_SIZE},
        {"FREAD F B 65537 n", 0},
        {"FREAD F B 4", err::K_FREAD_ILLEGAL_NUMBER_OF_ARGS_DETECTED},
        {"FGETS F B 4 Len", err::K_FGETS_ILLEGAL_RD_OK_VARIABLE_TYPE_SPECIFIED},
        {"FGETS F B 12345678H n", err::K_FGETS_UNRECOGNIZABLE_LIMIT_ARG},
        {"FSEEK F 0 SEEK_HERE", err::K_SEEK_ILLEGAL_FROM_PHRASE_SPECIFIED},
        {"CLOSEFILE G", err::K_CLOSEFILE_INVALID_FILE_TAG_SPECIFIED},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(load(std::string("DESCRIPTION f\nStart:\nFILE F\nLONG Len\nWORD n\nBUFFER B [ 16 ]\n") + c.body + "\n"), c.code == 0)
            << c.body;
        EXPECT_EQ(onlyCode(), c.code) << c.body;
    }
}

TEST_F(FileRunTest, ListingShowsEachFilesMode) {
    writeFile(scripts / "a.txt", "");
    ASSERT_EQ(run("DESCRIPTION f\nStart:\nFILE F\nFILE Long1\nFILE Idle\nLONG Len\nOPENFILE F a.txt WRITE APPEND Len\n"
                  "OPENFILE Long1 a.txt READ BINARY Len\n"),
              0)
        << engine.TrailText();
    EXPECT_EQ(ListFiles(engine.tables().files),
              "FILE  F     Mode: Write/Text/Append\r\nFILE  Long1 Mode: Read/Binary\r\nFILE  Idle  Mode:  N/A\r\n");
    engine.closeScriptFiles();
    EXPECT_EQ(engine.tables().files.find("F")->mode, -1);
}

}  // namespace
}  // namespace vexal::script::testing
