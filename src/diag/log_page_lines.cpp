#include "diag/log_page_lines.h"

#include <array>
#include <span>

#include <fmt/printf.h>

namespace vexal::diag {
namespace {

// How a parameter is fetched and printed.
enum class Kind {
    Word,      // 16-bit: "%ld (0x%04X)"
    Long,      // 32-bit: "%ld, 0x%08X" and similar
    Double,    // 8-byte: "%G"
    Cleaning,  // 32-bit with its status word: "%s (0x%08X)"
};

struct Row {
    uint16_t code;
    Kind kind;
    const char* format;
};

constexpr std::array<Row, 7> kWriteErrors{{
    {0, Kind::Long, "   Errors Corrected with Substantial Delays: %ld, 0x%08X"},
    {1, Kind::Long, "   Errors Corrected with Possible Delays: %ld, 0x%08X"},
    {2, Kind::Long, "   Total Rewrites: %ld, 0x%08X"},
    {3, Kind::Long, "   Total Errors Corrected: %ld, 0x%08X"},
    {4, Kind::Long, "   Total Times Correction Algorithm Processed: %ld, 0x%08X"},
    {5, Kind::Double, "   Total Bytes Processed: %G"},
    {6, Kind::Long, "   Total Uncorrected Errors: %ld, 0x%08X"},
}};

constexpr std::array<Row, 7> kReadErrors{{
    {0, Kind::Long, "   Errors Corrected with Substantial Delays: %ld, 0x%08X"},
    {1, Kind::Long, "   Errors Corrected with Possible Delays: %ld, 0x%08X"},
    {2, Kind::Long, "   Total Rereads: %ld, 0x%08X"},
    {3, Kind::Long, "   Total Errors Corrected: %ld, 0x%08X"},
    {4, Kind::Long, "   Total Times Correction Algorithm Processed: %ld, 0x%08X"},
    {5, Kind::Double, "   Total Bytes Processed: %G"},
    {6, Kind::Long, "   Total Uncorrected Errors: %ld, 0x%08X"},
}};

constexpr std::array<Row, 2> kTemperature{{
    {0, Kind::Word, "   Current Temperature (Celsius): %ld (0x%04X)"},
    {1, Kind::Word, "   Maximum Operating Temperature (Celsius): %ld (0x%04X)"},
}};

constexpr std::array<Row, 10> kCompression{{
    {0, Kind::Word, "   Read Compression Ratio: %ld (0x%04X)"},
    {1, Kind::Word, "   Write Compression Ratio: %ld (0x%04X)"},
    {2, Kind::Long, "   Mbytes Transferred to Host: %ld (0x%08X)"},
    {3, Kind::Long, "   Bytes Transferred to Host: %ld (0x%08X)"},
    {4, Kind::Long, "   Mbytes Read from Tape: %ld (0x%08X)"},
    {5, Kind::Long, "   Bytes Read from Tape: %ld (0x%08X)"},
    {6, Kind::Long, "   Mbytes Transferred from Host: %ld (0x%08X)"},
    {7, Kind::Long, "   Bytes Transferred from Host: %ld (0x%08X)"},
    {8, Kind::Long, "   Mbytes Written to Tape: %ld (0x%08X)"},
    {9, Kind::Long, "   Bytes Written to Tape: %ld (0x%08X)"},
}};

constexpr std::array<Row, 6> kDeviceStatus{{
    {0, Kind::Long, "   Device Type: %ld (0x%08X)"},
    {1, Kind::Cleaning, "   Device Cleaning Status: %s (0x%08X)"},
    {2, Kind::Long, "   Number of 'Loads' Over Lifetime of Drive: %ld (0x%08X)"},
    {3, Kind::Long, "   Number of Cleaning Sessions per Cartridge: %ld (0x%08X)"},
    {4, Kind::Long, "   Vendor Specific: %ld (0x%08X)"},
    {5, Kind::Long, "   Drive Temp (Celsius): %ld (0x%08X)"},
}};

std::span<const Row> rowsOf(uint8_t pageCode) {
    switch (pageCode) {
    case page::WriteErrors: return kWriteErrors;
    case page::ReadErrors: return kReadErrors;
    case page::Temperature: return kTemperature;
    case page::Compression: return kCompression;
    case page::DeviceStatus: return kDeviceStatus;
    default: return {};
    }
}

// The line of one row; nullopt when the parameter cannot be fetched at the row's size.
// Counters are unsigned: "%ld" is given the value as a (64-bit) long, never negative.
std::optional<std::string> lineOf(const LogPage& page, const Row& row) {
    switch (row.kind) {
    case Kind::Word: {
        uint16_t v = 0;
        if (page.FetchWord(row.code, v) != FetchError::None) return std::nullopt;
        return fmt::sprintf(row.format, static_cast<long>(v), unsigned{v});
    }
    case Kind::Long: {
        uint32_t v = 0;
        if (page.FetchLong(row.code, v) != FetchError::None) return std::nullopt;
        return fmt::sprintf(row.format, static_cast<long>(v), v);
    }
    case Kind::Double: {
        double v = 0;
        if (page.FetchDouble(row.code, v) != FetchError::None) return std::nullopt;
        return fmt::sprintf(row.format, v);
    }
    case Kind::Cleaning: {
        uint32_t v = 0;
        if (page.FetchLong(row.code, v) != FetchError::None) return std::nullopt;
        return fmt::sprintf(row.format, std::string(cleaningStatusText(v)), v);
    }
    }
    return std::nullopt;
}

}  // namespace

std::string fetchFailedText(uint16_t parameterCode) {
    return fmt::sprintf("Log Page fetch failed for code: 0x%04X.", parameterCode);
}

std::string_view cleaningStatusText(uint32_t status) {
    switch (status) {
    case 4: return "Cleaning Required";
    case 2: return "Cleaning Requested";
    case 1: return "Cleaning Tape Expired";
    case 0: return "None";
    default: return "Unknown Status";
    }
}

std::vector<DecodedLine> counterLines(const LogPage& page) {
    std::vector<DecodedLine> lines;
    if (!page.loaded()) return lines;
    for (const Row& row : rowsOf(page.pageCode())) {
        if (auto text = lineOf(page, row)) lines.push_back({std::move(*text), std::nullopt});
        else lines.push_back({fetchFailedText(row.code), row.code});
    }
    return lines;
}

}  // namespace vexal::diag
