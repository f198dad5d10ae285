#pragma once
// Log page 7, the drive's last n error events: every parameter's value is ASCII text.
// The values are joined into one text (each ends a line), which is what "7_RAW.TXT"
// holds, and read back as its non-empty lines.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexal::diag {

enum class EventPageError {
    None,
    HeaderTooShort,  // fewer than the 4 header bytes
    NotPage7,        // byte 0 is not 7
};

struct EventText {
    uint8_t pageCode = 0;
    uint16_t pageLength = 0;        // the header's length field
    bool truncated = false;         // a parameter ran past the end of the page
    std::string rawText;            // the joined values, CR LF line ends
    std::vector<std::string> lines; // the non-empty lines, blanks trimmed at both ends
};

// Each value taken unchanged, followed by CR LF when it holds neither CR nor LF; a final
// CR LF ends the text.
std::string joinEventValues(std::span<const uint8_t> page);

// The non-empty lines of a text: split at CR and LF, cut at a NUL byte, blanks and tabs
// trimmed at both ends.
std::vector<std::string> splitEventText(std::string_view text);

EventPageError DecodeEventPage(std::span<const uint8_t> bytes, EventText& out);

// Decodes the page and keeps its side files in `folder`: the raw page in "7.XXX" (written
// even when the page is refused, as it came from the drive) and the text in "7_RAW.TXT".
EventPageError LoadEventPage(std::span<const uint8_t> bytes, const std::filesystem::path& folder, EventText& out);

// "Page Code:\t%02X", "Page Length:\t%04X", then each line: lines that begin with
// "Packet " as they are, the others after a tab.
std::vector<std::string> eventDisplayLines(const EventText& text);

}  // namespace vexal::diag
