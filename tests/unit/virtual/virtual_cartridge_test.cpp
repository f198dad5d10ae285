// The virtual cartridge on disk: what one transport writes the next one reads, and a
// damaged file is refused without harm.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "device/virtual/cartridge_file.h"
#include "device/virtual/virtual_transport.h"
#include "platform/paths.h"
#include "support/test_root.h"
#include "virtual_bus.h"

using namespace vexal::device;
using vexal::testing::Answer;
using vexal::testing::pattern;
using vexal::testing::TempRoot;
using vexal::testing::transportFromProfile;
using vexal::testing::VirtualBus;
namespace fs = std::filesystem;

namespace {

std::shared_ptr<Transport> defaultTransport() {
    std::string error;
    auto t = makeVirtualTransport("", error);
    EXPECT_TRUE(t) << error;
    return t;
}

fs::path cartridgeFile() { return vexal::platform::installPath() / "Virtual" / "VD00000001.vtape"; }

std::vector<uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST(VirtualCartridgeTest, ATapeWrittenByOneTransportIsReadByTheNext) {
    TempRoot root;
    const auto big = pattern(65536, 1), small = pattern(100, 2), fixed = pattern(2048, 3);
    {
        VirtualBus bus(defaultTransport());
        ASSERT_TRUE(bus.writeVariable(big).good());
        ASSERT_TRUE(bus.writeVariable(std::vector<uint8_t>(4096, 0)).good());
        ASSERT_TRUE(bus.writeVariable(big).good());
        ASSERT_TRUE(bus.writeFilemarks(1).good());
        ASSERT_TRUE(bus.setBlockLength(512).good());
        ASSERT_TRUE(bus.writeFixed(4, fixed).good());
        ASSERT_TRUE(bus.setBlockLength(0).good());
        ASSERT_TRUE(bus.writeVariable(small).good());  // written last, saved when the transport goes
    }
    ASSERT_TRUE(fs::exists(cartridgeFile()));
    {
        VirtualBus bus(defaultTransport());
        EXPECT_EQ(bus.position(), 9);  // the drive stayed where it was
        ASSERT_TRUE(bus.rewind().good());
        const Answer a = bus.readVariable(65536);
        EXPECT_EQ(a.data, big);
        EXPECT_EQ(bus.readVariable(4096).data, std::vector<uint8_t>(4096, 0));
        EXPECT_EQ(bus.readVariable(65536).data, big);
        EXPECT_EQ(bus.readVariable(10).kcq(), "0/00/01");
        ASSERT_TRUE(bus.setBlockLength(512).good());
        EXPECT_EQ(bus.readFixed(4, 2048).data, fixed);
        ASSERT_TRUE(bus.setBlockLength(0).good());
        EXPECT_EQ(bus.readVariable(100).data, small);
        EXPECT_EQ(bus.readVariable(100).kcq(), "8/00/05");
        EXPECT_TRUE(virtualTransportWarnings(bus.transport()).empty());
    }
}

TEST(VirtualCartridgeTest, ASecondTransportSeesWhatTheFirstFlushed) {
    TempRoot root;
    VirtualBus first(defaultTransport());
    ASSERT_TRUE(first.writeVariable(pattern(512, 7)).good());
    ASSERT_TRUE(first.writeFilemarks(0).good());  // a flush
    VirtualBus second(defaultTransport());
    ASSERT_TRUE(second.rewind().good());
    EXPECT_EQ(second.readVariable(512).data, pattern(512, 7));
}

TEST(VirtualCartridgeTest, UnloadAndBlockLengthLastAcrossTransports) {
    TempRoot root;
    {
        VirtualBus bus(defaultTransport());
        ASSERT_TRUE(bus.setBlockLength(1024).good());
        ASSERT_TRUE(bus.none(0, {0x1B, 0, 0, 0, 0, 0}).good());
    }
    VirtualBus bus(defaultTransport());
    EXPECT_EQ(bus.tur().kcq(), "2/3A/00");
    ASSERT_TRUE(bus.none(0, {0x1B, 0, 0, 0, 1, 0}).good());
    const Answer mode = bus.in(0, {0x1A, 0, 0, 0, 12, 0}, 12);
    EXPECT_EQ(mode.data[10], 0x04);
}

TEST(VirtualCartridgeTest, ADamagedFileIsRefusedAndABlankCartridgeLoaded) {
    TempRoot root;
    {
        VirtualBus bus(defaultTransport());
        for (uint8_t i = 0; i < 3; ++i) ASSERT_TRUE(bus.writeVariable(pattern(1000, i)).good());
        ASSERT_TRUE(bus.writeFilemarks(1).good());
    }
    const std::vector<uint8_t> good = readFile(cartridgeFile());
    ASSERT_GT(good.size(), 64u + 4 * 16u);

    // A file with a correct checksum whose object table points outside the stored data.
    auto reseal = [](std::vector<uint8_t> bytes) {
        uint64_t hash = 0xcbf29ce484222325ull;
        const size_t table = 64 + 16 * bytes[16];
        for (size_t i = 0; i < table; ++i) {
            if (i >= 56 && i < 64) continue;
            hash = (hash ^ bytes[i]) * 0x100000001b3ull;
        }
        for (int i = 0; i < 8; ++i) bytes[56 + i] = static_cast<uint8_t>(hash >> (8 * i));
        return bytes;
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* why;
    };
    std::vector<Case> cases;
    auto magic = good;
    magic[0] = 'X';
    cases.push_back({"bad magic", magic, "bad magic"});
    cases.push_back({"truncated", std::vector<uint8_t>(good.begin(), good.end() - 1), "truncated"});
    cases.push_back({"shorter than a header", std::vector<uint8_t>(good.begin(), good.begin() + 30), "header"});
    auto version = good;
    version[8] = 9;
    cases.push_back({"newer version", version, "version 9"});
    auto flipped = good;
    flipped[64 + 4] ^= 0x01;  // the first block's length
    cases.push_back({"table changed", flipped, "checksum"});
    auto outside = good;
    outside[64 + 16 + 8 + 5] = 0x01;  // the second block's offset, far beyond the data
    cases.push_back({"offset outside the data", reseal(outside), "outside"});
    auto kind = good;
    kind[64] = 9;
    cases.push_back({"unknown object kind", reseal(kind), "kind"});
    auto count = good;
    count[16] = 200;
    cases.push_back({"count beyond the file", count, "truncated"});

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(cartridgeFile(), c.bytes);
        auto transport = defaultTransport();
        ASSERT_TRUE(transport);
        const auto warnings = virtualTransportWarnings(*transport);
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_NE(warnings[0].find(cartridgeFile().string()), std::string::npos) << warnings[0];
        EXPECT_NE(warnings[0].find(c.why), std::string::npos) << warnings[0];
        EXPECT_NE(warnings[0].find("blank cartridge"), std::string::npos) << warnings[0];
        VirtualBus bus(transport);
        EXPECT_TRUE(bus.tur().good());
        EXPECT_EQ(bus.position(), 0);
        EXPECT_EQ(bus.readVariable(1000).kcq(), "8/00/05");
        // The damaged file is kept aside, never overwritten.
        fs::path aside = cartridgeFile();
        aside += ".damaged";
        EXPECT_EQ(readFile(aside), c.bytes);
        ASSERT_TRUE(bus.writeVariable(pattern(10)).good());
    }
    // The blank cartridge written last is a good file again.
    VirtualBus bus(defaultTransport());
    EXPECT_TRUE(virtualTransportWarnings(bus.transport()).empty());
    ASSERT_TRUE(bus.rewind().good());
    EXPECT_EQ(bus.readVariable(10).data, pattern(10));
}

TEST(VirtualCartridgeTest, EachTapeDriveHasItsOwnCartridge) {
    TempRoot root;
    const std::string profile = "[target 0]\n[target 4]\ntype = tape\n";
    {
        std::string error;
        auto t = transportFromProfile(root, profile, &error);
        ASSERT_TRUE(t) << error;
        VirtualBus bus(t);
        ASSERT_TRUE(bus.writeVariable(pattern(50, 1)).good());
        ASSERT_TRUE(bus.out(4, {0x0A, 0, 0, 0, 60, 0}, pattern(60, 2)).good());
    }
    EXPECT_TRUE(fs::exists(vexal::platform::installPath() / "Virtual" / "VD00000001.vtape"));
    EXPECT_TRUE(fs::exists(vexal::platform::installPath() / "Virtual" / "VD00000005.vtape"));
    auto t = transportFromProfile(root, profile);
    VirtualBus bus(t);
    ASSERT_TRUE(bus.none(4, {0x01, 0, 0, 0, 0, 0}).good());
    EXPECT_EQ(bus.in(4, {0x08, 0, 0, 0, 60, 0}, 60).data, pattern(60, 2));
}

TEST(VirtualCartridgeTest, CartridgeFileNamesAreSafe) {
    TempRoot root;
    EXPECT_EQ(vexal::device::virt::cartridgePath("VD00000001").filename(), "VD00000001.vtape");
    EXPECT_EQ(vexal::device::virt::cartridgePath("../a b/c").filename(), "_.._a_b_c.vtape");
    EXPECT_EQ(vexal::device::virt::cartridgePath("SER   ").filename(), "SER.vtape");
}

}  // namespace
