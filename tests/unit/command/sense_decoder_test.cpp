#include "command/sense_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <initializer_list>

#include "support/recording_output.h"

using namespace vexal::command;
using vexal::testing::RecordingOutput;

namespace {

using Sense = std::array<uint8_t, kStatusSenseLength>;
using LogEntry = std::pair<int, std::string>;

// Fixed-format sense: response code, byte 2 (key and flags), ASC, ASCQ; additional length 21.
Sense makeSense(uint8_t responseCode, uint8_t byte2, uint8_t asc, uint8_t ascq) {
    Sense s{};
    s[0] = responseCode;
    s[2] = byte2;
    s[7] = 0x15;
    s[12] = asc;
    s[13] = ascq;
    return s;
}

// The view gets exactly what the log file gets.
void expectViewMatchesLog(const RecordingOutput& out) {
    ASSERT_EQ(out.view.size(), out.log.size());
    for (size_t i = 0; i < out.view.size(); ++i) EXPECT_EQ(out.view[i], out.log[i].second) << i;
}

LastSense lastSenseOf(uint8_t key, uint8_t ili, uint8_t eom, uint8_t fm, uint8_t asc, uint8_t ascq) {
    LastSense l;
    l.senseKey = key;
    l.ili = ili;
    l.eom = eom;
    l.fm = fm;
    l.asc = asc;
    l.ascq = ascq;
    return l;
}

TEST(LogCommandStatus, GoodResultWritesOnlyTheStatusLine) {
    RecordingOutput out;
    DeviceStatusState state;
    const Sense sense = makeSense(0x70, 0x03, 0x11, 0x00);  // ignored for a good result
    EXPECT_EQ(LogCommandStatusWithSense(0, sense, out, state), 0);
    EXPECT_EQ(out.log, (std::vector<LogEntry>{{0, " [Vexal_CmdStatus: SCSI_GOOD"}}));
    expectViewMatchesLog(out);
    EXPECT_EQ(state.lastStatus, "SCSI_GOOD");
    EXPECT_EQ(state.lastSense, LastSense{});
}

TEST(LogCommandStatus, CheckConditionNamedByAscAscqThenTheSenseLines) {
    RecordingOutput out;
    DeviceStatusState state;
    const Sense sense = makeSense(0x70, 0x03, 0x11, 0x00);
    EXPECT_EQ(LogCommandStatusWithSense(1, sense, out, state), 0x1100);
    const std::vector<LogEntry> expected = {
        {0, " [Vexal_CmdStatus: UNRECOVERED_READ_ERROR"},
        {2, " [Vexal_Check_Condition: AutoRequestSense]"},
        {0, " RAW_DATA: 29"},
        {0, "  000000: 70 00 03 00 00 00 00 15 00 00 00 00 11 00 00 00   p..............."},
        {0, "  000010: 00 00 00 00 00 00 00 00 00 00 00 00 00            ............."},
        {2, "   Error Code: Current Error"},
        {2, "   Sense Key: 0x03 (Medium Error)"},
        {2, "   Flags: "},
        {2, "   ASC: 0x11  ASCQ: 0x00"},
    };
    EXPECT_EQ(out.log, expected);
    expectViewMatchesLog(out);
    EXPECT_EQ(state.lastStatus, "UNRECOVERED_READ_ERROR");
    EXPECT_EQ(state.lastSense, lastSenseOf(3, 0, 0, 0, 0x11, 0x00));
}

TEST(LogCommandStatus, ReadThatMeetsAFilemark) {
    RecordingOutput out;
    DeviceStatusState state;
    const Sense sense = makeSense(0x70, 0x80, 0x00, 0x01);
    EXPECT_EQ(LogCommandStatusWithSense(1, sense, out, state), 1);
    const std::vector<std::string> expected = {
        " [Vexal_CmdStatus: FILEMARK_DETECTED",
        " [Vexal_Check_Condition: AutoRequestSense]",
        " RAW_DATA: 29",
        "  000000: 70 00 80 00 00 00 00 15 00 00 00 00 00 01 00 00   p...............",
        "  000010: 00 00 00 00 00 00 00 00 00 00 00 00 00            .............",
        "   Error Code: Current Error",
        "   Sense Key: 0x00 (No Sense)",
        "   Flags:  FM",
        "   ASC: 0x00  ASCQ: 0x01",
    };
    EXPECT_EQ(out.view, expected);
    EXPECT_EQ(state.lastSense, lastSenseOf(0, 0, 0, 1, 0x00, 0x01));
}

TEST(LogCommandStatus, BecomingReadyNamesTheOutcomeWhateverTheResult) {
    for (ScsiResult r : {1, 0xAA02, 0xAB09, 0xAB10, 0xAD05, -7}) {
        RecordingOutput out;
        DeviceStatusState state;
        const Sense sense = makeSense(0x70, 0x02, 0x04, 0x01);
        EXPECT_EQ(LogCommandStatusWithSense(r, sense, out, state), 0x0401) << r;
        ASSERT_FALSE(out.view.empty());
        EXPECT_EQ(out.view[0], " [Vexal_CmdStatus: LOGICAL_UNIT_IS_IN_PROCESS_OF_BECOMING_READY");
        EXPECT_EQ(state.lastStatus, "LOGICAL_UNIT_IS_IN_PROCESS_OF_BECOMING_READY");
    }
}

TEST(LogCommandStatus, NoAscAscqShowsTheSenseFirstAndNamesTheResultItself) {
    const struct {
        ScsiResult result;
        uint8_t asc, ascq;
        const char* ascLine;
        const char* name;
    } cases[] = {
        // A result of 1 reads as its own key.
        {1, 0x00, 0x00, "   ASC: 0x00  ASCQ: 0x00", "FILEMARK_DETECTED"},
        // 0xCCCC: the device recorded no ASC/ASCQ.
        {0xAB10, 0xCC, 0xCC, "   ASC: 0xCC  ASCQ: 0xCC", "SRB_HASTAT_REQUEST_SENSE_FAILED"},
        // Only the low 16 bits name it.
        {0x10001, 0x00, 0x00, "   ASC: 0x00  ASCQ: 0x00", "FILEMARK_DETECTED"},
    };
    for (const auto& c : cases) {
        RecordingOutput out;
        DeviceStatusState state;
        const Sense sense = makeSense(0x70, 0x20, c.asc, c.ascq);  // ILI
        EXPECT_EQ(LogCommandStatusWithSense(c.result, sense, out, state), c.result);
        ASSERT_EQ(out.log.size(), 9u) << c.name;
        EXPECT_EQ(out.log[0], (LogEntry{2, " [Vexal_Sense_Condition: AutoSense]"}));
        EXPECT_EQ(out.log[1], (LogEntry{0, " RAW_DATA: 29"}));
        EXPECT_EQ(out.log[5], (LogEntry{2, "   Sense Key: 0x00 (No Sense)"}));
        EXPECT_EQ(out.log[6], (LogEntry{2, "   Flags:  ILI"}));
        EXPECT_EQ(out.log[7], (LogEntry{2, c.ascLine}));
        EXPECT_EQ(out.log[8], (LogEntry{0, std::string(" [Vexal_CmdStatus: ") + c.name}));
        for (const auto& [level, line] : out.log) EXPECT_EQ(line.find("Check_Condition"), std::string::npos);
        expectViewMatchesLog(out);
        EXPECT_EQ(state.lastSense, lastSenseOf(0, 1, 0, 0, c.asc, c.ascq));
    }
}

TEST(LogCommandStatus, AscAscqMissingFromTheTableGetsTheFallbackText) {
    RecordingOutput out;
    DeviceStatusState state;
    const Sense sense = makeSense(0x70, 0x02, 0x04, 0x06);
    EXPECT_EQ(LogCommandStatusWithSense(0xAB10, sense, out, state), 0x0406);
    ASSERT_FALSE(out.view.empty());
    EXPECT_EQ(out.view[0], " [Vexal_CmdStatus: UNRECOGNIZED ERROR: 0x0406 (VavURIR-32 DLL returned value)");
    EXPECT_EQ(state.lastStatus, "UNRECOGNIZED ERROR: 0x0406 (VavURIR-32 DLL returned value)");
}

TEST(LogCommandStatus, WithoutSenseOnlyATransportFailureIsNamed) {
    const struct {
        ScsiResult result;
        std::vector<LogEntry> lines;
        const char* lastStatus;
    } cases[] = {
        // The target failed it but holds no sense: nothing to name it by.
        {1, {}, "SCSI_GOOD"},
        // The transport ended it: the frame says how.
        {0xAB09, {{0, " [Vexal_CmdStatus: SRB_HASTAT_TIMEOUT"}}, "SRB_HASTAT_TIMEOUT"},
        {0xAB13, {{0, " [Vexal_CmdStatus: SRB_HASTAT_UNEXPECTED_BUS_FREE"}}, "SRB_HASTAT_UNEXPECTED_BUS_FREE"},
        {0xAAE0, {{0, " [Vexal_CmdStatus: SRB_STATUS_INVALID_SRB"}}, "SRB_STATUS_INVALID_SRB"},
    };
    for (const auto& c : cases) {
        RecordingOutput out;
        DeviceStatusState state;
        state.lastStatus = "SCSI_GOOD";
        state.lastSense = lastSenseOf(6, 0, 0, 0, 0x29, 0x00);
        Sense sense = makeSense(0x00, 0x03, 0x11, 0x00);  // byte 0 = 0: nothing held
        EXPECT_EQ(LogCommandStatusWithSense(c.result, sense, out, state), c.result);
        EXPECT_EQ(out.log, c.lines) << c.result;
        expectViewMatchesLog(out);
        EXPECT_EQ(state.lastStatus, c.lastStatus);
        EXPECT_EQ(state.lastSense, lastSenseOf(6, 0, 0, 0, 0x29, 0x00));  // no sense: none recorded
    }
}

TEST(LogCommandStatus, ATimedOutCommandSaysWhetherItWasSentAgain) {
    using vexal::device::TimeoutReport;
    const struct {
        const char* name;
        ScsiResult result;
        TimeoutReport report;
        const char* note;  // nullptr: no note
    } cases[] = {
        {"never timed out", 0, {.sends = 1, .timeouts = 0, .waitedMs = 20, .withheld = false, .opcode = 0x0A}, nullptr},
        {"WRITE, not resent", 0xAB0B, {.sends = 1, .timeouts = 1, .waitedMs = 2049, .withheld = true, .opcode = 0x0A},
         "   The command timed out after 2.0 s and was not sent again: it may have written to the tape."},
        {"REWIND, not resent", 0xAB0B, {.sends = 1, .timeouts = 1, .waitedMs = 1000, .withheld = true, .opcode = 0x01},
         "   The command timed out after 1.0 s and was not sent again: it may have moved the tape."},
        {"TUR given up", 0xAB0B, {.sends = 3, .timeouts = 3, .waitedMs = 8500, .withheld = false, .opcode = 0x00},
         "   The command was sent 3 times and timed out each time (8.5 s in all)."},
        {"TUR too late to resend", 0xAB0B, {.sends = 1, .timeouts = 1, .waitedMs = 90000, .withheld = false, .opcode = 0},
         "   The command timed out after 90.0 s and was not sent again."},
        {"INQUIRY answered on the resend", 0, {.sends = 2, .timeouts = 1, .waitedMs = 3200, .withheld = false, .opcode = 0x12},
         "   The command timed out and was sent again; it ended on send 2 (3.2 s in all)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingOutput out;
        DeviceStatusState state;
        state.timeouts = c.report;
        LogCommandStatusWithSense(c.result, Sense{}, out, state);
        ASSERT_EQ(out.log.size(), c.note ? 2u : 1u);
        EXPECT_EQ(out.log[0].second.rfind(" [Vexal_CmdStatus: ", 0), 0u);
        if (c.note) EXPECT_EQ(out.log[1], (LogEntry{2, c.note}));
        // Once: a second status of the same frame has no note.
        RecordingOutput again;
        LogCommandStatusWithSense(c.result, Sense{}, again, state);
        EXPECT_EQ(again.log.size(), 1u);
    }
}

TEST(LogCommandStatus, OutsideEngineeringModeNothingIsWrittenButTheStateIsKept) {
    const struct {
        ScsiResult result;
        Sense sense;
        const char* name;
        LastSense lastSense;
    } cases[] = {
        {0, Sense{}, "SCSI_GOOD", LastSense{}},
        {1, makeSense(0x70, 0x43, 0x3B, 0x02), "TAPE_POSITION_ERROR_AT_END_OF_MEDIUM", lastSenseOf(3, 0, 1, 0, 0x3B, 0x02)},
        {1, makeSense(0x70, 0xA0, 0x00, 0x00), "FILEMARK_DETECTED", lastSenseOf(0, 1, 0, 1, 0x00, 0x00)},
    };
    for (const auto& c : cases) {
        RecordingOutput out(false);
        DeviceStatusState state;
        LogCommandStatusWithSense(c.result, c.sense, out, state);
        EXPECT_TRUE(out.view.empty()) << c.name;
        EXPECT_TRUE(out.log.empty()) << c.name;
        EXPECT_EQ(state.lastStatus, c.name);
        EXPECT_EQ(state.lastSense, c.lastSense) << c.name;
    }
}

TEST(LogSenseData, ErrorCodeLine) {
    const struct {
        uint8_t responseCode;
        const char* line;
    } cases[] = {
        {0x70, "   Error Code: Current Error"},
        {0xF0, "   Error Code: Current Error"},  // valid bit set
        {0x71, "   Error Code: Deferred Error"},
        {0xF1, "   Error Code: Deferred Error"},
        {0x72, "   Error Code: Current Error (descriptor format)"},
        {0xF3, "   Error Code: Deferred Error (descriptor format)"},
        {0x7F, "   Error Code:  0x7F"},  // vendor specific: shown as its hex value
        {0x00, "   Error Code:  0x00"},
    };
    for (const auto& c : cases) {
        RecordingOutput out;
        LastSense last;
        const Sense sense = makeSense(c.responseCode, 0x00, 0x00, 0x00);
        LogSenseData(sense.data(), sense.size(), out, last);
        ASSERT_EQ(out.log.size(), 7u);
        EXPECT_EQ(out.log[3], (LogEntry{2, c.line}));
    }
}

TEST(LogSenseData, DescriptorFormatGivesTheLinesAndStatusOfFixedFormat) {
    const auto padded = [](std::initializer_list<uint8_t> bytes) {
        Sense s{};
        std::copy(bytes.begin(), bytes.end(), s.begin());
        return s;
    };
    const struct {
        const char* status;
        Sense fixed;
        Sense descriptor;
    } cases[] = {
        {"LOGICAL_UNIT_NOT_READY_INITIALIZING_COMMAND_REQUIRED", makeSense(0x70, 0x02, 0x04, 0x02),
         padded({0x72, 0x02, 0x04, 0x02, 0, 0, 0, 0})},
        {"FILEMARK_DETECTED", makeSense(0xF0, 0x80, 0x00, 0x01),
         padded({0x72, 0x00, 0x00, 0x01, 0, 0, 0, 0x04, 0x04, 0x02, 0x00, 0x80})},
        // ASC/ASCQ 00/00 with ILI: named by the result, the sense lines first.
        {"FILEMARK_DETECTED", makeSense(0x70, 0x20, 0x00, 0x00),
         padded({0x72, 0x00, 0x00, 0x00, 0, 0, 0, 0x04, 0x04, 0x02, 0x00, 0x20})},
        {"TAPE_POSITION_ERROR_AT_END_OF_MEDIUM", makeSense(0x70, 0x43, 0x3B, 0x02),
         padded({0x72, 0x03, 0x3B, 0x02, 0, 0, 0, 0x04, 0x04, 0x02, 0x00, 0x40})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        RecordingOutput fixedOut, descriptorOut;
        DeviceStatusState fixedState, descriptorState;
        LogCommandStatusWithSense(1, c.fixed, fixedOut, fixedState);
        LogCommandStatusWithSense(1, c.descriptor, descriptorOut, descriptorState);
        EXPECT_EQ(fixedState.lastStatus, c.status);
        EXPECT_EQ(descriptorState.lastStatus, c.status);
        EXPECT_EQ(descriptorState.lastSense, fixedState.lastSense);
        // The same lines but for the dump and the Error Code line, which name the layout.
        ASSERT_EQ(descriptorOut.view.size(), fixedOut.view.size());
        for (size_t i = 0; i < fixedOut.view.size(); ++i) {
            const std::string& line = fixedOut.view[i];
            if (line.rfind("  0000", 0) == 0) continue;
            if (line.rfind("   Error Code: ", 0) == 0) {
                EXPECT_EQ(descriptorOut.view[i], line + " (descriptor format)");
                continue;
            }
            EXPECT_EQ(descriptorOut.view[i], line);
        }
    }
}

TEST(LogSenseData, SenseKeyWordsAndFlags) {
    const char* const words[16] = {
        "No Sense",        "Recovered Error",   "Not Ready",         "Medium Error",
        "Hardware Error",  "Illegal Request",   "Unit Attention",    "Data Protect",
        "Blank Check",     "Unknown Sense Key", "Unknown Sense Key", "Aborted Command",
        "Unknown Sense Key", "Volume Overflow", "Miscompare",        "Unknown Sense Key",
    };
    for (uint8_t key = 0; key < 16; ++key) EXPECT_EQ(senseKeyWord(key), words[key]) << int(key);

    const struct {
        uint8_t byte2;
        const char* keyLine;
        const char* flagsLine;
        LastSense last;
    } cases[] = {
        {0x0C, "   Sense Key: 0x0C (Unknown Sense Key)", "   Flags: ", lastSenseOf(0x0C, 0, 0, 0, 0, 0)},
        {0x25, "   Sense Key: 0x05 (Illegal Request)", "   Flags:  ILI", lastSenseOf(5, 1, 0, 0, 0, 0)},
        {0x4D, "   Sense Key: 0x0D (Volume Overflow)", "   Flags:  EOM", lastSenseOf(0x0D, 0, 1, 0, 0, 0)},
        {0x80, "   Sense Key: 0x00 (No Sense)", "   Flags:  FM", lastSenseOf(0, 0, 0, 1, 0, 0)},
        {0xA8, "   Sense Key: 0x08 (Blank Check)", "   Flags:  ILI FM", lastSenseOf(8, 1, 0, 1, 0, 0)},
        {0xE1, "   Sense Key: 0x01 (Recovered Error)", "   Flags:  ILI EOM FM", lastSenseOf(1, 1, 1, 1, 0, 0)},
        {0x1F, "   Sense Key: 0x0F (Unknown Sense Key)", "   Flags: ", lastSenseOf(0x0F, 0, 0, 0, 0, 0)},  // bit 4 is no flag
    };
    for (const auto& c : cases) {
        RecordingOutput out;
        LastSense last;
        const Sense sense = makeSense(0x70, c.byte2, 0x00, 0x00);
        LogSenseData(sense.data(), sense.size(), out, last);
        ASSERT_EQ(out.log.size(), 7u);
        EXPECT_EQ(out.log[4], (LogEntry{2, c.keyLine}));
        EXPECT_EQ(out.log[5], (LogEntry{2, c.flagsLine}));
        EXPECT_EQ(last, c.last) << c.keyLine;
    }
}

TEST(LogSenseData, DeferredErrorDumpsEveryByteGiven) {
    RecordingOutput out;
    LastSense last;
    std::array<uint8_t, 18> sense{0x71, 0x00, 0x04, 0, 0, 0, 0, 0x0A, 0, 0, 0, 0, 0x44, 0x00, 0, 0, 0, 0x41};
    LogSenseData(sense.data(), sense.size(), out, last);
    const std::vector<std::string> expected = {
        " RAW_DATA: 18",
        "  000000: 71 00 04 00 00 00 00 0A 00 00 00 00 44 00 00 00   q...........D...",
        "  000010: 00 41                                             .A",
        "   Error Code: Deferred Error",
        "   Sense Key: 0x04 (Hardware Error)",
        "   Flags: ",
        "   ASC: 0x44  ASCQ: 0x00",
    };
    EXPECT_EQ(out.view, expected);
    EXPECT_EQ(last, lastSenseOf(4, 0, 0, 0, 0x44, 0x00));
}

TEST(LogSenseData, ShortOrMissingSenseReadsTheAbsentBytesAsZero) {
    RecordingOutput out;
    LastSense last;
    const uint8_t shortSense[3] = {0x70, 0x00, 0x86};
    LogSenseData(shortSense, sizeof shortSense, out, last);
    ASSERT_EQ(out.view.size(), 6u);
    EXPECT_EQ(out.view[0], " RAW_DATA: 3");
    EXPECT_EQ(out.view[3], "   Sense Key: 0x06 (Unit Attention)");
    EXPECT_EQ(out.view[5], "   ASC: 0x00  ASCQ: 0x00");
    EXPECT_EQ(last, lastSenseOf(6, 0, 0, 1, 0, 0));

    RecordingOutput none;
    LogSenseData(nullptr, 29, none, last);
    ASSERT_EQ(none.view.size(), 5u);
    EXPECT_EQ(none.view[0], " RAW_DATA: 0");
    EXPECT_EQ(none.view[1], "   Error Code:  0x00");
    EXPECT_EQ(last, lastSenseOf(0, 0, 0, 0, 0, 0));
}

TEST(LogSenseData, OutsideEngineeringModeOnlyTheLastSenseIsKept) {
    RecordingOutput out(false);
    LastSense last;
    const Sense sense = makeSense(0x70, 0x47, 0x27, 0x00);
    LogSenseData(sense.data(), sense.size(), out, last);
    EXPECT_TRUE(out.view.empty());
    EXPECT_TRUE(out.log.empty());
    EXPECT_EQ(last, lastSenseOf(7, 0, 1, 0, 0x27, 0x00));
}

}  // namespace
