#include "device/virtual/tape_medium.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>

namespace vexal::device::virt {
namespace {

// Grows a vector geometrically so that `more` elements fit without another allocation.
template <typename T>
void makeRoom(std::vector<T>& v, size_t more) {
    if (v.capacity() - v.size() >= more) return;
    v.reserve(std::max(v.size() + more, std::max<size_t>(v.capacity() * 2, 64)));
}

}  // namespace

TapeMedium::TapeMedium(uint64_t capacityBytes) : capacity_(capacityBytes) {}

uint64_t TapeMedium::earlyWarningZone() const {
    const uint64_t zone = std::max<uint64_t>(capacity_ / 100, 2ull << 20);
    return std::min(zone, capacity_ / 2);
}

size_t TapeMedium::filemarksBefore(size_t position) const {
    position = std::min(position, records_.size());
    return static_cast<size_t>(std::count_if(records_.begin(), records_.begin() + static_cast<std::ptrdiff_t>(position),
                                             [](const Record& r) { return r.kind == Kind::Filemark; }));
}

size_t TapeMedium::readBlock(size_t index, uint8_t* out, size_t room) const {
    if (index >= records_.size() || !out) return 0;
    const Record& r = records_[index];
    const size_t n = std::min<size_t>(r.length, room);
    if (r.kind == Kind::Data) std::memcpy(out, arena_.data() + r.offset, n);
    else if (r.kind == Kind::Fill) std::memset(out, r.fill, n);
    else return 0;
    return n;
}

bool TapeMedium::blockEquals(size_t index, const uint8_t* data, size_t length) const {
    if (index >= records_.size() || records_[index].length != length) return false;
    const Record& r = records_[index];
    if (r.kind == Kind::Data) return length == 0 || std::memcmp(arena_.data() + r.offset, data, length) == 0;
    if (r.kind == Kind::Fill) return std::all_of(data, data + length, [&](uint8_t b) { return b == r.fill; });
    return false;
}

const uint8_t* TapeMedium::storedBytes(size_t index) const {
    if (index >= records_.size() || records_[index].kind != Kind::Data) return nullptr;
    return arena_.data() + records_[index].offset;
}

void TapeMedium::truncate(size_t position) {
    if (position >= records_.size()) return;
    records_.resize(position);
    prefix_.resize(position + 1);
    // Blocks share bytes only with the block before them, so the arena ends where the
    // last remaining stored block ends.
    uint64_t end = 0;
    for (size_t i = records_.size(); i-- > 0;) {
        if (records_[i].kind == Kind::Data) {
            end = records_[i].offset + records_[i].length;
            break;
        }
    }
    arena_.resize(end);
}

bool TapeMedium::writeBlock(size_t position, const uint8_t* data, uint32_t length, bool compressed) {
    truncate(position);
    Record r;
    r.length = length;
    r.compressed = compressed;
    try {
        makeRoom(records_, 1);  // the push_backs below cannot fail then
        makeRoom(prefix_, 1);
        const bool uniform =
            length == 0 || std::all_of(data + 1, data + length, [&](uint8_t b) { return b == data[0]; });
        const Record* previous = records_.empty() ? nullptr : &records_.back();
        if (uniform) {
            r.kind = Kind::Fill;
            r.fill = length ? data[0] : 0;
        } else if (previous && previous->kind == Kind::Data && previous->length == length &&
                   std::memcmp(arena_.data() + previous->offset, data, length) == 0) {
            r.kind = Kind::Data;
            r.offset = previous->offset;
        } else {
            r.kind = Kind::Data;
            r.offset = arena_.size();
            // Room for the whole cartridge up front (address space only, until written)
            // spares the copies of a growing arena.
            if (arena_.capacity() == 0) {
                try {
                    arena_.reserve(std::min<uint64_t>(capacity_, kReserveLimit));
                } catch (const std::bad_alloc&) {
                }
            }
            arena_.insert(arena_.end(), data, data + length);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    records_.push_back(r);
    prefix_.push_back(prefix_.back() + length);
    return true;
}

bool TapeMedium::writeFilemarks(size_t position, uint32_t count) {
    truncate(position);
    try {
        makeRoom(records_, count);
        makeRoom(prefix_, count);
    } catch (const std::bad_alloc&) {
        return false;
    }
    records_.insert(records_.end(), count, Record{});
    prefix_.insert(prefix_.end(), count, prefix_.back());
    return true;
}

bool TapeMedium::fromParts(std::vector<Record> records, std::vector<uint8_t> arena, uint64_t capacity,
                           TapeMedium& out, std::string& problem) {
    TapeMedium m(capacity);
    m.prefix_.reserve(records.size() + 1);
    uint64_t lastEnd = 0;
    uint64_t lastOffset = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        const Record& r = records[i];
        switch (r.kind) {
        case Kind::Filemark:
            if (r.length != 0) {
                problem = "filemark " + std::to_string(i) + " has a length";
                return false;
            }
            break;
        case Kind::Fill:
            break;
        case Kind::Data: {
            // Stored blocks never reach backwards past the block before them, so that
            // cutting the tape short can cut the arena too.
            const uint64_t end = r.offset + r.length;
            if (r.offset > arena.size() || r.length > arena.size() - r.offset || end < lastEnd ||
                r.offset < lastOffset) {
                problem = "block " + std::to_string(i) + " points outside the stored data";
                return false;
            }
            lastEnd = end;
            lastOffset = r.offset;
            break;
        }
        default:
            problem = "object " + std::to_string(i) + " has an unknown kind";
            return false;
        }
        if (r.length > kMaxBlockLength) {
            problem = "block " + std::to_string(i) + " is longer than the largest block";
            return false;
        }
        m.prefix_.push_back(m.prefix_.back() + r.length);
    }
    if (lastEnd != arena.size()) {
        problem = "the stored data does not end with the last block";
        return false;
    }
    m.records_ = std::move(records);
    m.arena_ = std::move(arena);
    out = std::move(m);
    return true;
}

}  // namespace vexal::device::virt
