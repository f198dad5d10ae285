#include "serial/receive_store.h"

#include <algorithm>

namespace vexal::serial {

void ReceiveStore::append(std::span<const uint8_t> chunk) {
    // A chunk larger than the store keeps its latest bytes.
    if (chunk.size() > kCapacity) chunk = chunk.last(kCapacity);
    if (size_ + chunk.size() > kCapacity) size_ = 0;
    std::copy(chunk.begin(), chunk.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(size_));
    size_ += chunk.size();
    bytes_[size_] = 0;
}

void ReceiveStore::clear() {
    size_ = 0;
    bytes_[0] = 0;
}

}  // namespace vexal::serial
