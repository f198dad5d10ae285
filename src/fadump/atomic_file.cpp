#include "fadump/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace vexal::fadump {

AtomicFile::AtomicFile(std::filesystem::path target) : target_(std::move(target)) {
    std::string name = target_.string() + ".XXXXXX";
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) {
        error_ = errno;
        return;
    }
    temporary_ = name;
}

AtomicFile::~AtomicFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
}

bool AtomicFile::fail(int error) {
    if (error_ == 0) error_ = error ? error : EIO;
    return false;
}

bool AtomicFile::write(const void* data, size_t length) {
    if (!ok()) return false;
    const auto* p = static_cast<const char*>(data);
    while (length > 0) {
        const ssize_t n = ::write(fd_, p, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail(n < 0 ? errno : ENOSPC);
        p += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

bool AtomicFile::commit(mode_t permissions) {
    if (!ok()) return false;
    if (::fsync(fd_) != 0) return fail(errno);
    if (::fchmod(fd_, permissions) != 0) return fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return fail(errno);
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) return fail(errno);
    committed_ = true;
    return true;
}

}  // namespace vexal::fadump
