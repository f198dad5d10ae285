#include "diag/tape_structures.h"

#include <algorithm>

#include <fmt/format.h>

namespace vexal::diag {
namespace {

// Track table layout: full track pitch, and the half-pitch variant.
struct TrackLayout {
    size_t columnSize, maxColumns, tracks, filemarkCounts, partition0Eod, partition1Columns;
};
constexpr TrackLayout kFullPitch{256, 64, 24, 208, 16416, 16420};
constexpr TrackLayout kHalfPitch{504, 32, 48, 400, 16156, 16160};
constexpr size_t kPartition1Eod = 16676;
constexpr uint8_t kHalfPitchMarker = 0x30;

constexpr size_t kPartitionListOffset = 20;
constexpr size_t kPartitionDescriptionSize = 16;
constexpr size_t kMaxPartitions = (kHeaderTrackTableOffset - kPartitionListOffset) / kPartitionDescriptionSize;
constexpr size_t kDatOffset = 60;
constexpr size_t kAuxFilemarkCount = 192;
constexpr size_t kMaxDatEntries = (kAuxFilemarkCount - kDatOffset) / 8;
constexpr size_t kFilemarkEntries = (kFilemarkTableSize - 16) / 4;

std::string printable(std::span<const uint8_t> bytes, bool stopAtZero) {
    std::string s;
    for (uint8_t b : bytes) {
        if (stopAtZero && b == 0) break;
        s += (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '.';
    }
    return s;
}

// Appends lines from one buffer; every read checks the buffer first, and the first field
// the buffer does not hold ends the view with one line.
class Lines {
public:
    Lines(std::span<const uint8_t> data, std::vector<std::string>& out) : d_(data), out_(out) {}

    bool has(size_t offset, size_t size) {
        if (offset <= d_.size() && size <= d_.size() - offset) return true;
        if (!ended_) out_.push_back(dataEndsLine(d_.size()));
        ended_ = true;
        return false;
    }
    uint8_t at(size_t offset) const { return d_[offset]; }
    std::span<const uint8_t> bytes(size_t offset, size_t size) const { return d_.subspan(offset, size); }
    uint32_t be16(size_t offset) const { return (uint32_t{d_[offset]} << 8) | d_[offset + 1]; }

    void text(std::string line) { out_.push_back(std::move(line)); }
    // `label` then "0x" and the bytes in their stored order.
    bool hex(std::string_view label, size_t offset, size_t size) {
        if (!has(offset, size)) return false;
        std::string line(label);
        line += "0x";
        for (size_t i = 0; i < size; ++i) line += fmt::format("{:02X}", d_[offset + i]);
        out_.push_back(std::move(line));
        return true;
    }
    bool chars(std::string_view label, size_t offset, size_t size) {
        if (!has(offset, size)) return false;
        out_.push_back(std::string(label) + printable(bytes(offset, size), false));
        return true;
    }

private:
    std::span<const uint8_t> d_;
    std::vector<std::string>& out_;
    bool ended_ = false;
};

bool partitionDescription(Lines& l, size_t base) {
    if (!l.has(base, kPartitionDescriptionSize)) return false;
    l.text(fmt::format("    Partition Number: 0x{:02X}", l.at(base)));
    l.text(fmt::format("    Partition Version: 0x{:02X}", l.at(base + 1)));
    return l.hex("    Write Pass Counter: ", base + 2, 2) && l.hex("    First Physical Frame Address: ", base + 4, 4) &&
           l.hex("    Last Physical Frame Address: ", base + 8, 4) && l.hex("    EOD Linear Frame Address: ", base + 12, 4);
}

bool allBytesAre(std::span<const uint8_t> bytes, uint8_t value) {
    return std::all_of(bytes.begin(), bytes.end(), [value](uint8_t b) { return b == value; });
}

bool column(Lines& l, size_t base, const TrackLayout& layout) {
    if (!l.has(base, layout.columnSize)) return false;
    if (l.at(base) == 0) return true;  // an unused column is not shown
    l.text(fmt::format("   Column Number: 0x{:02X}", l.at(base)));
    l.hex("    Starting Corner Physical Frame Address: ", base + 4, 4);
    l.hex("    Opposite Corner Physical Frame Address: ", base + 8, 4);
    l.hex("    Column Width: ", base + 12, 2);
    for (size_t t = 0; t < layout.tracks; ++t) {
        const size_t at = base + 16 + 8 * t;
        if (!allBytesAre(l.bytes(at, 8), 0xFF)) l.hex(fmt::format("    Track {} First Logical Frame Address: ", t), at, 8);
    }
    for (size_t t = 0; t < layout.tracks; ++t) {
        const size_t at = base + layout.filemarkCounts + 2 * t;
        if (l.be16(at) != 0) l.hex(fmt::format("    Track {} Filemark Count: ", t), at, 2);
    }
    return true;
}

void trackTable(Lines& l) {
    if (!l.has(0, 32)) return;
    const size_t p0 = l.at(0), p1 = l.at(1);
    l.text(fmt::format("    Number of Partition 0 Columns: 0x{:02X}", p0));
    l.text(fmt::format("    Number of Partition 1 Columns: 0x{:02X}", p1));
    l.text(fmt::format("    Reverse Return Track: 0x{:02X}", l.at(28)));
    l.text(fmt::format("    Forward Return Track: 0x{:02X}", l.at(29)));
    l.hex("    Tracks in Column Descriptions: ", 30, 2);
    const bool half = l.at(31) == kHalfPitchMarker;
    if (half) l.text("    HALF TRACK PITCH TAPE DETECTED");
    const TrackLayout& layout = half ? kHalfPitch : kFullPitch;

    l.text("   Partition 0 Columns:");
    for (size_t i = 0; i < std::min(p0, layout.maxColumns); ++i)
        if (!column(l, 32 + i * layout.columnSize, layout)) return;
    if (!l.hex("    Partition 0 EOD Physical Frame Address: ", layout.partition0Eod, 4)) return;
    l.text("   Partition 1 Columns:");
    // Partition 1 has room for the columns that end before its EOD field.
    for (size_t i = 0; i < p1; ++i) {
        const size_t base = layout.partition1Columns + 256 * i;
        if (base + layout.columnSize > kPartition1Eod) break;
        if (!column(l, base, layout)) return;
    }
    l.hex("    Partition 1 EOD Physical Frame Address: ", kPartition1Eod, 4);
}

void aux(Lines& l) {
    if (!l.chars("    Application Signature: ", 4, 4) || !l.hex("    Physical Frame Address: ", 8, 4) ||
        !l.hex("    Update Frame Counter: ", 12, 4) || !l.hex("    Frame Type: ", 16, 2))
        return;
    l.text("   Partition Description:");
    if (!partitionDescription(l, 20) || !l.hex("    Frame Sequence Number: ", 44, 4) ||
        !l.hex("    Logical Frame Address: ", 48, 8) || !l.has(56, 3))
        return;
    l.text("   DAT Entries:");
    l.text(fmt::format("    DAT Size: 0x{:02X}", l.at(56)));
    const size_t entries = l.at(58);
    l.text(fmt::format("    DAT Entries: 0x{:02X}", entries));
    for (size_t i = 0; i < std::min(entries, kMaxDatEntries); ++i) {
        const size_t at = kDatOffset + 8 * i;
        if (!l.has(at, 8)) return;
        l.text(fmt::format("    Entries 0x{:02X}:", i));
        l.hex("    Logical Block Size: ", at, 4);
        l.hex("    Number of Logical Elements: ", at + 4, 2);
        l.text(fmt::format("    DAT Entry Flags: 0x{:02X}", l.at(at + 6)));
        l.text("    " + datFlagNames(l.at(at + 6)));
    }
    l.hex("    Filemark Count: ", kAuxFilemarkCount, 4) && l.hex("    Last Mark Frame Address (Physical): ", 196, 4) &&
        l.hex("    Last Mark Frame Address (Linear): ", 200, 4);
}

}  // namespace

std::string dataEndsLine(size_t size) { return fmt::format("    [Structure data ends after {} bytes]", size); }

std::string datFlagNames(uint8_t flags) {
    static constexpr struct {
        uint8_t bit;
        const char* name;
    } kFlags[] = {{0x80, " EXT"}, {0x40, " CMP"}, {0x08, " BOLG"}, {0x04, " EOLG"}, {0x01, " MARK"}};
    std::string names;
    for (const auto& f : kFlags)
        if (flags & f.bit) names += f.name;
    return names;
}

std::vector<std::string> filemarkTableLines(std::span<const uint8_t> data) {
    std::vector<std::string> out;
    Lines l(data, out);
    if (!l.has(0, 6)) return out;
    const size_t total = l.be16(4);
    out.push_back(fmt::format("   Partition Number: {} ", l.at(0)));
    out.push_back(fmt::format("   Total Entries: {} ", total));
    for (size_t i = 0; i < std::min(total, kFilemarkEntries); ++i) {
        const size_t at = 16 + 4 * i;
        if (!l.has(at, 4)) break;
        out.push_back(fmt::format("   Rewrite #{}:", i));
        // Stored little-endian: shown most significant byte first; 0xFF there marks an unused entry.
        if (l.at(at + 3) != 0xFF)
            out.push_back(fmt::format("    Filemark Physical Location: (0x{:02X}{:02X}{:02X}{:02X})", l.at(at + 3),
                                      l.at(at + 2), l.at(at + 1), l.at(at)));
    }
    return out;
}

std::vector<std::string> headerFrameLines(std::span<const uint8_t> header, std::span<const uint8_t> auxData) {
    std::vector<std::string> out{""};
    Lines l(header, out);
    out.push_back("   Header Frame Data:");
    bool complete = false;
    if (l.has(0, 8)) {
        out.push_back("    ID String: " + printable(l.bytes(0, 8), true));
        if (l.has(8, 9)) {
            out.push_back(fmt::format("    Revision: {}.{}", l.at(8), l.at(9)));
            out.push_back("    Partition List:");
            const size_t partitions = l.at(16);
            out.push_back(fmt::format("    Number of Partitions: 0x{:02X}", partitions));
            complete = true;
            for (size_t i = 0; complete && i < std::min(partitions, kMaxPartitions); ++i) {
                out.push_back("   Partition Description:");
                complete = partitionDescription(l, kPartitionListOffset + kPartitionDescriptionSize * i);
            }
            // The first partition's version 1 means the frame carries no track table.
            if (complete && l.has(21, 1) && l.at(21) != 1) {
                out.push_back("   Track Table:");
                const auto table = header.size() > kHeaderTrackTableOffset ? header.subspan(kHeaderTrackTableOffset)
                                                                           : std::span<const uint8_t>{};
                Lines t(table, out);
                trackTable(t);
            }
        }
    }
    Lines a(auxData, out);
    aux(a);
    return out;
}

std::vector<std::string> auxFrameLines(std::span<const uint8_t> auxData) {
    std::vector<std::string> out;
    Lines l(auxData, out);
    aux(l);
    return out;
}

std::vector<std::string> trackTableLines(std::span<const uint8_t> table) {
    std::vector<std::string> out;
    Lines l(table, out);
    trackTable(l);
    return out;
}

std::vector<std::string> eodFrameLines(std::span<const uint8_t> table) {
    std::vector<std::string> out{"", "   EOD Frame Data Structure:", "   Track Table:"};
    const auto tableLines = trackTableLines(table);
    out.insert(out.end(), tableLines.begin(), tableLines.end());
    return out;
}

std::vector<std::string> defectMapLines(std::span<const uint8_t> data) {
    std::vector<std::string> out{"", "   Defect Map Frame:"};
    Lines l(data, out);
    if (!l.chars("    Defect Map Signature: ", 0, 4) || !l.has(6, 2)) return out;
    const size_t entries = l.be16(6);
    out.push_back(fmt::format("    Number of Entries: {}", entries));
    for (size_t i = 0; i < std::min(entries, kMaxDefectEntries); ++i) {
        const size_t at = 8 + 8 * i;
        if (!l.hex("    Begin Bad Sector: ", at, 4) || !l.hex("    End Bad Sector: ", at + 4, 4)) break;
    }
    return out;
}

}  // namespace vexal::diag
