// The installed default files reach each user's data folder once, and never replace the
// user's own.
#include "platform/shipped_data.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <fstream>

#include "platform/paths.h"
#include "support/test_root.h"

using namespace vexal::platform;
namespace fs = std::filesystem;

namespace {

void write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

std::string read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Sets VEXAL_SHIPPED_DATA for one test.
class ShippedData {
public:
    explicit ShippedData(const fs::path& folder) { ::setenv("VEXAL_SHIPPED_DATA", folder.c_str(), 1); }
    ~ShippedData() { ::unsetenv("VEXAL_SHIPPED_DATA"); }
};

TEST(ShippedDataTest, MissingEntriesAreCopiedWholeAndTheUsersOwnAreKept) {
    vexal::testing::TempRoot root;
    const fs::path from = root.path() / "share", to = root.path() / "data";
    write(from / "Scripts/A.SCS", "shipped A");
    write(from / "Scripts/B.SCS", "shipped B");
    write(from / "hlp/Eng/e.html", "help");
    write(from / "Samples/s.txt", "sample");
    write(from / "ReadMe.txt", "read me");
    write(to / "Scripts/A.SCS", "my own A");  // an existing folder: nothing is added to it
    write(to / "ReadMe.txt", "mine");

    EXPECT_EQ(seedDataFolder(from, to), 2);
    EXPECT_EQ(read(to / "Scripts/A.SCS"), "my own A");
    EXPECT_FALSE(fs::exists(to / "Scripts/B.SCS"));
    EXPECT_EQ(read(to / "hlp/Eng/e.html"), "help");
    EXPECT_EQ(read(to / "Samples/s.txt"), "sample");
    EXPECT_EQ(read(to / "ReadMe.txt"), "mine");

    // A second start copies nothing; a deleted file inside a seeded folder stays deleted.
    fs::remove(to / "Samples/s.txt");
    EXPECT_EQ(seedDataFolder(from, to), 0);
    EXPECT_FALSE(fs::exists(to / "Samples/s.txt"));
}

TEST(ShippedDataTest, TheHelpPagesFollowTheInstalledProgram) {
    vexal::testing::TempRoot root;
    const fs::path from = root.path() / "share", to = root.path() / "data";
    write(from / "hlp/c.html", "help 1");
    write(from / "hlp/Eng/e.html", "eng 1");
    write(from / "Scripts/A.SCS", "shipped A 1");
    EXPECT_EQ(seedDataFolder(from, to), 2);

    // An upgrade: newer help replaces the old and a removed page comes back; the scripts,
    // which are the operator's, stay as they are.
    const auto later = fs::last_write_time(to / "hlp/c.html") + std::chrono::seconds(10);
    write(from / "hlp/c.html", "help 2");
    fs::last_write_time(from / "hlp/c.html", later);
    write(from / "Scripts/A.SCS", "shipped A 2");
    fs::last_write_time(from / "Scripts/A.SCS", later);
    fs::remove(to / "hlp/Eng/e.html");
    EXPECT_EQ(seedDataFolder(from, to), 0);
    EXPECT_EQ(read(to / "hlp/c.html"), "help 2");
    EXPECT_EQ(read(to / "hlp/Eng/e.html"), "eng 1");
    EXPECT_EQ(read(to / "Scripts/A.SCS"), "shipped A 1");
}

TEST(ShippedDataTest, NoShippedFolderCopiesNothing) {
    vexal::testing::TempRoot root;
    EXPECT_EQ(seedDataFolder("", root.path() / "data"), 0);
    EXPECT_EQ(seedDataFolder(root.path() / "missing", root.path() / "data"), 0);
    EXPECT_FALSE(fs::exists(root.path() / "data"));
}

TEST(ShippedDataTest, TheDefaultDataFolderStartsWithTheShippedScripts) {
    vexal::testing::TempRoot root;
    write(root.path() / "share/Scripts/DRIVE_IDENTITY.SCS", "DESCRIPTION \"x\"\n");
    ShippedData shipped(root.path() / "share");
    EXPECT_EQ(shippedDataFolder(), root.path() / "share");
    const fs::path data = installPath();
    EXPECT_EQ(read(data / "Scripts/DRIVE_IDENTITY.SCS"), "DESCRIPTION \"x\"\n");
    for (const char* sub : {"Logs", "FADump"}) EXPECT_TRUE(fs::is_directory(data / sub)) << sub;
}

TEST(ShippedDataTest, AFolderBesideATestProgramIsNotThere) {
    ::unsetenv("VEXAL_SHIPPED_DATA");
    // Test programs live in the build tree, which has no share/vexal beside bin.
    EXPECT_TRUE(shippedDataFolder().empty());
}

}  // namespace
