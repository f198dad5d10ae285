// The session log file: names, header, line writes, durability, closing and renaming.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <array>
#include <functional>
#include <cstdio>
#include <thread>

#include <fmt/format.h>

#include "log/log_system.h"
#include "log/log_text.h"
#include "log_test_support.h"
#include "support/test_root.h"

namespace fs = std::filesystem;
using vexal::ui::Button;
using vexal::ui::FileDialog;
using vexal::ui::Icon;
using vexal::log::CLogSystem;
using vexal::testing::EnvGuard;
using vexal::testing::readFile;
using vexal::testing::RecordingOperator;
using vexal::testing::TempRoot;

namespace {

class LogFileTest : public ::testing::Test {
protected:
    LogFileTest() : log(op, vexal::testing::testSystem()) { log.setClock([] { return vexal::testing::kMorning; }); }

    fs::path logsFolder() const { return root.path() / "data/Korvane/Vexal/Logs"; }
    std::vector<fs::path> logFiles() const {
        std::vector<fs::path> out;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(logsFolder(), ec)) out.push_back(e.path());
        return out;
    }
    void openLog(std::string_view serial = "ABC123    ") {
        ASSERT_TRUE(log.Prepare(serial));
        ASSERT_TRUE(log.Open());
        ASSERT_TRUE(log.isOpen());
    }

    EnvGuard tz{"TZ", "UTC"};
    TempRoot root;
    RecordingOperator op;
    CLogSystem log;
};

TEST(LogFileNameTest, SerialNumberWithTrailingBlanksRemoved) {
    std::tm t{};
    t.tm_year = 104;
    t.tm_mon = 2;
    t.tm_mday = 14;
    t.tm_hour = 9;
    t.tm_min = 26;
    t.tm_sec = 53;
    const std::pair<std::string_view, const char*> cases[] = {
        {"ABC123    ", "Vexal_03-14-2004_092653_ABC123"},
        {"          ", "Vexal_03-14-2004_092653_"},  // the stored default: ten blanks
        {"", "Vexal_03-14-2004_092653_"},
        {"AB CD ", "Vexal_03-14-2004_092653_AB CD"},
        // A serial number comes from the device: it must not reach outside the folder.
        {"../x/y\x01", "Vexal_03-14-2004_092653_.._x_y_"},
    };
    for (const auto& [serial, expected] : cases) EXPECT_EQ(vexal::log::logBaseName(t, serial), expected) << serial;
}

TEST(LogTextTest, LineFeedsGetACarriageReturnOnce) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"", ""},
        {"plain", "plain"},
        {"\n", "\r\n"},
        {"a\nb", "a\r\nb"},
        {"a\r\nb", "a\r\nb"},
        {"\n\nend\n", "\r\n\r\nend\r\n"},
        {"\r\r\n", "\r\r\n"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(vexal::log::withCrLf(text), expected) << text;
}

TEST_F(LogFileTest, PrepareNamesTheFileWithoutCreatingIt) {
    ASSERT_TRUE(log.Prepare("ABC123    "));
    EXPECT_EQ(log.baseName(), "Vexal_03-14-2004_092653_ABC123");
    EXPECT_EQ(fs::path(log.folder()).lexically_normal(), (logsFolder() / "").lexically_normal());
    EXPECT_TRUE(logFiles().empty());
    EXPECT_FALSE(log.isOpen());
    EXPECT_FALSE(log.logEnabled());
    EXPECT_FALSE(log.logDisabled());

    ASSERT_TRUE(log.Prepare("          "));
    EXPECT_EQ(log.baseName(), "Vexal_03-14-2004_092653_");
}

TEST_F(LogFileTest, HeaderLinesWithCrLf) {
    openLog();
    EXPECT_TRUE(log.logEnabled());
    EXPECT_FALSE(log.logDisabled());
    EXPECT_EQ(log.filePath(), logsFolder() / "Vexal_03-14-2004_092653_ABC123.txt");
    EXPECT_EQ(readFile(log.filePath()),
              "Vexal Version [Vexal_Log_View (4.0.1 Build 8)] Log File\r\n"
              "Start Time: Sun Mar 14 09:26:53 AM 2004\r\n"
              "\r\n"
              "Computer Name: bench-07\r\n"
              "Operating System: Debian GNU/Linux 12 (bookworm)\r\n"
              "[SystemInfo] Debian GNU/Linux 12 (bookworm) Version 6.1 0-18-amd64 (Build 0)\r\n"
              "\r\n");
    EXPECT_TRUE(op.messages().empty());
}

TEST_F(LogFileTest, AfternoonTimesUsePm) {
    EXPECT_EQ(vexal::log::logTimeText(1079298307), "Sun Mar 14 09:05:07 PM 2004");
}

TEST_F(LogFileTest, WritesBeforeAnyOpenAreDropped) {
    log.Write(0, 0, "never written");
    ASSERT_TRUE(log.Prepare("ABC123"));
    log.Write(0, 2, "still not written");
    EXPECT_TRUE(logFiles().empty());
    EXPECT_TRUE(op.calls.empty());
}

TEST_F(LogFileTest, EveryLineIsOnDiskWhenWriteReturns) {
    openLog();
    const std::string header = readFile(log.filePath());
    std::string expected = header;
    const std::pair<int, std::string> lines[] = {
        {0, "[Vexal_Command_Sent: 12 00 00 00 24 00]"}, {2, " [Vexal_Check_Condition]"}, {1, "two\nparts"},
        {4, ""},                                        {5, "highest level"},
    };
    for (const auto& [level, text] : lines) {
        log.Write(level, level, text);
        expected += text == "two\nparts" ? "two\r\nparts\r\n" : text + "\r\n";
        // Read back while the file is still open: nothing may sit in a buffer.
        EXPECT_EQ(readFile(log.filePath()), expected) << text;
    }
}

TEST_F(LogFileTest, LevelsOutsideZeroToFiveAreDropped) {
    openLog();
    const std::string header = readFile(log.filePath());
    log.Write(0, 6, "level six");
    log.Write(0, -1, "level minus one");
    log.Write(0, 1000, "level thousand");
    EXPECT_EQ(readFile(log.filePath()), header);
    EXPECT_EQ(log.lastWriteError(), 0);
}

// A process killed outright keeps every line it had written.
TEST_F(LogFileTest, KilledProcessLosesNothingWritten) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        RecordingOperator childOp;
        CLogSystem childLog(childOp, vexal::testing::testSystem());
        if (!childLog.Prepare("KILLED") || !childLog.Open()) _exit(2);
        for (int i = 0; i < 500; ++i) childLog.Write(0, i % 6, "line " + std::to_string(i));
        const std::string path = childLog.filePath().string() + "\n";
        (void)!write(ready[1], path.data(), path.size());
        for (;;) pause();
    }
    close(ready[1]);
    std::string path;
    char c;
    while (read(ready[0], &c, 1) == 1 && c != '\n') path += c;
    close(ready[0]);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "child exited early: " << WEXITSTATUS(status);
    ASSERT_FALSE(path.empty());

    const std::string text = readFile(path);
    std::string expectedTail;
    for (int i = 0; i < 500; ++i) expectedTail += "line " + std::to_string(i) + "\r\n";
    ASSERT_GE(text.size(), expectedTail.size());
    EXPECT_EQ(text.substr(text.size() - expectedTail.size()), expectedTail);
    EXPECT_EQ(text.find("Stop Time"), std::string::npos);
}

TEST_F(LogFileTest, WritesFromManyThreadsAreWholeLines) {
    openLog();
    const std::string header = readFile(log.filePath());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) log.Write(t, 0, fmt::format("thread {} line {:04}", t, i));
        });
    for (auto& t : threads) t.join();
    std::istringstream body(readFile(log.filePath()).substr(header.size()));
    std::string line;
    std::array<int, 4> next{};
    while (std::getline(body, line)) {
        int t = -1, i = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "thread %d line %d\r", &t, &i), 2) << line;
        ASSERT_TRUE(t >= 0 && t < 4);
        EXPECT_EQ(i, next[t]++);
    }
    for (int n : next) EXPECT_EQ(n, 500);
}

struct CloseCase {
    const char* name;
    bool suppressDialogs;
    std::vector<Button> answers;
    std::vector<std::string> chosen;  // relative to the Logs folder; empty: dialog cancelled
    const char* expectedName;         // file name afterwards, in the Logs folder or as chosen
    bool readOnly;
};

TEST_F(LogFileTest, CloseWritesTrailerAndOffersRename) {
    const CloseCase cases[] = {
        {"no", false, {Button::No}, {}, "Vexal_03-14-2004_092653_ABC123.txt", true},
        {"yes, renamed", false, {Button::Yes}, {"renamed.txt"}, "renamed.txt", true},
        {"yes, no extension given", false, {Button::Yes}, {"drive7"}, "drive7.txt", true},
        {"yes, same name", false, {Button::Yes}, {"Vexal_03-14-2004_092653_ABC123.txt"},
         "Vexal_03-14-2004_092653_ABC123.txt", true},
        {"yes, cancelled", false, {Button::Yes}, {}, "Vexal_03-14-2004_092653_ABC123.txt", false},
        {"dialogs suppressed", true, {}, {}, "Vexal_03-14-2004_092653_ABC123.txt", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempRoot caseRoot;
        RecordingOperator caseOp;
        CLogSystem caseLog(caseOp, vexal::testing::testSystem());
        caseLog.setClock([] { return vexal::testing::kMorning; });
        ASSERT_TRUE(caseLog.Prepare("ABC123"));
        ASSERT_TRUE(caseLog.Open());
        const fs::path logs = caseRoot.path() / "data/Korvane/Vexal/Logs";
        const fs::path original = caseLog.filePath();
        caseLog.Write(0, 0, "last line");

        for (Button b : c.answers) caseOp.buttons.push_back(b);
        for (const auto& name : c.chosen) caseOp.texts.push_back((logs / name).string());
        caseLog.Close(c.suppressDialogs);

        EXPECT_FALSE(caseLog.isOpen());
        EXPECT_FALSE(caseLog.logEnabled());
        EXPECT_TRUE(caseLog.logDisabled());
        const fs::path now = logs / c.expectedName;
        EXPECT_EQ(caseLog.filePath(), now);
        ASSERT_TRUE(fs::exists(now));
        if (now != original) {
            EXPECT_FALSE(fs::exists(original));
        }
        EXPECT_EQ(vexal::testing::isReadOnly(now), c.readOnly);
        const std::string text = readFile(now);
        EXPECT_NE(text.find("last line\r\n\r\nStop Time: Sun Mar 14 09:26:53 AM 2004\r\n\r\n"), std::string::npos);
        EXPECT_TRUE(text.ends_with("\r\n\r\nStop Time: Sun Mar 14 09:26:53 AM 2004\r\n\r\n"));

        if (c.suppressDialogs) {
            EXPECT_TRUE(caseOp.calls.empty());
            continue;
        }
        ASSERT_FALSE(caseOp.calls.empty());
        EXPECT_EQ(caseOp.calls[0].text,
                  "Do you want to change the current name of the log file Vexal_03-14-2004_092653_ABC123.txt ?");
        EXPECT_EQ(caseOp.calls[0].icon, Icon::Question);
        if (c.answers[0] == Button::Yes) {
            ASSERT_EQ(caseOp.fileRequests.size(), 1u);
            EXPECT_EQ(caseOp.fileRequests[0].kind, FileDialog::Save);
            EXPECT_EQ(caseOp.fileRequests[0].caption, "Save As");
            EXPECT_EQ(caseOp.fileRequests[0].filter, "Log Files (*.txt)|*.txt|");
            EXPECT_EQ(fs::path(caseOp.fileRequests[0].proposed), logs / "Vexal_03-14-2004_092653_ABC123");
        } else {
            EXPECT_TRUE(caseOp.fileRequests.empty());
        }
        EXPECT_EQ(caseOp.messages().size(), 1u);
    }
}

TEST_F(LogFileTest, RenameReplacesAnExistingFile) {
    openLog();
    vexal::testing::writeFile(logsFolder() / "keep.txt", "old contents");
    op.buttons.push_back(Button::Yes);
    op.texts.push_back((logsFolder() / "keep.txt").string());
    log.Close(false);
    EXPECT_NE(readFile(logsFolder() / "keep.txt").find("Stop Time"), std::string::npos);
    EXPECT_EQ(logFiles().size(), 1u);
}

TEST_F(LogFileTest, RenameFailureNamesTheCause) {
    vexal::testing::writeFile(root.path() / "plain", "x");
    const std::pair<fs::path, const char*> cases[] = {
        {root.path() / "missing/dir/name.txt", "\nThe file was not found."},
        {root.path() / "plain/name.txt", "\nAll or part of the path is invalid."},
    };
    int n = 0;
    for (const auto& [target, cause] : cases) {
        RecordingOperator caseOp;
        CLogSystem caseLog(caseOp, vexal::testing::testSystem());
        ASSERT_TRUE(caseLog.Prepare("R" + std::to_string(++n)));
        ASSERT_TRUE(caseLog.Open());
        const fs::path original = caseLog.filePath();
        caseOp.buttons.push_back(Button::Yes);
        caseOp.texts.push_back(target.string());
        caseLog.Close(false);
        const auto messages = caseOp.messages();
        ASSERT_EQ(messages.size(), 2u);
        EXPECT_EQ(messages[1], "Error renaming: " + original.string() + cause);
        EXPECT_EQ(caseOp.captions[1], "Vexal Error");
        EXPECT_TRUE(fs::exists(original));
        EXPECT_EQ(caseLog.filePath(), original);
        EXPECT_TRUE(caseLog.logDisabled());
    }
}

TEST_F(LogFileTest, EachOpenStartsANewFile) {
    openLog();
    log.Write(0, 0, "first session");
    log.Close(true);
    const fs::path first = log.filePath();
    log.setClock([] { return vexal::testing::kMorning + 61; });
    openLog();
    EXPECT_NE(log.filePath(), first);
    EXPECT_EQ(readFile(log.filePath()).find("first session"), std::string::npos);
    EXPECT_NE(readFile(first).find("first session"), std::string::npos);
}

TEST_F(LogFileTest, TwoSessionsInOneSecondKeepBothFiles) {
    openLog();
    log.Write(0, 0, "first session");
    log.Close(true);
    const fs::path first = log.filePath();
    openLog();  // the same second: the same base name
    log.Write(0, 0, "second session");
    log.Close(true);
    EXPECT_EQ(first.filename(), "Vexal_03-14-2004_092653_ABC123.txt");
    EXPECT_EQ(log.filePath().filename(), "Vexal_03-14-2004_092653_ABC123-2.txt");
    EXPECT_NE(readFile(first).find("first session"), std::string::npos);
    EXPECT_EQ(readFile(first).find("second session"), std::string::npos);
    EXPECT_NE(readFile(log.filePath()).find("second session"), std::string::npos);
    openLog();
    EXPECT_EQ(log.filePath().filename(), "Vexal_03-14-2004_092653_ABC123-3.txt");
    EXPECT_EQ(logFiles().size(), 3u);
}

TEST_F(LogFileTest, AnExistingNameIsSkippedAndLeftAsItWas) {
    struct Case {
        const char* name;
        std::function<void(const fs::path& taken, std::vector<int>& held)> arrange;
    };
    const Case cases[] = {
        {"a closed log", [](const fs::path& taken, std::vector<int>&) {
             vexal::testing::writeFile(taken, "someone else's lines\n");
             fs::permissions(taken, fs::perms::owner_read);
         }},
        {"a file another writer holds", [](const fs::path& taken, std::vector<int>& held) {
             vexal::testing::writeFile(taken, "someone else's lines\n");
             const int fd = ::open(taken.c_str(), O_RDWR | O_CLOEXEC);
             if (fd >= 0 && ::flock(fd, LOCK_EX) == 0) held.push_back(fd);
         }},
        {"a folder", [](const fs::path& taken, std::vector<int>&) { fs::create_directories(taken / "inside"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& f : logFiles()) fs::remove_all(f);
        ASSERT_TRUE(log.Prepare("ABC123"));
        fs::create_directories(logsFolder());
        const fs::path taken = logsFolder() / (log.baseName() + ".txt");
        std::vector<int> held;
        c.arrange(taken, held);
        ASSERT_TRUE(log.Open());
        log.Write(0, 0, "this session");
        EXPECT_EQ(log.filePath(), logsFolder() / (log.baseName() + "-2.txt"));
        EXPECT_NE(readFile(log.filePath()).find("this session"), std::string::npos);
        if (fs::is_regular_file(taken)) EXPECT_EQ(readFile(taken), "someone else's lines\n");
        else EXPECT_TRUE(fs::exists(taken / "inside"));
        log.Close(true);
        for (int fd : held) ::close(fd);
    }
}

TEST_F(LogFileTest, EnableAndDisableFromTheMenus) {
    ASSERT_TRUE(log.Enable("ABC123"));
    EXPECT_TRUE(log.isOpen());
    EXPECT_TRUE(log.logEnabled());
    EXPECT_FALSE(log.logDisabled());
    ASSERT_FALSE(op.calls.empty());
    EXPECT_EQ(op.calls[0].kind, "progressBegin");
    EXPECT_EQ(op.calls[0].text, "Enabling logging system...");
    EXPECT_EQ(op.pacedMs, 2000);

    op.calls.clear();
    op.buttons.push_back(Button::No);
    EXPECT_FALSE(log.Disable());
    EXPECT_TRUE(log.isOpen());
    EXPECT_EQ(op.calls.at(0).text, "Are you sure you want to close the log file?");

    op.buttons = {Button::Yes, Button::No};
    EXPECT_TRUE(log.Disable());
    EXPECT_FALSE(log.isOpen());
    EXPECT_FALSE(log.logEnabled());
    EXPECT_TRUE(log.logDisabled());
    EXPECT_TRUE(vexal::testing::isReadOnly(log.filePath()));
    log.Write(0, 0, "after close");
    EXPECT_EQ(readFile(log.filePath()).find("after close"), std::string::npos);
}

TEST_F(LogFileTest, DestructorClosesAnOpenLogQuietly) {
    fs::path path;
    {
        RecordingOperator scopedOp;
        CLogSystem scoped(scopedOp, vexal::testing::testSystem());
        ASSERT_TRUE(scoped.Prepare("DTOR"));
        ASSERT_TRUE(scoped.Open());
        path = scoped.filePath();
        scoped.Write(0, 0, "line");
        scopedOp.calls.clear();
    }
    EXPECT_TRUE(readFile(path).ends_with("\r\n\r\n"));
    EXPECT_NE(readFile(path).find("Stop Time: "), std::string::npos);
    EXPECT_TRUE(vexal::testing::isReadOnly(path));
}

}  // namespace
