#pragma once
// The far end of a serial line for tests: a pseudo-terminal whose master side a responder
// thread serves, byte by byte, with whatever the test's function answers.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <string_view>
#include <thread>

namespace vexal::serial::testing {

class PtyPeer {
public:
    // What to send back for one received byte.
    using Responder = std::function<std::string(uint8_t)>;

    PtyPeer() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128] = {};
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0 &&
            ::ptsname_r(master_, name, sizeof name) == 0)
            path_ = name;
        // Raw from the start, so that the line discipline never answers on its own.
        termios t{};
        if (::tcgetattr(master_, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(master_, TCSANOW, &t);
        }
        wake_ = ::eventfd(0, EFD_CLOEXEC);
    }
    ~PtyPeer() {
        stop();
        ::close(wake_);
        ::close(master_);
    }
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    const std::string& path() const { return path_; }
    bool ok() const { return master_ >= 0 && !path_.empty() && wake_ >= 0; }
    int master() const { return master_; }

    void respond(Responder responder) {
        thread_ = std::thread([this, responder = std::move(responder)] {
            uint8_t byte = 0;
            for (;;) {
                pollfd fds[2] = {{master_, POLLIN, 0}, {wake_, POLLIN, 0}};
                if (::poll(fds, 2, -1) < 0 || fds[1].revents) return;
                if (::read(master_, &byte, 1) != 1) {
                    ::poll(fds + 1, 1, 10);
                    continue;
                }
                send(responder(byte));
            }
        });
    }
    void send(std::string_view bytes) const {
        if (bytes.empty()) return;
        [[maybe_unused]] auto n = ::write(master_, bytes.data(), bytes.size());
    }
    void stop() {
        if (!thread_.joinable()) return;
        const uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(wake_, &one, sizeof one);
        thread_.join();
        uint64_t count = 0;  // ready for the next responder
        [[maybe_unused]] auto m = ::read(wake_, &count, sizeof count);
    }

private:
    int master_ = -1;
    int wake_ = -1;
    std::string path_;
    std::thread thread_;
};

// A drive that echoes every byte and answers a carriage return with `answer`.
inline PtyPeer::Responder echoing(std::string answer) {
    return [answer = std::move(answer)](uint8_t b) {
        return b == '\r' ? "\r" + answer : std::string(1, static_cast<char>(b));
    };
}

}  // namespace vexal::serial::testing
