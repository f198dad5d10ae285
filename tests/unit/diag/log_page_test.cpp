// The log page parser: page header and parameter walk on hand-made pages, the accessors,
// and safety on malformed input.
#include <gtest/gtest.h>

#include <random>

#include "diag/log_page.h"
#include "unit/diag/page_builder.h"

using namespace vexal::diag;
using vexal::testing::bigEndianBytes;
using vexal::testing::makePage;

namespace {

struct ParseCase {
    const char* name;
    uint8_t asked;
    std::vector<uint8_t> bytes;
    PageError error;
    size_t parameters;
    bool truncated;
};

std::vector<uint8_t> withLength(std::vector<uint8_t> page, uint16_t length) {
    page[2] = static_cast<uint8_t>(length >> 8);
    page[3] = static_cast<uint8_t>(length);
    return page;
}

std::vector<uint8_t> padded(std::vector<uint8_t> page, size_t size) {
    page.resize(size, 0);
    return page;
}

TEST(LogPageParse, TableOfPages) {
    const auto twoCounters = makePage(0x02, {{0, bigEndianBytes(5, 4)}, {1, bigEndianBytes(6, 4)}});
    const std::vector<ParseCase> cases{
        {"good page", 0x02, twoCounters, PageError::None, 2, false},
        {"good page in a larger buffer", 0x02, padded(twoCounters, 68), PageError::None, 2, false},
        {"every accepted code", 0x3E, makePage(0x3E, {{0, {1}}}), PageError::None, 1, false},
        {"no parameters", 0x0D, makePage(0x0D, {}), PageError::None, 0, false},
        {"empty buffer", 0x02, {}, PageError::HeaderTooShort, 0, false},
        {"three header bytes", 0x02, {0x02, 0, 0}, PageError::HeaderTooShort, 0, false},
        {"page code mismatch", 0x02, makePage(0x03, {{0, {1}}}), PageError::PageCodeMismatch, 0, false},
        {"whole byte compared", 0x02, makePage(0x42, {{0, {1}}}), PageError::PageCodeMismatch, 0, false},
        {"zero-filled buffer", 0x2E, std::vector<uint8_t>(1024, 0), PageError::PageCodeMismatch, 0, false},
        {"code not accepted", 0x05, makePage(0x05, {{0, {1}}}), PageError::PageNotAccepted, 0, false},
        {"page 7 is not a parameter page", 0x07, makePage(0x07, {}), PageError::PageNotAccepted, 0, false},
        {"length beyond the data keeps whole parameters", 0x02, withLength(twoCounters, 200), PageError::None, 2,
         true},
        {"parameter longer than the page", 0x02,
         padded(withLength(makePage(0x02, {{0, std::vector<uint8_t>(20, 7)}}), 8), 40), PageError::None, 0, true},
        {"second parameter cut by the length field", 0x02, withLength(twoCounters, 14), PageError::None, 1, true},
        {"parameter header cut", 0x02, withLength(twoCounters, 10), PageError::None, 1, true},
        {"zero-length parameters", 0x30, makePage(0x30, {{0, {}}, {1, {}}, {2, {9}}}), PageError::None, 3, false},
        {"supported pages count the list", 0x00, makePage(0x00, {}), PageError::None, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LogPage page;
        EXPECT_EQ(page.Parse(c.asked, c.bytes), c.error);
        EXPECT_EQ(page.loaded(), c.error == PageError::None);
        EXPECT_EQ(page.parameterCount(), c.parameters);
        EXPECT_EQ(page.truncated(), c.truncated);
        for (const auto& p : page.parameters()) EXPECT_LE(p.offset + p.length, page.bytes().size());
    }
}

TEST(LogPageParse, SupportedPagesAreOneBytePerCode) {
    std::vector<uint8_t> bytes{0x00, 0x00, 0x00, 0x04, 0x00, 0x02, 0x2E, 0x3E, 0xEE, 0xEE};
    LogPage page;
    ASSERT_EQ(page.Parse(0x00, bytes), PageError::None);
    EXPECT_EQ(page.parameterCount(), 4u);
    EXPECT_EQ(page.supportedPages(), (std::vector<uint8_t>{0x00, 0x02, 0x2E, 0x3E}));
    uint8_t code = 0;
    EXPECT_EQ(page.FetchSupportedPage(2, code), FetchError::None);
    EXPECT_EQ(code, 0x2E);
    EXPECT_EQ(page.FetchSupportedPage(4, code), FetchError::NoSuchParameter);
    // A list longer than the data is cut to what arrived.
    bytes.resize(6);
    ASSERT_EQ(page.Parse(0x00, bytes), PageError::None);
    EXPECT_EQ(page.parameterCount(), 2u);
    EXPECT_TRUE(page.truncated());
}

TEST(LogPageParse, ARefusedPageForgetsTheEarlierOne) {
    LogPage page;
    ASSERT_EQ(page.Parse(0x02, makePage(0x02, {{0, bigEndianBytes(1, 4)}})), PageError::None);
    EXPECT_EQ(page.Parse(0x02, makePage(0x03, {})), PageError::PageCodeMismatch);
    uint32_t v = 0;
    EXPECT_EQ(page.FetchLong(0, v), FetchError::NotLoaded);
    EXPECT_EQ(page.parameterCount(), 0u);
}

TEST(LogPageAccessors, SizesCodesAndFailures) {
    const auto bytes = makePage(0x32, {
                                          {0x0000, {0x7F}},
                                          {0x0001, bigEndianBytes(0xBEEF, 2)},
                                          {0x0102, bigEndianBytes(0x80000001, 4)},
                                          {0xFFFF, bigEndianBytes(0xFFFFFFFFFFFFFFFFull, 8)},
                                          {0x0004, bigEndianBytes(0x010203, 3)},
                                          {0x0001, bigEndianBytes(0x1111, 2)},  // duplicate: the first counts
                                      });
    LogPage page;
    ASSERT_EQ(page.Parse(0x32, bytes), PageError::None);
    uint8_t b = 0;
    uint16_t w = 0;
    uint32_t l = 0;
    double d = 0;
    uint64_t u = 0;
    EXPECT_EQ(page.FetchByte(0, b), FetchError::None);
    EXPECT_EQ(b, 0x7F);
    EXPECT_EQ(page.FetchWord(1, w), FetchError::None);
    EXPECT_EQ(w, 0xBEEF);
    EXPECT_EQ(page.FetchLong(0x0102, l), FetchError::None);
    EXPECT_EQ(l, 0x80000001u);
    EXPECT_EQ(page.FetchDouble(0xFFFF, d), FetchError::None);
    EXPECT_DOUBLE_EQ(d, 18446744073709551615.0);
    EXPECT_EQ(page.FetchUnsigned(4, u), FetchError::None);
    EXPECT_EQ(u, 0x010203u);
    EXPECT_EQ(page.FetchUnsigned(0xFFFF, u), FetchError::None);
    EXPECT_EQ(u, 0xFFFFFFFFFFFFFFFFull);

    // The size asked for must be the parameter's length.
    EXPECT_EQ(page.FetchWord(0, w), FetchError::WrongLength);
    EXPECT_EQ(page.FetchLong(1, l), FetchError::WrongLength);
    EXPECT_EQ(page.FetchDouble(0x0102, d), FetchError::WrongLength);
    EXPECT_EQ(page.FetchByte(4, b), FetchError::WrongLength);
    EXPECT_EQ(page.FetchLong(0x0200, l), FetchError::NoSuchParameter);
    // A failed fetch leaves the destination alone.
    w = 0x5555;
    EXPECT_NE(page.FetchWord(0x0102, w), FetchError::None);
    EXPECT_EQ(w, 0x5555);

    LogPage empty;
    ASSERT_EQ(empty.Parse(0x0D, makePage(0x0D, {})), PageError::None);
    EXPECT_EQ(empty.FetchWord(0, w), FetchError::NoParameters);
    LogPage notLoaded;
    EXPECT_EQ(notLoaded.FetchWord(0, w), FetchError::NotLoaded);
}

TEST(LogPageAccessors, ZeroLengthAndLongValuesAreNeverNumbers) {
    LogPage page;
    ASSERT_EQ(page.Parse(0x30, makePage(0x30, {{0, {}}, {1, std::vector<uint8_t>(12, 1)}})), PageError::None);
    uint64_t u = 0;
    uint8_t b = 0;
    EXPECT_EQ(page.FetchUnsigned(0, u), FetchError::WrongLength);
    EXPECT_EQ(page.FetchByte(0, b), FetchError::WrongLength);
    EXPECT_EQ(page.FetchUnsigned(1, u), FetchError::WrongLength);
    ASSERT_NE(page.find(1), nullptr);
    EXPECT_EQ(page.value(*page.find(1)).size(), 12u);
}

TEST(LogPageFlags, ControlByteBits) {
    struct Case {
        uint8_t control;
        bool lp;
        int tmc;
        bool etc, tsd, ds, du;
    };
    const std::vector<Case> cases{
        {0x00, false, 0, false, false, false, false}, {0x01, true, 0, false, false, false, false},
        {0x04, false, 1, false, false, false, false}, {0x08, false, 2, false, false, false, false},
        {0x10, false, 0, true, false, false, false},  {0x20, false, 0, false, true, false, false},
        {0x40, false, 0, false, false, true, false},  {0x80, false, 0, false, false, false, true},
        {0x02, false, 0, false, false, false, false},  // bit 1 is not a flag
        {0xFF, true, 3, true, true, true, true},
    };
    for (const auto& c : cases) {
        const ParameterFlags f = ParameterFlags::fromByte(c.control);
        EXPECT_EQ(f.lp, c.lp) << int{c.control};
        EXPECT_EQ(f.tmc, c.tmc) << int{c.control};
        EXPECT_EQ(f.etc, c.etc) << int{c.control};
        EXPECT_EQ(f.tsd, c.tsd) << int{c.control};
        EXPECT_EQ(f.ds, c.ds) << int{c.control};
        EXPECT_EQ(f.du, c.du) << int{c.control};
    }

    LogPage page;
    ASSERT_EQ(page.Parse(0x2E, makePage(0x2E, {{3, {1}, 0x43}})), PageError::None);
    const ParameterFlags f = page.parameters().at(0).flags();
    EXPECT_TRUE(f.lp);
    EXPECT_TRUE(f.ds);
    EXPECT_FALSE(f.du);
    EXPECT_EQ(f.tmc, 0);
}

TEST(LogPageParse, RandomBytesNeverReadOutsideThePage) {
    std::mt19937 random(20040314);
    for (int round = 0; round < 5000; ++round) {
        std::vector<uint8_t> bytes(random() % 80);
        for (auto& b : bytes) b = static_cast<uint8_t>(random());
        if (!bytes.empty()) bytes[0] = 0x02;
        LogPage page;
        if (page.Parse(0x02, bytes) != PageError::None) continue;
        ASSERT_LE(page.bytes().size(), bytes.size());
        for (const auto& p : page.parameters()) {
            ASSERT_LE(p.offset + p.length, page.bytes().size());
            uint64_t u = 0;
            page.FetchUnsigned(p.code, u);
        }
    }
}

}  // namespace
