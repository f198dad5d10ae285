#pragma once
// The tape history record: 128 bytes kept in a block on the tape with the cartridge's
// label, dates and lifetime totals (integers little-endian 32-bit). The bytes are kept as
// read, so that writing a record back changes only what was edited.
#include <array>
#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexal::diag {

inline constexpr size_t kTapeHistorySize = 128;
inline constexpr size_t kTapeLogBlockSize = 512;
// Estimated life passes above this print the media life warning.
inline constexpr uint32_t kMediaLifePasses = 5000;

// Integer fields by their offset.
namespace history_field {
inline constexpr size_t Created = 20, LastAccess = 44;  // day, month, year, hour, minute, second
inline constexpr size_t FramesWritten = 88, FramesRead = 92, FramesPositioned = 96, BytesWritten = 100,
                        BytesRead = 104, HardWriteErrors = 108, HardReadErrors = 112, LifePasses = 116,
                        RewriteCount = 120, RepositionCount = 124;
}  // namespace history_field

class TapeHistoryRecord {
public:
    // True when `block` begins with the signature "ADR" and a zero byte.
    static bool isRecord(std::span<const uint8_t> block);
    // A record of the first 128 bytes of `block` (which isRecord accepted).
    static TapeHistoryRecord fromBlock(std::span<const uint8_t> block);
    // A fresh record: signature, label, creation and last access time `now`, the drive label,
    // every total zero.
    static TapeHistoryRecord fresh(std::string_view label, std::string_view driveLabel, const std::tm& now);

    std::string label() const { return text(4, 16); }
    std::string driveLabel() const { return text(68, 20); }
    void setLabel(std::string_view label) { setText(4, 16, label); }
    uint32_t value(size_t offset) const;
    void setValue(size_t offset, uint32_t v);
    void setDate(size_t offset, const std::tm& t);

    // The view: " Tape Log:" to the closing empty line.
    std::vector<std::string> lines() const;
    // The 512-byte block written to the tape: the record, then zeros.
    std::vector<uint8_t> block() const;
    const std::array<uint8_t, kTapeHistorySize>& bytes() const { return bytes_; }

private:
    std::string text(size_t offset, size_t size) const;
    void setText(size_t offset, size_t size, std::string_view text);

    std::array<uint8_t, kTapeHistorySize> bytes_{};
};

}  // namespace vexal::diag
