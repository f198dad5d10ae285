// VERIFY of the virtual tape drive: fixed and variable blocks, byte compare, and what
// stops it (filemarks, end-of-data, wrong lengths, medium errors, miscompares).
#include <gtest/gtest.h>

#include "log_page_reader.h"
#include "support/test_root.h"
#include "virtual_bus.h"

using namespace vexal::device;
using vexal::testing::Answer;
using vexal::testing::pattern;
using vexal::testing::readPage;
using vexal::testing::TempRoot;
using vexal::testing::transportFromProfile;
using vexal::testing::VirtualBus;

namespace {

std::vector<uint8_t> verifyCdb(bool fixed, bool compare, uint32_t length) {
    return {0x13, uint8_t((fixed ? 1 : 0) | (compare ? 2 : 0)), uint8_t(length >> 16), uint8_t(length >> 8),
            uint8_t(length), 0};
}

class VirtualVerifyTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        auto transport = makeVirtualTransport("", error);
        ASSERT_TRUE(transport) << error;
        bus = std::make_unique<VirtualBus>(transport);
    }
    Answer verify(bool fixed, uint32_t length) { return bus->none(0, verifyCdb(fixed, false, length)); }
    Answer compare(bool fixed, uint32_t length, const std::vector<uint8_t>& data) {
        return bus->out(0, verifyCdb(fixed, true, length), data);
    }
    TempRoot root;
    std::unique_ptr<VirtualBus> bus;
};

TEST_F(VirtualVerifyTest, VariableAndFixedVerifyMoveLikeARead) {
    const auto a = pattern(3000, 1);
    ASSERT_TRUE(bus->writeVariable(a).good());
    ASSERT_TRUE(bus->setBlockLength(512).good());
    const auto fixed = pattern(3 * 512, 2);
    ASSERT_TRUE(bus->writeFixed(3, fixed).good());
    ASSERT_TRUE(bus->writeFilemarks(1).good());
    ASSERT_TRUE(bus->rewind().good());

    ASSERT_TRUE(verify(false, 3000).good());
    EXPECT_EQ(bus->position(), 1);
    const Answer blocks = verify(true, 3);
    ASSERT_TRUE(blocks.good()) << blocks.kcq();
    EXPECT_EQ(bus->position(), 4);
    EXPECT_EQ(blocks.transferred(), 0u);  // nothing goes to the host
    // Then the filemark, then end-of-data.
    const Answer fm = verify(true, 2);
    EXPECT_EQ(fm.kcq(), "0/00/01");
    EXPECT_TRUE(fm.filemark());
    EXPECT_EQ(fm.information(), 2);
    EXPECT_EQ(bus->position(), 5);
    const Answer eod = verify(false, 10);
    EXPECT_EQ(eod.kcq(), "8/00/05");
    EXPECT_EQ(eod.information(), 10);
    // A zero length verifies nothing.
    ASSERT_TRUE(bus->rewind().good());
    ASSERT_TRUE(verify(false, 0).good());
    EXPECT_EQ(bus->position(), 0);
    // Verified blocks count as read from tape, not as sent to the host.
    ASSERT_TRUE(verify(false, 3000).good());
    const auto page = readPage(*bus, 0x32);
    EXPECT_EQ(page.value(3), 0u);
    EXPECT_EQ(readPage(*bus, 0x03).value(5), 2u * 3000 + 3 * 512);
}

TEST_F(VirtualVerifyTest, ByteCompareFindsTheMiscompare) {
    const auto a = pattern(2000, 1);
    ASSERT_TRUE(bus->writeVariable(a).good());
    ASSERT_TRUE(bus->setBlockLength(256).good());
    const auto fixed = pattern(4 * 256, 2);
    ASSERT_TRUE(bus->writeFixed(4, fixed).good());
    ASSERT_TRUE(bus->rewind().good());

    const Answer same = compare(false, 2000, a);
    ASSERT_TRUE(same.good()) << same.kcq();
    EXPECT_EQ(same.transferred(), 2000u);
    auto wrong = fixed;
    wrong[2 * 256 + 17] ^= 0x01;  // in the third block
    const Answer miss = compare(true, 4, wrong);
    EXPECT_EQ(miss.kcq(), "E/1D/00");
    EXPECT_TRUE(miss.valid());
    EXPECT_EQ(miss.information(), 2);  // the third and fourth blocks were not verified
    EXPECT_EQ(bus->position(), 4);     // after the block that miscompared
    ASSERT_TRUE(bus->locate(0).good());
    auto wrongA = a;
    wrongA.back() ^= 0xFF;
    const Answer variableMiss = compare(false, 2000, wrongA);
    EXPECT_EQ(variableMiss.kcq(), "E/1D/00");
    EXPECT_EQ(variableMiss.information(), 2000);
    // Uniform blocks compare too.
    ASSERT_TRUE(bus->setBlockLength(0).good());
    ASSERT_TRUE(bus->space(3, 0).good());  // to end-of-data
    ASSERT_TRUE(bus->writeVariable(std::vector<uint8_t>(700, 0x33)).good());
    ASSERT_TRUE(bus->locate(5).good());
    EXPECT_TRUE(compare(false, 700, std::vector<uint8_t>(700, 0x33)).good());
    ASSERT_TRUE(bus->locate(5).good());
    EXPECT_EQ(compare(false, 700, std::vector<uint8_t>(700, 0x34)).kcq(), "E/1D/00");
}

TEST_F(VirtualVerifyTest, IncorrectLengthsAndRefusedRequests) {
    ASSERT_TRUE(bus->writeVariable(pattern(1000)).good());
    ASSERT_TRUE(bus->rewind().good());
    const Answer shortBlock = verify(false, 1200);
    EXPECT_EQ(shortBlock.kcq(), "0/00/00");
    EXPECT_TRUE(shortBlock.ili());
    EXPECT_EQ(shortBlock.information(), 200);
    EXPECT_EQ(bus->position(), 1);
    ASSERT_TRUE(bus->rewind().good());
    EXPECT_EQ(verify(false, 800).information(), -200);

    EXPECT_EQ(verify(true, 1).kcq(), "5/24/00");                           // no fixed block length
    EXPECT_EQ(bus->none(0, {0x13, 0x20, 0, 0, 1, 0}).kcq(), "5/24/00");    // protection bits
    EXPECT_EQ(compare(false, 1000, pattern(10)).kcq(), "B/4B/00");         // data did not come
}

TEST(VirtualVerifyFaultsTest, MediumErrorsAndAMissingCartridge) {
    TempRoot root;
    {
        std::string error;
        VirtualBus writer(transportFromProfile(root, "[target 0]\n", &error));
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(writer.writeVariable(pattern(100, uint8_t(i))).good());
    }
    std::string error;
    auto t = transportFromProfile(root, "[target 0]\nmedium_error_at = 1\n[target 2]\ntype = tape\ncartridge = no\n",
                                  &error);
    ASSERT_TRUE(t) << error;
    VirtualBus bus(t);
    ASSERT_TRUE(bus.rewind().good());
    const Answer a = bus.none(0, verifyCdb(false, false, 100));
    ASSERT_TRUE(a.good());
    const Answer bad = bus.none(0, verifyCdb(false, false, 100));
    EXPECT_EQ(bad.kcq(), "3/11/00");
    EXPECT_EQ(bus.position(), 2);
    const auto wellness = readPage(bus, 0x33);
    ASSERT_EQ(wellness.params.size(), 1u);
    EXPECT_EQ(wellness.params[0].value[11], 3);  // verify
    EXPECT_EQ(readPage(bus, 0x03).value(6), 1u);
    EXPECT_EQ(bus.none(2, verifyCdb(false, false, 100)).kcq(), "2/3A/00");
}

}  // namespace
