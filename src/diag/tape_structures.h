#pragma once
// Decoders of the drive's internal and on-tape structures into the indented result lines
// of their views: the filemark table, the header frame (partition list and track table),
// the AUX frame data, the EOD frame and the defect map.
//
// Every field is read through bounds checks: a buffer that ends early stops the view at
// the first field it does not hold (with one line saying so), and counts taken from the
// data are held to what the structure's layout has room for, so garbled data never reads
// outside its buffer.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexal::diag {

// Sizes of the structures as the views read them.
inline constexpr size_t kFilemarkTableSize = 1040;
inline constexpr size_t kTrackTableSize = 16680;
inline constexpr size_t kHeaderTrackTableOffset = 512;
inline constexpr size_t kHeaderFrameSize = kHeaderTrackTableOffset + kTrackTableSize;
inline constexpr size_t kAuxFrameSize = 256;
inline constexpr size_t kMaxDefectEntries = 4096;
inline constexpr size_t kDefectMapSize = 8 + 8 * kMaxDefectEntries;

// The line that ends a view whose data stopped short: "    [Data ends at byte %u]".
std::string dataEndsLine(size_t size);

std::vector<std::string> filemarkTableLines(std::span<const uint8_t> data);
// Header frame data (partition list and track table) followed by the AUX lines of `aux`.
std::vector<std::string> headerFrameLines(std::span<const uint8_t> header, std::span<const uint8_t> aux);
std::vector<std::string> auxFrameLines(std::span<const uint8_t> aux);
std::vector<std::string> trackTableLines(std::span<const uint8_t> table);
std::vector<std::string> eodFrameLines(std::span<const uint8_t> table);
std::vector<std::string> defectMapLines(std::span<const uint8_t> data);

// DAT entry flag names in their order: " EXT", " CMP", " BOLG", " EOLG", " MARK".
std::string datFlagNames(uint8_t flags);

}  // namespace vexal::diag
