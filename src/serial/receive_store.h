#pragma once
// What the port has received: up to 65536 bytes followed by a zero byte. A chunk that would
// overflow it clears it first, so the store holds the latest data, never a torn mix.
#include <cstdint>
#include <span>
#include <vector>

namespace vexal::serial {

class ReceiveStore {
public:
    static constexpr size_t kCapacity = 65536;

    ReceiveStore() : bytes_(kCapacity + 1, 0) {}
    void append(std::span<const uint8_t> chunk);
    void clear();
    size_t size() const { return size_; }
    // The stored bytes (a zero byte follows them in the store).
    std::span<const uint8_t> data() const { return {bytes_.data(), size_}; }

private:
    std::vector<uint8_t> bytes_;
    size_t size_ = 0;
};

}  // namespace vexal::serial
