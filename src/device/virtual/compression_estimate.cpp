#include "device/virtual/compression_estimate.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace vexal::device::virt {
namespace {

constexpr uint64_t kBestRatio = 64;

uint64_t atLeastFloor(uint64_t estimate, size_t length) {
    const uint64_t floor = (length + kBestRatio - 1) / kBestRatio;
    return std::min<uint64_t>(std::max(estimate, floor), length);
}

}  // namespace

uint64_t compressedUniformLength(size_t length) { return atLeastFloor(0, length); }

uint64_t compressedLength(const uint8_t* data, size_t length) {
    if (length == 0 || !data) return 0;
    std::array<uint64_t, 256> counts{};
    for (size_t i = 0; i < length; ++i) ++counts[data[i]];
    double bits = 0;
    const double n = static_cast<double>(length);
    for (uint64_t c : counts) {
        if (c == 0) continue;
        const double p = static_cast<double>(c) / n;
        bits -= static_cast<double>(c) * std::log2(p);
    }
    return atLeastFloor(static_cast<uint64_t>(std::ceil(bits / 8)), length);
}

}  // namespace vexal::device::virt
