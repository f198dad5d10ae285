#include "device/virtual/serial_console.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include "device/virtual/profile_keys.h"

namespace vexal::device::virt {
namespace {

constexpr size_t kMaxLine = 128;
constexpr uint32_t kMaxWaitSeconds = 60;
constexpr uint64_t kMaxDump = 4096;

std::string systemText(int error) {
    char buffer[256];
    return ::strerror_r(error, buffer, sizeof buffer);
}

speed_t speedConstant(uint32_t rate) {
    switch (rate) {
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B9600;
    }
}

uint32_t rateOfSpeed(speed_t s) {
    switch (s) {
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 0;  // any other speed: never the console's
    }
}

// "word rest" split at the first blank.
void splitCommand(const std::string& line, std::string& word, std::string& rest) {
    const std::string_view trimmed = trimBlanks(line);
    const size_t blank = trimmed.find(' ');
    word = lowerAscii(trimmed.substr(0, blank));
    rest = blank == std::string_view::npos ? std::string() : std::string(trimBlanks(trimmed.substr(blank + 1)));
}

}  // namespace

std::unique_ptr<SerialConsole> SerialConsole::start(const DeviceProfile& profile, std::string& error) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        error = systemText(errno);
        return nullptr;
    }
    char name[128];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0) {
        error = systemText(errno);
        ::close(master);
        return nullptr;
    }
    // The console holds the terminal open itself, so that its settings stay while ports
    // come and go, and starts it raw at the console's speed: the line discipline must not
    // echo the console's own answers back to it.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    termios t{};
    if (slave < 0 || wake < 0 || ::tcgetattr(slave, &t) != 0) {
        error = systemText(errno);
        if (slave >= 0) ::close(slave);
        if (wake >= 0) ::close(wake);
        ::close(master);
        return nullptr;
    }
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    ::tcsetattr(slave, TCSANOW, &t);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    return std::unique_ptr<SerialConsole>(new SerialConsole(profile, master, slave, wake, name));
}

SerialConsole::SerialConsole(const DeviceProfile& profile, int master, int slave, int wake, std::string path)
    : revision_(trimBlanks(profile.revision)),
      serial_(profile.serial),
      product_(trimBlanks(profile.product)),
      master_(master),
      slave_(slave),
      wake_(wake),
      path_(std::move(path)) {
    thread_ = std::thread([this] { serve(); });
}

SerialConsole::~SerialConsole() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_, &one, sizeof one);
    thread_.join();
    ::close(slave_);
    ::close(master_);
    ::close(wake_);
}

uint32_t SerialConsole::lineRate() const {
    termios t{};
    if (::tcgetattr(slave_, &t) != 0) return 0;
    return rateOfSpeed(::cfgetospeed(&t));
}

bool SerialConsole::pause(int ms) {
    pollfd p{wake_, POLLIN, 0};
    if (::poll(&p, 1, ms) > 0) closing_ = true;
    return !closing_;
}

void SerialConsole::serve() {
    uint8_t chunk[256];
    while (!closing_) {
        pollfd fds[2] = {{master_, POLLIN, 0}, {wake_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        const ssize_t n = ::read(master_, chunk, sizeof chunk);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) {
            pause(10);  // nothing to read (no port has the terminal open): do not spin
            continue;
        }
        for (ssize_t i = 0; i < n && !closing_; ++i) take(chunk[i]);
    }
}

void SerialConsole::send(std::string_view text) {
    const bool garbled = lineRate() != rate_;
    // Ten bits a character; pieces of eight characters, each after its time on the line.
    const int pieceMs = static_cast<int>(8 * 10 * 1000 / rate_) + 1;
    for (size_t at = 0; at < text.size() && !closing_; at += 8) {
        std::string piece(text.substr(at, 8));
        if (garbled)
            for (char& c : piece) c = static_cast<char>(garble(static_cast<uint8_t>(c)));
        // A terminal whose input is full loses what does not fit, as a real line would.
        [[maybe_unused]] const ssize_t n = ::write(master_, piece.data(), piece.size());
        if (text.size() > 8) pause(pieceMs);
    }
}

void SerialConsole::take(uint8_t byte) {
    if (lineRate() != rate_) byte = garble(byte);
    switch (byte) {
    case 0x01:  // attention: a fresh prompt with the line typed so far
        send("\r\n" + std::string(kPrompt) + line_);
        return;
    case 0x1A:  // cancel the line
        line_.clear();
        send("\r\n" + std::string(kPrompt));
        return;
    case 0x08:
    case 0x7F:
        if (!line_.empty()) {
            line_.pop_back();
            send("\b \b");
        }
        return;
    case '\n': return;
    case '\r': {
        send("\r");
        const std::string line = std::move(line_);
        line_.clear();
        std::string text = "\n";
        for (const std::string& l : answer(line)) text += l + "\r\n";
        text += kPrompt;
        send(text);
        if (nextRate_) {
            rate_ = nextRate_;
            nextRate_ = 0;
        }
        return;
    }
    default:
        send(std::string(1, static_cast<char>(byte)));
        if (line_.size() < kMaxLine) line_.push_back(static_cast<char>(byte));
        return;
    }
}

std::vector<std::string> SerialConsole::answer(const std::string& line) {
    std::string word, rest;
    splitCommand(line, word, rest);
    if (word.empty()) return {};
    if (word == "help")
        return {"help          this list",
                "ver           firmware revision",
                "sn            serial number",
                "echo TEXT     answers TEXT",
                "dump N        N bytes (1 to 4096) of a counting pattern in hex",
                "wait S        answers after S seconds (0 to 60)",
                "baud RATE     console speed 9600, 19200, 38400, 57600 or 115200"};
    if (word == "ver") return {product_ + " firmware " + revision_};
    if (word == "sn") return {"Serial number " + serial_};
    if (word == "echo") return {rest};
    uint64_t value = 0;
    if (word == "dump") {
        if (!parseUnsigned(rest, kMaxDump, value) || value == 0) return {"Bad count: " + rest};
        std::vector<std::string> rows;
        for (uint64_t at = 0; at < value; at += 16) {
            char row[8 + 16 * 3];
            int used = std::snprintf(row, sizeof row, "%04X:", static_cast<unsigned>(at));
            for (uint64_t i = at; i < value && i < at + 16; ++i)
                used += std::snprintf(row + used, sizeof row - static_cast<size_t>(used), " %02X",
                                      static_cast<unsigned>(i & 0xFF));
            rows.emplace_back(row);
        }
        return rows;
    }
    if (word == "wait") {
        if (!parseUnsigned(rest, kMaxWaitSeconds, value)) return {"Bad time: " + rest};
        if (!pause(static_cast<int>(value * 1000))) return {};
        return {"Done"};
    }
    if (word == "baud") {
        if (!parseUnsigned(rest, 115200, value) || rateOfSpeed(speedConstant(static_cast<uint32_t>(value))) != value)
            return {"Bad speed: " + rest};
        nextRate_ = static_cast<uint32_t>(value);
        return {"Console speed " + rest};
    }
    return {"Unknown command: " + word};
}

}  // namespace vexal::device::virt
