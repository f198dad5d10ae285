#pragma once
// A firmware image file read in blocks, its bytes unchanged. The length is the one the
// file had when it was opened: a file that grows meanwhile is read to that length, one
// that shrinks ends early.
#include <cstdint>
#include <string>
#include <vector>

namespace vexal::firmware {

class ImageFile {
public:
    ImageFile() = default;
    ~ImageFile();
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;
    ImageFile(ImageFile&& other) noexcept;
    ImageFile& operator=(ImageFile&& other) noexcept;

    // Opens a regular file for reading; false when it cannot be opened.
    bool open(const std::string& path);
    bool isOpen() const { return fd_ >= 0; }
    void close();

    uint64_t length() const { return length_; }
    // The position after the last read.
    uint64_t position() const { return position_; }
    // Reads the next block of at most `maximum` bytes into `block`: fewer only at the end.
    // False on a read error (the block is then empty).
    bool read(size_t maximum, std::vector<uint8_t>& block);

private:
    int fd_ = -1;
    uint64_t length_ = 0;
    uint64_t position_ = 0;
};

}  // namespace vexal::firmware
