// The compressed dump file: the round trip through minizip, and archives that must be
// refused without harm: escaping member names, zip bombs, too many members, truncated,
// corrupted and random files.
#include <gtest/gtest.h>

#include <random>

#include "fadump/dump_viewer.h"
#include "fadump/zip_archive.h"
#include "fadump_test_support.h"

using namespace vexal::fadump;
using namespace vexal::fadump_test;

namespace {

Bytes sample(size_t n) {
    Bytes b(n);
    std::mt19937 g(7);
    for (auto& x : b) x = static_cast<uint8_t>(g() % 16);  // compressible, not trivially
    return b;
}

class ZipArchiveTest : public ::testing::Test {
protected:
    fs::path dir() const { return root.path(); }
    fs::path out() const { return dir() / "out/dump.dmp"; }
    ExtractResult extract(const fs::path& archive, const ExtractLimits& limits = {}) {
        fs::create_directories(out().parent_path());
        fs::remove(out());
        return extractFirstMember(archive, out(), limits);
    }
    // Nothing was written: no output, no temporary beside it, nothing next to the folder.
    void expectNothingWritten() {
        EXPECT_TRUE(fs::is_empty(out().parent_path()));
        for (const auto& e : fs::directory_iterator(dir()))
            EXPECT_TRUE(e.path().extension() == ".dmz" || e.path().filename() == "out") << e.path();
    }
    vexal::testing::TempRoot root;
};

TEST_F(ZipArchiveTest, RoundTripKeepsTheBytesInOneDeflatedMember) {
    const Bytes data = sample(100000);
    writeBytes(dir() / "VD1.dmp", data);
    int error = -1;
    ASSERT_TRUE(compressFile(dir() / "VD1.dmp", dir() / "VD1.dmz", 0444, error));
    EXPECT_EQ(error, 0);
    EXPECT_EQ(permissions(dir() / "VD1.dmz"), 0444u);
    EXPECT_LT(fs::file_size(dir() / "VD1.dmz"), data.size());
    const auto members = readZip(dir() / "VD1.dmz");
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].name, "VD1.dmp");
    EXPECT_EQ(members[0].method, 8u);
    EXPECT_EQ(members[0].data, data);

    const ExtractResult r = extract(dir() / "VD1.dmz");
    EXPECT_EQ(r.error, ExtractError::None);
    EXPECT_EQ(r.bytes, data.size());
    EXPECT_EQ(readBytes(out()), data);
}

TEST_F(ZipArchiveTest, CompressFailuresNameTheSystemError) {
    int error = 0;
    EXPECT_FALSE(compressFile(dir() / "missing.dmp", dir() / "m.dmz", 0444, error));
    EXPECT_EQ(error, ENOENT);
    writeBytes(dir() / "a.dmp", sample(10));
    EXPECT_FALSE(compressFile(dir() / "a.dmp", dir() / "no/such/a.dmz", 0444, error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_FALSE(fs::exists(dir() / "m.dmz"));
}

TEST_F(ZipArchiveTest, MemberNamesThatWouldLeaveTheFolderAreRefused) {
    const char* hostile[] = {"../evil.dmp", "/etc/evil.dmp", "a/../../evil.dmp", "..\\evil.dmp", "\\evil.dmp",
                             "C:\\evil.dmp", "sub/..", ""};
    for (const char* name : hostile) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(safeMemberName(name));
        makeZip(dir() / "hostile.dmz", {{name, sample(2000)}});
        const ExtractResult r = extract(dir() / "hostile.dmz");
        EXPECT_EQ(r.error, ExtractError::UnsafeName);
        expectNothingWritten();
        EXPECT_FALSE(fs::exists(dir() / "evil.dmp"));
        const std::string text = extractErrorText(r, dir() / "hostile.dmz");
        EXPECT_NE(text.find("\"" + std::string(name) + "\" would be written outside its folder"), std::string::npos)
            << text;
    }
    for (const char* name : {"VD1.dmp", "sub/VD1.dmp", "..dmp", "a..b", "x/..y"}) EXPECT_TRUE(safeMemberName(name)) << name;
    // An overlong name is refused before anything is read.
    makeZip(dir() / "long.dmz", {{std::string(600, 'n'), sample(10)}});
    EXPECT_EQ(extract(dir() / "long.dmz").error, ExtractError::UnsafeName);
}

TEST_F(ZipArchiveTest, ZipBombIsRefusedAtTheCap) {
    const ExtractLimits limits{1 << 20, 16};
    makeZip(dir() / "bomb.dmz", {{"bomb.dmp", Bytes(8 << 20, 0)}}, 9);
    ASSERT_LT(fs::file_size(dir() / "bomb.dmz"), 64u * 1024);
    const ExtractResult r = extract(dir() / "bomb.dmz", limits);
    EXPECT_EQ(r.error, ExtractError::TooLarge);
    expectNothingWritten();
    EXPECT_NE(extractErrorText(r, dir() / "bomb.dmz", limits).find("expands to more than 1048576 bytes"),
              std::string::npos);

    // The same bomb whose headers claim a small size: the bytes that come out are counted,
    // and a member that does not match its headers is damaged.
    Bytes zip = readBytes(dir() / "bomb.dmz");
    auto patch = [&](size_t at) { zip[at] = 100, zip[at + 1] = zip[at + 2] = zip[at + 3] = 0; };
    patch(22);  // local header: uncompressed size
    for (size_t i = 0; i + 4 <= zip.size(); ++i)
        if (zip[i] == 'P' && zip[i + 1] == 'K' && zip[i + 2] == 1 && zip[i + 3] == 2) patch(i + 24);  // central
    writeBytes(dir() / "liar.dmz", zip);
    const ExtractResult liar = extract(dir() / "liar.dmz", limits);
    EXPECT_NE(liar.error, ExtractError::None);
    expectNothingWritten();
}

TEST_F(ZipArchiveTest, TooManyMembersOrNoneAreRefused) {
    std::vector<std::pair<std::string, Bytes>> many;
    for (int i = 0; i < 17; ++i) many.push_back({"m" + std::to_string(i), sample(10)});
    makeZip(dir() / "many.dmz", many);
    EXPECT_EQ(extract(dir() / "many.dmz").error, ExtractError::TooManyMembers);
    many.resize(16);
    makeZip(dir() / "sixteen.dmz", many);
    EXPECT_EQ(extract(dir() / "sixteen.dmz").error, ExtractError::None);
    EXPECT_EQ(readBytes(out()), sample(10));  // the first member

    makeZip(dir() / "empty.dmz", {});
    EXPECT_NE(extract(dir() / "empty.dmz").error, ExtractError::None);
    expectNothingWritten();
}

TEST_F(ZipArchiveTest, TruncatedCorruptedAndRandomFilesAreRefused) {
    makeZip(dir() / "good.dmz", {{"good.dmp", sample(50000)}});
    const Bytes good = readBytes(dir() / "good.dmz");
    // Every cut loses dump data or the directory that finds it.
    for (size_t length : {size_t{0}, size_t{4}, size_t{30}, good.size() / 2, good.size() - 40, good.size() - 22}) {
        SCOPED_TRACE(length);
        writeBytes(dir() / "cut.dmz", Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length)));
        EXPECT_NE(extract(dir() / "cut.dmz").error, ExtractError::None);
        expectNothingWritten();
    }
    // Damage inside the compressed data: an inflate error or a CRC that does not match.
    for (size_t at : {size_t{60}, size_t{500}, good.size() / 2}) {
        SCOPED_TRACE(at);
        Bytes bad = good;
        for (size_t i = at; i < at + 8; ++i) bad[i] ^= 0x5A;
        writeBytes(dir() / "bad.dmz", bad);
        EXPECT_EQ(extract(dir() / "bad.dmz").error, ExtractError::Damaged);
        expectNothingWritten();
    }
    std::mt19937 g(1234);
    for (size_t size : {1, 22, 100, 4096, 100000}) {
        Bytes noise(size);
        for (auto& b : noise) b = static_cast<uint8_t>(g());
        writeBytes(dir() / "noise.dmz", noise);
        EXPECT_EQ(extract(dir() / "noise.dmz").error, ExtractError::NotAnArchive) << size;
    }
    // Random bytes behind a real end-of-central-directory record.
    Bytes fake(200);
    for (auto& b : fake) b = static_cast<uint8_t>(g());
    const Bytes eocd = {'P', 'K', 5, 6, 0, 0, 0, 0, 1, 0, 1, 0, 46, 0, 0, 0, 10, 0, 0, 0, 0, 0};
    fake.insert(fake.end(), eocd.begin(), eocd.end());
    writeBytes(dir() / "fake.dmz", fake);
    EXPECT_NE(extract(dir() / "fake.dmz").error, ExtractError::None);
    expectNothingWritten();
}

TEST_F(ZipArchiveTest, ViewerShowsTheRefusalAndScansNothing) {
    makeZip(dir() / "hostile.dmz", {{"../../evil.dmp", sample(5000)}});
    vexal::testing::FakeOperator op;
    const ViewerResult r = OpenDumpFile(op, dir() / "hostile.dmz");
    EXPECT_FALSE(r.expanded);
    EXPECT_FALSE(r.controlsEnabled);
    ASSERT_EQ(op.calls.size(), 1u);
    EXPECT_EQ(op.calls[0].icon, vexal::ui::Icon::Stop);
    EXPECT_NE(op.calls[0].text.find("\"../../evil.dmp\""), std::string::npos);
    EXPECT_FALSE(fs::exists(dir() / "hostile.dmp"));
    EXPECT_FALSE(fs::exists(dir() / "hostile.ptf"));

    op.calls.clear();
    EXPECT_FALSE(OpenDumpFile(op, dir() / "missing.dmz").expanded);
    ASSERT_EQ(op.messages().size(), 1u);
    EXPECT_NE(op.messages()[0].find("does not exist"), std::string::npos);
}

}  // namespace
