#include "device/iscsi/iscsi_context.h"

#include <cctype>
#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

#include <iscsi/iscsi.h>
#include <iscsi/scsi-lowlevel.h>

namespace vexal::device::iscsi {

void ContextDeleter::operator()(iscsi_context* context) const {
    if (context) iscsi_destroy_context(context);
}

void TaskDeleter::operator()(scsi_task* task) const {
    if (task) scsi_free_scsi_task(task);
}

ContextPtr makeContext(const std::string& initiator, const std::string& target) {
    ContextPtr context(iscsi_create_context(initiator.c_str()));
    if (!context) return nullptr;
    iscsi_set_noautoreconnect(context.get(), 1);
    iscsi_set_reconnect_max_retries(context.get(), 0);
    if (target.empty()) {
        if (iscsi_set_session_type(context.get(), ISCSI_SESSION_DISCOVERY) != 0) return nullptr;
    } else {
        if (iscsi_set_session_type(context.get(), ISCSI_SESSION_NORMAL) != 0 ||
            iscsi_set_targetname(context.get(), target.c_str()) != 0)
            return nullptr;
    }
    iscsi_set_header_digest(context.get(), ISCSI_HEADER_DIGEST_NONE);
    return context;
}

std::string initiatorName() {
    char buffer[256] = {};
    std::string host;
    if (gethostname(buffer, sizeof buffer - 1) == 0) {
        // An IQN allows lower-case letters, digits, '.', '-' and ':'; keep the host part
        // to the first three.
        for (const char* p = buffer; *p; ++p) {
            const unsigned char c = static_cast<unsigned char>(*p);
            if (std::isalnum(c)) host += static_cast<char>(std::tolower(c));
            else if (c == '.' || c == '-') host += static_cast<char>(c);
        }
    }
    if (host.empty()) host = "localhost";
    return "iqn.2026-12.com.korvane:vexal-" + host;
}

std::string libiscsiPortal(const std::string& host, int port) {
    const bool ipv6 = host.find(':') != std::string::npos;
    return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

bool socketClosed(int fd) {
    if (fd < 0) return true;
    char byte;
    const ssize_t n = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) return false;
    if (n == 0) return true;
    return errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
}

}  // namespace vexal::device::iscsi
