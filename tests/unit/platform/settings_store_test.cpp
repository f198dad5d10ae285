#include "platform/settings_store.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "platform/ini_file.h"
#include "platform/paths.h"
#include "support/test_root.h"

using namespace vexal::platform;

namespace {

TEST(IniFileTest, ParsesAndWritesBackInOrder) {
    const IniFile ini = IniFile::parse(
        "; comment\n[Mendra]\nFullScreen = 1\r\nPassword=\n# another\n[Selected Device 1]\nUnitNumber=2\n"
        "FullScreen=3\n[Mendra]\nLeft=5\nbroken line\n[unterminated\n");
    EXPECT_EQ(ini.get("Mendra", "FullScreen"), "1");
    EXPECT_EQ(ini.get("Mendra", "Password"), "");
    EXPECT_EQ(ini.get("Mendra", "Left"), "5");
    EXPECT_EQ(ini.get("Selected Device 1", "FullScreen"), "3");
    EXPECT_FALSE(ini.get("Mendra", "Missing"));
    EXPECT_EQ(IniFile::parse(ini.serialize()).serialize(), ini.serialize());
}

// A file that another process removes and writes anew reads as either missing (empty)
// or whole: never as an error, which a reader would take for a broken store.
TEST(IniFileTest, AFileAppearingWhileItIsOpenedIsNeverAnError) {
    vexal::testing::TempRoot root;
    const auto path = root.path() / "appearing.ini";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        for (;;) {
            ::unlink(path.c_str());
            if (!writeFileAtomically(path, "[S]\nk=v\n")) _exit(1);
        }
    }
    int errors = 0, partial = 0;
    for (int i = 0; i < 5000; ++i) {
        IniFile ini;
        if (!IniFile::load(path, ini)) ++errors;
        else if (!ini.sections().empty() && ini.get("S", "k") != "v") ++partial;
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(partial, 0);
}

TEST(SettingsKeyTest, CreateOrOpenReadsAndWritesDecimalText) {
    vexal::testing::TempRoot root;
    SettingsKey key;
    EXPECT_FALSE(key.Open("Mendra"));
    EXPECT_EQ(key.CreateOrOpen("Mendra"), 1);
    std::string value = "stale";
    EXPECT_NE(key.ReadString("FullScreen", value), 0);
    EXPECT_EQ(value, "");
    EXPECT_EQ(key.WriteString("FullScreen", "1"), 0);
    EXPECT_EQ(key.WriteDword("CmdIOClr", 9830400), 0);

    SettingsKey again;
    EXPECT_EQ(again.CreateOrOpen("Mendra"), 2);
    EXPECT_EQ(again.ReadString("FullScreen", value), 0);
    EXPECT_EQ(value, "1");
    EXPECT_EQ(again.ReadString("CmdIOClr", value), 0);
    EXPECT_EQ(decimalValue(value), 9830400);
    // Values are read into 100 bytes.
    EXPECT_EQ(again.WriteString("LastDirectory", std::string(300, 'x')), 0);
    EXPECT_EQ(again.ReadString("LastDirectory", value), 0);
    EXPECT_EQ(value.size(), 99u);
}

TEST(SettingsKeyTest, DecimalValues) {
    const std::pair<const char*, long> cases[] = {{"15728640", 15728640}, {"-1", -1}, {" 7", 7},
                                                  {"abc", 0},            {"", 0},   {"12x", 12}};
    for (const auto& [text, expected] : cases) EXPECT_EQ(decimalValue(text), expected) << text;
}

TEST(SettingsKeyTest, UnwritableStoreFailsCleanly) {
    vexal::testing::TempRoot root;
    // A file where the store's folder should be.
    std::ofstream(root.path() / "config") << "x";
    SettingsKey key;
    EXPECT_EQ(key.CreateOrOpen("Mendra"), 0);
    EXPECT_NE(key.WriteString("FullScreen", "1"), 0);
    EXPECT_EQ(ProfileStore::changeInstanceCount(1), -1);
}

TEST(ProfileStoreTest, InstanceCountAndSectionsWithDefaults) {
    vexal::testing::TempRoot root;
    EXPECT_EQ(ProfileStore::readInt("Selected Device 1", "HostNumber", -1), -1);
    EXPECT_EQ(ProfileStore::readString("Labeled Device 0", "DriveLabel", "no_label"), "no_label");
    EXPECT_EQ(ProfileStore::changeInstanceCount(+1), 1);
    EXPECT_EQ(ProfileStore::changeInstanceCount(+1), 2);
    EXPECT_EQ(ProfileStore::changeInstanceCount(-1), 1);
    EXPECT_TRUE(ProfileStore::writeString("Labeled Device 0", "SerialNumber", "VD00000001"));
    EXPECT_EQ(ProfileStore::readString("Labeled Device 0", "SerialNumber", ""), "VD00000001");
}

// Several processes changing the same files at once lose no change and leave a file
// that parses.
TEST(ProfileStoreTest, ConcurrentWritersLoseNothing) {
    vexal::testing::TempRoot root;
    constexpr int kProcesses = 4;
    constexpr int kRounds = 40;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            SettingsKey key;
            if (key.CreateOrOpen("Mendra") == 0) _exit(1);
            for (int i = 0; i < kRounds; ++i) {
                if (ProfileStore::changeInstanceCount(+1) < 0) _exit(2);
                if (key.WriteString("Value" + std::to_string(p), std::to_string(i)) != 0) _exit(3);
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(ProfileStore::readInt("Mendra Globals", "Instance Count", 0), kProcesses * kRounds);
    SettingsKey key;
    ASSERT_TRUE(key.Open("Mendra"));
    for (int p = 0; p < kProcesses; ++p) {
        std::string value;
        EXPECT_EQ(key.ReadString("Value" + std::to_string(p), value), 0);
        EXPECT_EQ(value, std::to_string(kRounds - 1));
    }
}

TEST(PathsTest, RootedFoldersAndDefaultInstallPath) {
    vexal::testing::TempRoot root;
    EXPECT_EQ(userSettingsFile(), root.path() / "config/Corvine/Mendra.ini");
    EXPECT_EQ(profileFile(), root.path() / "config/Mendra/Vexal.ini");
    const auto install = installPath();
    EXPECT_EQ(install.string(), (root.path() / "data/Korvane/Vexal").string() + "/");
    for (const char* sub : {"Logs", "Scripts", "FADump"}) EXPECT_TRUE(std::filesystem::is_directory(install / sub));

    ASSERT_TRUE(writeFileAtomically(machineSettingsFile(), "[Mendra]\nInstallPath=/opt/vexal\n"));
    EXPECT_EQ(installPath().string(), "/opt/vexal/");
}

}  // namespace
