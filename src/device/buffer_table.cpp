#include "device/buffer_table.h"

#include <cstring>
#include <limits>
#include <new>

namespace vexal::device {

bool Buffer::ensure(size_t size) {
    if (size < capacity_) return true;
    if (size > std::numeric_limits<size_t>::max() - kGrowth) return false;
    const size_t newCapacity = size + kGrowth;
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[newCapacity]);
    if (!block) return false;
    if (capacity_ > 0) std::memcpy(block.get(), data_.get(), capacity_);
    data_ = std::move(block);
    capacity_ = newCapacity;
    return true;
}

bool Buffer::setUsed(size_t size) {
    if (!ensure(size)) return false;
    used_ = size;
    return true;
}

size_t BufferTable::allocate() {
    for (size_t i = 0; i < slots_.size(); ++i) {
        if (!slots_[i]) {
            slots_[i] = std::make_unique<Buffer>();
            return i;
        }
    }
    const size_t first = slots_.size();
    slots_.resize(first + kSlotGrowth);
    slots_[first] = std::make_unique<Buffer>();
    return first;
}

void BufferTable::release(size_t slot) {
    if (slot < slots_.size()) slots_[slot].reset();
}

Buffer* BufferTable::at(size_t slot) {
    return slot < slots_.size() ? slots_[slot].get() : nullptr;
}

}  // namespace vexal::device
