// SEND DIAGNOSTIC and RECEIVE DIAGNOSTIC RESULTS of the virtual tape drive, and the
// self-test results log page.
#include <gtest/gtest.h>

#include "log_page_reader.h"
#include "support/test_root.h"
#include "virtual_bus.h"

using namespace vexal::device;
using vexal::testing::Answer;
using vexal::testing::ParsedPage;
using vexal::testing::readPage;
using vexal::testing::TempRoot;
using vexal::testing::transportFromProfile;
using vexal::testing::VirtualBus;

namespace {

std::vector<uint8_t> sendCdb(uint8_t byte1, uint16_t length = 0) {
    return {0x1D, byte1, 0, uint8_t(length >> 8), uint8_t(length), 0};
}
std::vector<uint8_t> receiveCdb(uint16_t length, bool pcv = false, uint8_t page = 0) {
    return {0x1C, uint8_t(pcv ? 1 : 0), page, uint8_t(length >> 8), uint8_t(length), 0};
}

class VirtualDiagnosticsTest : public ::testing::Test {
protected:
    std::unique_ptr<VirtualBus> busFor(const std::string& profile = "[target 0]\n") {
        std::string error;
        auto t = transportFromProfile(root, profile, &error);
        EXPECT_TRUE(t) << error;
        return t ? std::make_unique<VirtualBus>(t) : nullptr;
    }
    // The self-test results page (80h) that RECEIVE DIAGNOSTIC RESULTS returns.
    std::vector<uint8_t> results(VirtualBus& bus) {
        const Answer a = bus.in(0, receiveCdb(64), 64);
        EXPECT_TRUE(a.good()) << a.kcq();
        EXPECT_EQ(a.transferred(), 16u);
        return std::vector<uint8_t>(a.data.begin(), a.data.begin() + 16);
    }
    TempRoot root;
};

TEST_F(VirtualDiagnosticsTest, EverySelfTestTheConsoleOffersPasses) {
    auto bus = busFor();
    // Before any test: the power-on self-test passed.
    EXPECT_EQ(results(*bus), (std::vector<uint8_t>{0x80, 0, 0, 12, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0}));
    for (uint8_t code : {0x01, 0x03, 0x04, 0x05, 0x06, 0x07}) {
        SCOPED_TRACE(int(code));
        ASSERT_TRUE(bus->none(0, sendCdb(code)).good());
        const auto r = results(*bus);
        EXPECT_EQ(r[4], code);  // the test that ran
        EXPECT_EQ(r[5], 0);     // passed
        EXPECT_EQ(r[12], 0);
    }
    // Nothing asked: nothing runs, the results stay.
    ASSERT_TRUE(bus->none(0, sendCdb(0x00)).good());
    EXPECT_EQ(results(*bus)[4], 0x07);
}

TEST_F(VirtualDiagnosticsTest, AFailingDriveReportsTheFailure) {
    auto bus = busFor("[target 0]\nself_test = fail\n");
    ASSERT_TRUE(bus);
    EXPECT_EQ(bus->none(0, sendCdb(0x04)).kcq(), "4/3E/03");  // default self-test
    auto r = results(*bus);
    EXPECT_EQ(r[4], 0x04);
    EXPECT_EQ(r[5], 5);  // the first segment failed
    EXPECT_EQ(r[6], 1);
    EXPECT_EQ(r[12], 0x4);
    EXPECT_EQ(r[13], 0x40);
    EXPECT_EQ(r[14], 0x80);
    EXPECT_EQ(bus->none(0, sendCdb(0xA0)).kcq(), "4/3E/03");  // foreground short
    EXPECT_TRUE(bus->none(0, sendCdb(0x20)).good());          // background short: only the log tells
    EXPECT_EQ(bus->none(0, sendCdb(0x01)).kcq(), "4/3E/03");  // the extended test off-line
}

TEST_F(VirtualDiagnosticsTest, ShortAndExtendedSelfTestsAreLoggedNewestFirst) {
    auto bus = busFor("[target 0]\nself_test = fail\n");
    ASSERT_TRUE(bus);
    ASSERT_TRUE(bus->none(0, sendCdb(0x20)).good());             // background short
    ASSERT_TRUE(bus->none(0, sendCdb(0x40)).good());             // background extended
    EXPECT_FALSE(bus->none(0, sendCdb(0xC0)).good());            // foreground extended
    EXPECT_TRUE(bus->none(0, sendCdb(0x80)).good());             // abort background: nothing to abort
    EXPECT_FALSE(bus->none(0, sendCdb(0x04)).good());            // default: not logged
    const ParsedPage page = readPage(*bus, 0x10);
    ASSERT_EQ(page.params.size(), 20u);
    const uint8_t codes[] = {6, 2, 1};
    for (size_t i = 0; i < 3; ++i) {
        const auto& v = page.params[i].value;
        EXPECT_EQ(v[0], codes[i] << 5 | 5) << i;
        EXPECT_EQ(v[1], 1) << i;
        EXPECT_EQ(v[4], 0xFF) << i;
        EXPECT_EQ(v[12], 0x04) << i;
        EXPECT_EQ(v[13], 0x40) << i;
    }
    EXPECT_EQ(page.params[3].value, std::vector<uint8_t>(16, 0));
    // Only the last 20 stay.
    for (int i = 0; i < 25; ++i) ASSERT_TRUE(bus->none(0, sendCdb(0x20)).good());
    const ParsedPage full = readPage(*bus, 0x10);
    for (const auto& p : full.params) EXPECT_EQ(p.value[0], 1 << 5 | 5);
}

TEST_F(VirtualDiagnosticsTest, DiagnosticPagesBySendDiagnosticOrPageCode) {
    auto bus = busFor();
    // PF with the supported pages page: the next results are that page.
    ASSERT_TRUE(bus->out(0, sendCdb(0x10, 4), {0, 0, 0, 0}).good());
    const Answer list = bus->in(0, receiveCdb(64), 64);
    ASSERT_TRUE(list.good());
    EXPECT_EQ(std::vector<uint8_t>(list.data.begin(), list.data.begin() + list.transferred()),
              (std::vector<uint8_t>{0, 0, 0, 2, 0x00, 0x80}));
    // PCV chooses the page; the allocation length cuts it.
    const Answer byCode = bus->in(0, receiveCdb(64, true, 0x80), 64);
    ASSERT_TRUE(byCode.good());
    EXPECT_EQ(byCode.data[0], 0x80);
    EXPECT_EQ(bus->in(0, receiveCdb(4, true, 0x80), 64).transferred(), 4u);
    EXPECT_EQ(bus->in(0, receiveCdb(64, true, 0x81), 64).kcq(), "5/24/00");
}

TEST_F(VirtualDiagnosticsTest, RefusedSendDiagnosticFields) {
    auto bus = busFor();
    struct Case {
        const char* name;
        std::vector<uint8_t> cdb;
        std::vector<uint8_t> data;
        const char* kcq;
    } cases[] = {
        {"SELFTEST with a self-test code", sendCdb(0x24), {}, "5/24/00"},
        {"reserved self-test code 3", sendCdb(0x60), {}, "5/24/00"},
        {"reserved self-test code 7", sendCdb(0xE0), {}, "5/24/00"},
        {"reserved bit 3", sendCdb(0x08), {}, "5/24/00"},
        {"SELFTEST with a parameter list", sendCdb(0x14, 4), {0, 0, 0, 0}, "5/24/00"},
        {"parameter list without PF", sendCdb(0x00, 4), {0, 0, 0, 0}, "5/24/00"},
        {"a page the drive does not take", sendCdb(0x10, 4), {0x80, 0, 0, 0}, "5/26/00"},
        {"a list shorter than a page header", sendCdb(0x10, 2), {0, 0}, "5/1A/00"},
        {"a list that did not come", sendCdb(0x10, 8), {0, 0, 0, 0}, "B/4B/00"},
    };
    for (const auto& c : cases) {
        const Answer a = c.data.empty() ? bus->none(0, c.cdb) : bus->out(0, c.cdb, c.data);
        EXPECT_EQ(a.kcq(), c.kcq) << c.name;
    }
}

}  // namespace
