#include "log/line_list.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace vexal::log {
namespace fs = std::filesystem;
namespace {

std::string describe(std::string_view what, const fs::path& path, int error) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(error);
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

}  // namespace

LineList::LineList() { lines_.emplace_back(kViewHeaderLine); }

void LineList::append(std::string line) {
    {
        std::lock_guard guard(mutex_);
        lines_.push_back(std::move(line));
    }
    changed();
}

size_t LineList::size() const {
    std::lock_guard guard(mutex_);
    return lines_.size();
}

std::vector<std::string> LineList::range(size_t first, size_t count) const {
    std::lock_guard guard(mutex_);
    std::vector<std::string> out;
    if (first >= lines_.size()) return out;
    const size_t last = first + std::min(count, lines_.size() - first);
    out.reserve(last - first);
    for (size_t i = first; i < last; ++i) out.push_back(lines_[i]);
    return out;
}

std::vector<std::string> LineList::drawnLines() const {
    std::lock_guard guard(mutex_);
    std::vector<std::string> out(lines_.begin() + static_cast<std::ptrdiff_t>(firstDrawnLine(lines_.size())),
                                 lines_.end());
    return out;
}

size_t LineList::longestLine(size_t first) const {
    std::lock_guard guard(mutex_);
    size_t longest = 0;
    for (size_t i = first; i < lines_.size(); ++i) longest = std::max(longest, lines_[i].size());
    return longest;
}

std::vector<std::string> LineList::snapshot() const {
    std::lock_guard guard(mutex_);
    return {lines_.begin(), lines_.end()};
}

void LineList::clearView() {
    {
        std::lock_guard guard(mutex_);
        if (lines_.empty()) return;
        lines_.clear();
        lines_.emplace_back(kViewHeaderLine);
    }
    changed();
}

void LineList::setChangeCallback(std::function<void()> callback) {
    std::lock_guard guard(callbackMutex_);
    callback_ = std::move(callback);
}

void LineList::changed() {
    ++changes_;
    std::function<void()> callback;
    {
        std::lock_guard guard(callbackMutex_);
        callback = callback_;
    }
    if (callback) callback();
}

bool LineList::save(const fs::path& path, std::string& error) const {
    const std::vector<std::string> lines = snapshot();
    // A temporary file beside the target, created with the usual permissions (umask).
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = path.string() + ".~" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        error = describe("Cannot write", path, errno);
        return false;
    }
    std::string buffer;
    constexpr size_t kChunk = 1 << 16;
    bool ok = true;
    for (const auto& line : lines) {
        buffer += line;
        buffer += "\r\n";
        if (buffer.size() >= kChunk) {
            ok = writeAll(fd, buffer);
            buffer.clear();
            if (!ok) break;
        }
    }
    if (ok) ok = writeAll(fd, buffer) && ::fsync(fd) == 0;
    int savedErrno = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        error = describe("Cannot write", path, savedErrno);
    }
    return ok;
}

bool LineList::open(const fs::path& path, std::string& error) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        error = describe("Cannot read", path, EISDIR);
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = describe("Cannot read", path, errno ? errno : ENOENT);
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        error = describe("Cannot read", path, EIO);
        return false;
    }
    const std::string content = text.str();

    std::deque<std::string> lines;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        const size_t next = end == std::string::npos ? content.size() : end + 1;
        if (end == std::string::npos) end = content.size();
        size_t stop = end;
        if (stop > start && content[stop - 1] == '\r') --stop;
        lines.emplace_back(content, start, stop - start);
        start = next;
    }
    {
        std::lock_guard guard(mutex_);
        lines_.swap(lines);
    }
    changed();
    return true;
}

}  // namespace vexal::log
