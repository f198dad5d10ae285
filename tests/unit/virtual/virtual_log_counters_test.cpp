// The log counters of the virtual tape drive follow the I/O it carries out, LOG SELECT
// resets them, and they are kept between runs in the drive log file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "device/virtual/virtual_transport.h"
#include "log_page_reader.h"
#include "platform/paths.h"
#include "support/test_root.h"
#include "virtual_bus.h"

using namespace vexal::device;
using vexal::testing::Answer;
using vexal::testing::ParsedPage;
using vexal::testing::pattern;
using vexal::testing::readPage;
using vexal::testing::resetCounters;
using vexal::testing::TempRoot;
using vexal::testing::transportFromProfile;
using vexal::testing::VirtualBus;
namespace fs = std::filesystem;

namespace {

fs::path driveLogFile() { return vexal::platform::installPath() / "Virtual" / "VD00000001.vlog"; }

class VirtualLogCountersTest : public ::testing::Test {
protected:
    std::unique_ptr<VirtualBus> busFor(const std::string& profile = "") {
        std::string error;
        auto t = profile.empty() ? makeVirtualTransport("", error) : transportFromProfile(root, profile, &error);
        EXPECT_TRUE(t) << error;
        return t ? std::make_unique<VirtualBus>(t) : nullptr;
    }
    // MODE SELECT(6) of the data compression page with DCE on or off.
    void setCompression(VirtualBus& bus, bool on) {
        std::vector<uint8_t> data(4 + 16, 0);
        data[2] = 0x10;
        data[4] = 0x0F;
        data[5] = 14;
        data[6] = on ? 0xC0 : 0x40;
        data[7] = 0x80;
        data[11] = 1;
        data[15] = 1;
        ASSERT_TRUE(bus.out(0, {0x15, 0x10, 0, 0, uint8_t(data.size()), 0}, data).good());
    }
    TempRoot root;
};

TEST_F(VirtualLogCountersTest, CountersFollowWritesReadsFilemarksAndMoves) {
    auto bus = busFor();
    setCompression(*bus, false);
    const uint32_t blocks = 20, size = 65536 + 100;
    for (uint32_t i = 0; i < blocks; ++i) ASSERT_TRUE(bus->writeVariable(pattern(size, uint8_t(i))).good());
    ASSERT_TRUE(bus->writeFilemarks(2).good());
    ASSERT_TRUE(bus->rewind().good());
    // Read half of the blocks whole and one cut short by a small buffer.
    for (uint32_t i = 0; i < 10; ++i) ASSERT_TRUE(bus->readVariable(size).good());
    ASSERT_TRUE(bus->readVariable(size, false, 1000).good());
    ASSERT_TRUE(bus->space(1, 1).good());       // over the first filemark
    EXPECT_EQ(bus->readVariable(10).kcq(), "0/00/01");  // the second
    ASSERT_TRUE(bus->locate(3).good());

    const uint64_t written = uint64_t{blocks} * size;
    const uint64_t read = 11ull * size;
    const uint64_t toHost = 10ull * size + 1000;
    EXPECT_EQ(readPage(*bus, 0x02).value(5), written);
    EXPECT_EQ(readPage(*bus, 0x03).value(5), read);
    EXPECT_EQ(readPage(*bus, 0x02).value(6), 0u);
    const ParsedPage moves = readPage(*bus, 0x30);
    EXPECT_EQ(moves.value(0), blocks);
    EXPECT_EQ(moves.value(1), 11u);
    EXPECT_EQ(moves.value(2), 2u);
    EXPECT_EQ(moves.value(3), 2u);  // one spaced over, one met by READ
    EXPECT_EQ(moves.value(4), 1u);
    EXPECT_EQ(moves.value(5), 1u);
    EXPECT_EQ(moves.value(6), 1u);
    const ParsedPage compression = readPage(*bus, 0x32);
    // Compression off: blocks take their own length on tape. The block cut short by the
    // small buffer was read from tape whole.
    EXPECT_EQ(compression.value(0), toHost * 100 / read);
    EXPECT_EQ(compression.value(1), 100u);
    EXPECT_EQ(compression.value(2), toHost >> 20);
    EXPECT_EQ(compression.value(3), toHost & 0xFFFFF);
    EXPECT_EQ(compression.value(4), read >> 20);
    EXPECT_EQ(compression.value(5), read & 0xFFFFF);
    EXPECT_EQ(compression.value(6), written >> 20);
    EXPECT_EQ(compression.value(7), written & 0xFFFFF);
    EXPECT_EQ(compression.value(8), written >> 20);
    EXPECT_EQ(compression.value(9), written & 0xFFFFF);
    // Remaining capacity from the position after three blocks.
    EXPECT_EQ(readPage(*bus, 0x31).value(1), ((256ull << 20) - 3ull * size) >> 20);
}

TEST_F(VirtualLogCountersTest, CompressionRatiosFollowTheDataAndTheModePage) {
    auto bus = busFor();
    const std::vector<uint8_t> zeros(65536, 0);
    std::vector<uint8_t> text(65536);
    for (size_t i = 0; i < text.size(); ++i) text[i] = "ETAOIN SHRDLU "[i * 5 % 14];
    const auto noise = pattern(65536, 9);  // every byte value equally often: does not compress

    ASSERT_TRUE(bus->writeVariable(zeros).good());  // compression is on at power-on
    ParsedPage page = readPage(*bus, 0x32);
    EXPECT_EQ(page.value(1), 6400u);  // 64:1, the best the drive claims
    ASSERT_TRUE(bus->writeVariable(noise).good());
    page = readPage(*bus, 0x32);
    EXPECT_EQ(page.value(1), 2u * 65536 * 100 / (65536 + 1024));
    ASSERT_TRUE(resetCounters(*bus).good());
    ASSERT_TRUE(bus->writeVariable(text).good());
    page = readPage(*bus, 0x32);
    EXPECT_GT(page.value(1), 150u);  // 13 symbols: a little over 2:1
    EXPECT_LT(page.value(1), 300u);

    // Blocks written with compression off read back at 1:1, those written with it on as
    // they were written, whatever the setting when they are read.
    setCompression(*bus, false);
    ASSERT_TRUE(bus->writeVariable(zeros).good());
    ASSERT_TRUE(bus->locate(2).good());
    ASSERT_TRUE(resetCounters(*bus, 0x32).good());
    ASSERT_TRUE(bus->readVariable(65536).good());  // text, compressed
    const uint64_t textRatio = readPage(*bus, 0x32).value(0);
    EXPECT_GT(textRatio, 150u);
    ASSERT_TRUE(bus->readVariable(65536).good());  // zeros, not compressed
    EXPECT_LT(readPage(*bus, 0x32).value(0), textRatio);
}

TEST_F(VirtualLogCountersTest, InjectedMediumErrorsAreCountedAndKeptAsWellnessEntries) {
    auto bus = busFor("[target 0]\nmedium_error_at = 2\n");
    ASSERT_TRUE(bus);
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(bus->writeVariable(pattern(100, uint8_t(i))).good());
    EXPECT_EQ(bus->writeVariable(pattern(100)).kcq(), "3/0C/00");
    ASSERT_TRUE(bus->writeFilemarks(0).good());
    const ParsedPage writes = readPage(*bus, 0x02);
    EXPECT_EQ(writes.value(6), 1u);
    EXPECT_EQ(writes.value(2), 4u);
    EXPECT_EQ(writes.value(5), 200u);

    const ParsedPage wellness = readPage(*bus, 0x33);
    ASSERT_EQ(wellness.params.size(), 1u);
    const auto& entry = wellness.params[0];
    EXPECT_EQ(entry.code, 0);
    EXPECT_EQ(entry.control, 0x43);
    const std::vector<uint8_t> expected = {0, 0, 0, 0, 0, 0, 0, 2, 0x03, 0x0C, 0x00, 2};
    EXPECT_EQ(entry.value, expected);
}

TEST_F(VirtualLogCountersTest, ReadErrorsAreCountedAndTheWellnessListKeepsTheLastSixteen) {
    {  // the block must be there before the fault can hit it
        auto bus = busFor("[target 0]\nserial = VDREAD\n");
        ASSERT_TRUE(bus->writeVariable(pattern(10)).good());
    }
    auto bus = busFor("[target 0]\nserial = VDREAD\nmedium_error_at = 0\n");
    ASSERT_TRUE(bus);
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(bus->rewind().good());
        EXPECT_EQ(bus->readVariable(10).kcq(), "3/11/00");
    }
    const ParsedPage reads = readPage(*bus, 0x03);
    EXPECT_EQ(reads.value(6), 20u);
    EXPECT_EQ(reads.value(2), 80u);
    const ParsedPage wellness = readPage(*bus, 0x33);
    ASSERT_EQ(wellness.params.size(), 16u);
    for (uint16_t i = 0; i < 16; ++i) {
        EXPECT_EQ(wellness.params[i].code, i);
        EXPECT_EQ(wellness.params[i].value[9], 0x11);
        EXPECT_EQ(wellness.params[i].value[11], 1);  // read
    }
}

TEST_F(VirtualLogCountersTest, LogSelectResetsCountersOfOnePageOrAll) {
    auto bus = busFor("[target 0]\nlog_counters = loads:9, cleanings:2, temperature:41\n");
    ASSERT_TRUE(bus);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(bus->writeVariable(pattern(1000)).good());
    ASSERT_TRUE(bus->rewind().good());
    ASSERT_TRUE(bus->readVariable(1000).good());

    ASSERT_TRUE(resetCounters(*bus, 0x02).good());
    EXPECT_EQ(readPage(*bus, 0x02).value(5), 0u);
    EXPECT_EQ(readPage(*bus, 0x03).value(5), 1000u);
    EXPECT_EQ(readPage(*bus, 0x30).value(0), 3u);

    // The console's form: PCR with page control 00b and page 0 resets everything.
    ASSERT_TRUE(bus->none(0, {0x4C, 0x02, 0, 0, 0, 0, 0, 0, 0, 0}).good());
    for (uint8_t page : {0x02, 0x03, 0x30}) {
        const ParsedPage p = readPage(*bus, page);
        for (const auto& prm : p.params) EXPECT_EQ(prm.number(), 0u) << int(page) << "/" << prm.code;
    }
    EXPECT_EQ(readPage(*bus, 0x32).value(7), 0u);
    // Lifetime counts and settings stay.
    const ParsedPage status = readPage(*bus, 0x3E);
    EXPECT_EQ(status.value(2), 9u);
    EXPECT_EQ(status.value(3), 2u);
    EXPECT_EQ(readPage(*bus, 0x0D).value(0), 41u);
}

TEST_F(VirtualLogCountersTest, LogSelectParameterDataAndRefusedFields) {
    auto bus = busFor();
    struct Case {
        const char* name;
        std::vector<uint8_t> cdb;
        std::vector<uint8_t> data;
        const char* kcq;
    } cases[] = {
        {"no parameters", {0x4C, 0, 0x42, 0, 0, 0, 0, 0, 0, 0}, {}, "GOOD"},
        {"an empty page", {0x4C, 0, 0x42, 0, 0, 0, 0, 0, 4, 0}, {0x02, 0, 0, 0}, "GOOD"},
        {"a parameter", {0x4C, 0, 0x42, 0, 0, 0, 0, 0, 12, 0}, {0x02, 0, 0, 8, 0, 0, 0x40, 4, 0, 0, 0, 0}, "5/26/00"},
        {"another page than the CDB's", {0x4C, 0, 0x43, 0, 0, 0, 0, 0, 4, 0}, {0x02, 0, 0, 0}, "5/26/00"},
        {"an unknown page", {0x4C, 0, 0x40, 0, 0, 0, 0, 0, 4, 0}, {0x05, 0, 0, 0}, "5/26/00"},
        {"shorter than a header", {0x4C, 0, 0x42, 0, 0, 0, 0, 0, 2, 0}, {0x02, 0}, "5/1A/00"},
        {"data not sent", {0x4C, 0, 0x42, 0, 0, 0, 0, 0, 8, 0}, {0x02, 0, 0, 0}, "B/4B/00"},
        {"PCR with data", {0x4C, 0x02, 0x40, 0, 0, 0, 0, 0, 4, 0}, {0x02, 0, 0, 0}, "5/24/00"},
        {"SP", {0x4C, 0x03, 0x40, 0, 0, 0, 0, 0, 0, 0}, {}, "5/24/00"},
        {"unknown page in the CDB", {0x4C, 0x02, 0x45, 0, 0, 0, 0, 0, 0, 0}, {}, "5/24/00"},
        {"subpage", {0x4C, 0x02, 0x42, 1, 0, 0, 0, 0, 0, 0}, {}, "5/24/00"},
    };
    for (const auto& c : cases) {
        const Answer a = c.data.empty() ? bus->none(0, c.cdb) : bus->out(0, c.cdb, c.data);
        EXPECT_EQ(a.kcq(), c.kcq) << c.name;
    }
}

TEST_F(VirtualLogCountersTest, CountersAreKeptForTheNextRunAndTheProfileOverridesThem) {
    {
        auto bus = busFor();
        for (int i = 0; i < 4; ++i) ASSERT_TRUE(bus->writeVariable(pattern(500)).good());
        ASSERT_TRUE(bus->none(0, {0x1B, 0, 0, 0, 0, 0}).good());  // unload
        ASSERT_TRUE(bus->none(0, {0x1B, 0, 0, 0, 1, 0}).good());  // load
    }
    ASSERT_TRUE(fs::exists(driveLogFile()));
    {
        auto bus = busFor();
        EXPECT_EQ(readPage(*bus, 0x30).value(0), 4u);
        EXPECT_EQ(readPage(*bus, 0x02).value(5), 2000u);
        EXPECT_EQ(readPage(*bus, 0x3E).value(2), 1u);
        ASSERT_TRUE(resetCounters(*bus).good());
        ASSERT_TRUE(bus->rewind().good());  // REWIND saves; so would the end of the run
    }
    {
        auto bus = busFor("[target 0]\nlog_counters = write_rewrites:77\n");
        EXPECT_EQ(readPage(*bus, 0x30).value(0), 0u);
        EXPECT_EQ(readPage(*bus, 0x30).value(4), 1u);  // the rewind after the reset
        EXPECT_EQ(readPage(*bus, 0x02).value(2), 77u);
        EXPECT_EQ(readPage(*bus, 0x3E).value(2), 1u);  // loads are not reset
    }
}

TEST_F(VirtualLogCountersTest, ADamagedDriveLogFileIsAWarningAndCountsStartFromZero) {
    fs::create_directories(driveLogFile().parent_path());
    for (const std::string& text : {std::string("[counters]\nblocks_written = many\n"),
                                    std::string("[counters]\ntemperature = 20\n"),
                                    std::string("[wellness]\n1 = 1 2 3\n"), std::string("[other]\n"),
                                    std::string(70 * 1024, '\n')}) {
        std::ofstream(driveLogFile(), std::ios::trunc) << text;
        std::string error;
        auto transport = makeVirtualTransport("", error);
        ASSERT_TRUE(transport) << error;
        VirtualBus bus(transport);
        const auto warnings = virtualTransportWarnings(*transport);
        ASSERT_EQ(warnings.size(), 1u) << text;
        EXPECT_NE(warnings[0].find("VD00000001.vlog is refused"), std::string::npos) << warnings[0];
        EXPECT_EQ(readPage(bus, 0x30).value(0), 0u);
        EXPECT_EQ(readPage(bus, 0x0D).value(0), 35u);
    }
}

}  // namespace
