#include "script/trail_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

namespace vexal::script {

TrailFile::~TrailFile() { close(); }

bool TrailFile::open(bool truncate) {
    close();
    std::error_code ec;
    if (path_.has_parent_path()) std::filesystem::create_directories(path_.parent_path(), ec);
    int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC;
    if (truncate) flags |= O_TRUNC;
    fd_ = ::open(path_.c_str(), flags, 0644);
    return fd_ >= 0;
}

bool TrailFile::clear() { return open(true); }

bool TrailFile::append(std::string_view line) {
    if (fd_ < 0 && !open(false)) return false;
    std::string data(line);
    data.push_back('\n');
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

void TrailFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::string TrailFile::text() const {
    std::ifstream in(path_, std::ios::binary);
    if (!in) return {};
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace vexal::script
