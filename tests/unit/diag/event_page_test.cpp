// Page 7, the last n error events: values joined into text lines, the display lines and
// the side files.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <fmt/format.h>

#include "diag/event_page.h"
#include "diag/side_files.h"
#include "support/test_root.h"
#include "unit/diag/page_builder.h"

using namespace vexal::diag;
using vexal::testing::makePage;
using vexal::testing::textBytes;

namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<uint8_t> eventPage() {
    return makePage(0x07, {
                              {0, textBytes("Packet # 1 - SENSE: 03 11 00")},      // no line end: one is added
                              {1, textBytes("  POH/PC= 120/7  \r\n\r\n")},         // blank line dropped
                              {2, textBytes("00000001 00000002\nsecond\tline\n")}, // two lines in one value
                              {3, textBytes(std::string_view("padded\0\0\0", 9))},  // NUL padding
                          });
}

TEST(EventPage, ValuesBecomeTrimmedNonEmptyLines) {
    std::vector<uint8_t> page = eventPage();
    EventText text;
    ASSERT_EQ(DecodeEventPage(page, text), EventPageError::None);
    EXPECT_EQ(text.pageCode, 7);
    EXPECT_EQ(text.pageLength, page.size() - 4);
    EXPECT_EQ(text.lines, (std::vector<std::string>{"Packet # 1 - SENSE: 03 11 00", "POH/PC= 120/7",
                                                     "00000001 00000002", "second\tline", "padded"}));
    EXPECT_EQ(text.rawText.substr(0, 30), "Packet # 1 - SENSE: 03 11 00\r\n");
    EXPECT_TRUE(text.rawText.ends_with("\r\n"));
}

TEST(EventPage, DisplayLinesIndentAllButPacketHeaders) {
    EventText text;
    ASSERT_EQ(DecodeEventPage(eventPage(), text), EventPageError::None);
    const auto lines = eventDisplayLines(text);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "Page Code:\t07");
    EXPECT_EQ(lines[1], fmt::format("Page Length:\t{:04X}", text.pageLength));
    EXPECT_EQ(lines[2], "Packet # 1 - SENSE: 03 11 00");
    EXPECT_EQ(lines[3], "\tPOH/PC= 120/7");
    EXPECT_EQ(lines[6], "\tpadded");
}

TEST(EventPage, RefusedPages) {
    EventText text;
    auto notSeven = eventPage();
    notSeven[0] = 0x02;
    EXPECT_EQ(DecodeEventPage(notSeven, text), EventPageError::NotPage7);
    EXPECT_TRUE(text.lines.empty());
    EXPECT_EQ(DecodeEventPage(std::vector<uint8_t>{7, 0}, text), EventPageError::HeaderTooShort);
    // A page cut inside a value keeps the values before it.
    auto cut = eventPage();
    cut.resize(20);
    ASSERT_EQ(DecodeEventPage(cut, text), EventPageError::None);
    EXPECT_TRUE(text.truncated);
    EXPECT_TRUE(text.lines.empty());
}

TEST(EventPage, SideFilesAreReplacedEachLoad) {
    vexal::testing::TempRoot root;
    const auto folder = root.path() / "work";
    EventText text;
    const auto page = eventPage();
    ASSERT_EQ(LoadEventPage(page, folder, text), EventPageError::None);
    EXPECT_EQ(readFile(folder / "7.XXX"), std::string(page.begin(), page.end()));
    EXPECT_EQ(readFile(folder / "7_RAW.TXT"), text.rawText);

    const auto second = makePage(0x07, {{0, textBytes("Packet # 2 - EVENT: 0001")}});
    ASSERT_EQ(LoadEventPage(second, folder, text), EventPageError::None);
    EXPECT_EQ(readFile(folder / "7_RAW.TXT"), "Packet # 2 - EVENT: 0001\r\n\r\n");

    // A refused page is still kept as it came, but the text of the last good one stays.
    auto bad = second;
    bad[0] = 0x33;
    EXPECT_EQ(LoadEventPage(bad, folder, text), EventPageError::NotPage7);
    EXPECT_EQ(readFile(folder / "7.XXX"), std::string(bad.begin(), bad.end()));
    EXPECT_EQ(readFile(folder / "7_RAW.TXT"), "Packet # 2 - EVENT: 0001\r\n\r\n");
}

}  // namespace
