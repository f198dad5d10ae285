#include "diag/event_page.h"

#include <fmt/printf.h>

#include "diag/log_page.h"
#include "diag/side_files.h"

namespace vexal::diag {

std::string joinEventValues(std::span<const uint8_t> page) {
    bool truncated = false;
    std::string text;
    for (const LogParameter& p : walkParameters(page, pageEnd(page), truncated)) {
        const auto value = page.subspan(p.offset, p.length);
        const std::string_view part(reinterpret_cast<const char*>(value.data()), value.size());
        text += part;
        if (part.find_first_of("\r\n") == std::string_view::npos) text += "\r\n";
    }
    text += "\r\n";
    return text;
}

std::vector<std::string> splitEventText(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        // A value padded with NUL bytes ends its text at the first one.
        line = line.substr(0, line.find('\0'));
        const size_t first = line.find_first_not_of(" \t");
        if (first != std::string_view::npos) {
            const size_t last = line.find_last_not_of(" \t");
            lines.emplace_back(line.substr(first, last - first + 1));
        }
        start = end + 1;
    }
    return lines;
}

EventPageError DecodeEventPage(std::span<const uint8_t> bytes, EventText& out) {
    out = EventText{};
    if (bytes.size() < kPageHeaderLength) return EventPageError::HeaderTooShort;
    if (bytes[0] != page::LastErrorEvents) return EventPageError::NotPage7;
    out.pageCode = bytes[0];
    out.pageLength = static_cast<uint16_t>((bytes[2] << 8) | bytes[3]);
    const size_t end = pageEnd(bytes);
    out.truncated = end < kPageHeaderLength + out.pageLength;
    walkParameters(bytes, end, out.truncated);
    out.rawText = joinEventValues(bytes);
    out.lines = splitEventText(out.rawText);
    return EventPageError::None;
}

EventPageError LoadEventPage(std::span<const uint8_t> bytes, const std::filesystem::path& folder, EventText& out) {
    const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const size_t end = pageEnd(bytes);
    writeSideFile(folder, kEventPageFile, end ? raw.substr(0, end) : raw);
    const EventPageError error = DecodeEventPage(bytes, out);
    if (error == EventPageError::None) writeSideFile(folder, kEventTextFile, out.rawText);
    return error;
}

std::vector<std::string> eventDisplayLines(const EventText& text) {
    std::vector<std::string> lines{fmt::sprintf("Page Code:\t%02X", text.pageCode),
                                   fmt::sprintf("Page Length:\t%04X", text.pageLength)};
    for (const std::string& line : text.lines)
        lines.push_back(line.starts_with("Packet ") ? line : "\t" + line);
    return lines;
}

}  // namespace vexal::diag
