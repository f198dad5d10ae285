#include "platform/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "platform/paths.h"

namespace vexal::platform {
namespace {

bool fillAddress(const std::filesystem::path& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    const std::string text = path.string();
    if (text.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

}  // namespace

SingleInstance::SingleInstance(std::string name)
    : lockPath_(runtimeDir() / (name + ".lock")), socketPath_(runtimeDir() / (name + ".sock")) {}

SingleInstance::~SingleInstance() {
    stopping_ = true;
    if (listener_.joinable()) listener_.join();
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        ::unlink(socketPath_.c_str());
    }
    if (lockFd_ >= 0) ::close(lockFd_);  // releases the lock
}

bool SingleInstance::acquire(std::function<void()> activate) {
    std::error_code ec;
    std::filesystem::create_directories(lockPath_.parent_path(), ec);
    lockFd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // Without a lock file there is no way to tell: behave as the first instance.
    if (lockFd_ < 0) return true;
    sockaddr_un address{};
    const bool haveAddress = fillAddress(socketPath_, address);
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        ::close(lockFd_);
        lockFd_ = -1;
        if (haveAddress) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (fd >= 0) {
                if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
                    (void)!::write(fd, "front\n", 6);
                ::close(fd);
            }
        }
        return false;
    }
    activate_ = std::move(activate);
    if (!haveAddress) return true;
    ::unlink(socketPath_.c_str());  // a socket left by a crashed instance
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ >= 0 && ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(listenFd_, 4) == 0) {
        listener_ = std::thread([this] { listen(); });
    }
    return true;
}

void SingleInstance::listen() {
    while (!stopping_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        char buffer[16];
        (void)!::read(fd, buffer, sizeof buffer);
        ::close(fd);
        if (activate_) activate_();
    }
}

}  // namespace vexal::platform
