// The document's line list: header line, drawing window, clearing, saving and opening,
// and appends from several threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "log/document_output.h"
#include "log/line_list.h"
#include "log_test_support.h"
#include "support/test_root.h"

namespace fs = std::filesystem;
using vexal::log::LineList;
using vexal::testing::readFile;
using vexal::testing::TempRoot;

namespace {

constexpr const char* kHeader = "[Vexal_Log_View (4.0.1 Build 8)]";

TEST(LineListTest, StartsWithTheHeaderLine) {
    LineList list;
    EXPECT_EQ(list.snapshot(), std::vector<std::string>{kHeader});
}

TEST(LineListTest, DrawingWindowIsTheLastTenThousandLines) {
    const std::pair<size_t, size_t> cases[] = {{0, 0}, {1, 0}, {10000, 0}, {10001, 1}, {1000000, 990000}};
    for (const auto& [count, first] : cases) EXPECT_EQ(vexal::log::firstDrawnLine(count), first) << count;

    LineList list;
    for (int i = 1; i <= 10000; ++i) list.append("line " + std::to_string(i));
    ASSERT_EQ(list.size(), 10001u);
    const auto drawn = list.drawnLines();
    ASSERT_EQ(drawn.size(), 10000u);
    EXPECT_EQ(drawn.front(), "line 1");  // the header is no longer drawn
    EXPECT_EQ(drawn.back(), "line 10000");
}

TEST(LineListTest, RangesAreClipped) {
    LineList list;
    list.append("a");
    list.append("longest line");
    EXPECT_EQ(list.range(1, 10), (std::vector<std::string>{"a", "longest line"}));
    EXPECT_TRUE(list.range(3, 1).empty());
    EXPECT_EQ(list.range(0, 1), std::vector<std::string>{kHeader});
    EXPECT_EQ(list.longestLine(1), 12u);
    EXPECT_EQ(list.longestLine(0), std::string(kHeader).size());
}

TEST(LineListTest, ClearViewLeavesTheHeaderAndCountsChanges) {
    LineList list;
    int calls = 0;
    list.setChangeCallback([&] { ++calls; });
    const auto before = list.changeCount();
    list.append("one");
    list.append("two");
    list.clearView();
    EXPECT_EQ(list.snapshot(), std::vector<std::string>{kHeader});
    EXPECT_EQ(list.changeCount(), before + 3);
    EXPECT_EQ(calls, 3);
}

TEST(LineListTest, SaveAndOpenRoundTripWithCrLf) {
    TempRoot root;
    const fs::path file = root.path() / "view.txt";
    LineList list;
    const std::vector<std::string> lines = {"[Vexal_Script_Message: keeps its prefix", "", "  trailing blanks  ",
                                            "\ttab"};
    for (const auto& l : lines) list.append(l);
    std::string error;
    ASSERT_TRUE(list.save(file, error)) << error;
    std::string expected = std::string(kHeader) + "\r\n";
    for (const auto& l : lines) expected += l + "\r\n";
    EXPECT_EQ(readFile(file), expected);
    EXPECT_EQ(std::distance(fs::directory_iterator(root.path()), fs::directory_iterator()), 1);  // no temp left

    LineList opened;
    opened.append("to be replaced");
    ASSERT_TRUE(opened.open(file, error)) << error;
    EXPECT_EQ(opened.snapshot(), list.snapshot());
}

TEST(LineListTest, OpenAcceptsLfAndAMissingFinalLineEnd) {
    TempRoot root;
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"a\nb\n", {"a", "b"}},
        {"a\r\nb", {"a", "b"}},
        {"a\n\nb\r\n\r\n", {"a", "", "b", ""}},
        {"only\r", {"only"}},
        {"", {}},
    };
    for (const auto& [text, expected] : cases) {
        const fs::path file = root.path() / "in.txt";
        vexal::testing::writeFile(file, text);
        LineList list;
        std::string error;
        ASSERT_TRUE(list.open(file, error)) << error;
        EXPECT_EQ(list.snapshot(), expected) << text;
    }
}

TEST(LineListTest, OpenAfterEmptyFileThenClearViewKeepsItEmpty) {
    TempRoot root;
    vexal::testing::writeFile(root.path() / "empty.txt", "");
    LineList list;
    std::string error;
    ASSERT_TRUE(list.open(root.path() / "empty.txt", error));
    list.clearView();
    EXPECT_EQ(list.size(), 0u);
}

TEST(LineListTest, FailuresLeaveListAndFileAlone) {
    TempRoot root;
    LineList list;
    list.append("kept");
    const auto before = list.snapshot();
    std::string error;
    for (const fs::path& bad : {root.path() / "missing.txt", root.path()}) {
        error.clear();
        EXPECT_FALSE(list.open(bad, error)) << bad;
        EXPECT_NE(error.find(bad.string()), std::string::npos) << error;
        EXPECT_EQ(list.snapshot(), before);
    }

    error.clear();
    EXPECT_FALSE(list.save(root.path() / "no/such/folder/view.txt", error));
    EXPECT_FALSE(error.empty());

    // A failed save does not touch the file that was there.
    const fs::path existing = root.path() / "existing.txt";
    vexal::testing::writeFile(existing, "old");
    vexal::testing::writeFile(root.path() / "plain", "x");
    EXPECT_FALSE(list.save(root.path() / "plain/view.txt", error));
    EXPECT_EQ(readFile(existing), "old");
}

TEST(LineListTest, ConcurrentAppendsLoseNothing) {
    LineList list;
    constexpr int kThreads = 8, kLines = 5000;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done) {
            const auto drawn = list.drawnLines();
            ASSERT_LE(drawn.size(), vexal::log::kMaxDrawnLines);
            (void)list.longestLine(vexal::log::firstDrawnLine(list.size()));
        }
    });
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t)
        writers.emplace_back([&, t] {
            for (int i = 0; i < kLines; ++i) list.append(std::to_string(t) + ":" + std::to_string(i));
        });
    for (auto& w : writers) w.join();
    done = true;
    reader.join();

    const auto lines = list.snapshot();
    ASSERT_EQ(lines.size(), 1u + kThreads * kLines);
    std::vector<int> next(kThreads, 0);
    for (size_t i = 1; i < lines.size(); ++i) {
        const auto colon = lines[i].find(':');
        const int t = std::stoi(lines[i].substr(0, colon));
        EXPECT_EQ(std::stoi(lines[i].substr(colon + 1)), next[t]++);
    }
}

TEST(DocumentOutputTest, ViewLinesAndLogLines) {
    TempRoot root;
    vexal::testing::RecordingOperator op;
    vexal::log::CLogSystem log(op, vexal::testing::testSystem());
    ASSERT_TRUE(log.Prepare("DOC"));
    ASSERT_TRUE(log.Open());
    const std::string header = readFile(log.filePath());
    LineList list;
    bool engineering = false;
    vexal::log::DocumentOutput output(list, log, [&] { return engineering; });

    output.addToView("view only");
    output.writeLog(2, "log only");
    output.writeLog(6, "level six is dropped");
    output.engineering(0, "engineering line, customer mode");
    engineering = true;
    EXPECT_TRUE(output.engineeringMode());
    output.engineering(0, "engineering line");

    EXPECT_EQ(list.snapshot(), (std::vector<std::string>{kHeader, "view only", "engineering line"}));
    EXPECT_EQ(readFile(log.filePath()), header + "log only\r\nengineering line\r\n");
}

}  // namespace
