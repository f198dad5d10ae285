// Files that matter are never left half-written: a write that fails part way (the disk
// fills up: a file size limit in a child process) or cannot start (a file where the folder
// should be) leaves the previous file as it was and no temporary file beside it.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>

#include "fadump/atomic_file.h"
#include "fadump/zip_archive.h"
#include "log/log_system.h"
#include "platform/ini_file.h"
#include "script/results_database.h"
#include "script/scramble.h"
#include "script/script_files.h"
#include "support/fingerprinted_script.h"
#include "support/process_runner.h"
#include "support/test_root.h"

namespace {

namespace fs = std::filesystem;

constexpr rlim_t kLimit = 4096;        // the "disk" fills up after this many bytes of a file
constexpr size_t kLarge = 64 * 1024;   // what each writer tries to write

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

void writeText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// Data that compresses badly, so that the archive is as large as the data.
std::string noise(size_t size) {
    std::string s(size, '\0');
    uint32_t x = 2463534242u;
    for (char& c : s) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        c = static_cast<char>(x);
    }
    return s;
}

// Runs `write` in a child whose files may not grow past `limit` bytes; true when it
// reported success. The child must end normally (no SIGXFSZ, no crash).
bool succeedsInChild(rlim_t limit, const std::function<bool()>& write, std::string& failure) {
    const pid_t child = fork();
    if (child == 0) {
        vexal::log::ignoreFileSizeSignal();
        const rlimit r{limit, limit};
        if (setrlimit(RLIMIT_FSIZE, &r) != 0) _exit(3);
        _exit(write() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) failure = "child ended abnormally: " + std::to_string(status);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct WriterCase {
    const char* name;
    const char* file;  // the target's name in its folder
    // Writes kLarge bytes (or more) of new content to `target`; true when it says it did.
    std::function<bool(const fs::path& target)> write;
};

std::vector<WriterCase> writers() {
    return {
        {"atomic file write", "plain.bin",
         [](const fs::path& t) { return vexal::platform::writeFileAtomically(t, std::string(kLarge, 'n')); }},
        {"settings file", "Mendra.ini",
         [](const fs::path& t) {
             vexal::platform::IniFile ini;
             for (int i = 0; i < 2000; ++i) ini.set("Section", "Key" + std::to_string(i), std::string(30, 'v'));
             return ini.saveAtomically(t);
         }},
        {"results database", "results.db",
         [](const fs::path& t) {
             vexal::script::ResultsDatabase db;
             if (db.open(t) != vexal::script::DbLoadError::None) return false;
             const std::array<uint8_t, 4> failure{1, 2, 3, 4};
             for (int i = 0; i < 400; ++i)
                 db.addEvent("MEDIUM" + std::to_string(i % 7), "DRIVE", vexal::script::DbResult::Fail, failure,
                             vexal::script::localTimeStamp());
             return db.save();
         }},
        {"scrambled script written back", "LOCKED.SCS",
         [](const fs::path& t) {
             return vexal::script::replaceFileAtomically(
                 t, vexal::script::Scramble(std::string(kLarge, 'M'), vexal::script::LockMode::Rotated));
         }},
        {"FA dump", "dump.dmp",
         [](const fs::path& t) {
             vexal::fadump::AtomicFile file(t);
             const std::string data(kLarge, 'd');
             for (size_t at = 0; at < data.size(); at += 1024)
                 if (!file.write(data.data() + at, 1024)) return false;
             return file.commit();
         }},
        {"compressed FA dump", "dump.dmz",
         [](const fs::path& t) {
             const fs::path source = t.parent_path().parent_path() / "source.dmp";
             int error = 0;
             return vexal::fadump::compressFile(source, t, 0644, error);
         }},
    };
}

// The previous content of each target: a valid small file of its kind.
std::string previousContent(const WriterCase& c, const fs::path& target) {
    if (std::string_view(c.name) == "results database") {
        vexal::script::ResultsDatabase db;
        db.open(target);  // a new database
        db.addEvent("OLD", "DRIVE", vexal::script::DbResult::Pass, {}, vexal::script::localTimeStamp());
        EXPECT_TRUE(db.save());
        return readText(target);
    }
    if (std::string_view(c.name) == "compressed FA dump") {
        const fs::path small = target.parent_path() / "small.dmp";
        writeText(small, "old dump");
        int error = 0;
        EXPECT_TRUE(vexal::fadump::compressFile(small, target, 0644, error));
        fs::remove(small);
        return readText(target);
    }
    writeText(target, "old content\n");
    return readText(target);
}

TEST(FileFaultTest, AWriteThatFillsTheDiskLeavesThePreviousFile) {
    vexal::testing::TempRoot root;
    writeText(root.path() / "source.dmp", noise(kLarge));
    for (const WriterCase& c : writers()) {
        SCOPED_TRACE(c.name);
        const fs::path folder = root.path() / "files";
        fs::remove_all(folder);
        fs::create_directories(folder);
        const fs::path target = folder / c.file;
        const std::string before = previousContent(c, target);
        ASSERT_FALSE(before.empty());
        ASSERT_LT(before.size(), kLimit);

        std::string failure;
        EXPECT_FALSE(succeedsInChild(kLimit, [&] { return c.write(target); }, failure));
        EXPECT_EQ(failure, "");
        EXPECT_EQ(readText(target), before);
        for (const auto& entry : fs::directory_iterator(folder))  // no temporary left behind
            EXPECT_EQ(entry.path().filename(), c.file) << entry.path();

        // Without the limit the same write goes through: the limit was the only obstacle.
        EXPECT_TRUE(succeedsInChild(RLIM_INFINITY, [&] { return c.write(target); }, failure)) << failure;
        EXPECT_NE(readText(target), before);
    }
}

TEST(FileFaultTest, AFileWhereTheFolderShouldBeFailsCleanly) {
    vexal::testing::TempRoot root;
    writeText(root.path() / "source.dmp", noise(kLarge));
    const fs::path notAFolder = root.path() / "files";
    writeText(notAFolder, "a file, not a folder");
    for (const WriterCase& c : writers()) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(c.write(notAFolder / c.file));
        EXPECT_EQ(readText(notAFolder), "a file, not a folder");
    }
}

// A scrambled script is written back in its rotated form after a load; when the disk is
// full that fails, the load still succeeds and the script stays as it was, still loadable.
TEST(FileFaultTest, ScrambledScriptOnAFullDiskStaysLoadable) {
    vexal::testing::TempRoot root;
    std::string plain = "DESCRIPTION locked\nStart:\n";
    while (plain.size() < 3 * kLimit) plain += "MSG a line of a scrambled script that is larger than the limit\n";
    plain += "EXIT 0\n";
    const fs::path script = root.path() / "LOCKED.SCS";
    const std::string scrambled = vexal::script::Scramble(plain, vexal::script::LockMode::HighBit);
    writeText(script, scrambled);
    ASSERT_TRUE(vexal::testing::fingerprintScript(script));  // of the plain text

    const pid_t child = fork();
    if (child == 0) {
        const rlimit r{kLimit, kLimit};
        if (setrlimit(RLIMIT_FSIZE, &r) != 0) _exit(3);
        freopen("/dev/null", "w", stdout);
        execl(VEXAL_CLI_PATH, VEXAL_CLI_PATH, "--virtual", "check", script.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readText(script), scrambled);
    for (const auto& entry : fs::directory_iterator(root.path()))
        EXPECT_EQ(entry.path().string().find("LOCKED.SCS."), std::string::npos) << entry.path();

    const auto r = vexal::testing::runProcess(VEXAL_CLI_PATH, {"--virtual", "check", script.string()});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(readText(script), vexal::script::Scramble(plain, vexal::script::LockMode::Rotated));
}

}  // namespace
