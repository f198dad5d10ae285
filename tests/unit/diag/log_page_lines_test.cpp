// The named lines of the known pages, on hand-made pages with every parameter present,
// and the fetch-failed message for a parameter that is missing or has the wrong size.
#include <gtest/gtest.h>

#include "diag/log_page.h"
#include "diag/log_page_lines.h"
#include "unit/diag/page_builder.h"

using namespace vexal::diag;
using vexal::testing::bigEndianBytes;
using vexal::testing::makePage;
using vexal::testing::PageParameter;

namespace {

std::vector<std::string> texts(const std::vector<DecodedLine>& lines) {
    std::vector<std::string> out;
    for (const auto& l : lines) out.push_back(l.text);
    return out;
}

std::vector<DecodedLine> linesOf(uint8_t code, const std::vector<PageParameter>& parameters) {
    LogPage page;
    EXPECT_EQ(page.Parse(code, makePage(code, parameters)), PageError::None);
    return counterLines(page);
}

std::vector<PageParameter> errorCounters() {
    return {
        {0, bigEndianBytes(1, 4)},
        {1, bigEndianBytes(2, 4)},
        {2, bigEndianBytes(0x1234, 4)},
        {3, bigEndianBytes(4, 4)},
        {4, bigEndianBytes(0xFFFFFFFF, 4)},
        {5, bigEndianBytes(1234567890123ull, 8)},
        {6, bigEndianBytes(0, 4)},
    };
}

TEST(LogPageLines, WriteErrorCounters) {
    EXPECT_EQ(texts(linesOf(0x02, errorCounters())),
              (std::vector<std::string>{
                  "   Errors Corrected with Substantial Delays: 1, 0x00000001",
                  "   Errors Corrected with Possible Delays: 2, 0x00000002",
                  "   Total Rewrites: 4660, 0x00001234",
                  "   Total Errors Corrected: 4, 0x00000004",
                  "   Total Times Correction Algorithm Processed: 4294967295, 0xFFFFFFFF",
                  "   Total Bytes Processed: 1.23457E+12",
                  "   Total Uncorrected Errors: 0, 0x00000000",
              }));
}

TEST(LogPageLines, ReadErrorCountersDifferOnlyInParameterTwo) {
    const auto lines = texts(linesOf(0x03, errorCounters()));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[2], "   Total Rereads: 4660, 0x00001234");
    auto writeLines = texts(linesOf(0x02, errorCounters()));
    writeLines[2] = lines[2];
    EXPECT_EQ(lines, writeLines);
}

TEST(LogPageLines, TemperatureCompressionAndDeviceStatus) {
    EXPECT_EQ(texts(linesOf(0x0D, {{0, bigEndianBytes(38, 2)}, {1, bigEndianBytes(60, 2)}})),
              (std::vector<std::string>{"   Current Temperature (Celsius): 38 (0x0026)",
                                        "   Maximum Operating Temperature (Celsius): 60 (0x003C)"}));

    std::vector<PageParameter> compression{{0, bigEndianBytes(150, 2)}, {1, bigEndianBytes(0xABCD, 2)}};
    for (uint16_t code = 2; code <= 9; ++code) compression.push_back({code, bigEndianBytes(code * 100u, 4)});
    EXPECT_EQ(texts(linesOf(0x32, compression)),
              (std::vector<std::string>{
                  "   Read Compression Ratio: 150 (0x0096)",
                  "   Write Compression Ratio: 43981 (0xABCD)",
                  "   Mbytes Transferred to Host: 200 (0x000000C8)",
                  "   Bytes Transferred to Host: 300 (0x0000012C)",
                  "   Mbytes Read from Tape: 400 (0x00000190)",
                  "   Bytes Read from Tape: 500 (0x000001F4)",
                  "   Mbytes Transferred from Host: 600 (0x00000258)",
                  "   Bytes Transferred from Host: 700 (0x000002BC)",
                  "   Mbytes Written to Tape: 800 (0x00000320)",
                  "   Bytes Written to Tape: 900 (0x00000384)",
              }));

    EXPECT_EQ(texts(linesOf(0x3E, {{0, bigEndianBytes(10, 4)},
                                   {1, bigEndianBytes(2, 4)},
                                   {2, bigEndianBytes(5000, 4)},
                                   {3, bigEndianBytes(3, 4)},
                                   {4, bigEndianBytes(0xA5, 4)},
                                   {5, bigEndianBytes(41, 4)}})),
              (std::vector<std::string>{
                  "   Device Type: 10 (0x0000000A)",
                  "   Device Cleaning Status: Cleaning Requested (0x00000002)",
                  "   Number of 'Loads' Over Lifetime of Drive: 5000 (0x00001388)",
                  "   Number of Cleaning Sessions per Cartridge: 3 (0x00000003)",
                  "   Vendor Specific: 165 (0x000000A5)",
                  "   Drive Temp (Celsius): 41 (0x00000029)",
              }));
}

TEST(LogPageLines, CleaningStatusWords) {
    const std::vector<std::pair<uint32_t, const char*>> cases{{4, "Cleaning Required"},
                                                              {2, "Cleaning Requested"},
                                                              {1, "Cleaning Tape Expired"},
                                                              {0, "None"},
                                                              {3, "Unknown Status"},
                                                              {0x80000000, "Unknown Status"}};
    for (const auto& [status, word] : cases) EXPECT_EQ(cleaningStatusText(status), word);
}

TEST(LogPageLines, MissingOrWrongSizedParameterGivesFetchFailedAndTheRestStays) {
    auto counters = errorCounters();
    counters.erase(counters.begin() + 5);         // no parameter 5
    counters[0].value = bigEndianBytes(1, 2);     // parameter 0 as 16 bits: not a counter
    const auto lines = linesOf(0x02, counters);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0].text, "Log Page fetch failed for code: 0x0000.");
    EXPECT_EQ(lines[0].failedCode, 0);
    EXPECT_EQ(lines[5].text, "Log Page fetch failed for code: 0x0005.");
    EXPECT_EQ(lines[5].failedCode, 5);
    EXPECT_EQ(lines[6].text, "   Total Uncorrected Errors: 0, 0x00000000");
    for (size_t i : {1, 2, 3, 4, 6}) EXPECT_FALSE(lines[i].failedCode) << i;

    // An empty page fails every line, one message per code.
    const auto none = linesOf(0x32, {});
    ASSERT_EQ(none.size(), 10u);
    EXPECT_EQ(none[9].text, "Log Page fetch failed for code: 0x0009.");
}

TEST(LogPageLines, PagesWithoutNamedLines) {
    for (uint8_t code : {0x00, 0x2E, 0x30, 0x31, 0x33}) {
        LogPage page;
        ASSERT_EQ(page.Parse(code, makePage(code, {})), PageError::None);
        EXPECT_TRUE(counterLines(page).empty()) << int{code};
    }
    EXPECT_TRUE(counterLines(LogPage{}).empty());
}

}  // namespace
