#pragma once
// A file written through a temporary file beside it and renamed into place when complete,
// so that nobody ever sees half of it. The temporary is removed unless committed.
#include <sys/types.h>

#include <cstddef>
#include <filesystem>

namespace vexal::fadump {

class AtomicFile {
public:
    // Creates the temporary file; check ok().
    explicit AtomicFile(std::filesystem::path target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool ok() const { return fd_ >= 0 && error_ == 0; }
    // The system error number of the first failure (0 when none).
    int error() const { return error_; }
    const std::filesystem::path& target() const { return target_; }
    // The temporary file, for writers that open files by name.
    const std::filesystem::path& temporary() const { return temporary_; }

    // Appends `length` bytes; each call reaches the system before it returns.
    bool write(const void* data, size_t length);
    // Flushes to the disk, sets the permissions and renames the temporary onto the target.
    bool commit(mode_t permissions = 0644);

private:
    bool fail(int error);

    std::filesystem::path target_;
    std::filesystem::path temporary_;
    int fd_ = -1;
    int error_ = 0;
    bool committed_ = false;
};

}  // namespace vexal::fadump
