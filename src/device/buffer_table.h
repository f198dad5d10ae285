#pragma once
// Transfer buffers owned by the device library. A buffer grows (never shrinks) to the
// requested size plus 512 KiB whenever a position or length reaches its capacity; slots
// are kept in a table that grows five at a time, and a freed slot is reused.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vexal::device {

class Buffer {
public:
    static constexpr size_t kGrowth = 524288;

    size_t capacity() const { return capacity_; }
    size_t used() const { return used_; }
    uint8_t* data() { return data_.get(); }
    const uint8_t* data() const { return data_.get(); }

    // Makes room for `size` bytes; false when memory runs out (the buffer is unchanged).
    bool ensure(size_t size);
    // Sets the used size, growing first; false when memory runs out.
    bool setUsed(size_t size);

private:
    std::unique_ptr<uint8_t[]> data_;
    size_t capacity_ = 0;
    size_t used_ = 0;
};

class BufferTable {
public:
    static constexpr size_t kSlotGrowth = 5;

    // Returns a free slot index, growing the table when every slot is taken.
    size_t allocate();
    void release(size_t slot);
    Buffer* at(size_t slot);
    size_t slotCount() const { return slots_.size(); }
    void clear() { slots_.clear(); }

private:
    std::vector<std::unique_ptr<Buffer>> slots_;
};

}  // namespace vexal::device
