// The canned tests on the virtual drive, run as command codes through the document: frames,
// summaries, EOM runs, abort in a WRITE step, Test 3's repeatable targets, the step check
// with its backup log and debug trace, and the compare error dump.
#include "diag/canned_tests.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "document/falder_doc.h"
#include "device/device_library.h"
#include "device/virtual/virtual_transport.h"
#include "diag/side_files.h"
#include "support/fake_operator.h"
#include "support/test_root.h"

using namespace vexal::command;
using namespace vexal::document;
using namespace std::chrono_literals;

namespace {

// Sets abort requested at the `at`-th progress position after the progress text `arm`.
class AbortingOperator : public vexal::testing::FakeOperator {
public:
    std::atomic<int>* abort = nullptr;
    std::string arm;
    int at = 0;
    void progressSetText(std::string_view text) override {
        FakeOperator::progressSetText(text);
        if (text == arm) armed_ = true;
    }
    void progressSetPosition(int) override {
        if (armed_ && ++seen_ == at && abort) *abort = 1;
    }

private:
    bool armed_ = false;
    int seen_ = 0;
};

class CannedTestsTest : public ::testing::Test {
protected:
    void start(const std::string& profile = "", bool engineering = true) {
        std::string path;
        if (!profile.empty()) {
            path = (root.path() / "profile.ini").string();
            std::ofstream(path) << profile;
        }
        std::string error;
        auto transport = vexal::device::makeVirtualTransport(path, error);
        ASSERT_TRUE(transport) << error;
        vexal::device::DevSetTransport(transport);
        ASSERT_EQ(vexal::device::DevEnumerate(), 0);
        engineering_ = engineering;
        doc = std::make_unique<CFalderDoc>(op, log, [this] { return engineering_; });
        ASSERT_TRUE(doc->device().Select(0));
        op.abort = &doc->abortRequested;
    }
    void TearDown() override {
        doc.reset();
        vexal::device::DevFreeList();
        vexal::device::DevSetTransport(nullptr);
    }
    // Runs a test on the worker thread, as the menu does, and waits for the end.
    ScsiResult runTest(int testCode, const std::function<void(CommandRequest&)>& setUp = {}) {
        CommandRequest r;
        r.code = testCode;
        r.blockSize = 512;
        r.transferLength = 4096;
        r.count = 10;
        r.repeatCount = 2;
        r.compare = true;
        r.minBlockSize = 4;
        r.maxBlockSize = 64;
        r.blockIncrement = 4;
        if (setUp) setUp(r);
        doc->request() = r;
        doc->StartCommand();
        for (int i = 0; i < 60000 && (doc->idle.load() == 0 || doc->request().code != code::None); ++i)
            std::this_thread::sleep_for(1ms);
        EXPECT_EQ(doc->idle.load(), 1);
        return doc->lastResult;
    }
    std::vector<std::string> lines() { return doc->lines().snapshot(); }
    size_t count(const std::regex& re) {
        size_t n = 0;
        for (const auto& l : lines()) n += std::regex_search(l, re);
        return n;
    }
    // The lines from the first that is `first` on, as many as `expected` has.
    void expectBlock(std::string_view first, const std::vector<std::string>& expected) {
        const auto all = lines();
        const auto it = std::find(all.begin(), all.end(), first);
        ASSERT_NE(it, all.end()) << first;
        const std::vector<std::string> got(it, std::min(all.end(), it + static_cast<long>(expected.size())));
        EXPECT_EQ(got, expected);
    }

    vexal::testing::TempRoot root;
    AbortingOperator op;
    vexal::log::CLogSystem log{op, {}};
    bool engineering_ = true;
    std::unique_ptr<CFalderDoc> doc;
};

TEST_F(CannedTestsTest, WriteReadTestPassesWithItsFrameAndSummary) {
    start();
    EXPECT_EQ(runTest(code::WriteReadTest), 0);
    expectBlock("[Write/Read Canned Test -- Initiating.]", {"[Write/Read Canned Test -- Initiating.]"});
    EXPECT_EQ(count(std::regex(R"(^\[Write/Read Canned Test -- [12] / 2\]$)")), 2u);
    expectBlock("[Write/Read Canned Test -- Summary]",
                {"[Write/Read Canned Test -- Summary]", "  Requested Test Repeat Count: 2",
                 "  Completed Test Repeat Count: 2", "", "[Write/Read Canned Test -- Complete]"});
    EXPECT_EQ(count(std::regex("^  Completed Consecutive Command Count: 10$")), 4u);
    // The steps' WRITE and READ commands write no RAW_CDB line; no compare error.
    EXPECT_EQ(count(std::regex("RAW_CDB: 0[8A] ")), 0u);
    EXPECT_EQ(count(std::regex("Compare_Error")), 0u);
    EXPECT_EQ(doc->counter.load(), 0);
    const std::vector<std::string> expectedProgress{"progressBegin", "progressSetText", "progressSetText",
                                                    "progressEnd"};
    std::vector<std::string> progress;
    for (const auto& c : op.calls)
        if (c.kind.rfind("progress", 0) == 0) progress.push_back(c.kind);
    EXPECT_EQ(progress, expectedProgress);
}

TEST_F(CannedTestsTest, WriteReadToEndOfMediumSaysEomAndFillsTheTape) {
    start("[target 0]\ncapacity_mib = 4\n");
    EXPECT_EQ(runTest(code::WriteReadTest, [](CommandRequest& r) {
                  r.count = 0;
                  r.repeatCount = 1;
                  r.transferLength = 65536;
              }),
              0);
    expectBlock("[Write/Read Canned Test -- Summary]",
                {"[Write/Read Canned Test -- Summary]", "  Requested Test Repeat Count: EOM",
                 "  Completed Test Repeat Count: 1"});
    EXPECT_EQ(count(std::regex("^  Requested Consecutive Command Count: EOM$")), 2u);
    // Writing stops at the first block written with early warning (2 MiB before the end
    // of the 4 MiB cartridge), which counts as written; reading reads every block written,
    // that one too, then meets end of data.
    const std::regex completed(R"(^  Completed Consecutive Command Count: (\d+)$)");
    std::vector<int> counts;
    for (const auto& l : lines()) {
        std::smatch m;
        if (std::regex_match(l, m, completed)) counts.push_back(std::stoi(m[1]));
    }
    ASSERT_EQ(counts.size(), 2u);
    EXPECT_GE(counts[0], 30);
    EXPECT_EQ(counts[1], counts[0]);  // the block written with early warning is counted and read
}

TEST_F(CannedTestsTest, AbortDuringAWriteStepEndsThePassesWithTheSummaryOfThoseDone) {
    start();
    op.arm = "[Write/Read Canned Test -- 2 / 3]";
    op.at = 4;
    EXPECT_NE(runTest(code::WriteReadTest, [](CommandRequest& r) { r.repeatCount = 3; }), 0);
    EXPECT_EQ(count(std::regex("^  Completed Consecutive Command Count: 4$")), 1u);
    EXPECT_EQ(count(std::regex(R"(^\[Write/Read Canned Test -- 3 / 3\]$)")), 0u);
    expectBlock("[Write/Read Canned Test -- Summary]",
                {"[Write/Read Canned Test -- Summary]", "  Requested Test Repeat Count: 3",
                 "  Completed Test Repeat Count: 1", "", "[Write/Read Canned Test -- Complete]"});
}

TEST_F(CannedTestsTest, EveryNumberedTestPassesWithItsFrame) {
    start();
    const struct {
        int code;
        const char* begin;
        const char* summary;
        const char* end;
    } tests[] = {
        {code::CannedTest1, "[FLDR_TEST1_BEGIN Initiating Test 1 - Data Reliability Test]", "[FLDR_TEST1_SUMMARY]",
         "[FLDR_TEST1_END Completing Test 1 - Data Reliability Test]"},
        {code::CannedTest2, "[FLDR_TEST2_BEGIN Initiating Test 2 - Append Test]", "[FLDR_TEST2_SUMMARY]",
         "[FLDR_TEST2_END Completing Test 2 - Append Test]"},
        {code::CannedTest3, "[FLDR_TEST3_BEGIN Initiating Test 3 - Locate Test]", "[FLDR_TEST3_SUMMARY]",
         "[FLDR_TEST3_END Completing Test 3 - Locate Test]"},
        {code::CannedTest4, "[FLDR_TEST4_BEGIN Initiating Test 4 - Variable Block Test]", nullptr,
         "[FLDR_TEST4_END Completing Test 4 - Variable Block Test]"},
    };
    for (bool fixed : {false, true}) {
        for (const auto& t : tests) {
            SCOPED_TRACE(t.begin);
            doc->lines().clearView();
            EXPECT_EQ(runTest(t.code, [fixed](CommandRequest& r) {
                          r.fixed = fixed;
                          if (fixed) r.transferLength = 8;
                      }),
                      0);
            EXPECT_EQ(count(std::regex(std::regex_replace(t.begin, std::regex(R"([\[\]])"), R"(\$&)"))), 1u);
            if (t.summary)
                expectBlock(t.summary, {t.summary, "  Requested Test Repeat Count: 2",
                                        "  Completed Test Repeat Count: 2", "", t.end});
            else
                EXPECT_EQ(count(std::regex("SUMMARY|Repeat Count")), 0u);
            EXPECT_EQ(lines().back(), t.end);
            EXPECT_EQ(count(std::regex("Compare_Error|INTR_ERROR|Write error|Read error")), 0u);
        }
    }
    // Every check wrote the backup log of the whole line list.
    const auto backup = vexal::diag::workFolder() / "BackupLogH0D0.txt";
    ASSERT_TRUE(std::filesystem::exists(backup));
    std::ifstream in(backup);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "[Vexal_Log_View (4.0.1 Build 8)]\r");
}

TEST_F(CannedTestsTest, Test3LocatesTheSameTargetsForTheSameRepeatCount) {
    start();
    const auto targets = [this](long repeat) {
        doc->lines().clearView();
        EXPECT_EQ(runTest(code::CannedTest3, [repeat](CommandRequest& r) {
                      r.repeatCount = repeat;
                      r.count = 200;
                      r.transferLength = 1024;
                  }),
                  0);
        std::vector<std::string> found;
        for (const auto& l : lines())
            if (l.rfind("  Block Number: ", 0) == 0) found.push_back(l);
        EXPECT_EQ(found.size(), static_cast<size_t>(repeat));
        return found;
    };
    const auto first = targets(5);
    EXPECT_EQ(targets(5), first);
    EXPECT_NE(targets(6), std::vector<std::string>(first.begin(), first.end()));
}

TEST_F(CannedTestsTest, LocateTargetFollowsTheDrawAndStaysOnTheTape) {
    using vexal::diag::LocateTarget;
    EXPECT_EQ(LocateTarget(500, 100), 0u);       // r > N: r mod N
    EXPECT_EQ(LocateTarget(501, 100), 1u);
    EXPECT_EQ(LocateTarget(100, 100), 0u);       // r <= N: r x N / 0x7FFF
    EXPECT_EQ(LocateTarget(0x7FFF, 0x7FFF), 0x7FFEu);
    EXPECT_EQ(LocateTarget(20000, 40000), 24414u);
    EXPECT_EQ(LocateTarget(5, 0), 0u);
}

TEST_F(CannedTestsTest, AHardErrorStopsANumberedTestWithADebugTrace) {
    start("[target 0]\nmedium_error_at = 5\n");
    EXPECT_NE(runTest(code::CannedTest1), 0);
    expectBlock("[FLDR_TEST1_SUMMARY]",
                {"[FLDR_TEST1_SUMMARY]", "  Requested Test Repeat Count: 2", "  Completed Test Repeat Count: 0"});
    EXPECT_EQ(count(std::regex("^  Completed Consecutive Command Count: 5$")), 1u);
    std::vector<std::string> traces;
    for (const auto& e : std::filesystem::directory_iterator(vexal::diag::workFolder()))
        if (std::regex_match(e.path().filename().string(), std::regex(R"(\d\d-\d\dDebugLogH0D0P1\.hex)")))
            traces.push_back(e.path().string());
    ASSERT_EQ(traces.size(), 1u);
    EXPECT_EQ(std::filesystem::file_size(traces[0]), 769u * 57u);
    const auto messages = op.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "A debug trace log has been created named: " + traces[0]);
}

TEST_F(CannedTestsTest, NoCartridgeEndsEachTestWithItsNotReadyLine) {
    start("[target 0]\ncartridge = no\n");
    EXPECT_NE(runTest(code::WriteReadTest), 0);
    EXPECT_EQ(lines().back(), "[Write/Read Canned Test -- Drive not ready or no tape in drive.]");
    EXPECT_NE(runTest(code::CannedTest2), 0);
    EXPECT_EQ(lines().back(), "[FLDR_TEST_ABORT: Drive not ready or no tape in drive, test aborted.]");
}

TEST_F(CannedTestsTest, Test4WritesEverySizeAndReadsEachBack) {
    start();
    EXPECT_EQ(runTest(code::CannedTest4, [](CommandRequest& r) {
                  r.minBlockSize = 10;
                  r.maxBlockSize = 20;
                  r.blockIncrement = 4;  // 10, 14, 18
              }),
              0);
    expectBlock(" Write", {" Write", "  Block Type:  Variable", "  Minimum Block Size: 10",
                           "  Maximum Block Size: 20", "  Block Size Increment: 4",
                           "  Completed Consecutive Command Count: 3"});
    EXPECT_EQ(count(std::regex("^  Block Size: (10|14|18)$")), 3u);
    EXPECT_EQ(count(std::regex("^  Block Number: [0-2] ")), 3u);
}

TEST_F(CannedTestsTest, ACompareErrorDumps32BytesFromTheDifference) {
    start();
    auto& d = doc->device();
    CommandRequest w;
    w.transferLength = 64;
    w.dataPattern = pattern::Zeros;
    ASSERT_EQ(d.Rewind(), 0);
    ASSERT_EQ(d.Write(w, doc->counter, doc->abortRequested), 0);
    ASSERT_EQ(d.Rewind(), 0);
    CommandRequest r = w;
    r.dataPattern = pattern::IncrementalByte;
    r.compare = true;
    r.compareDumpBytes = 32;
    d.Read(r, doc->counter, doc->abortRequested);
    expectBlock(" [Vexal_Compare_Error: Data Miscompare at offset 1]",
                {" [Vexal_Compare_Error: Data Miscompare at offset 1]", "   Device Data Buffer[1]:", " RAW_DATA: 32",
                 "  000000: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00   ................",
                 "  000010: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00   ................",
                 "   Compare Data Buffer[1]:", " RAW_DATA: 32",
                 "  000000: 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10   ................",
                 "  000010: 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F 20   ............... ",
                 "  [Vexal_ERROR: Compare error]"});
    EXPECT_EQ(d.compareErrors, 1);
}

}  // namespace
