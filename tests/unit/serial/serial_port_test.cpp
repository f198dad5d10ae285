// The serial port component on a pseudo-terminal: opening and its refusals, line settings,
// the watcher's delivery, writes and their time-out, the receive store.
#include <gtest/gtest.h>

#include <termios.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "pty_peer.h"
#include "serial/line_settings.h"
#include "serial/receive_store.h"
#include "serial/serial_port.h"
#include "serial/serial_status.h"

namespace vexal::serial::testing {
namespace {

using namespace std::chrono_literals;

// Collects what a port hands on, for a test to wait for.
struct Received {
    std::mutex mutex;
    std::condition_variable cv;
    std::string bytes;
    std::vector<uint32_t> events;

    SerialCallback callback() {
        return [this](uint32_t ev, std::span<const uint8_t> data) {
            std::lock_guard lock(mutex);
            events.push_back(ev);
            bytes.append(data.begin(), data.end());
            cv.notify_all();
        };
    }
    bool waitFor(size_t count, std::chrono::milliseconds timeout = 2s) {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, timeout, [&] { return bytes.size() >= count; });
    }
};

TEST(SerialPortTest, OpenRefusals) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    struct Case {
        std::string name;
        uint32_t flags;
        bool callback;
        std::string status;
    };
    const std::vector<Case> cases = {
        {"", 0, false, status::kInvalidPortName},
        {peer.path(), kNotifyCallback, false, status::kInvalidFunctionAddress},
        {"/nonexistent/ttyS0", 0, false, status::systemError(ENOENT)},
        {"/dev/null", 0, false, status::systemError(ENOTTY)},
    };
    for (const auto& c : cases) {
        SerialPort port;
        Received r;
        EXPECT_FALSE(port.open(c.name, c.flags, c.callback ? r.callback() : SerialCallback{})) << c.name;
        EXPECT_EQ(port.status(), c.status) << c.name << " " << c.flags;
        EXPECT_FALSE(port.isOpen());
    }
}

TEST(SerialPortTest, OneHolderAtATime) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    SerialPort port, other;
    ASSERT_TRUE(port.open(peer.path())) << port.status();
    EXPECT_EQ(port.status(), status::kOk);
    EXPECT_FALSE(port.open(peer.path()));
    EXPECT_EQ(port.status(), status::kPortAlreadyInUse);
    EXPECT_FALSE(other.open(peer.path()));
    EXPECT_EQ(other.status(), status::systemError(EBUSY));
    EXPECT_TRUE(port.close());
    EXPECT_FALSE(port.close());
    EXPECT_EQ(port.status(), status::kPortNotConnected);
    EXPECT_TRUE(other.open(peer.path())) << other.status();
}

TEST(SerialPortTest, ClosedPortRefusesLineOperations) {
    SerialPort port;
    const uint8_t byte = 'x';
    EXPECT_FALSE(port.write({&byte, 1}));
    EXPECT_EQ(port.status(), status::kPortNotConnected);
    EXPECT_FALSE(port.sendBreak());
    uint8_t buffer[4];
    EXPECT_EQ(port.read(buffer, sizeof buffer), -1);
    for (int (SerialPort::*line)() : {&SerialPort::cts, &SerialPort::dsr, &SerialPort::ring, &SerialPort::rlsd}) {
        EXPECT_EQ((port.*line)(), -1);
        EXPECT_EQ(port.status(), status::kPortNotConnected);
    }
    // Settings of a closed port are kept for the next open.
    EXPECT_TRUE(port.setBaudRate(19200));
    EXPECT_EQ(port.baudRate(), 19200u);
}

TEST(SerialPortTest, DefaultsAndPresets) {
    const LineSettings s;
    EXPECT_EQ(s.baudRate, 9600u);
    EXPECT_EQ(s.byteSize, 8);
    EXPECT_EQ(s.parity, Parity::None);
    EXPECT_EQ(s.stopBits, StopBits::One);
    EXPECT_EQ(s.dtr, DtrControl::Disable);
    EXPECT_EQ(s.rts, RtsControl::Enable);
    EXPECT_EQ(events::kDefaultMask, 0xF1u);
    const Timeouts t;
    EXPECT_EQ(t.readInterval, 0xFFFFFFFFu);
    EXPECT_EQ(t.readTotalConstant, 1000u);
    EXPECT_EQ(t.writeTotalMultiplier, 2u);

    LineSettings hw, sw;
    hw.applyPreset(FlowControl::Hardware);
    EXPECT_TRUE(hw.ctsOutFlow);
    EXPECT_EQ(hw.rts, RtsControl::Handshake);
    EXPECT_FALSE(hw.xonXoffIn || hw.xonXoffOut);
    sw.applyPreset(FlowControl::Software);
    EXPECT_TRUE(sw.xonXoffIn && sw.xonXoffOut);
    EXPECT_EQ(sw.rts, RtsControl::Disable);
    termios base{}, t2{};
    int error = 0;
    ASSERT_TRUE(toTermios(hw, base, t2, error));
    EXPECT_TRUE(t2.c_cflag & CRTSCTS);
    ASSERT_TRUE(toTermios(sw, base, t2, error));
    EXPECT_TRUE((t2.c_iflag & IXON) && (t2.c_iflag & IXOFF));
    EXPECT_EQ(t2.c_cc[VSTART], 17);
    EXPECT_EQ(t2.c_cc[VSTOP], 19);
}

TEST(SerialPortTest, OpenPortAppliesSettingsAndRestoresRefusedOnes) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    SerialPort port;
    ASSERT_TRUE(port.open(peer.path())) << port.status();
    termios t{};
    ASSERT_EQ(::tcgetattr(peer.master(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO));

    EXPECT_TRUE(port.setBaudRate(38400));
    EXPECT_EQ(port.baudRate(), 38400u);
    ASSERT_EQ(::tcgetattr(peer.master(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), B38400);

    EXPECT_FALSE(port.setBaudRate(12345));  // no such line speed
    EXPECT_NE(port.status(), status::kOk);
    EXPECT_EQ(port.baudRate(), 38400u);

    EXPECT_FALSE(port.setByteSize(3));
    EXPECT_EQ(port.status(), status::kInvalidByteSize);
    EXPECT_FALSE(port.setByteSize(4));  // accepted as a value, refused by the line
    EXPECT_EQ(port.byteSize(), 8);
    // A pseudo-terminal keeps 8 bits without parity: the refusal shows, the line stays.
    EXPECT_FALSE(port.setByteSize(7));
    EXPECT_FALSE(port.setParity(Parity::Even));
    EXPECT_NE(port.status(), status::kOk);
    EXPECT_EQ(port.byteSize(), 8);
    EXPECT_EQ(port.parity(), Parity::None);
    EXPECT_TRUE(port.setStopBits(StopBits::Two));
    EXPECT_EQ(port.stopBits(), StopBits::Two);
    EXPECT_EQ(port.baudRate(), 38400u);
    EXPECT_FALSE(port.setCallback({}));
    EXPECT_EQ(port.status(), status::kInvalidCallbackFunctionAddress);
}

TEST(SerialPortTest, WatcherHandsOnReceivedBytesAndKeepsThem) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    SerialPort port;
    Received r;
    ASSERT_TRUE(port.open(peer.path(), kNotifyCallback, r.callback()));
    peer.send("hello");
    ASSERT_TRUE(r.waitFor(5));
    EXPECT_EQ(r.bytes, "hello");
    for (uint32_t ev : r.events) EXPECT_EQ(ev, events::kReceived);
    const auto store = port.receiveStore();
    EXPECT_EQ(std::string(store.begin(), store.end()), "hello");
    port.clearReceiveStore();
    EXPECT_TRUE(port.receiveStore().empty());

    // Notification off: the store still fills, nobody is told.
    port.setNotifyReceived(false);
    peer.send("xy");
    for (int i = 0; i < 100 && port.receiveStore().size() < 2; ++i) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(port.receiveStore().size(), 2u);
    EXPECT_EQ(r.bytes, "hello");
}

TEST(SerialPortTest, FarEndGoneIsReportedOnceAndCloseStaysPrompt) {
    auto peer = std::make_unique<PtyPeer>();
    ASSERT_TRUE(peer->ok());
    SerialPort port;
    Received r;
    ASSERT_TRUE(port.open(peer->path(), kNotifyCallback, r.callback()));
    peer.reset();
    {
        std::unique_lock lock(r.mutex);
        ASSERT_TRUE(r.cv.wait_for(lock, 2s, [&] { return !r.events.empty(); }));
    }
    std::this_thread::sleep_for(200ms);
    {
        std::lock_guard lock(r.mutex);
        EXPECT_EQ(r.events, std::vector<uint32_t>{events::kError});
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(port.close());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST(SerialPortTest, WritesAllOrReportsHowManyWentOut) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    SerialPort port;
    ASSERT_TRUE(port.open(peer.path()));
    const std::string text = "status\r";
    ASSERT_TRUE(port.write({reinterpret_cast<const uint8_t*>(text.data()), text.size()}));
    EXPECT_EQ(port.status(), status::kOk);
    std::string got(text.size(), '\0');
    size_t have = 0;
    for (int i = 0; i < 100 && have < got.size(); ++i) {
        const ssize_t n = ::read(peer.master(), got.data() + have, got.size() - have);
        if (n > 0) have += static_cast<size_t>(n);
    }
    EXPECT_EQ(got, text);

    // Nobody reads the far end: the terminal's queue fills and the write time-out ends it.
    Timeouts t;
    t.writeTotalMultiplier = 0;
    t.writeTotalConstant = 200;
    port.setTimeouts(t);
    const std::vector<uint8_t> big(4 << 20, 'z');
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(port.write(big));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    const std::string s = port.status();
    EXPECT_EQ(s.rfind("Probable write timeout: total of ", 0), 0u) << s;
    EXPECT_NE(s, status::writeTimeout(static_cast<long>(big.size())));
}

TEST(ReceiveStoreTest, OverflowStartsAgainAndDataAreZeroTerminated) {
    ReceiveStore store;
    const std::vector<uint8_t> a(ReceiveStore::kCapacity - 10, 'a'), b(20, 'b');
    store.append(a);
    EXPECT_EQ(store.size(), a.size());
    store.append(b);  // would overflow: the store starts again with the chunk
    ASSERT_EQ(store.size(), 20u);
    EXPECT_EQ(store.data()[0], 'b');
    EXPECT_EQ(store.data().data()[20], 0);
    store.append(std::vector<uint8_t>(ReceiveStore::kCapacity + 5, 'c'));
    EXPECT_EQ(store.size(), ReceiveStore::kCapacity);
    store.clear();
    EXPECT_EQ(store.size(), 0u);
}

TEST(SerialPortTest, PortNames) {
    EXPECT_EQ(portDevicePath("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(portDevicePath("/dev/pts/3"), "/dev/pts/3");
    EXPECT_EQ(portDevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(portDevicePath("com12"), "/dev/ttyS11");
    EXPECT_EQ(portDevicePath("COM0"), "/dev/COM0");
    EXPECT_EQ(portDevicePath(""), "");
}

}  // namespace
}  // namespace vexal::serial::testing
