// What the operator is told when the log file cannot be made or written, and that a
// full disk or a file size limit never takes the program down.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>
#include <fcntl.h>

#include "log/file_errors.h"
#include "log/log_system.h"
#include "log_test_support.h"
#include "support/test_root.h"

namespace fs = std::filesystem;
using vexal::ui::Icon;
using vexal::log::CLogSystem;
using vexal::log::InstallPathLookup;
using vexal::log::InstallPathStatus;
using vexal::testing::RecordingOperator;
using vexal::testing::TempRoot;

namespace {

constexpr const char* kCouldNot = "Couldn't intialize log system.\n\nLogging for this session will be disabled!";

TEST(FileErrorsTest, OpenMessagesByErrno) {
    const std::pair<int, const char*> cases[] = {
        {0, "Cannot initialize log system. No error occurred."},
        {EXDEV, "Cannot initialize log system.\n\nAn unspecified error occurred."},
        {ENOENT, "Cannot initialize log system.\n\nThe file could not be located: /p/f.txt"},
        {ENOTDIR, "Cannot initialize log system.\n\nAll or part of the path is invalid: /p/f.txt"},
        {ENAMETOOLONG, "Cannot initialize log system.\n\nAll or part of the path is invalid: /p/f.txt"},
        {EINVAL, "Cannot initialize log system.\n\nAll or part of the path is invalid: /p/f.txt"},
        {EACCES, "Cannot initialize log system.\n\nThe file could not be accessed: /p/f.txt"},
        {EPERM, "Cannot initialize log system.\n\nThe file could not be accessed: /p/f.txt"},
        {EROFS, "Cannot initialize log system.\n\nThe file could not be accessed: /p/f.txt"},
        {EBADF, "Cannot initialize log system.\n\nThere was an attempt to use an invalid file handle: /p/f.txt"},
        {ESPIPE, "Cannot initialize log system.\n\nThere was an error trying to set the file pointer."},
        {EIO, "Cannot initialize log system.\n\nThere was a hardware error."},
        {EWOULDBLOCK, "Cannot initialize log system.\n\nSHARE.EXE was not loaded, or a shared region was locked."},
        {EDEADLK, "Cannot initialize log system.\n\nThere was an attempt to lock a region that was already locked."},
        {ENOSPC, "Cannot initialize log system.\n\nThe disk is full."},
        {EDQUOT, "Cannot initialize log system.\n\nThe disk is full."},
        {EFBIG, "Cannot initialize log system.\n\nThe disk is full."},
        {EMFILE, nullptr},  // too many open files: no message
        {ENFILE, nullptr},
    };
    for (const auto& [error, expected] : cases) {
        const auto message = vexal::log::openFailureMessage(vexal::platform::causeFromErrno(error), "/p/f.txt");
        if (expected) EXPECT_EQ(message, expected) << error;
        else EXPECT_FALSE(message) << error;
    }
    for (auto cause : {vexal::platform::FileCause::DirectoryFull, vexal::platform::FileCause::EndOfFile,
                       vexal::platform::FileCause::RemoveCurrentDir})
        EXPECT_FALSE(vexal::log::openFailureMessage(cause, "x"));
}

TEST(FileErrorsTest, RenameCauseTexts) {
    using vexal::platform::FileCause;
    const std::pair<FileCause, const char*> cases[] = {
        {FileCause::None, "\nNo error occurred."},
        {FileCause::FileNotFound, "\nThe file was not found."},
        {FileCause::AccessDenied, "\nThe file could not be accessed."},
        {FileCause::DiskFull, "\nThe disk is full."},
        {FileCause::TooManyOpenFiles, "\nAn unspecified error occurred."},
    };
    for (const auto& [cause, expected] : cases) EXPECT_EQ(vexal::log::renameCauseText(cause), expected);
}

struct OpenFailureCase {
    const char* name;
    // Arranges the failure in `root`; returns the install folder the log system is given.
    std::function<fs::path(const fs::path& root, const std::string& fileName, std::vector<int>& held)> arrange;
    const char* message;  // followed by the file path when it ends in ": "
};

TEST(LogOpenFailureTest, CauseThenDisabledMessage) {
    const OpenFailureCase cases[] = {
        {"Logs folder missing",
         [](const fs::path& root, const std::string&, std::vector<int>&) { return root / "install/"; },
         "Cannot initialize log system.\n\nThe file could not be located: "},
        {"install folder is a file",
         [](const fs::path& root, const std::string&, std::vector<int>&) {
             vexal::testing::writeFile(root / "install", "x");
             return root / "install/";
         },
         "Cannot initialize log system.\n\nAll or part of the path is invalid: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempRoot root;
        fs::path install;
        RecordingOperator op;
        CLogSystem log(op, vexal::testing::testSystem(), [&] { return InstallPathLookup{InstallPathStatus::Ok, install}; });
        log.setClock([] { return vexal::testing::kMorning; });
        install = root.path() / "unused/";
        ASSERT_TRUE(log.Prepare("ERR"));
        std::vector<int> held;
        install = c.arrange(root.path(), log.baseName() + ".txt", held);
        ASSERT_TRUE(log.Prepare("ERR"));
        const std::string path = (install / "Logs" / (log.baseName() + ".txt")).string();

        EXPECT_FALSE(log.Open());
        EXPECT_FALSE(log.isOpen());
        const auto messages = op.messages();
        ASSERT_EQ(messages.size(), 2u);
        std::string expected = c.message;
        if (expected.ends_with(": ")) expected += path;
        EXPECT_EQ(messages[0], expected);
        EXPECT_EQ(op.calls[0].icon, Icon::Exclamation);
        EXPECT_EQ(messages[1], kCouldNot);
        EXPECT_EQ(op.captions[1], "Vexal Error");
        EXPECT_EQ(op.calls[1].icon, Icon::Stop);
        log.Write(0, 0, "dropped");
        for (int fd : held) {
            // The other writer's file is left as it was.
            EXPECT_EQ(vexal::testing::readFile(path), "someone else's lines\n");
            ::close(fd);
        }
    }
}

TEST(LogOpenFailureTest, SettingsStoreUnavailable) {
    const std::pair<InstallPathStatus, const char*> cases[] = {
        {InstallPathStatus::KeyUnavailable, "Unable to open registry key 'Mendra'.\n\nCannot initialize log system!"},
        {InstallPathStatus::ValueUnavailable,
         "Unable to query registry key to determine 'InstallPath'.\n\nCannot initialize log system!"},
    };
    for (const auto& [status, text] : cases) {
        TempRoot root;
        RecordingOperator op;
        CLogSystem log(op, vexal::testing::testSystem(), [s = status] { return InstallPathLookup{s, {}}; });
        EXPECT_FALSE(log.Prepare("X"));
        ASSERT_EQ(op.messages().size(), 1u);
        EXPECT_EQ(op.messages()[0], text);
        EXPECT_EQ(op.captions[0], "Vexal Error");
        EXPECT_EQ(op.calls[0].icon, Icon::Exclamation);

        // Logging stays off: Open refuses and a menu enable leaves the log disabled.
        EXPECT_FALSE(log.Open());
        EXPECT_EQ(op.messages().back(), kCouldNot);
        EXPECT_FALSE(log.Enable("X"));
        EXPECT_FALSE(log.logEnabled());
        EXPECT_TRUE(log.logDisabled());
    }
}

TEST(LogOpenFailureTest, RenameStopsWhenTheSettingsStoreIsGone) {
    TempRoot root;
    RecordingOperator op;
    InstallPathLookup lookup = vexal::log::lookUpInstallPath();
    CLogSystem log(op, vexal::testing::testSystem(), [&] { return lookup; });
    ASSERT_TRUE(log.Prepare("X"));
    ASSERT_TRUE(log.Open());
    lookup = {InstallPathStatus::KeyUnavailable, {}};
    op.buttons.push_back(vexal::ui::Button::Yes);
    log.Close(false);
    EXPECT_EQ(op.messages().back(), "Unable to open registry key 'Mendra'.\n\nCannot initialize log system!");
    EXPECT_TRUE(op.fileRequests.empty());
    EXPECT_TRUE(fs::exists(log.filePath()));
    EXPECT_TRUE(log.logDisabled());
}

// Runs `body` in a child process limited to `limitBytes` of file size and returns what
// it reported through the pipe; the child must end normally.
std::string runWithFileSizeLimit(rlim_t limitBytes, const std::function<std::string()>& body) {
    int out[2];
    if (pipe(out) != 0) return "pipe failed";
    const pid_t child = fork();
    if (child == 0) {
        close(out[0]);
        vexal::log::ignoreFileSizeSignal();
        const rlimit limit{limitBytes, limitBytes};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
        const std::string report = body();
        (void)!write(out[1], report.data(), report.size());
        _exit(0);
    }
    close(out[1]);
    std::string report;
    char buffer[256];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0) report.append(buffer, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "child ended abnormally, status " + std::to_string(status);
    return report;
}

TEST(LogWriteFailureTest, FileSizeLimitDuringHeaderIsReportedAsDiskFull) {
    TempRoot root;
    const std::string report = runWithFileSizeLimit(40, [] {
        RecordingOperator op;
        CLogSystem log(op, vexal::testing::testSystem());
        std::string out = log.Prepare("FULL") && !log.Open() ? "refused" : "opened";
        for (const auto& m : op.messages()) out += "|" + m;
        return out;
    });
    EXPECT_EQ(report.substr(0, report.find('|')), "refused") << report;
    EXPECT_NE(report.find("|Cannot initialize log system.\n\nThe disk is full.|"), std::string::npos) << report;
    EXPECT_TRUE(report.ends_with(std::string("|") + kCouldNot)) << report;
}

TEST(LogWriteFailureTest, WritesPastTheLimitFailWithoutStoppingTheProgram) {
    TempRoot root;
    constexpr rlim_t kLimit = 1000;
    const std::string report = runWithFileSizeLimit(kLimit, [] {
        RecordingOperator op;
        CLogSystem log(op, vexal::testing::testSystem());
        std::vector<int> lost;  // what the lost-line handler was told
        log.setLostLineHandler([&lost](int error) { lost.push_back(error); });
        if (!log.Prepare("LIMIT") || !log.Open()) return std::string("open failed");
        for (int i = 0; i < 100; ++i) log.Write(0, 0, std::string(40, 'a' + i % 26));
        const int error = log.lastWriteError();
        log.Close(true);
        // Only the first lost line is reported, with its errno.
        if (lost != std::vector<int>{EFBIG}) return "lost-line reports: " + std::to_string(lost.size());
        return std::to_string(error) + " " + log.filePath().string();
    });
    const auto space = report.find(' ');
    ASSERT_NE(space, std::string::npos) << report;
    EXPECT_EQ(report.substr(0, space), std::to_string(EFBIG)) << report;
    const fs::path file = report.substr(space + 1);
    EXPECT_EQ(fs::file_size(file), kLimit);
}

}  // namespace
