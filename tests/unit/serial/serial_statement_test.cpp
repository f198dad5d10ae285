// SERIAL and BAUD statements run against the virtual drive's serial console on a
// pseudo-terminal: the handler is called as the executor calls it, with the engine
// executing.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "device/virtual/serial_console.h"
#include "device/virtual/virtual_profile.h"
#include "script/script_error_codes.h"
#include "script/statement_handlers.h"
#include "serial/serial_session.h"
#include "unit/script/script_fixture.h"

namespace vexal::script::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using device::virt::SerialConsole;

constexpr const char* kScript =
    "DESCRIPTION serial\nStart:\nBYTE s\nBYTE code\nLONG n\nWORD w\nDOUBLE t\n"
    "BUFFER B [ 64 ]\nBUFFER Small [ 16 ]\nBUFFER Big [ 20000 ]\nBUFFER Cmd [ 200 ]\nBUFFER Term [ 8 ]\nFILE F\n"
    "SERIAL \"ver\" B \">\" 5 n s\nBAUD 9\nEXIT 0\n";

struct SerialStatementTest : ScriptTest {
    std::unique_ptr<SerialConsole> console;
    std::shared_ptr<serial::SerialSession> session;

    void SetUp() override {
        std::string error;
        console = SerialConsole::start(device::virt::defaultDevice(device::virt::DeviceKind::Tape, 0), error);
        ASSERT_TRUE(console) << error;
        session = std::make_shared<serial::SerialSession>(console->path());
        engine.setSerialSession(session);
        ASSERT_TRUE(load(kScript)) << engine.TrailText();
        ASSERT_TRUE(session->connected()) << "phase 2 opens the port";
        engine.state().executing = true;
    }
    void TearDown() override {
        engine.setSerialSession(nullptr);
        session.reset();  // the port closes before the console goes
    }

    int run(int (*handler)(StatementContext&), const std::string& args) {
        StatementContext ctx{engine, engine.tables().statements[0], args};
        return handler(ctx) == 0 ? 0 : engine.errorCode();
    }
    int serialStatement(const std::string& args) { return run(stmtSerial, args); }
    int baud(const std::string& args) { return run(stmtBaud, args); }

    uint8_t status() { return engine.tables().variables.find("s")->byteSlot; }
    uint32_t count() { return engine.tables().variables.find("n")->longSlot; }
    std::string text(const char* buffer, size_t n) {
        const auto& st = engine.tables().buffers.find(buffer)->storage;
        return std::string(st.begin(), st.begin() + static_cast<std::ptrdiff_t>(std::min(n, st.size())));
    }
    void setText(const char* buffer, const std::string& value) {
        auto& st = engine.tables().buffers.find(buffer)->storage;
        std::fill(st.begin(), st.end(), 0);
        std::copy(value.begin(), value.end(), st.begin());
    }
};

TEST_F(SerialStatementTest, CommandAnsweredWithThePrompt) {
    ASSERT_EQ(serialStatement("\"echo abc\" B \">\" 5 n s"), 0);
    EXPECT_EQ(status(), 0);
    // The echoed carriage return, the line feed, the answer line, and the prompt up to ">".
    EXPECT_EQ(count(), 11u);
    EXPECT_EQ(text("B", 12), "\r\nabc\r\nSKTX>");
    EXPECT_TRUE(engine.tables().buffers.find("B")->primed);

    setText("Cmd", "ver");
    setText("Term", "SKTX>");
    ASSERT_EQ(serialStatement("Cmd B Term 5 n s"), 0);
    EXPECT_EQ(status(), 0);
    // Every byte of the phrase but the last is counted.
    EXPECT_EQ(text("B", count()), "\r\nSKTX VIRTUAL firmware V100\r\nSKTX");

    ASSERT_EQ(serialStatement("CTRLA B \">\" 2 n s"), 0);
    EXPECT_EQ(status(), 0);
    EXPECT_EQ(text("B", 7), "\r\nSKTX>");
}

TEST_F(SerialStatementTest, AnswersThatDoNotEndWell) {
    // A full answer arrives in pieces and is collected whole.
    std::string rows = "\r\n";
    for (int at = 0; at < 256; at += 16) {
        char row[8];
        std::snprintf(row, sizeof row, "%04X:", at);
        rows += row;
        for (int i = at; i < at + 16; ++i) {
            std::snprintf(row, sizeof row, " %02X", i);
            rows += row;
        }
        rows += "\r\n";
    }
    ASSERT_EQ(serialStatement("\"dump 256\" Big \">\" 5 n s"), 0);
    EXPECT_EQ(status(), 0);
    EXPECT_EQ(text("Big", count()), rows + "SKTX");

    // Larger than the buffer: 16 bytes kept.
    ASSERT_EQ(serialStatement("\"dump 64\" Small \">\" 5 n s"), 0);
    EXPECT_EQ(status(), 2);
    EXPECT_EQ(count(), 16u);
    EXPECT_EQ(text("Small", 16), "\r\n0000: 00 01 02");
}

TEST_F(SerialStatementTest, SlowAnswerTimesOutWithinItsTime) {
    // An answer three seconds away, a time-out of 1.5 s (a literal with a point), counted from
    // the first of six characters sent 100 ms apart.
    const auto start = Clock::now();
    ASSERT_EQ(serialStatement("\"wait 3\" B \">\" 1.5 n s"), 0);
    EXPECT_EQ(status(), 4);
    EXPECT_EQ(count(), 1u);  // only the echoed carriage return came
    // Six characters at 100 ms, then the time-out: done before the answer would come.
    EXPECT_LT(Clock::now() - start, 2900ms);
}

TEST_F(SerialStatementTest, PartialAnswerTimesOutWithWhatArrived) {
    // About 14 seconds of output at 9600 baud; one second of it arrives.
    engine.tables().variables.find("t")->doubleSlot = 1;
    const auto start = Clock::now();
    ASSERT_EQ(serialStatement("\"dump 4096\" Big \"QQ\" t n s"), 0);
    EXPECT_EQ(status(), 4);
    EXPECT_GT(count(), 100u);
    EXPECT_LT(count(), 5000u);
    EXPECT_EQ(text("Big", 13), "\r\n0000: 00 01");
    EXPECT_LT(Clock::now() - start, 4s);
}

TEST_F(SerialStatementTest, BaudRateChanges) {
    // The port at 38400, the console at 9600: the echo comes back as garbage.
    ASSERT_EQ(baud("38"), 0);
    EXPECT_EQ(session->port().baudRate(), 38400u);
    ASSERT_EQ(serialStatement("\"ver\" B \">\" 2 n s"), 0);
    EXPECT_EQ(status(), 1);

    // Both at 9600, then both moved to 38400 (the console answers at its old speed).
    ASSERT_EQ(baud("9"), 0);
    ASSERT_EQ(serialStatement("CTRLZ B \">\" 2 n s"), 0);  // a clean line
    ASSERT_EQ(serialStatement("\"baud 38400\" B \">\" 5 n s"), 0);
    EXPECT_EQ(status(), 0);
    EXPECT_EQ(text("B", count()), "\r\nConsole speed 38400\r\nSKTX");
    ASSERT_EQ(baud("38"), 0);
    ASSERT_EQ(serialStatement("\"ver\" B \">\" 5 n s"), 0);
    EXPECT_EQ(status(), 0);

    // A rate from a BYTE variable; a value that is no rate code is refused when it runs.
    engine.tables().variables.find("code")->byteSlot = 57;
    ASSERT_EQ(baud("code"), 0);
    EXPECT_EQ(session->port().baudRate(), 57600u);
    engine.tables().variables.find("code")->byteSlot = 96;
    EXPECT_EQ(baud("code"), err::KRT_BAUD_ARG1_NUMBER_OUT_OF_RANGE);
    EXPECT_EQ(session->port().baudRate(), 57600u);
    EXPECT_EQ(baud("96"), err::K_BAUD_ARG1_NUMBER_OUT_OF_RANGE);
}

TEST_F(SerialStatementTest, RunTimeRefusals) {
    const std::string longText(129, 'x');
    struct Case {
        std::string cmd, term, args;
        int32_t code;
    };
    const std::vector<Case> cases = {
        {"", "", "Cmd B \">\" 5 n s", err::KRT_SERIAL_ARG1_CMDSTR_BUFFER_NOT_PRIMED},
        {longText, "", "Cmd B \">\" 5 n s", err::KRT_SERIAL_ARG1_CMDSTR_BUFFER_NOT_PRIMED},
        {"", "", "\"\" B \">\" 5 n s", err::KRT_SERIAL_ARG1_CMDSTR_TEXT_LENGTH_ERROR},
        {"", "", "\"" + longText + "\" B \">\" 5 n s", err::KRT_SERIAL_ARG1_CMDSTR_TEXT_LENGTH_ERROR},
        {"", "", "\"ver\" F \">\" 5 n s", err::KRT_SERIAL_ARG2_FILE_SPECIFIED_NOT_OPEN},
        {"", "", "\"ver\" B Term 5 n s", err::KRT_SERIAL_ARG3_TERMINATIONSTR_BUFFER_NOT_PRIMED},
        {"", "", "\"ver\" B \" \" 5 n s", err::KRT_SERIAL_ARG3_TERMINATIONSTR_TEXT_LENGTH_ERROR},
        {"", "", "\"ver\" B > 5 n s", err::K_SERIAL_INVALID_ARG3_TERMINATION_PHRASE},
    };
    for (const auto& c : cases) {
        setText("Cmd", c.cmd);
        setText("Term", c.term);
        const auto start = Clock::now();
        EXPECT_EQ(serialStatement(c.args), c.code) << c.args;
        EXPECT_LT(Clock::now() - start, 50ms) << "refused before anything is sent: " << c.args;
    }
    auto* file = engine.tables().files.find("F");
    file->mode = 1;  // write, text
    EXPECT_EQ(serialStatement("\"ver\" F \">\" 5 n s"), err::KRT_SERIAL_ARG2_FILE_SPECIFIED_INCORRECT_MODE);
    file->mode = -1;
}

struct SerialPortlessTest : ScriptTest {};

TEST_F(SerialPortlessTest, PortThatCannotBeOpenedRefusesBothStatements) {
    ScriptTest& t = *this;
    t.engine.setSerialSession(std::make_shared<serial::SerialSession>("/nonexistent/ttyS7"));
    EXPECT_FALSE(t.load(kScript));
    EXPECT_EQ(t.codes(), (std::vector<int32_t>{err::K_SERIAL_COMMPORT_NOT_CONNECTED, err::K_BAUD_COMMPORT_NOT_CONNECTED}));

    // Told a port is there, the script loads; it cannot run without the port object.
    t.engine.setSerialSession(nullptr);
    t.engine.setSerialPortConnected(true);
    ASSERT_TRUE(t.load(kScript));
    t.engine.state().executing = true;
    StatementContext ctx{t.engine, t.engine.tables().statements[0], "\"ver\" B \">\" 5 n s"};
    EXPECT_EQ(stmtSerial(ctx), 1);
    EXPECT_EQ(t.engine.errorCode(), err::K_SERIAL_COMMPORT_NOT_CONNECTED);
}

}  // namespace
}  // namespace vexal::script::testing
