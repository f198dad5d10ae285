// Locating, unscrambling, fingerprinting and reading script files; routing of lines; the
// trail file; SD.txt.
#include "script/description_file.h"
#include "script/fingerprint.h"
#include "script/fingerprint_file.h"
#include "script/scramble.h"
#include "script/script_error_codes.h"
#include "script_fixture.h"

namespace vexal::script::testing {
namespace {

using Lines = std::vector<std::string>;

std::vector<std::string> statementTexts(const ScriptEngine& engine) {
    std::vector<std::string> out;
    for (const auto& s : engine.tables().statements) out.push_back(s.text);
    return out;
}

TEST_F(ScriptTest, AGoodScriptLeavesOnlyThePhaseLines) {
    ASSERT_TRUE(load("DESCRIPTION A test\nStart:\nMSG hello\n"));
    EXPECT_EQ(trail(), successTrail());
    EXPECT_TRUE(engine.loaded());
    EXPECT_EQ(engine.state().description, "A test");
    EXPECT_EQ(engine.ErrorText(), engine.TrailText());
}

TEST_F(ScriptTest, TheTrailStartsEmptyForEveryLoad) {
    ASSERT_FALSE(load("Start:\nMSG x\n"));
    ASSERT_TRUE(load("DESCRIPTION d\nStart:\nMSG x\n"));
    EXPECT_EQ(trail(), successTrail());
}

TEST_F(ScriptTest, LinesAreCutCleanedAndRouted) {
    ASSERT_TRUE(load(
        "DESCRIPTION   cleaned   text\n"
        "}\n"                                   // one character: skipped
        "Start:\n"
        "Call ( Start );   // a comment\n"
        "   JUMP\t\tStart  \n"
        "LOG  two  spaces, kept\n"
        "MSG  'a // b'\n"                       // the comment marker cuts even inside quotes
        "x :\n"                                 // label x
        "IF 1 == 1 JUMP x\n"));
    EXPECT_EQ(statementTexts(engine), (Lines{"DESCRIPTION cleaned text", "Call Start", "JUMP Start",
                                             "LOG  two  spaces  kept", "MSG  'a", "IF 1 == 1 JUMP x"}));
    ASSERT_NE(engine.tables().symbols.find("x"), nullptr);
    const auto& call = engine.tables().statements[1];
    EXPECT_EQ(call.line, 4);
    EXPECT_EQ(call.fileId, 1);
}

TEST_F(ScriptTest, RecordsKeepOffsetsLinesAndSequence) {
    ASSERT_TRUE(load("DESCRIPTION d\n\nStart:\nMSG a\nMSG b\n"));
    const auto& s = engine.tables().statements;
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[1].offset, 22);  // "DESCRIPTION d\n\nStart:\n" is 22 bytes
    EXPECT_EQ(s[1].line, 4);
    EXPECT_EQ(s[1].absoluteLine, 4);
    EXPECT_EQ(s[2].sequence, 3);
    const ScriptSymbol* start = engine.tables().symbols.find("Start");
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(start->offsetAfter, 22);
}

TEST_F(ScriptTest, IncludesReadEachFileOnceAndNumberLinesPerFile) {
    write("COMMON.SCS", "Sub:\nRETURN\nMSG in common\n");
    write("OTHER.SCS", "#INCLUDE COMMON.SCS\nMSG in other\n");
    ASSERT_TRUE(load("DESCRIPTION d\nStart:\n#INCLUDE \"COMMON.SCS\"\nMSG after\n#INCLUDE OTHER.SCS\n"
                     "#INCLUDE common.scs\nMSG last\n"));
    const auto& s = engine.tables().statements;
    ASSERT_EQ(statementTexts(engine),
              (Lines{"DESCRIPTION d", "RETURN", "MSG in common", "MSG after", "MSG in other", "MSG last"}));
    EXPECT_EQ(s[1].line, 2);  // line 2 of COMMON.SCS
    EXPECT_EQ(s[1].fileId, 2);
    EXPECT_EQ(s[3].line, 4);  // the line after the #INCLUDE continues the main file
    EXPECT_EQ(s[3].fileId, 1);
    EXPECT_EQ(s[4].fileId, 3);
    EXPECT_EQ(s[5].line, 7);
    EXPECT_EQ(engine.FileName(2), (scripts / "COMMON.SCS").string());
    EXPECT_TRUE(s[1].absoluteLine < s[3].absoluteLine);
}

TEST_F(ScriptTest, AnErrorInAnIncludedFileNamesThatFileAndItsLine) {
    write("INC.SCS", "MSG ok\nJUMP Nowhere\n");
    ASSERT_FALSE(load("DESCRIPTION d\n#INCLUDE INC.SCS\nStart:\nJUMP Nowhere\n"));
    EXPECT_EQ(trail(), (Lines{"Phase 1 : Collection...", "Phase 1 Completed.", "Phase 2 : Validation...",
                              errorLine(err::JUMP_UNKNOWN_VECTOR_ERROR, scripts / "INC.SCS", 2),
                              errorLine(err::JUMP_UNKNOWN_VECTOR_ERROR, scripts / "T.SCS", 4),
                              "Phase 2 Complete."}));
    EXPECT_EQ(trail()[3], "Error In " + (scripts / "INC.SCS").string() + " @ Line 2 : Error : JUMP_UNKNOWN_VECTOR_ERROR");
}

TEST_F(ScriptTest, IncludeChainsComingBackToAnOpenFileAreRefused) {
    write("A.SCS", "#INCLUDE B.SCS\n");
    write("B.SCS", "MSG b\n#INCLUDE A.SCS\n");
    ASSERT_FALSE(load("DESCRIPTION d\nStart:\n#INCLUDE A.SCS\nMSG never read\n"));
    EXPECT_EQ(trail(), (Lines{"Phase 1 : Collection...",
                              errorLine(err::K_PHASE1_FILE_DUPLICATION_ERROR, scripts / "B.SCS", 2)}));
    ASSERT_FALSE(load("DESCRIPTION d\nStart:\n#INCLUDE T.SCS\n"));
    EXPECT_EQ(onlyCode(), err::K_PHASE1_FILE_DUPLICATION_ERROR);
}

TEST_F(ScriptTest, AMissingIncludeEndsPhaseOne) {
    ASSERT_FALSE(load("DESCRIPTION d\nStart:\n#INCLUDE NOPE.SCS\nJUMP Nowhere\n"));
    EXPECT_EQ(trail(), (Lines{"Phase 1 : Collection...",
                              errorLine(err::K_PHASE1_INCLUDE_SEQ_FILE_ERROR, scripts / "T.SCS", 3)}));
}

TEST_F(ScriptTest, AnIncludeBesideAScriptOutsideTheScriptsFolderIsFound) {
    const fs::path elsewhere = root.path() / "work";
    writeFile(elsewhere / "lib.scs", "MSG lib\n");
    writeFile(elsewhere / "main.scs", "DESCRIPTION d\nStart:\n#INCLUDE lib.scs\n");
    ASSERT_TRUE(engine.Load((elsewhere / "main.scs").string()));
    EXPECT_EQ(statementTexts(engine), (Lines{"DESCRIPTION d", "MSG lib"}));
}

TEST_F(ScriptTest, AMainScriptThatCannotBeOpenedEndsPhaseOne) {
    const fs::path missing = scripts / "MISSING.SCS";
    ASSERT_FALSE(engine.Load(missing.string()));
    EXPECT_EQ(trail(), (Lines{"Phase 1 : Collection...", errorLine(err::K_PHASE1_FILE_OPEN_ERROR, missing, 0),
                              "Phase 1 Complete."}));
}

TEST_F(ScriptTest, LinesAreReadIn1023CharacterPieces) {
    const std::string exact(1023, 'A');
    const std::string longer = "MSG " + std::string(1019, 'B') + "JUMP Start";
    ASSERT_TRUE(load("DESCRIPTION d\nStart:\nMSG " + exact.substr(4) + "\nMSG next\n" + longer + "\n"));
    const auto& s = engine.tables().statements;
    ASSERT_EQ(s.size(), 5u);
    EXPECT_EQ(s[1].text.size(), 1023u);
    // The line feed after exactly 1023 characters is read as an empty line of its own.
    EXPECT_EQ(s[2].text, "MSG next");
    EXPECT_EQ(s[2].line, 5);
    EXPECT_EQ(s[3].text.size(), 1023u);
    EXPECT_EQ(s[4].text, "JUMP Start");  // the rest of the long line, its own line number
    EXPECT_EQ(s[4].line, 7);
    EXPECT_EQ(onlyCode(), 0);
}

TEST_F(ScriptTest, WindowsLineEndsReadAsLineFeeds) {
    ASSERT_TRUE(load("DESCRIPTION d\r\nStart:\r\nMSG a\r\n"));
    EXPECT_EQ(statementTexts(engine), (Lines{"DESCRIPTION d", "MSG a"}));
}

TEST(ScrambleTest, EveryModeRoundTripsEveryByteAtEveryPosition) {
    std::string plain;
    for (int i = 0; i < 2048; ++i) plain.push_back(static_cast<char>(i * 7 % 128));
    for (LockMode mode : {LockMode::HighBit, LockMode::Nibbles, LockMode::Rotated}) {
        const std::string locked = Scramble(plain, mode);
        EXPECT_EQ(Unscramble(locked, mode), plain) << static_cast<int>(mode);
    }
    EXPECT_EQ(RecogniseLockMode(Scramble("Start:\nMSG a\n", LockMode::HighBit)), LockMode::HighBit);
    EXPECT_EQ(RecogniseLockMode(Scramble("Start:\nMSG a\n", LockMode::Rotated)), LockMode::Rotated);
    EXPECT_EQ(RecogniseLockMode("Start:\nMSG a\n"), LockMode::Plain);
    EXPECT_EQ(RecogniseLockMode(std::string("ab\0c", 4)), LockMode::NotText);
    EXPECT_EQ(RecogniseLockMode("ab\xC3\xA9"), LockMode::NotText);
    EXPECT_EQ(RecogniseLockMode(""), LockMode::Plain);
    EXPECT_EQ(RecogniseLockMode("\x08\x18\xF8"), LockMode::Nibbles);
}

TEST_F(ScriptTest, AScrambledScriptLoadsAndIsLeftInTheRotatedForm) {
    const std::string plain = "DESCRIPTION locked\nStart:\nMSG a\n";
    for (LockMode mode : {LockMode::HighBit, LockMode::Nibbles, LockMode::Rotated}) {
        const fs::path path = write("LOCKED.SCS", Scramble(plain, mode));
        ASSERT_TRUE(engine.Load(path.string())) << static_cast<int>(mode);
        EXPECT_EQ(engine.state().description, "locked");
        EXPECT_EQ(readFile(path), Scramble(plain, LockMode::Rotated));
        for (const auto& entry : fs::directory_iterator(scripts))  // no temporary files left
            EXPECT_TRUE(entry.path().filename() == "LOCKED.SCS") << entry.path();
    }
}

TEST_F(ScriptTest, AFileThatIsNotTextIsRefused) {
    const fs::path path = write("BIN.SCS", std::string("Start:\n\0MSG\n", 12));
    ASSERT_FALSE(engine.Load(path.string()));
    EXPECT_EQ(onlyCode(), err::K_PHASE1_FILE_UNLOCK_ERROR);
    EXPECT_EQ(trail().back(), "Phase 1 Complete.");
}

TEST_F(ScriptTest, TheFingerprintIsCheckedOnlyWhenDemanded) {
    const std::string plain = "DESCRIPTION d\nStart:\nMSG a\n";
    const fs::path path = write("FP.SCS", plain);
    engine.setFingerprintDemand(true);
    ASSERT_FALSE(engine.Load(path.string()));
    EXPECT_EQ(onlyCode(), err::K_PHASE1_FILE_FINGERPRINT_ERROR);

    const fs::path fpf = scripts / "FP.FPF";
    std::string good = MakeFingerprint(plain);
    const std::pair<std::string, bool> cases[] = {
        {good, true},
        {good.substr(0, 127), false},
        {good + "x", false},
        {MakeFingerprint(plain + " "), false},
    };
    for (const auto& [bytes, ok] : cases) {
        writeFile(fpf, bytes);
        EXPECT_EQ(engine.Load(path.string()), ok) << bytes.size();
        if (!ok) {
            EXPECT_EQ(onlyCode(), err::K_PHASE1_FILE_FINGERPRINT_ERROR);
        }
    }
    // The sum covers the plain text, whatever form the file is stored in.
    writeFile(fpf, good);
    writeFile(path, Scramble(plain, LockMode::HighBit));
    EXPECT_TRUE(engine.Load(path.string()));

    engine.setFingerprintDemand(false);
    fs::remove(fpf);
    EXPECT_TRUE(engine.Load(path.string()));
}

TEST_F(ScriptTest, AnIncludedFileNeedsItsFingerprintToo) {
    const std::string main = "DESCRIPTION d\nStart:\n#INCLUDE INC.SCS\n";
    const fs::path path = write("M.SCS", main);
    write("INC.SCS", "MSG a\n");
    writeFile(scripts / "M.FPF", MakeFingerprint(main));
    engine.setFingerprintDemand(true);
    ASSERT_FALSE(engine.Load(path.string()));
    EXPECT_EQ(onlyCode(), err::K_PHASE1_INCLUDE_SEQ_FILE_ERROR);
    writeFile(scripts / "INC.FPF", MakeFingerprint("MSG a\n"));
    EXPECT_TRUE(engine.Load(path.string()));
}

TEST_F(ScriptTest, AWrittenFingerprintMatchesThePlainTextAndLeavesTheScriptAlone) {
    const std::string plain = "DESCRIPTION d\nStart:\nMSG written\n";
    engine.setFingerprintDemand(true);
    for (LockMode mode : {LockMode::Plain, LockMode::HighBit, LockMode::Nibbles, LockMode::Rotated}) {
        SCOPED_TRACE(static_cast<int>(mode));
        const std::string stored = mode == LockMode::Plain ? plain : Scramble(plain, mode);
        const fs::path path = write("W.SCS", stored);
        fs::remove(scripts / "W.FPF");
        const FingerprintOutcome outcome = WriteFingerprintFile(path);
        ASSERT_EQ(outcome.result, FingerprintWrite::Written) << outcome.message;
        EXPECT_EQ(outcome.fingerprint, scripts / "W.FPF");
        EXPECT_EQ(readFile(path), stored);
        EXPECT_EQ(readFile(scripts / "W.FPF"), MakeFingerprint(plain));
        EXPECT_TRUE(engine.Load(path.string())) << trail().back();
    }
}

TEST_F(ScriptTest, WritingAFingerprintKeepsToTheNamesAndRightsOfWhatIsThere) {
    // The loader finds "w.fpf" for "W.SCS": that file is replaced, no second one made.
    const fs::path path = write("W.SCS", "MSG a\n");
    writeFile(scripts / "w.fpf", std::string(128, 'x'));
    ASSERT_EQ(WriteFingerprintFile(scripts / "w.scs").result, FingerprintWrite::Written);
    EXPECT_EQ(readFile(scripts / "w.fpf"), MakeFingerprint("MSG a\n"));
    EXPECT_FALSE(fs::exists(scripts / "W.FPF"));

    // A new file may be read by whoever may read the script, never executed.
    fs::remove(scripts / "w.fpf");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::owner_exec);
    ASSERT_EQ(WriteFingerprintFile(path).result, FingerprintWrite::Written);
    EXPECT_EQ(fs::status(scripts / "W.FPF").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    const struct {
        fs::path script;
        FingerprintWrite result;
    } refusals[] = {
        {scripts / "NONE.SCS", FingerprintWrite::ScriptUnreadable},
        {scripts, FingerprintWrite::ScriptUnreadable},
        {write("BIN.SCS", std::string("MSG\0", 4)), FingerprintWrite::NotText},
        {scripts / "W.FPF", FingerprintWrite::NotAScript},
    };
    const std::string before = readFile(scripts / "W.FPF");
    for (const auto& r : refusals) {
        const FingerprintOutcome outcome = WriteFingerprintFile(r.script);
        EXPECT_EQ(outcome.result, r.result) << r.script;
        EXPECT_FALSE(outcome.message.empty());
    }
    EXPECT_EQ(readFile(scripts / "W.FPF"), before);
    EXPECT_FALSE(fs::exists(scripts / "NONE.FPF"));
    EXPECT_FALSE(fs::exists(scripts / "BIN.FPF"));
}

TEST(FingerprintTest, PathSumAndDemand) {
    EXPECT_EQ(FingerprintPath("/s/A.SCS"), fs::path("/s/A.FPF"));
    EXPECT_EQ(FingerprintPath("/s.d/a.b.scs"), fs::path("/s.d/a.b.FPF"));
    EXPECT_EQ(FingerprintPath("/s.d/NODOT"), fs::path("/s.d/NODOT.FPF"));
    EXPECT_EQ(ScriptByteSum("\xFF\xFF"), 510u);
    const std::string fp = MakeFingerprint("AB");
    ASSERT_EQ(fp.size(), 128u);
    EXPECT_EQ(static_cast<uint8_t>(fp[60]), 0x83);  // 41h + 42h
    EXPECT_EQ(static_cast<uint8_t>(fp[124]), 2);

    struct Case {
        bool engineering, customer, passwordSet, demanded;
    };
    const Case cases[] = {{true, false, false, false}, {true, false, true, false}, {false, true, false, true},
                          {false, true, true, false},  {false, false, false, true}, {false, false, true, true}};
    for (const auto& c : cases)
        EXPECT_EQ(FingerprintDemanded(c.engineering, c.customer, c.passwordSet), c.demanded)
            << c.engineering << c.customer << c.passwordSet;
}

TEST_F(ScriptTest, DescriptionFileListsEveryDescribedScript) {
    write("ONE.scs", "// DESCRIPTION not this one\n  Description ( \"First test\" );  // note\n");
    write("TWO.SCS", "Start:\nMSG no description\n");
    write("THREE.SCS", Scramble("DESCRIPTION Third\n", LockMode::Rotated));
    write("NOTES.TXT", "DESCRIPTION ignored\n");
    const fs::path sd = scripts / kDescriptionFileName;
    ASSERT_TRUE(BuildDescriptionFile(scripts, sd));
    EXPECT_EQ(readFile(sd), "ONE.SCS First test\nTHREE.SCS Third\n");
    EXPECT_EQ(readFile(scripts / "THREE.SCS"), Scramble("DESCRIPTION Third\n", LockMode::HighBit));

    std::string text;
    EXPECT_EQ(LookUpDescription(sd, "one.scs", text), DescriptionLookup::Found);
    EXPECT_EQ(text, "First test");
    EXPECT_EQ(LookUpDescription(sd, "TWO.SCS", text), DescriptionLookup::NotFound);
    EXPECT_EQ(LookUpDescription(scripts / "none.txt", "ONE.SCS", text), DescriptionLookup::FileMissing);
    writeFile(sd, "");
    EXPECT_EQ(LookUpDescription(sd, "ONE.SCS", text), DescriptionLookup::EmptyFile);
}

}  // namespace
}  // namespace vexal::script::testing

namespace vexal::script::testing {
namespace {

TEST_F(ScriptTest, TheTrailFileLivesInTheWorkFolder) {
    EXPECT_EQ(engine.trailPath(), platform::installPath() / "Work" / "KTrail.Txt");
    ASSERT_TRUE(load("DESCRIPTION d\nStart:\nMSG a\n"));
    EXPECT_EQ(readFile(engine.trailPath()), engine.TrailText());
}

TEST_F(ScriptTest, AFailedLoadStillWritesScrambledFilesBack) {
    // The load ends while INC.SCS is still being read.
    const std::string included = "#INCLUDE MISSING.SCS\nMSG never read\n";
    write("INC.SCS", Scramble(included, LockMode::HighBit));
    ASSERT_FALSE(load("DESCRIPTION d\nStart:\n#INCLUDE INC.SCS\n"));
    EXPECT_EQ(onlyCode(), err::K_PHASE1_INCLUDE_SEQ_FILE_ERROR);
    EXPECT_EQ(readFile(scripts / "INC.SCS"), Scramble(included, LockMode::Rotated));
}

TEST_F(ScriptTest, ResetForgetsTheScript) {
    ASSERT_TRUE(load("DESCRIPTION d\nStart:\nBYTE b = 1\n"));
    engine.Reset();
    EXPECT_TRUE(engine.tables().statements.empty());
    EXPECT_TRUE(engine.tables().variables.empty());
    EXPECT_TRUE(engine.FileName(1).empty());
    EXPECT_FALSE(engine.loaded());
}

}  // namespace
}  // namespace vexal::script::testing
