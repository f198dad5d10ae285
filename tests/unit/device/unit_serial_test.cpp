// The unit serial number from VPD page 80h: the page parsed within its length and the
// answer's bounds, and read from a device only when it answered GOOD.
#include "device/unit_serial.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "device/device_library.h"
#include "support/fake_transport.h"

using namespace vexal::device;
using vexal::testing::FakeTransport;

namespace {

std::vector<uint8_t> page(std::string_view serial, int length = -1) {
    std::vector<uint8_t> out{0x01, 0x80, 0x00, static_cast<uint8_t>(length < 0 ? serial.size() : length)};
    out.insert(out.end(), serial.begin(), serial.end());
    return out;
}

TEST(UnitSerialPageTest, SerialIsTakenWithinThePageAndTheAnswer) {
    struct Case {
        const char* what;
        std::vector<uint8_t> answer;
        std::optional<std::string> serial;
    };
    std::vector<uint8_t> otherPage = page("2000");
    otherPage[1] = 0x83;
    std::vector<uint8_t> withControl = page("AB\x01" "C");
    const Case cases[] = {
        {"plain", page("2000"), "2000"},
        {"blanks trimmed both sides", page("  HU1234  "), "HU1234"},
        {"page length shorter than the bytes", page("ABCDEFGH", 3), "ABC"},
        {"page length beyond the answer", page("ABCD", 200), "ABCD"},
        {"stops at a NUL", page(std::string_view("AB\0CD", 5)), "AB"},
        {"control byte shown as ?", withControl, "AB?C"},
        {"only blanks", page("    "), std::nullopt},
        {"empty page", page(""), std::nullopt},
        {"another page", otherPage, std::nullopt},
        {"shorter than the header", {0x01, 0x80, 0x00}, std::nullopt},
        {"nothing", {}, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(parseUnitSerialPage(c.answer), c.serial) << c.what;
}

class ReadUnitSerialTest : public ::testing::Test {
protected:
    void TearDown() override {
        DevFreeList();
        DevSetTransport(nullptr);
    }
    std::shared_ptr<FakeTransport> transport = std::make_shared<FakeTransport>();
};

TEST_F(ReadUnitSerialTest, OnlyAGoodAnswerCountsAndAnEarlierOneIsNotReused) {
    bool answers = true;
    uint32_t sent = 0;
    transport->devices[{0, 0, 0}] = [&](RequestBlock& srb) {
        if (srb.cdb[1] == 0) return FakeTransport::inquiryDevice(1)(srb);
        EXPECT_EQ(std::vector<uint8_t>(srb.cdb.begin(), srb.cdb.begin() + 6),
                  (std::vector<uint8_t>{0x12, 0x01, 0x80, 0x00, 0xFF, 0x00}));
        if (!answers) {
            srb.targetStatus = target_status::CheckCondition;
            srb.senseLength = 14;
            srb.senseArea = {0x70, 0, 0x05, 0, 0, 0, 0, 6, 0, 0, 0, 0, 0x24, 0x00};
            srb.status.store(srb_status::Error);
            return;
        }
        const auto answer = page("SER-0001");
        sent = static_cast<uint32_t>(std::min<size_t>(answer.size(), srb.bufferLength));
        std::copy_n(answer.begin(), sent, srb.buffer);
        srb.residual = srb.bufferLength - sent;
        srb.status.store(srb_status::Complete);
    };
    DevSetTransport(transport);
    ASSERT_EQ(DevEnumerate(), 0);
    ASSERT_EQ(DevCount(), 1);

    EXPECT_EQ(readUnitSerial(0), "SER-0001");
    EXPECT_EQ(sent, 12u);
    answers = false;
    EXPECT_EQ(readUnitSerial(0), std::nullopt);  // the buffer still holds the last answer
    EXPECT_EQ(readUnitSerial(7), std::nullopt);  // not in the list
}

}  // namespace
