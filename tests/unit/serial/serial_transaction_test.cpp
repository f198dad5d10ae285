// The SERIAL exchange against a scripted far end on a pseudo-terminal: every way a
// transaction ends, each within its time-out.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/event.h"
#include "pty_peer.h"
#include "serial/serial_session.h"

namespace vexal::serial::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Exchange {
    SerialOutcome outcome;
    std::string stored;           // the destination up to the count, plus the completing byte
    Clock::duration took{};
};

struct TransactionTest : ::testing::Test {
    PtyPeer peer;
    platform::Event done{platform::Event::Reset::Auto};
    SerialSession session{peer.path(), &done};

    void SetUp() override {
        ASSERT_TRUE(peer.ok());
        ASSERT_TRUE(session.ensureOpen()) << session.status();
    }

    Exchange run(std::string command, std::string termination, std::chrono::milliseconds timeout, size_t capacity = 64,
                 SerialAction action = SerialAction::None) {
        std::vector<uint8_t> buffer(capacity, 0);
        SerialRequest r;
        r.command = std::move(command);
        r.action = action;
        r.termination = std::move(termination);
        r.timeout = timeout;
        r.destination.buffer = buffer.data();
        r.destination.capacity = buffer.size();
        Exchange x;
        const auto start = Clock::now();
        x.outcome = session.transact(r);
        x.took = Clock::now() - start;
        const size_t shown = std::min<size_t>(x.outcome.byteCount + (x.outcome.status == kSerialTerminated), capacity);
        x.stored.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(shown));
        return x;
    }
};

TEST_F(TransactionTest, EchoedCommandAndPromptCompleteWithTheAnswerCounted) {
    peer.respond(echoing("abc>"));
    const Exchange x = run("ver", ">", 5s);
    EXPECT_EQ(x.outcome.status, kSerialTerminated);
    EXPECT_EQ(x.outcome.byteCount, 4u);  // the echoed carriage return and abc
    EXPECT_EQ(x.stored, "\rabc>");
    EXPECT_TRUE(done.wait(0ms)) << "KSerialDone is signalled as the transaction ends";
    // Three characters, each after its pause: the exchange takes about 300 ms.
    EXPECT_GE(x.took, 300ms);
    EXPECT_LT(x.took, 2s);
}

TEST_F(TransactionTest, EndingsOtherThanThePhrase) {
    struct Case {
        const char* name;
        PtyPeer::Responder peer;
        std::string termination;
        size_t capacity;
        uint8_t status;
        uint32_t count;
    };
    const std::string twenty = "01234567890123456789";
    std::vector<Case> cases = {
        {"echo of another character", [](uint8_t) { return std::string("X"); }, ">", 64, kSerialEchoMismatch, 0},
        {"answer larger than the buffer", echoing(twenty.substr(1)), ">", 16, kSerialBufferFull, 16},
        // The second a is not tried as a new start: "ab" never matches in "aab".
        {"phrase after a false start", echoing("aab"), "ab", 64, kSerialTimedOut, 4},
        {"no answer at all", [](uint8_t) { return std::string(); }, ">", 64, kSerialTimedOut, 0},
        {"echo, then silence", echoing(""), ">", 64, kSerialTimedOut, 1},
    };
    for (auto& c : cases) {
        PtyPeer far;
        ASSERT_TRUE(far.ok());
        SerialSession s(far.path());
        ASSERT_TRUE(s.ensureOpen()) << s.status();
        far.respond(std::move(c.peer));
        std::vector<uint8_t> buffer(c.capacity, 0);
        SerialRequest r;
        r.command = "ver";
        r.termination = c.termination;
        r.timeout = 700ms;
        r.destination.buffer = buffer.data();
        r.destination.capacity = buffer.size();
        const auto start = Clock::now();
        const SerialOutcome o = s.transact(r);
        EXPECT_EQ(o.status, c.status) << c.name;
        EXPECT_EQ(o.byteCount, c.count) << c.name;
        EXPECT_LT(Clock::now() - start, 2s) << c.name;
        if (c.status == kSerialBufferFull) {
            EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "\r" + twenty.substr(1, 15)) << c.name;
        }
    }
}

TEST_F(TransactionTest, ByteWhileSendingIsUnexpected) {
    // The far end echoes the first character and goes on talking during the pause before
    // the second.
    peer.respond([](uint8_t b) { return std::string(1, static_cast<char>(b)) + "!"; });
    const Exchange x = run("ver", ">", 2s);
    EXPECT_EQ(x.outcome.status, kSerialUnexpectedByte);
    EXPECT_LT(x.took, 1s);
}

TEST_F(TransactionTest, ControlCharactersGoOutAloneAndTheAnswerIsCollected) {
    std::string seen;
    peer.respond([&seen](uint8_t b) {
        seen.push_back(static_cast<char>(b));
        return std::string("\r\nP>");
    });
    Exchange x = run("", ">", 2s, 64, SerialAction::CtrlA);
    EXPECT_EQ(x.outcome.status, kSerialTerminated);
    EXPECT_EQ(x.stored, "\r\nP>");
    x = run("", ">", 2s, 64, SerialAction::CtrlZ);
    EXPECT_EQ(x.outcome.status, kSerialTerminated);
    peer.stop();
    EXPECT_EQ(seen, "\x01\x1a");
}

TEST_F(TransactionTest, BreakWithoutAnswerTimesOut) {
    // A pseudo-terminal carries no break; the line stays silent.
    const Exchange x = run("", ">", 300ms, 64, SerialAction::Break);
    EXPECT_EQ(x.outcome.status, kSerialTimedOut);
    EXPECT_LT(x.took, 1500ms);
}

TEST_F(TransactionTest, LateBytesAfterATimeOutTouchNothing) {
    // The answer comes after the time-out; it must not land in a buffer the caller has
    // already taken back, nor upset the next exchange.
    // The late answer is sent by the responder thread itself, which the test joins (a
    // detached sender could still write after the test had closed the line).
    peer.respond([this](uint8_t b) {
        if (b != '\r') return std::string(1, static_cast<char>(b));
        peer.send("\r");
        std::this_thread::sleep_for(400ms);
        return std::string("late>");
    });
    const Exchange first = run("a", ">", 200ms, 8);
    EXPECT_EQ(first.outcome.status, kSerialTimedOut);
    EXPECT_EQ(first.outcome.byteCount, 1u);
    std::this_thread::sleep_for(600ms);  // the late answer arrives between exchanges
    peer.stop();
    PtyPeer::Responder r = echoing("ok>");
    peer.respond(r);
    const Exchange second = run("b", ">", 2s);
    EXPECT_EQ(second.outcome.status, kSerialTerminated);
    EXPECT_EQ(second.stored, "\rok>");
}

TEST(SerialSessionTest, PortThatCannotBeOpened) {
    for (const char* name : {"/nonexistent/ttyS99", "/dev/null", ""}) {
        SerialSession s(name);
        EXPECT_FALSE(s.ensureOpen()) << name;
        EXPECT_FALSE(s.connected()) << name;
        EXPECT_NE(s.status(), "S_OK") << name;
        SerialRequest r;
        r.command = "ver";
        r.termination = ">";
        r.timeout = 5s;
        uint8_t b[4];
        r.destination = {b, sizeof b, {}};
        const auto start = Clock::now();
        EXPECT_EQ(s.transact(r).status, kSerialTimedOut) << name;
        EXPECT_LT(Clock::now() - start, 100ms) << name;
    }
}

}  // namespace
}  // namespace vexal::serial::testing
