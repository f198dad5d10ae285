#pragma once
// How many bytes a block takes on tape when the drive compresses it. The virtual drive
// stores blocks as they are; the estimate only feeds the compression log page. It is the
// order-0 entropy of the block's bytes, never more than the block itself (incompressible
// data is recorded as it is) and never less than 1/64 of it.
#include <cstddef>
#include <cstdint>

namespace vexal::device::virt {

uint64_t compressedLength(const uint8_t* data, size_t length);
// The estimate for a block whose bytes are all equal.
uint64_t compressedUniformLength(size_t length);

}  // namespace vexal::device::virt
