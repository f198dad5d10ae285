// Log pages of the virtual tape drive: layouts, page control, the parameter pointer, the
// allocation length, the event history of page 07h and the Tape Alert flags.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "log_page_reader.h"
#include "support/test_root.h"
#include "virtual_bus.h"

using namespace vexal::device;
using vexal::testing::Answer;
using vexal::testing::logSenseCdb;
using vexal::testing::PageParameter;
using vexal::testing::ParsedPage;
using vexal::testing::parsePage;
using vexal::testing::readPage;
using vexal::testing::TempRoot;
using vexal::testing::transportFromProfile;
using vexal::testing::VirtualBus;

namespace {

class VirtualLogPagesTest : public ::testing::Test {
protected:
    std::unique_ptr<VirtualBus> busFor(const std::string& profile = "") {
        std::string error;
        auto t = profile.empty() ? makeVirtualTransport("", error) : transportFromProfile(root, profile, &error);
        EXPECT_TRUE(t) << error;
        return t ? std::make_unique<VirtualBus>(t) : nullptr;
    }
    TempRoot root;
};

// Parameter codes from `first`, one per length given.
struct Layout {
    uint8_t page;
    uint16_t first;
    std::vector<uint8_t> lengths;
    uint8_t control;
};

std::vector<uint8_t> repeat(uint8_t length, size_t count) { return std::vector<uint8_t>(count, length); }

TEST_F(VirtualLogPagesTest, SupportedPagesListsEveryPageInOrder) {
    auto bus = busFor();
    const Answer a = bus->in(0, logSenseCdb(0x00), 64);
    ASSERT_TRUE(a.good()) << a.kcq();
    const std::vector<uint8_t> expected = {0x00, 0x00, 0x00, 12,   0x00, 0x02, 0x03, 0x07,
                                           0x0D, 0x10, 0x2E, 0x30, 0x31, 0x32, 0x33, 0x3E};
    ASSERT_EQ(a.transferred(), expected.size());
    EXPECT_EQ(std::vector<uint8_t>(a.data.begin(), a.data.begin() + 16), expected);
}

TEST_F(VirtualLogPagesTest, ParameterPagesHaveTheirCodesLengthsAndControlBytes) {
    auto bus = busFor();
    const Layout layouts[] = {
        {0x02, 0, {4, 4, 4, 4, 4, 8, 4}, 0x40},
        {0x03, 0, {4, 4, 4, 4, 4, 8, 4}, 0x40},
        {0x0D, 0, {2, 2}, 0x43},
        {0x10, 1, repeat(16, 20), 0x03},
        {0x2E, 1, repeat(1, 64), 0x40},
        {0x30, 0, repeat(4, 7), 0x40},
        {0x31, 1, repeat(4, 4), 0x40},
        {0x32, 0, {2, 2, 4, 4, 4, 4, 4, 4, 4, 4}, 0x40},
        {0x3E, 0, repeat(4, 6), 0x40},
    };
    for (const Layout& l : layouts) {
        SCOPED_TRACE(testing::Message() << "page " << std::hex << int(l.page));
        const ParsedPage p = readPage(*bus, l.page);
        ASSERT_EQ(p.params.size(), l.lengths.size());
        for (size_t i = 0; i < l.lengths.size(); ++i) {
            EXPECT_EQ(p.params[i].code, l.first + i);
            EXPECT_EQ(p.params[i].value.size(), l.lengths[i]) << "parameter " << i;
            EXPECT_EQ(p.params[i].control, l.control) << "parameter " << i;
        }
    }
    // A fresh drive reports no wellness entries.
    EXPECT_TRUE(readPage(*bus, 0x33).params.empty());
}

TEST_F(VirtualLogPagesTest, StatusValuesOfAFreshDrive) {
    auto bus = busFor();
    const ParsedPage temperature = readPage(*bus, 0x0D);
    EXPECT_EQ(temperature.value(0), 35u);
    EXPECT_EQ(temperature.value(1), 60u);
    const ParsedPage capacity = readPage(*bus, 0x31);
    EXPECT_EQ(capacity.value(1), 256u);  // blank 256 MiB cartridge at the beginning
    EXPECT_EQ(capacity.value(2), 0u);
    EXPECT_EQ(capacity.value(3), 256u);
    EXPECT_EQ(capacity.value(4), 0u);
    const ParsedPage status = readPage(*bus, 0x3E);
    EXPECT_EQ(status.value(0), 10u);  // family of byte 36 A1h
    EXPECT_EQ(status.value(1), 0u);   // no cleaning needed
    EXPECT_EQ(status.value(5), 35u);
    const ParsedPage ratios = readPage(*bus, 0x32);
    EXPECT_EQ(ratios.value(0), 100u);
    EXPECT_EQ(ratios.value(1), 100u);
}

TEST_F(VirtualLogPagesTest, PageControlSelectsCurrentDefaultAndThresholdValues) {
    auto bus = busFor("[target 0]\nlog_counters = read_rereads:40, write_bytes:123456789012, loads:7\n"
                      "tape_alerts = 5\n");
    ASSERT_TRUE(bus);
    struct Case {
        uint8_t control;
        uint64_t rereads, bytes, loads, temperature;
    } cases[] = {
        {3, 0, 0, 0, 35},                                         // default cumulative
        {2, 0xFFFFFFFF, ~0ull, 0xFFFFFFFF, 35},                   // default threshold
        {0, 0xFFFFFFFF, ~0ull, 0xFFFFFFFF, 35},                   // threshold
        {1, 40, 123456789012, 7, 35},                             // cumulative
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.control));
        EXPECT_EQ(readPage(*bus, 0x03, c.control).value(2), c.rereads);
        EXPECT_EQ(readPage(*bus, 0x02, c.control).value(5), c.bytes);
        EXPECT_EQ(readPage(*bus, 0x3E, c.control).value(2), c.loads);
        EXPECT_EQ(readPage(*bus, 0x0D, c.control).value(0), c.temperature);
    }
    // Default values show no Tape Alert flag and leave the flags alone; threshold values
    // show them (and reading clears them).
    EXPECT_EQ(readPage(*bus, 0x2E, 3).value(5), 0u);
    EXPECT_EQ(readPage(*bus, 0x2E, 2).value(5), 0u);
    EXPECT_EQ(readPage(*bus, 0x2E, 0).value(5), 1u);
    EXPECT_EQ(readPage(*bus, 0x2E, 1).value(5), 0u);
}

TEST_F(VirtualLogPagesTest, AllocationLengthCutsThePageButNotItsLengthField) {
    auto bus = busFor();
    const ParsedPage whole = readPage(*bus, 0x02);
    const size_t full = 4u + whole.length;
    for (uint16_t allocation : {0, 1, 3, 4, 8, 20, 64}) {
        SCOPED_TRACE(allocation);
        const Answer a = bus->in(0, logSenseCdb(0x02, 1, allocation), 128);
        ASSERT_TRUE(a.good()) << a.kcq();
        EXPECT_EQ(a.transferred(), std::min<size_t>(allocation, full));
        if (allocation >= 4) {
            EXPECT_EQ(a.data[2] << 8 | a.data[3], whole.length);
        }
        EXPECT_EQ(a.data[a.transferred()], 0xEE);  // nothing past what was sent
    }
    // A buffer shorter than the allocation length takes what fits.
    const Answer small = bus->in(0, logSenseCdb(0x2E, 1, 1024), 10);
    ASSERT_TRUE(small.good());
    EXPECT_EQ(small.transferred(), 10u);
}

TEST_F(VirtualLogPagesTest, ParameterPointerStartsThePageAtThatCode) {
    auto bus = busFor();
    const ParsedPage tail = readPage(*bus, 0x02, 1, 5);
    ASSERT_EQ(tail.params.size(), 2u);
    EXPECT_EQ(tail.params[0].code, 5);
    EXPECT_EQ(tail.length, 4 + 8 + 4 + 4);
    const ParsedPage last = readPage(*bus, 0x2E, 1, 0x40);
    ASSERT_EQ(last.params.size(), 1u);
    EXPECT_EQ(last.params[0].code, 0x40);
    // Between codes: from the next code on.
    EXPECT_EQ(readPage(*bus, 0x31, 1, 0).params.size(), 4u);
    EXPECT_EQ(readPage(*bus, 0x10, 1, 20).params.size(), 1u);

    struct Bad {
        uint8_t page;
        uint16_t pointer;
    } bad[] = {{0x02, 7}, {0x2E, 0x41}, {0x00, 1}, {0x33, 1}};
    for (const Bad& b : bad) {
        const Answer a = bus->in(0, logSenseCdb(b.page, 1, 512, b.pointer), 512);
        EXPECT_EQ(a.kcq(), "5/24/00") << int(b.page);
        EXPECT_EQ(a.sense[16] << 8 | a.sense[17], 5);  // field pointer: the parameter pointer
    }
}

TEST_F(VirtualLogPagesTest, RefusedLogSenseFields) {
    auto bus = busFor();
    struct Case {
        const char* name;
        std::vector<uint8_t> cdb;
        uint16_t byte;
    } cases[] = {
        {"SP", {0x4D, 0x01, 0x42, 0, 0, 0, 0, 1, 0, 0}, 1},
        {"PPC", {0x4D, 0x02, 0x42, 0, 0, 0, 0, 1, 0, 0}, 1},
        {"unknown page", {0x4D, 0x00, 0x45, 0, 0, 0, 0, 1, 0, 0}, 2},
        {"subpage", {0x4D, 0x00, 0x42, 0x01, 0, 0, 0, 1, 0, 0}, 3},
    };
    for (const auto& c : cases) {
        const Answer a = bus->in(0, c.cdb, 256);
        EXPECT_EQ(a.kcq(), "5/24/00") << c.name;
        EXPECT_EQ(a.sense[15] & 0xC0, 0xC0) << c.name;  // SKSV, in the CDB
        EXPECT_EQ(a.sense[16] << 8 | a.sense[17], c.byte) << c.name;
    }
}

TEST_F(VirtualLogPagesTest, LogPagesAnswerWithoutACartridge) {
    auto bus = busFor("[target 0]\ncartridge = no\n");
    ASSERT_TRUE(bus);
    const ParsedPage capacity = readPage(*bus, 0x31);
    EXPECT_EQ(capacity.value(1), 0u);
    EXPECT_EQ(capacity.value(3), 0u);
    EXPECT_EQ(readPage(*bus, 0x02).params.size(), 7u);
}

// Page 07h: the text the event decoder joins from the parameter values.
std::vector<std::string> eventLines(const ParsedPage& page) {
    std::vector<std::string> lines;
    for (const PageParameter& p : page.params) {
        EXPECT_EQ(p.control, 0x41);
        const std::string text(p.value.begin(), p.value.end());
        EXPECT_TRUE(text.size() >= 2 && text.substr(text.size() - 2) == "\r\n") << text;
        size_t at = 0;
        while (at < text.size()) {
            const size_t end = text.find("\r\n", at);
            lines.push_back(text.substr(at, end - at));
            at = end + 2;
        }
    }
    return lines;
}

TEST_F(VirtualLogPagesTest, DefaultEventHistoryIsThreePacketsOneParameterEach) {
    auto bus = busFor();
    const ParsedPage page = readPage(*bus, 0x07);
    ASSERT_EQ(page.params.size(), 3u);
    for (uint16_t i = 0; i < 3; ++i) {
        EXPECT_EQ(page.params[i].code, i);
        const std::string text(page.params[i].value.begin(), page.params[i].value.end());
        EXPECT_EQ(text.rfind("Packet # " + std::to_string(i + 1) + " - ", 0), 0u) << text;
    }
    const auto lines = eventLines(page);
    EXPECT_EQ(lines.size(), 7u);
}

TEST_F(VirtualLogPagesTest, EventHistoryFromAFileOrNone) {
    std::string file = "; events for the training room\n"
                       "Packet # 10 - BUGCHECK: 0042 [BUGCHK 01-02-2024] 100:00:00.000 POH/PC= 100/9\r\n"
                       "00000042 00000000\n"
                       "\n"
                       "Packet # 11 - EVENT: 0001 [POWERON 01-03-2024] 101:00:00.000 POH/PC= 101/10\n";
    // A long packet is split over parameters at line ends.
    for (int i = 0; i < 12; ++i) file += std::string(35, 'A' + i) + " 0000000" + std::to_string(i % 10) + "\n";
    std::ofstream(root.path() / "events.txt") << file;
    auto bus = busFor("[target 0]\nevent_history = events.txt\n[target 2]\ntype = tape\nevent_history = none\n");
    ASSERT_TRUE(bus);
    const ParsedPage page = readPage(*bus, 0x07);
    ASSERT_GE(page.params.size(), 4u);
    for (const auto& p : page.params) EXPECT_LE(p.value.size(), 255u);
    const auto lines = eventLines(page);
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_EQ(lines[0], "Packet # 10 - BUGCHECK: 0042 [BUGCHK 01-02-2024] 100:00:00.000 POH/PC= 100/9");
    EXPECT_EQ(lines[1], "00000042 00000000");
    EXPECT_EQ(lines[14], std::string(35, 'L') + " 00000001");
    // The second packet starts its own parameter.
    EXPECT_EQ(std::string(page.params[1].value.begin(), page.params[1].value.begin() + 11), "Packet # 11");

    const Answer none = bus->in(2, logSenseCdb(0x07), 64);
    ASSERT_TRUE(none.good()) << none.kcq();
    EXPECT_EQ(none.transferred(), 4u);
    EXPECT_EQ(none.data[3], 0);
}

TEST_F(VirtualLogPagesTest, BadEventHistoryFilesRefuseTheProfile) {
    std::ofstream(root.path() / "long.txt") << "Packet # 1\n" << std::string(201, 'x') << "\n";
    std::ofstream(root.path() / "binary.txt") << "Packet # 1\nab\x01" "c\n";
    std::ofstream(root.path() / "huge.txt") << std::string(17 * 1024, 'x');
    struct Case {
        const char* value;
        const char* says;
    } cases[] = {
        {"missing.txt", "cannot be read"},
        {"long.txt", "longer than 200 characters (line 2)"},
        {"binary.txt", "not printable ASCII on line 2"},
        {"huge.txt", "larger than 16384 bytes"},
    };
    for (const auto& c : cases) {
        std::string error;
        auto t = transportFromProfile(root, std::string("[target 0]\nevent_history = ") + c.value + "\n", &error);
        EXPECT_FALSE(t) << c.value;
        EXPECT_NE(error.find("line 2: the key \"event_history\" of [target 0] names the file"), std::string::npos)
            << error;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
}

TEST_F(VirtualLogPagesTest, LogProfileKeysRefuseBadValues) {
    const char* bad[] = {
        "log_counters = bogus:1",      "log_counters = read_rereads",    "log_counters = read_rereads:-1",
        "log_counters = blocks_read:4294967296", "log_counters = temperature:255", "self_test = maybe",
        "event_history = ",
    };
    for (const char* line : bad) {
        std::string error;
        EXPECT_FALSE(transportFromProfile(root, std::string("[target 0]\n") + line + "\n", &error)) << line;
        EXPECT_NE(error.find("has the bad value"), std::string::npos) << error;
    }
    std::string error;
    EXPECT_FALSE(transportFromProfile(root, "[target 1]\nlog_counters = loads:1\n", &error));
    EXPECT_NE(error.find("applies only to a tape drive"), std::string::npos) << error;
    EXPECT_TRUE(transportFromProfile(root, "[target 0]\nlog_counters = Temperature:40, loads:1\nself_test = FAIL\n"
                                           "event_history = default\n", &error)) << error;
}

TEST_F(VirtualLogPagesTest, TapeAlertFlagsFromTheProfileAreClearedOnceRead) {
    auto bus = busFor("[target 0]\ntape_alerts = 3, 20, 64\n");
    ASSERT_TRUE(bus);
    // Reading just the header and the first parameter header clears nothing.
    ASSERT_TRUE(bus->in(0, logSenseCdb(0x2E, 0, 8), 8).good());
    // A read that stops after flag 3 clears flags 1 to 3 only.
    const Answer part = bus->in(0, logSenseCdb(0x2E, 0, 4 + 3 * 5), 64);
    ASSERT_TRUE(part.good());
    EXPECT_EQ(part.data[4 + 2 * 5 + 4], 1);  // flag 3
    const ParsedPage first = readPage(*bus, 0x2E, 0);
    for (uint16_t flag = 1; flag <= 64; ++flag)
        EXPECT_EQ(first.value(flag), flag == 20 || flag == 64 ? 1u : 0u) << flag;
    const ParsedPage second = readPage(*bus, 0x2E, 0);
    for (uint16_t flag = 1; flag <= 64; ++flag) EXPECT_EQ(second.value(flag), 0u) << flag;
    // The cleaning condition stays in the device status page.
    EXPECT_EQ(readPage(*bus, 0x3E).value(1), 4u);
}

TEST_F(VirtualLogPagesTest, TapeAlertFlagsTheDriveRaisesItself) {
    auto bus = busFor("[target 0]\nwrite_protect = yes\n[target 2]\ntype = tape\nmedium_error_at = 0\n"
                      "tape_alerts = 36\n");
    ASSERT_TRUE(bus);
    EXPECT_EQ(bus->writeVariable(std::vector<uint8_t>(10, 1)).kcq(), "7/27/00");
    const ParsedPage protectedPage = readPage(*bus, 0x2E);
    EXPECT_EQ(protectedPage.value(9), 1u);
    EXPECT_EQ(protectedPage.value(3), 0u);

    const Answer write = bus->out(2, {0x0A, 0, 0, 0, 10, 0}, std::vector<uint8_t>(10, 1));
    EXPECT_EQ(write.kcq(), "3/0C/00");
    const Answer page = bus->in(2, logSenseCdb(0x2E), 1024);
    const ParsedPage alerts = parsePage(page.data, page.transferred());
    EXPECT_EQ(alerts.value(3), 1u);   // hard error
    EXPECT_EQ(alerts.value(4), 1u);   // media
    EXPECT_EQ(alerts.value(36), 1u);  // from the profile
    // A drive with flag 36 runs hot unless the profile gives its temperature.
    const Answer temperature = bus->in(2, logSenseCdb(0x0D), 64);
    EXPECT_EQ(parsePage(temperature.data, temperature.transferred()).value(0), 62u);
}

}  // namespace
