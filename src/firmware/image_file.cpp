#include "firmware/image_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace vexal::firmware {

ImageFile::~ImageFile() { close(); }

ImageFile::ImageFile(ImageFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), length_(other.length_), position_(other.position_) {}

ImageFile& ImageFile::operator=(ImageFile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        length_ = other.length_;
        position_ = other.position_;
    }
    return *this;
}

void ImageFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    length_ = position_ = 0;
}

bool ImageFile::open(const std::string& path) {
    close();
    if (path.empty()) return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    // A folder or a device opens on Linux too, but is no image.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    length_ = static_cast<uint64_t>(st.st_size);
    position_ = 0;
    return true;
}

bool ImageFile::read(size_t maximum, std::vector<uint8_t>& block) {
    block.clear();
    if (fd_ < 0) return false;
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(maximum, length_ - std::min(position_, length_)));
    block.resize(wanted);
    size_t got = 0;
    while (got < wanted) {
        const ssize_t n = ::read(fd_, block.data() + got, wanted - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            block.clear();
            return false;
        }
        if (n == 0) break;  // the file shrank
        got += static_cast<size_t>(n);
    }
    block.resize(got);
    position_ += got;
    return true;
}

}  // namespace vexal::firmware
