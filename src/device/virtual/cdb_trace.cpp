#include "device/virtual/cdb_trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vexal::device::virt {
namespace {

void appendHex(std::string& out, uint8_t b) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
}

}  // namespace

std::string formatTraceLine(const uint8_t* cdb, size_t cdbLength, const TraceOutcome& outcome) {
    std::string line;
    for (size_t i = 0; i < cdbLength; ++i) {
        if (i) line += ' ';
        appendHex(line, cdb[i]);
    }
    line += " -> ";
    if (outcome.hostStatus != 0) {
        line += "HOST STATUS " + std::to_string(outcome.hostStatus);
    } else if (outcome.sense) {
        line += "CHECK CONDITION ";
        static constexpr char kDigits[] = "0123456789ABCDEF";
        line += kDigits[outcome.sense->key & 0x0F];
        line += '/';
        appendHex(line, outcome.sense->asc);
        line += '/';
        appendHex(line, outcome.sense->ascq);
    } else {
        line += "GOOD";
    }
    line += ' ' + std::to_string(outcome.length) + ' ';
    line += outcome.direction == TraceDirection::In ? "in" : outcome.direction == TraceDirection::Out ? "out" : "none";
    line += '\n';
    return line;
}

std::shared_ptr<CdbTrace> CdbTrace::open(const std::string& path, std::string& reason) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        reason = std::strerror(errno);
        return nullptr;
    }
    return std::make_shared<CdbTrace>(OpenToken{}, fd, path);
}

CdbTrace::~CdbTrace() {
    if (fd_ >= 0) ::close(fd_);
}

void CdbTrace::record(const uint8_t* cdb, size_t cdbLength, const TraceOutcome& outcome) {
    const std::string line = formatTraceLine(cdb, cdbLength, outcome);
    std::lock_guard lock(mutex_);
    const char* p = line.data();
    size_t left = line.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // a trace that cannot be written must not fail the command
        p += n;
        left -= static_cast<size_t>(n);
    }
}

}  // namespace vexal::device::virt
