// The results database: statements run by scripts (counters, percentage, queries, reports,
// save and open) and the loader's refusal of damaged files.
#include <cmath>

#include "run_fixture.h"
#include "script/results_database.h"
#include "script/run_data.h"
#include "script/script_error_codes.h"

namespace vexal::script::testing {
namespace {

struct DatabaseRunTest : ScriptRunTest {
    fs::path dbFile = root.path() / "media.db";

    // Loads the script, puts the texts into buffers M (media), S (drive serial) and F
    // (file name), then runs it.
    int runWith(const std::string& body, const std::string& declarations = "") {
        const std::string text = "DESCRIPTION db\nBUFFER M [ 64 ]\nBUFFER S [ 32 ]\nBUFFER F [ 260 ]\nBUFFER Blob [ 128 ]\n"
                                 "WORD runs = 0\nWORD passes = 0\nWORD fails = 0\nWORD count = 0\nWORD result = 0\n"
                                 "DOUBLE pct = 0.0\n" + declarations + "Start:\n" + body + "\nEXIT 0\n";
        if (!load(text)) {
            ADD_FAILURE() << engine.TrailText();
            return -1;
        }
        setText("M", "TAPE0001");
        setText("S", "SN-42");
        setText("F", dbFile.string());
        return engine.Run();
    }
};

constexpr std::string_view kThreeRuns = "DBPASS M S\nDBPASS M S\nDBFAIL M S Blob\n";
constexpr std::string_view kQueries =
    "DBQUERYFOLDERRUNCOUNT M runs\nDBQUERYFOLDERPASSCOUNT M passes\nDBQUERYFOLDERFAILCOUNT M fails\n"
    "KDBQUERYFOLDERPERCENTAGE M pct\nDBQUERYFOLDERCOUNT count\nDBQUERYFOLDEREVENTRESULT M 2 result\n";

// An empty database file: the header only.
void writeEmptyDatabase(const fs::path& file) { writeFile(file, std::string("\x01\x00\x00\x00\x00\x00", 6)); }

TEST_F(DatabaseRunTest, CountsPercentageAndSaveOpenRoundTrip) {
    writeEmptyDatabase(dbFile);
    ASSERT_EQ(runWith("DBOPEN F\n" + std::string(kThreeRuns) + std::string(kQueries) + "DBSAVE"), 0) << engine.TrailText();
    EXPECT_EQ(var("runs").wordSlot, 3);
    EXPECT_EQ(var("passes").wordSlot, 2);
    EXPECT_EQ(var("fails").wordSlot, 1);
    EXPECT_NEAR(var("pct").doubleSlot, 66.667, 0.001);
    EXPECT_EQ(var("count").wordSlot, 1);
    EXPECT_EQ(var("result").wordSlot, 2);  // the newest event is the FAIL
    const std::string saved = readFile(dbFile);
    ASSERT_EQ(saved.size(), kDbHeaderSize + kDbFolderSize + 3 * kDbEventSize);
    EXPECT_EQ(saved.substr(0, 6), std::string("\x01\x00\x01\x00\x03\x00", 6));

    // A second engine opens the file and sees the same folder and events, oldest first.
    ASSERT_EQ(runWith("DBOPEN F\n" + std::string(kQueries) + "DBQUERYFOLDEREVENTRESULT M 0 passes\n"
                      "DBQUERYFOLDEREVENTDRIVESN M 1 S\nDBQUERYMEDIAID 0 M\nDBSAVE"),
              0)
        << engine.TrailText();
    EXPECT_EQ(var("runs").wordSlot, 3);
    EXPECT_EQ(var("fails").wordSlot, 1);
    EXPECT_EQ(var("result").wordSlot, 2);
    EXPECT_EQ(var("passes").wordSlot, 1);  // event 0 is a PASS
    EXPECT_EQ(text("S"), "SN-42");
    EXPECT_EQ(text("M"), "TAPE0001");
    EXPECT_EQ(readFile(dbFile), saved);  // saved again unchanged
}

TEST_F(DatabaseRunTest, ReportsListFoldersAndEvents) {
    ASSERT_EQ(runWith(std::string(kThreeRuns) + "DBPRINTMEDIAINFORMATIOM M F"), 0) << engine.TrailText();
    const std::string report = readFile(dbFile);
    EXPECT_EQ(report.rfind("MediaId: TAPE0001\nRuns / Passes / Fails: 3 / 2 / 1\n  PASS: ", 0), 0u) << report;
    EXPECT_NE(report.find("  FAIL: "), std::string::npos);
    EXPECT_NE(report.find("   SN-42\n"), std::string::npos);

    ASSERT_EQ(runWith(std::string(kThreeRuns) + "DBPRINTDATABASE F"), 0) << engine.TrailText();
    const std::string all = readFile(dbFile);
    const std::string stars(79, '*');
    EXPECT_EQ(all.rfind(stars + "\nMediaId: TAPE0001\n", 0), 0u);
    EXPECT_TRUE(all.ends_with(stars + "\n"));
}

TEST_F(DatabaseRunTest, RunTimeRefusals) {
    struct Case {
        std::string body;
        int32_t code;
    };
    const Case cases[] = {
        {"DBSAVE", err::DB_SAVE_ERROR},                                                       // no folders
        {std::string(kThreeRuns) + "DBQUERYFOLDEREVENTRESULT M 3 result", err::DB_QFER_RESULT_FETCH_ERROR},  // index = runs
        {"DBQUERYFOLDERRUNCOUNT M runs", err::DB_QFRC_FETCH_ERROR},                           // no such folder
        {std::string(kThreeRuns) + "DBDELETEFOLDER M\nDBQUERYFOLDERCOUNT count\nDBPRINTDATABASE F", err::DB_PDB_PRINT_ERROR},
        {std::string(kThreeRuns) + "DBCLOSE\nDBSAVE", err::DB_SAVE_ERROR},                     // nothing left to save
    };
    for (const Case& c : cases) {
        EXPECT_EQ(runWith(c.body), 1) << c.body;
        EXPECT_EQ(runError(), c.code) << c.body;
    }
}

TEST_F(DatabaseRunTest, PhaseTwoRefusesBadBuffers) {
    EXPECT_FALSE(load("DESCRIPTION db\nBUFFER M [ 64 ]\nBUFFER Big [ 129 ]\nStart:\nDBFAIL M M Big\nEXIT 0\n"));
    EXPECT_EQ(onlyCode(), err::DB_FAIL_BLOB_SIZE_ERROR);
    EXPECT_FALSE(load("DESCRIPTION db\nBUFFER M [ 64 ]\nBUFFER T [ 5 ]\nStart:\nDBQUERYFOLDEREVENTTIMESTAMP M 0 T\nEXIT 0\n"));
    EXPECT_EQ(onlyCode(), err::DB_QFETS_TIMESTAMP_BUFFER_TOO_SMALL_ERROR);
}

TEST_F(DatabaseRunTest, TimeStampQueryFillsSixBytes) {
    ASSERT_EQ(runWith("DBPASS M S\nDBQUERYFOLDEREVENTTIMESTAMP M 0 T", "BUFFER T [ 6 ]\n"), 0) << engine.TrailText();
    const auto t = bytes("T");
    EXPECT_LT(t[0], 24);
    EXPECT_LT(t[1], 60);
    EXPECT_GE(t[3], 1);
    EXPECT_LE(t[3], 12);
}

TEST_F(DatabaseRunTest, DamagedFileIsRefusedAndLeavesTheDatabaseEmpty) {
    writeEmptyDatabase(dbFile);
    ASSERT_EQ(runWith("DBOPEN F\n" + std::string(kThreeRuns) + "DBSAVE"), 0) << engine.TrailText();
    const std::string good = readFile(dbFile);
    std::string badCount = good;
    badCount[2] = 2;  // two folders announced, one there
    for (const std::string& bad : {good.substr(0, good.size() - 1), good.substr(0, 3), badCount, good + "x"}) {
        writeFile(dbFile, bad);
        EXPECT_EQ(runWith("DBOPEN F"), 1);
        EXPECT_EQ(runError(), err::DB_OPEN_LOAD_DB_ERROR);
    }
    ASSERT_TRUE(engine.state().runData);
    EXPECT_TRUE(engine.state().runData->database.folders().empty());
}

// The loader on damaged images, field by field.
TEST(ResultsDatabaseLoad, RefusesInconsistentImages) {
    ResultsDatabase db;
    DbTimeStamp now;
    now.seconds = 12;
    ASSERT_TRUE(db.addEvent("T1", "S", DbResult::Pass, {}, now));
    ASSERT_TRUE(db.addEvent("T1", "S", DbResult::Fail, std::vector<uint8_t>(128, 0xAB), now));
    const std::vector<uint8_t> good = db.serialize();
    ResultsDatabase back;
    ASSERT_EQ(back.load(good), DbLoadError::None);
    ASSERT_EQ(back.folders().size(), 1u);
    EXPECT_EQ(back.folders()[0].events[1].failureData[127], 0xAB);
    EXPECT_EQ(back.serialize(), good);

    struct Case {
        const char* what;
        size_t offset;
        uint8_t value;
        DbLoadError expected;
        size_t length = 1;  // bytes set to the value
    };
    const size_t folder = kDbHeaderSize;
    const Case cases[] = {
        {"version", 0, 2, DbLoadError::BadVersion},
        {"total events", 4, 3, DbLoadError::Inconsistent},
        {"runs not passes + fails", folder + 64, 0, DbLoadError::Inconsistent},
        {"media id without its zero", folder, 'x', DbLoadError::Inconsistent, kDbMediaIdField},
        {"serial without its zero", folder + kDbFolderSize + 144, 'x', DbLoadError::Inconsistent, kDbSerialField},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bad = good;
        std::fill_n(bad.begin() + static_cast<std::ptrdiff_t>(c.offset), c.length, c.value);
        EXPECT_EQ(back.load(bad), c.expected) << c.what;
        EXPECT_TRUE(back.folders().empty()) << c.what;
    }
    EXPECT_EQ(back.load(std::span(good).first(good.size() - 1)), DbLoadError::Truncated);
    std::vector<uint8_t> pastEnd = good;  // 200 runs announced, two there
    pastEnd[folder + 62] = 200;
    pastEnd[folder + 64] = 199;
    EXPECT_EQ(back.load(pastEnd), DbLoadError::Truncated);

    // Bytes after a text's zero are ignored, and not written back.
    std::vector<uint8_t> padded = good;
    padded[folder + 20] = ' ';
    ASSERT_EQ(back.load(padded), DbLoadError::None);
    EXPECT_EQ(back.folders()[0].mediaId, "T1");
    EXPECT_EQ(back.serialize(), good);
}

TEST(ResultsDatabaseLoad, AddEventLimits) {
    ResultsDatabase db;
    EXPECT_FALSE(db.addEvent(std::string(48, 'm'), "S", DbResult::Pass, {}, {}));  // would not fit its field
    EXPECT_TRUE(db.addEvent(std::string(47, 'm'), std::string(40, 's'), DbResult::Pass, {}, {}));
    EXPECT_EQ(db.folders()[0].events[0].driveSerial.size(), 31u);  // cut to its field
    EXPECT_EQ(ResultsDatabase::passPercentage(DbFolder{}), 0);
}

}  // namespace
}  // namespace vexal::script::testing
