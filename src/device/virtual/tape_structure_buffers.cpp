#include "device/virtual/tape_structure_buffers.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "device/virtual/byte_order.h"

namespace vexal::device::virt {
namespace {

constexpr uint8_t kDataMode = 0x02, kDescriptorMode = 0x03;
constexpr uint16_t kModeByte = 1, kOffsetByte = 3;

constexpr uint64_t kFrameBytes = 32 * 1024;
constexpr uint32_t kFirstDataFrame = 0x40;  // physical frames before it hold the header
constexpr uint32_t kHeaderPhysicalFrame = 0x20;
constexpr uint32_t kColumns = 4, kTracksPerColumn = 24;
constexpr size_t kTrackTableSize = 16680, kHeaderTableOffset = 512, kAuxSize = 256;
constexpr size_t kFilemarkTableSize = 1040, kFilemarkSlots = (kFilemarkTableSize - 16) / 4;
constexpr size_t kDefectMapSize = 8 + 8 * 4096;
constexpr uint32_t kNone32 = 0xFFFFFFFF;

void putText(uint8_t* p, std::string_view text) { std::memcpy(p, text.data(), text.size()); }

uint32_t frameOf(const TapeMedium& m, size_t position) {
    return static_cast<uint32_t>(m.bytesBefore(std::min(position, m.objectCount())) / kFrameBytes);
}
uint32_t totalFrames(const TapeMedium& m) {
    return static_cast<uint32_t>(std::max<uint64_t>(1, (m.capacity() + kFrameBytes - 1) / kFrameBytes));
}
uint32_t framesPerTrack(const TapeMedium& m) {
    return (totalFrames(m) + kColumns * kTracksPerColumn - 1) / (kColumns * kTracksPerColumn);
}

// The objects whose first byte lies in logical frame `frame`: [first, last).
std::pair<size_t, size_t> objectsInFrame(const TapeMedium& m, uint32_t frame) {
    const uint64_t from = uint64_t{frame} * kFrameBytes, to = from + kFrameBytes;
    size_t lo = 0, hi = m.objectCount();
    while (lo < hi) {  // first object with bytesBefore >= from
        const size_t mid = (lo + hi) / 2;
        if (m.bytesBefore(mid) < from) lo = mid + 1;
        else hi = mid;
    }
    size_t end = lo;
    while (end < m.objectCount() && m.bytesBefore(end) < to) ++end;
    return {lo, end};
}

void partitionDescription(uint8_t* p, const TapeMedium& m) {
    p[0] = 0;     // partition number
    p[1] = 2;     // version: the header carries a track table
    putBe16(p + 2, 1);
    putBe32(p + 4, kFirstDataFrame);
    putBe32(p + 8, kFirstDataFrame + totalFrames(m) - 1);
    putBe32(p + 12, frameOf(m, m.objectCount()));
}

void trackTable(uint8_t* t, const TapeMedium& m) {
    t[0] = kColumns;
    t[1] = 0;
    t[28] = kTracksPerColumn - 1;  // reverse return track
    t[29] = 0;                     // forward return track
    putBe16(t + 30, kTracksPerColumn);
    const uint32_t perTrack = framesPerTrack(m), recorded = frameOf(m, m.objectCount());
    std::vector<uint16_t> filemarks(kColumns * kTracksPerColumn, 0);
    for (size_t i = 0; i < m.objectCount(); ++i)
        if (m.isFilemark(i)) {
            const size_t track = std::min<size_t>(frameOf(m, i) / perTrack, filemarks.size() - 1);
            if (filemarks[track] < 0xFFFF) ++filemarks[track];
        }
    for (uint32_t c = 0; c < kColumns; ++c) {
        uint8_t* col = t + 32 + 256 * c;
        const uint32_t first = c * kTracksPerColumn * perTrack;
        col[0] = static_cast<uint8_t>(c + 1);
        putBe32(col + 4, kFirstDataFrame + first);
        putBe32(col + 8, kFirstDataFrame + first + kTracksPerColumn * perTrack - 1);
        putBe16(col + 12, perTrack);
        for (uint32_t k = 0; k < kTracksPerColumn; ++k) {
            const uint32_t trackFirst = first + k * perTrack;
            if (trackFirst <= recorded && recorded > 0) putBe64(col + 16 + 8 * k, trackFirst);
            else std::memset(col + 16 + 8 * k, 0xFF, 8);
            putBe16(col + 208 + 2 * k, filemarks[c * kTracksPerColumn + k]);
        }
    }
    putBe32(t + 16416, kFirstDataFrame + recorded);
    putBe32(t + 16676, kNone32);
}

// AUX data of logical frame `frame` (the header frame when `header` is set).
void auxData(uint8_t* a, const TapeMedium& m, uint32_t frame, size_t position, bool header) {
    putText(a + 4, "KVXL");
    putBe32(a + 8, header ? kHeaderPhysicalFrame : kFirstDataFrame + frame);
    putBe32(a + 12, 1);
    putBe16(a + 16, header ? 0x0010 : 0x0001);
    partitionDescription(a + 20, m);
    putBe32(a + 44, header ? 0 : frame);
    putBe64(a + 48, header ? 0 : frame);
    a[56] = 8;  // bytes per DAT entry
    size_t entries = 0;
    if (!header) {
        const auto [first, last] = objectsInFrame(m, frame);
        const uint64_t frameStart = uint64_t{frame} * kFrameBytes;
        for (size_t i = first; i < last && entries < 16; ++i, ++entries) {
            uint8_t* e = a + 60 + 8 * entries;
            const auto& r = m.record(i);
            if (m.isFilemark(i)) {
                e[6] = 0x01;
                continue;
            }
            putBe32(e, r.length);
            putBe16(e + 4, 1);
            uint8_t flags = r.compressed ? 0x40 : 0;
            if (m.bytesBefore(i) >= frameStart) flags |= 0x08;                   // the block begins here
            if (m.bytesBefore(i + 1) <= frameStart + kFrameBytes) flags |= 0x04;  // and ends here
            else flags |= 0x80;                                                   // it continues
            e[6] = flags;
        }
    }
    a[58] = static_cast<uint8_t>(entries);
    const size_t upTo = header ? m.objectCount() : std::min(position, m.objectCount());
    const size_t marks = m.filemarksBefore(upTo);
    putBe32(a + 192, static_cast<uint32_t>(marks));
    uint32_t lastMark = kNone32;
    for (size_t i = upTo; i-- > 0;)
        if (m.isFilemark(i)) {
            lastMark = frameOf(m, i);
            break;
        }
    putBe32(a + 196, lastMark == kNone32 ? kNone32 : kFirstDataFrame + lastMark);
    putBe32(a + 200, lastMark);
}

}  // namespace

uint32_t TapeStructureBuffers::capacity(uint8_t id) {
    switch (id) {
    case kFilemarkTable: return kFilemarkTableSize;
    case kHeaderFrame: return kHeaderAuxOffset + kAuxSize;
    case kAux: return kAuxSize;
    case kEodFrame: return kTrackTableSize;
    case kDefectMap: return kDefectMapSize;
    case kTraceMemory: return kTraceSize;
    default: return 0;
    }
}

std::vector<uint8_t> TapeStructureBuffers::build(uint8_t id, const Tape& tape) const {
    std::vector<uint8_t> b(capacity(id), 0);
    const TapeMedium& m = tape.medium;
    switch (id) {
    case kFilemarkTable: {
        size_t used = 0;
        std::memset(b.data() + 16, 0xFF, kFilemarkSlots * 4);
        for (size_t i = 0; i < m.objectCount() && used < kFilemarkSlots; ++i)
            if (m.isFilemark(i)) putLe32(b.data() + 16 + 4 * used++, kFirstDataFrame + frameOf(m, i));
        putBe16(b.data() + 4, static_cast<uint32_t>(used));
        break;
    }
    case kHeaderFrame:
        putText(b.data(), "KVXHDR01");
        b[8] = 2;
        b[9] = 1;
        b[16] = 1;
        partitionDescription(b.data() + 20, m);
        trackTable(b.data() + kHeaderTableOffset, m);
        auxData(b.data() + kHeaderAuxOffset, m, 0, 0, true);
        break;
    case kAux:
        auxData(b.data(), m, frameOf(m, tape.position), tape.position, false);
        break;
    case kEodFrame:
        trackTable(b.data(), m);
        break;
    case kDefectMap:
        putText(b.data(), "DMAP");
        if (tape.mediumErrorAt) {
            const uint32_t sector = (kFirstDataFrame + frameOf(m, static_cast<size_t>(*tape.mediumErrorAt))) * 16;
            putBe16(b.data() + 6, 1);
            putBe32(b.data() + 8, sector);
            putBe32(b.data() + 12, sector + 15);
        }
        break;
    case kTraceMemory: {
        putText(b.data(), "KVXTRACE");
        const uint32_t used = static_cast<uint32_t>(std::min<uint64_t>(commands_, kTraceEntries));
        putBe16(b.data() + 8, used);
        putBe32(b.data() + 12, static_cast<uint32_t>(commands_));
        // Oldest first.
        for (uint32_t i = 0; i < used; ++i) {
            const uint64_t n = commands_ - used + i;
            std::memcpy(b.data() + 16 + 16 * i, trace_[n % kTraceEntries].data(), 16);
        }
        break;
    }
    default: break;
    }
    return b;
}

bool TapeStructureBuffers::read(uint8_t mode, uint8_t id, uint32_t offset, uint32_t allocation, const Tape& tape,
                                std::vector<uint8_t>& out, Sense& error) const {
    out.clear();
    if (mode == kDescriptorMode) {
        out.assign(4, 0);
        putBe24(&out[1], capacity(id));
        return true;
    }
    if (mode != kDataMode) {
        error = invalidCdbField(kModeByte, 4);
        return false;
    }
    if (offset >= capacity(id)) {
        error = invalidCdbField(kOffsetByte);
        return false;
    }
    // The tape structures need a cartridge; the trace memory does not.
    if (id != kTraceMemory && !tape.loaded) {
        error = makeSense(sense_key::NotReady, 0x3A, 0x00);
        return false;
    }
    const std::vector<uint8_t> whole = build(id, tape);
    const size_t n = std::min<size_t>(whole.size() - offset, allocation);
    out.assign(whole.begin() + offset, whole.begin() + static_cast<std::ptrdiff_t>(offset + n));
    return true;
}

void TapeStructureBuffers::noteCommand(const Exchange& x) {
    auto& e = trace_[commands_ % kTraceEntries];
    e.fill(0);
    putBe16(e.data(), static_cast<uint32_t>(commands_ & 0xFFFF));
    std::memcpy(e.data() + 2, x.cdb.data(), 10);
    if (x.sense) {
        e[12] = 0x02;  // CHECK CONDITION
        e[13] = static_cast<uint8_t>(x.sense->key | (x.sense->filemark ? 0x80 : 0) | (x.sense->eom ? 0x40 : 0) |
                                     (x.sense->ili ? 0x20 : 0));
        e[14] = x.sense->asc;
        e[15] = x.sense->ascq;
    }
    ++commands_;
}

}  // namespace vexal::device::virt
