#pragma once
// Owners of the libiscsi objects and of the descriptors the event loops use.
#include <memory>
#include <string>

struct iscsi_context;
struct scsi_task;

namespace vexal::device::iscsi {

struct ContextDeleter {
    void operator()(iscsi_context* context) const;
};
// Destroying a context closes its connection; libiscsi first reports every PDU still in
// flight to its callback as cancelled.
using ContextPtr = std::unique_ptr<iscsi_context, ContextDeleter>;

struct TaskDeleter {
    void operator()(scsi_task* task) const;
};
using TaskPtr = std::unique_ptr<scsi_task, TaskDeleter>;

// A context that never reconnects by itself (a lost connection cancels what is in
// flight, and the owner decides what happens next). An empty target name makes a
// discovery session. Null when libiscsi cannot create one.
ContextPtr makeContext(const std::string& initiator, const std::string& target);

// "iqn.2026-12.com.korvane:vexal-<host name>".
std::string initiatorName();

// The portal as libiscsi reads it: "host:port", "[ipv6]:port".
std::string libiscsiPortal(const std::string& host, int port);

// An owned file descriptor.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_ = -1;
};

// True when the peer has closed the connection or the socket has failed: a read would
// return end of file or an error other than "try again".
bool socketClosed(int fd);

}  // namespace vexal::device::iscsi
