#include "diag/tape_history.h"

#include <algorithm>

#include <fmt/format.h>

namespace vexal::diag {
namespace {
constexpr std::array<uint8_t, 4> kSignature{'A', 'D', 'R', 0};
}

bool TapeHistoryRecord::isRecord(std::span<const uint8_t> block) {
    return block.size() >= kTapeHistorySize && std::equal(kSignature.begin(), kSignature.end(), block.begin());
}

TapeHistoryRecord TapeHistoryRecord::fromBlock(std::span<const uint8_t> block) {
    TapeHistoryRecord r;
    std::copy_n(block.begin(), std::min(block.size(), kTapeHistorySize), r.bytes_.begin());
    return r;
}

TapeHistoryRecord TapeHistoryRecord::fresh(std::string_view label, std::string_view driveLabel, const std::tm& now) {
    TapeHistoryRecord r;
    std::copy(kSignature.begin(), kSignature.end(), r.bytes_.begin());
    r.setLabel(label);
    r.setText(68, 20, driveLabel);
    r.setDate(history_field::Created, now);
    r.setDate(history_field::LastAccess, now);
    return r;
}

uint32_t TapeHistoryRecord::value(size_t offset) const {
    if (offset + 4 > bytes_.size()) return 0;
    return uint32_t{bytes_[offset]} | (uint32_t{bytes_[offset + 1]} << 8) | (uint32_t{bytes_[offset + 2]} << 16) |
           (uint32_t{bytes_[offset + 3]} << 24);
}

void TapeHistoryRecord::setValue(size_t offset, uint32_t v) {
    if (offset + 4 > bytes_.size()) return;
    for (size_t i = 0; i < 4; ++i) bytes_[offset + i] = static_cast<uint8_t>(v >> (8 * i));
}

void TapeHistoryRecord::setDate(size_t offset, const std::tm& t) {
    const int parts[6] = {t.tm_mday, t.tm_mon + 1, t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec};
    for (size_t i = 0; i < 6; ++i) setValue(offset + 4 * i, static_cast<uint32_t>(parts[i]));
}

std::string TapeHistoryRecord::text(size_t offset, size_t size) const {
    std::string s;
    for (size_t i = offset; i < offset + size && bytes_[i] != 0; ++i)
        s += (bytes_[i] >= 0x20 && bytes_[i] < 0x7F) ? static_cast<char>(bytes_[i]) : '.';
    return s;
}

void TapeHistoryRecord::setText(size_t offset, size_t size, std::string_view text) {
    for (size_t i = 0; i < size; ++i) bytes_[offset + i] = i < text.size() ? static_cast<uint8_t>(text[i]) : 0;
}

std::vector<std::string> TapeHistoryRecord::lines() const {
    namespace f = history_field;
    // Dates are stored day, month, year, hour, minute, second; shown time first.
    const auto date = [this](std::string_view label, size_t at) {
        return fmt::format("   {} (dd-mm-yyyy): {:02}:{:02}:{:02}  {:02}-{:02}-{:04}", label, value(at + 12),
                           value(at + 16), value(at + 20), value(at), value(at + 4), value(at + 8));
    };
    std::vector<std::string> out{
        " Tape Log:",
        "   Tape Label: " + label(),
        date("Creation Time and Date", f::Created),
        date("Last Access Time and Date", f::LastAccess),
        "   Last Written In Drive Label: " + driveLabel(),
        fmt::format("   Total Frames Written: {}", value(f::FramesWritten)),
        fmt::format("   Total Bytes Written: {}", value(f::BytesWritten)),
        fmt::format("   Total Hard Write Errors: {}", value(f::HardWriteErrors)),
        fmt::format("   Last Rewrite Count: {}", value(f::RewriteCount)),
        fmt::format("   Last Reposition Count: {}", value(f::RepositionCount)),
        fmt::format("   Total Frames Read: {}", value(f::FramesRead)),
        fmt::format("   Total Bytes Read: {}", value(f::BytesRead)),
        fmt::format("   Total Hard Read Errors: {}", value(f::HardReadErrors)),
        fmt::format("   Estimated Total Frames Positioned: {}", value(f::FramesPositioned)),
        fmt::format("   Estimated Life Passes: {}", value(f::LifePasses)),
    };
    if (value(f::LifePasses) > kMediaLifePasses) out.push_back("   WARNING: Media life may be exceeded");
    out.push_back("");
    return out;
}

std::vector<uint8_t> TapeHistoryRecord::block() const {
    std::vector<uint8_t> b(kTapeLogBlockSize, 0);
    std::copy(bytes_.begin(), bytes_.end(), b.begin());
    return b;
}

}  // namespace vexal::diag
