#pragma once
// The recorded content of a virtual cartridge: a sequence of logical objects (data blocks
// and filemarks) followed by end-of-data, one partition, and the capacity the data may
// fill. Block contents sit in one arena; a block whose bytes are all equal keeps only that
// byte, and a block equal to the one before it shares that block's bytes, so that long
// runs of pattern data cost little memory.
#include <cstdint>
#include <string>
#include <vector>

namespace vexal::device::virt {

class TapeMedium {
public:
    static constexpr uint32_t kMaxBlockLength = 0xFFFFFF;
    static constexpr uint64_t kReserveLimit = 2ull << 30;

    enum class Kind : uint8_t { Data = 1, Fill = 2, Filemark = 3 };
    struct Record {
        uint64_t offset = 0;  // Data: where the bytes sit in the arena
        uint32_t length = 0;  // Data and Fill: the block length
        Kind kind = Kind::Filemark;
        uint8_t fill = 0;     // Fill: the value of every byte
        bool compressed = false;  // written while data compression was on
    };

    explicit TapeMedium(uint64_t capacityBytes = 0);

    uint64_t capacity() const { return capacity_; }
    void setCapacity(uint64_t bytes) { capacity_ = bytes; }
    // Size of the early-warning zone before the physical end: 1% of the capacity, at least
    // 2 MiB, but never more than half the capacity.
    uint64_t earlyWarningZone() const;
    // True when `bytes` of data reach into the early-warning zone.
    bool inEarlyWarning(uint64_t bytes) const { return bytes > capacity_ - earlyWarningZone(); }

    // Objects recorded; equal to the position of end-of-data.
    size_t objectCount() const { return records_.size(); }
    const Record& record(size_t index) const { return records_[index]; }
    bool isFilemark(size_t index) const { return records_[index].kind == Kind::Filemark; }
    // Data bytes recorded before an object position (0..objectCount).
    uint64_t bytesBefore(size_t position) const { return prefix_[position]; }
    uint64_t bytesRecorded() const { return prefix_.back(); }
    size_t filemarksBefore(size_t position) const;

    // Copies up to `room` bytes of a data block; returns the bytes copied.
    size_t readBlock(size_t index, uint8_t* out, size_t room) const;
    // True when the data block holds exactly these `length` bytes.
    bool blockEquals(size_t index, const uint8_t* data, size_t length) const;
    // The bytes of a data block in the arena; null for a uniform block or a filemark.
    const uint8_t* storedBytes(size_t index) const;

    // Writing at `position` first drops everything from there on (the new data becomes the
    // last thing on the tape). The caller has checked the capacity. False when memory ran
    // out (nothing was added).
    bool writeBlock(size_t position, const uint8_t* data, uint32_t length, bool compressed = false);
    bool writeFilemarks(size_t position, uint32_t count);
    void truncate(size_t position);
    void clear() { truncate(0); }

    // Persistence: the raw parts, and a medium rebuilt from parts read back (checked).
    const std::vector<Record>& records() const { return records_; }
    const std::vector<uint8_t>& arena() const { return arena_; }
    static bool fromParts(std::vector<Record> records, std::vector<uint8_t> arena, uint64_t capacity,
                          TapeMedium& out, std::string& problem);

private:
    std::vector<Record> records_;
    std::vector<uint64_t> prefix_{0};  // prefix_[i]: data bytes in records [0, i)
    std::vector<uint8_t> arena_;
    uint64_t capacity_ = 0;
};

}  // namespace vexal::device::virt
