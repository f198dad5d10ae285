// Log-page objects at run time: parameter pages decoded from their buffer and read by
// assignments, page 7 decoded into packets that are counted, searched, filtered and mined.
#include <algorithm>

#include "diag/side_files.h"
#include "run_fixture.h"
#include "script/script_error_codes.h"

namespace vexal::script::testing {
namespace {

// A log page: header, then parameters of (code, value).
std::vector<uint8_t> page(uint8_t code, const std::vector<std::pair<uint16_t, std::string>>& params) {
    std::vector<uint8_t> out{code, 0, 0, 0};
    for (const auto& [c, value] : params) {
        out.push_back(static_cast<uint8_t>(c >> 8));
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(0x01);  // LP
        out.push_back(static_cast<uint8_t>(value.size()));
        out.insert(out.end(), value.begin(), value.end());
    }
    const size_t length = out.size() - 4;
    out[2] = static_cast<uint8_t>(length >> 8);
    out[3] = static_cast<uint8_t>(length);
    return out;
}

const std::vector<std::pair<uint16_t, std::string>> kEvents = {
    {0, "Packet # 1 - EVENT: 0021 [CARTLOAD 05-17-2024] 012:07:15.250 POH/PC= 12/3\r\n"
        "00000021 00000001 0000000C 00000003\r\n"},
    {1, "Packet # 2 - SENSE: 031100 [READERR 05-18-2024] 040:33:02.125 POH/PC= 40/4\r\n"
        "POH/PC/MID/SK/ASC/ASCQ/ADDERR= 40/4/1/3/11/00/0\r\n"},
    {2, "Packet # 3 - EVENT: 0021 [CARTLOAD 05-20-2024] 061:45:40.500 POH/PC= 61/5\r\n"},
    {3, "11112222 3333ABCD 000000FE"},  // no line end of its own
    {4, "Packet # 4 - BUGCHECK: 0500 [ASSERT 05-21-2024] 070:00:00.000 POH/PC= 70/6"},
};

struct LogPageRunTest : ScriptRunTest {
    static constexpr std::string_view kDeclarations =
        "DESCRIPTION pages\nBUFFER B7 [ 2048 ]\nBUFFER C7 [ 2048 ]\nBUFFER B2 [ 256 ]\nBUFFER B0 [ 64 ]\n"
        "LOGPAGE Ev { 7 , B7 }\nLOGPAGE Ev2 { 7 , C7 }\nLOGPAGE Wr { 2 , B2 }\nLOGPAGE Sp { 0 , B0 }\n"
        "WORD n = 0\nWORD hits = 0\nLONG l = 0\nBYTE b = 0\nDOUBLE d = 0.0\nWORD w = 0\nWORD jumped = 0\n";

    void fill(std::string_view name, const std::vector<uint8_t>& bytes) {
        auto& s = buffer(name).storage;
        std::fill(s.begin(), s.end(), 0);
        std::copy(bytes.begin(), bytes.end(), s.begin());
    }
    // Loads the declarations and body, fills the event buffers, runs.
    int runBody(const std::string& body) {
        if (!load(std::string(kDeclarations) + "Start:\n" + body + "\nEXIT 0\nFailed:\nw = 999\nEXIT 1\n")) {
            ADD_FAILURE() << engine.TrailText();
            return -1;
        }
        fill("B7", page(7, kEvents));
        fill("C7", page(7, kEvents));
        fill("B2", page(0x09, {}));  // a page no decoder takes
        return engine.Run();
    }
    std::vector<std::string> screen() const {
        std::vector<std::string> lines;
        for (const auto& l : out.view) lines.push_back(l.substr(kScriptMessagePrefix.size()));
        return lines;
    }
};

TEST_F(LogPageRunTest, EventPageCountsSearchesAndMinesPackets) {
    ASSERT_EQ(runBody("LOADPAGE Ev\nGETNUMBEROFPACKETS Ev n\n"
                      "Ev->CREATELIST EVENT 0021H hits\n"
                      "Ev->GETVALUE 1 l 1.0000FFFFH + 2.000000FFH << 16\n"
                      "Ev->PRINTLIST SCREEN\n"
                      "IFTRUE Ev w BUGCHECK 0400H TO 0600H == 1 JUMP Found\nEXIT 0\nFound:\njumped = 1"),
              0)
        << engine.TrailText();
    EXPECT_EQ(var("n").wordSlot, 4);
    EXPECT_EQ(var("hits").wordSlot, 2);
    // Packet 3's data words continue on the value that had no line end: 11112222 3333ABCD 000000FE.
    EXPECT_EQ(var("l").longSlot, 0xABCDu + (0xFEu << 16));
    EXPECT_EQ(var("w").wordSlot, 1);
    EXPECT_EQ(var("jumped").wordSlot, 1);
    const auto lines = screen();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "(000 * 02)[    12.121] Packet # 1 - EVENT: 0021  [CARTLOAD 05-17-2024]  012:07:15.250  POH/PC= 12/3");
    // The side file keeps the text, each value ending a line.
    const std::string raw = readFile(diag::workFolder() / "7_RAW.TXT");
    EXPECT_NE(raw.find("000000FE\r\nPacket # 4"), std::string::npos);
}

TEST_F(LogPageRunTest, QueriesAndFilters) {
    struct Case {
        std::string body;
        uint16_t n;
    };
    const Case cases[] = {
        {"Ev->CREATELIST SENSE 03 11H XX n", 1},
        {"Ev->CREATELIST SENSE 03 XX XX n", 1},
        {"Ev->CREATELIST SENSE 04 11H 00 n", 0},
        {"Ev->CREATELIST BUGCHECK 0400H TO 0600H n", 1},
        {"Ev->CREATELIST EVENT 0021H n\nEv->FILTERLIST TAPE SAME n", 2},
        {"SETPOH 70\nEv->CREATELIST EVENT 0021H n\nEv->FILTERLIST TIME 20 n", 1},  // only the 61-hour packet
        {"Ev->CREATELIST EVENT 0021H n\nEv->REMOVEPACKET 0 n", 1},
        {"DELTAFILTER Ev Ev\nGETNUMBEROFPACKETS Ev n", 0},
        {"DELTAFILTER Ev Ev2\nGETNUMBEROFPACKETS Ev2 n", 0},
        {"IFTRUE Ev n EVENT 0021H > 5 JUMP Failed", 2},
        {"IFTRUE Ev n EVENT 0021H ANY DW [ 0 ] L FFFFFFFFH == 00000021H JUMP Start2\nStart2:", 1},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(runBody("LOADPAGE Ev\nLOADPAGE Ev2\n" + c.body), 0) << c.body << "\n" << engine.TrailText();
        EXPECT_EQ(var("n").wordSlot, c.n) << c.body;
    }
}

TEST_F(LogPageRunTest, RunTimeFailures) {
    struct Case {
        std::string body;
        int32_t code;
    };
    const Case cases[] = {
        {"LOADPAGE Ev\nEv->CREATELIST EVENT 0021H n\nEv->GETVALUE 5 l 0.000000FFH", err::PG7_GETVALUE_IDX_OUT_OF_RANGE_ERROR},
        {"Ev->GETVALUE 0 l 0.000000FFH", err::PG7_GETVALUE_NO_EMPTY_LIST_ERROR},
        {"LOADPAGE Ev\nEv->CREATELIST EVENT 0021H n\nEv->GETVALUE 0 l 9.000000FFH", err::PG7_GETVALUE_UNEXPECTED_END_OF_PACKET_ERROR2},
        {"LOADPAGE Ev\nEv->CREATELIST BUGCHECK 0500H n\nEv->GETVALUE 0 l 0.000000FFH", err::PG7_GETVALUE_UNEXPECTED_END_OF_PACKET_ERROR1},
        {"Ev->CREATEMAP SCREEN", err::K_MAP_ENGINE_DETECTED_NO_TEXT_FOR_LP7},
        {"IFTRUE Ev n EVENT 0021H == 2 JUMP Failed", err::SEARCH_ENGINE_DETECTED_NO_TEXT_FOR_LP7},
        {"DELTAFILTER Ev Ev2", err::KRT_DELTA_FILTER_1ST_LOGPAGE_NOT_LOADED},
        {"PRINTPAGE Wr", err::PRINT_PAGE_LOGPAGE_NOT_LOADED},
        {"RECORDPAGE Ev", err::RECORD_PAGE_LOGPAGE_NOT_LOADED},
        {"LOADPAGE Wr", err::K_KPAGES_ILLEGAL_LOGPAGE_ID},  // the buffer holds no page
        {"w = Wr->0001", err::EXE_UNABLE_TO_PROCESS_VARIABLE},  // not loaded
    };
    for (const Case& c : cases) {
        EXPECT_EQ(runBody(c.body), 1) << c.body;
        EXPECT_EQ(runError(), c.code) << c.body;
    }
}

TEST_F(LogPageRunTest, DecoderFailureJumpsToTheErrorVector) {
    ASSERT_EQ(runBody("ONERROR Failed\nLOADPAGE Wr\nw = 1"), 0) << engine.TrailText();  // EXIT ends normally
    EXPECT_EQ(var("w").wordSlot, 999);
}

TEST_F(LogPageRunTest, PageWithoutByte7ReadsTheEarlierText) {
    ASSERT_EQ(runBody("LOADPAGE Ev"), 0);
    // Now an empty buffer: the text of the earlier load is decoded.
    std::fill(buffer("B7").storage.begin(), buffer("B7").storage.end(), 0);
    ASSERT_TRUE(load(std::string(kDeclarations) + "Start:\nLOADPAGE Ev\nGETNUMBEROFPACKETS Ev n\nEXIT 0\n"));
    ASSERT_EQ(engine.Run(), 0) << engine.TrailText();
    EXPECT_EQ(var("n").wordSlot, 4);
}

TEST_F(LogPageRunTest, PrintPageAndMap) {
    ASSERT_EQ(runBody("LOADPAGE Ev\nEv->CREATEMAP SCREEN\nPRINTPAGE Ev"), 0) << engine.TrailText();
    auto lines = screen();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], " 2x\tEVENT  : 21");
    EXPECT_EQ(lines[1], " 1x\tSENSE  : CC: 03  ASC: 11  ASCQ: 00  = Unknown");
    EXPECT_EQ(lines[2], " 1x\tBUGCHK : 0500");
    EXPECT_EQ(lines[3], "Page Code:\t07");
    EXPECT_EQ(lines[5], "Packet # 1 - EVENT: 0021 [CARTLOAD 05-17-2024] 012:07:15.250 POH/PC= 12/3");
    EXPECT_EQ(lines[6], "\t00000021 00000001 0000000C 00000003");

    out.view.clear();
    ASSERT_TRUE(load(std::string(kDeclarations) + "Start:\nLOADPAGE Sp\nPRINTPAGE Sp\nEXIT 0\n"));
    fill("B0", {0x00, 0x00, 0x00, 0x03, 0x00, 0x02, 0x07});
    ASSERT_EQ(engine.Run(), 0) << engine.TrailText();
    lines = screen();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Page Code: 00H\tLength: 0003H / 3");
    EXPECT_EQ(lines[1], "Pages:  00H   02H   07H   ");
}

TEST_F(LogPageRunTest, ParameterOperandsByWidth) {
    const std::string body = "LOADPAGE Wr\nLOADPAGE Sp\nPRINTPAGE Wr\nw = Wr->0001\nw += Wr 0001\nl = Wr->0002\n"
                             "d = Wr->0005\nb = Sp->2\nl |= Wr->0000\nw <<= Wr->0001\n";
    ASSERT_TRUE(load(std::string(kDeclarations) + "Start:\n" + body + "EXIT 0\n"));
    fill("B2", page(2, {{0, std::string("\x01", 1)},
                        {1, std::string("\x01\x02", 2)},
                        {2, std::string("\x10\x00\x00\x08", 4)},
                        {5, std::string("\x00\x00\x00\x01\x00\x00\x00\x00", 8)}}));
    fill("B0", {0x00, 0x00, 0x00, 0x03, 0x00, 0x02, 0x07});
    ASSERT_EQ(engine.Run(), 0) << engine.TrailText();
    EXPECT_EQ(var("w").wordSlot, 0x0204);       // 0102h twice; <<= leaves an integer unchanged
    EXPECT_EQ(var("l").longSlot, 0x10000009u);  // 10000008h | 01h
    EXPECT_EQ(var("d").doubleSlot, 4294967296.0);
    EXPECT_EQ(var("b").byteSlot, 0x07);
    const auto lines = screen();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "Page Code: 02H\tLength: 001FH / 31");
    EXPECT_EQ(lines[2], "  Code : 0001H\tLP: 1  TMC: 0  ETC: 0  TSD: 0  DS: 0  DU: 0\tValue:  0102H");
    EXPECT_EQ(lines[4], "  Code : 0005H\tLP: 1  TMC: 0  ETC: 0  TSD: 0  DS: 0  DU: 0\tValue:  4.294967E+09");

    // The supported-pages list allows only "=".
    ASSERT_TRUE(load(std::string(kDeclarations) + "Start:\nLOADPAGE Sp\nb += Sp->0\nEXIT 0\n"));
    fill("B0", {0x00, 0x00, 0x00, 0x01, 0x00});
    EXPECT_EQ(engine.Run(), 1);
    EXPECT_EQ(runError(), err::EXE_UNABLE_TO_PROCESS_VARIABLE);
}

TEST_F(LogPageRunTest, PhaseTwoRefusesUnbalancedGetValue) {
    EXPECT_FALSE(load(std::string(kDeclarations) + "Start:\nEv->GETVALUE 0 l 1.000000FFH + 2\nEXIT 0\n"));
    EXPECT_EQ(onlyCode(), err::PG7_GETVALUE_UNBALANCED_FIELD_ARGS_TO_PLUSES);
}

}  // namespace
}  // namespace vexal::script::testing
