#include "serial/serial_port.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "serial/serial_status.h"

namespace vexal::serial {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr size_t kChunk = 1024;
constexpr int kModemPollMs = 100;
constexpr long kWriteCapMs = 30000;

// The line counters that become break and error events.
struct LineCounters {
    int breaks = 0, errors = 0;
    bool operator==(const LineCounters&) const = default;
};

bool readCounters(int fd, LineCounters& c) {
    serial_icounter_struct icount{};
    if (::ioctl(fd, TIOCGICOUNT, &icount) != 0) return false;
    c.breaks = icount.brk;
    c.errors = icount.frame + icount.parity + icount.overrun + icount.buf_overrun;
    return true;
}

}  // namespace

std::string portDevicePath(const std::string& name) {
    if (name.empty() || name.front() == '/') return name;
    if (name.size() > 3 && (name[0] == 'C' || name[0] == 'c') && (name[1] == 'O' || name[1] == 'o') &&
        (name[2] == 'M' || name[2] == 'm')) {
        unsigned n = 0;
        bool digits = name.size() <= 6;
        for (size_t i = 3; i < name.size() && digits; ++i) {
            digits = name[i] >= '0' && name[i] <= '9';
            n = n * 10 + static_cast<unsigned>(name[i] - '0');
        }
        if (digits && n >= 1) return "/dev/ttyS" + std::to_string(n - 1);
    }
    return "/dev/" + name;
}

SerialPort::~SerialPort() {
    if (isOpen()) close();
}

std::string SerialPort::statusText(int errorNumber) { return status::systemError(errorNumber); }

bool SerialPort::setStatus(std::string text, bool ok) {
    std::lock_guard lock(mutex_);
    status_ = std::move(text);
    return ok;
}

std::string SerialPort::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

bool SerialPort::open(const std::string& name, uint32_t notifyFlags, SerialCallback callback) {
    if (isOpen()) return setStatus(status::kPortAlreadyInUse, false);
    if (name.empty()) return setStatus(status::kInvalidPortName, false);
    if ((notifyFlags & kNotifyCallback) && !callback) return setStatus(status::kInvalidFunctionAddress, false);
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) return setStatus(status::kErrorCreatingIoEventObjects, false);

    const std::string path = portDevicePath(name);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    int error = errno;
    auto giveUp = [&](int e) {
        if (fd >= 0) ::close(fd);
        ::close(wake);
        return fail(e);
    };
    if (fd < 0) return giveUp(error);
    // Not shared: no second open of the line (TIOCEXCL), and no second holder even for a
    // privileged process, which TIOCEXCL lets through (the lock).
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return giveUp(errno == EWOULDBLOCK ? EBUSY : errno);
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return giveUp(errno);
    ::ioctl(fd, TIOCEXCL);
    // The driver's queue sizes are fixed on this platform; the receive side is purged.
    ::tcflush(fd, TCIFLUSH);
    LineSettings settings;
    {
        std::lock_guard lock(mutex_);
        settings = settings_;
    }
    fd_ = fd;
    if (!applyLine(settings, error)) {
        fd_ = -1;
        return giveUp(error);
    }
    applyModemControl(settings);
    wakeFd_ = wake;
    name_ = name;
    {
        std::lock_guard lock(mutex_);
        if (callback) callback_ = std::move(callback);
        status_ = status::kOk;
    }
    watcher_ = std::thread([this] { watch(); });
    // The line settles before the first write.
    std::this_thread::sleep_for(milliseconds(100));
    return true;
}

bool SerialPort::close() {
    if (!isOpen()) return setStatus(status::kPortNotConnected, false);
    if (std::this_thread::get_id() == watcher_.get_id()) return setStatus(status::kInvalidHandle, false);
    // The watcher only ever waits in poll(), which the wake descriptor ends at once.
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
    if (watcher_.joinable()) watcher_.join();
    const int dtr = TIOCM_DTR;
    ::ioctl(fd_, TIOCMBIC, &dtr);
    ::ioctl(fd_, TIOCNXCL);  // the exclusive mark outlives the descriptor otherwise
    ::close(fd_);
    ::close(wakeFd_);
    fd_ = wakeFd_ = -1;
    return setStatus(status::kOk, true);
}

bool SerialPort::applyLine(const LineSettings& s, int& errorNumber) {
    termios base{};
    if (::tcgetattr(fd_, &base) != 0) {
        errorNumber = errno;
        return false;
    }
    termios next{};
    if (!toTermios(s, base, next, errorNumber)) return false;
    if (::tcsetattr(fd_, TCSANOW, &next) != 0) {
        errorNumber = errno;
        return false;
    }
    // tcsetattr succeeds when any part was taken (a pseudo-terminal keeps 8 bits without
    // parity whatever it is told): check that the framing and speed were.
    constexpr tcflag_t framing = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    termios now{};
    if (::tcgetattr(fd_, &now) == 0 &&
        (cfgetospeed(&now) != cfgetospeed(&next) || (now.c_cflag & framing) != (next.c_cflag & framing))) {
        ::tcsetattr(fd_, TCSANOW, &base);
        errorNumber = EINVAL;
        return false;
    }
    return true;
}

// DTR and RTS levels; a line without modem control (a pseudo-terminal) has none to set.
void SerialPort::applyModemControl(const LineSettings& s) {
    const int dtr = TIOCM_DTR, rts = TIOCM_RTS;
    ::ioctl(fd_, s.dtr == DtrControl::Disable ? TIOCMBIC : TIOCMBIS, &dtr);
    if (s.rts == RtsControl::Enable) ::ioctl(fd_, TIOCMBIS, &rts);
    else if (s.rts == RtsControl::Disable) ::ioctl(fd_, TIOCMBIC, &rts);
}

LineSettings SerialPort::current() const {
    LineSettings known;
    {
        std::lock_guard lock(mutex_);
        known = settings_;
    }
    termios t{};
    if (isOpen() && ::tcgetattr(fd_, &t) == 0) return fromTermios(t, known);
    return known;
}

bool SerialPort::reconfigure(const LineSettings& next) {
    LineSettings previous;
    {
        std::lock_guard lock(mutex_);
        previous = settings_;
    }
    if (isOpen()) {
        int error = 0;
        if (!applyLine(next, error)) {
            applyLine(previous, error);
            return fail(error ? error : EINVAL);
        }
        applyModemControl(next);
    }
    std::lock_guard lock(mutex_);
    settings_ = next;
    status_ = status::kOk;
    return true;
}

bool SerialPort::setBaudRate(uint32_t rate) {
    LineSettings s = lineSettings();
    s.baudRate = rate;
    return reconfigure(s);
}

bool SerialPort::setByteSize(uint8_t size) {
    if (size < 4 || size > 8) return setStatus(status::kInvalidByteSize, false);
    LineSettings s = lineSettings();
    s.byteSize = size;
    return reconfigure(s);
}

bool SerialPort::setParity(Parity parity) {
    LineSettings s = lineSettings();
    s.parity = parity;
    return reconfigure(s);
}

bool SerialPort::setStopBits(StopBits bits) {
    LineSettings s = lineSettings();
    s.stopBits = bits;
    return reconfigure(s);
}

bool SerialPort::setDtrControl(DtrControl control) {
    LineSettings s = lineSettings();
    s.dtr = control;
    return reconfigure(s);
}

bool SerialPort::setRtsControl(RtsControl control) {
    LineSettings s = lineSettings();
    s.rts = control;
    return reconfigure(s);
}

bool SerialPort::setXonXoff(bool output, bool input) {
    LineSettings s = lineSettings();
    s.xonXoffOut = output;
    s.xonXoffIn = input;
    return reconfigure(s);
}

bool SerialPort::setFlowControl(FlowControl preset) {
    LineSettings s = lineSettings();
    s.applyPreset(preset);
    return reconfigure(s);
}

bool SerialPort::setEventMask(uint32_t mask) {
    eventMask_ = mask;
    return setStatus(status::kOk, true);
}

bool SerialPort::setTimeouts(const Timeouts& timeouts) {
    std::lock_guard lock(mutex_);
    timeouts_ = timeouts;
    status_ = status::kOk;
    return true;
}

Timeouts SerialPort::timeouts() const {
    std::lock_guard lock(mutex_);
    return timeouts_;
}

bool SerialPort::setCallback(SerialCallback callback) {
    if (!callback) return setStatus(status::kInvalidCallbackFunctionAddress, false);
    std::lock_guard lock(mutex_);
    callback_ = std::move(callback);
    status_ = status::kOk;
    return true;
}

bool SerialPort::write(std::span<const uint8_t> bytes) {
    if (!isOpen()) return setStatus(status::kPortNotConnected, false);
    const Timeouts t = timeouts();
    long limitMs = static_cast<long>(t.writeTotalMultiplier) * static_cast<long>(bytes.size()) +
                   static_cast<long>(t.writeTotalConstant);
    if (limitMs <= 0 || limitMs > kWriteCapMs) limitMs = kWriteCapMs;
    const auto deadline = Clock::now() + milliseconds(limitMs);
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + sent, bytes.size() - sent);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return fail(errno);
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        pollfd p{fd_, POLLOUT, 0};
        ::poll(&p, 1, static_cast<int>(left));
    }
    if (sent < bytes.size()) return setStatus(status::writeTimeout(static_cast<long>(sent)), false);
    return setStatus(status::kOk, true);
}

bool SerialPort::writeEachByte(std::span<const uint8_t> bytes) {
    if (!isOpen()) return setStatus(status::kPortNotConnected, false);
    if (!notifyReceived_) clearReceiveStore();
    for (size_t i = 0; i < bytes.size(); ++i)
        if (!write(bytes.subspan(i, 1))) return false;
    return true;
}

long SerialPort::read(uint8_t* buffer, size_t count) {
    if (!isOpen()) {
        setStatus(status::kPortNotConnected, false);
        return -1;
    }
    int waiting = 0;
    if (::ioctl(fd_, FIONREAD, &waiting) != 0) {
        fail(errno);
        return -1;
    }
    const size_t take = std::min(count, static_cast<size_t>(waiting > 0 ? waiting : 0));
    ssize_t n = take == 0 ? 0 : ::read(fd_, buffer, take);
    if (n < 0 && errno == EAGAIN) n = 0;  // the watcher took them first
    if (n < 0) {
        fail(errno);
        return -1;
    }
    setStatus(status::kOk, true);
    return n;
}

bool SerialPort::sendBreak() {
    if (!isOpen()) return setStatus(status::kPortNotConnected, false);
    clearReceiveStore();
    if (::ioctl(fd_, TIOCSBRK) != 0) return fail(errno);
    std::this_thread::sleep_for(milliseconds(2));
    if (::ioctl(fd_, TIOCCBRK) != 0) return fail(errno);
    return setStatus(status::kOk, true);
}

int SerialPort::modemBit(int bit) {
    if (!isOpen()) {
        setStatus(status::kPortNotConnected, false);
        return -1;
    }
    int bits = 0;
    if (::ioctl(fd_, TIOCMGET, &bits) != 0) {
        fail(errno);
        return -1;
    }
    setStatus(status::kOk, true);
    return (bits & bit) ? 1 : 0;
}

int SerialPort::cts() { return modemBit(TIOCM_CTS); }
int SerialPort::dsr() { return modemBit(TIOCM_DSR); }
int SerialPort::ring() { return modemBit(TIOCM_RI); }
int SerialPort::rlsd() { return modemBit(TIOCM_CD); }

void SerialPort::clearReceiveStore() {
    std::lock_guard lock(storeMutex_);
    store_.clear();
}

std::vector<uint8_t> SerialPort::receiveStore() const {
    std::lock_guard lock(storeMutex_);
    auto d = store_.data();
    return {d.begin(), d.end()};
}

void SerialPort::notify(uint32_t eventBits, std::span<const uint8_t> data) {
    if (!notifyReceived_ && (eventBits & events::kReceived)) return;
    SerialCallback callback;
    {
        std::lock_guard lock(mutex_);
        callback = callback_;
    }
    // Without flags a callback given later still hears the port (the engine's use).
    if (callback) callback(eventBits, data);
}

void SerialPort::watch() {
    int modemBits = 0;
    LineCounters counters;
    bool watchModem = ::ioctl(fd_, TIOCMGET, &modemBits) == 0;
    bool watchCounters = readCounters(fd_, counters);
    bool portAlive = true;
    uint8_t chunk[kChunk];
    for (;;) {
        pollfd fds[2] = {{portAlive ? fd_ : -1, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        const int timeout = (watchModem || watchCounters) ? kModemPollMs : -1;
        if (::poll(fds, 2, timeout) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        const uint32_t mask = eventMask_.load();
        bool gotData = false;
        if (fds[0].revents & POLLIN) {
            for (;;) {
                const ssize_t n = ::read(fd_, chunk, sizeof chunk);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) break;
                gotData = true;
                const std::span<const uint8_t> data(chunk, static_cast<size_t>(n));
                {
                    std::lock_guard lock(storeMutex_);
                    store_.append(data);
                }
                if (mask & events::kReceived) notify(events::kReceived, data);
            }
        }
        if (!gotData && (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))) {
            // The other end is gone (a device unplugged, a pseudo-terminal closed): report
            // it once and stop reading, or poll() would report it without end.
            portAlive = false;
            watchModem = watchCounters = false;
            if (mask & events::kError) notify(events::kError, {});
            continue;
        }
        if (watchModem) {
            int bits = 0;
            if (::ioctl(fd_, TIOCMGET, &bits) == 0) {
                const int changed = bits ^ modemBits;
                modemBits = bits;
                uint32_t ev = 0;
                if (changed & TIOCM_CTS) ev |= events::kCts;
                if (changed & TIOCM_DSR) ev |= events::kDsr;
                if (changed & TIOCM_CD) ev |= events::kRlsd;
                if ((changed & TIOCM_RI) && (bits & TIOCM_RI)) ev |= events::kRing;
                if (ev & mask) notify(ev & mask, {});
            }
        }
        if (watchCounters) {
            LineCounters now;
            if (readCounters(fd_, now) && now != counters) {
                uint32_t ev = 0;
                if (now.breaks != counters.breaks) ev |= events::kBreak;
                if (now.errors != counters.errors) ev |= events::kError;
                counters = now;
                if (ev & mask) notify(ev & mask, {});
            }
        }
    }
}

}  // namespace vexal::serial
