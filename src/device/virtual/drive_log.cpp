#include "device/virtual/drive_log.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

#include "device/virtual/cartridge_file.h"
#include "platform/ini_file.h"

namespace vexal::device::virt {
namespace {

constexpr uint64_t k32 = 0xFFFFFFFFull;
constexpr uint64_t k64 = ~0ull;
constexpr uint64_t kLargestFile = 64 * 1024;

using V = LogValue;
using K = LogValueKind;

const LogValueInfo kValues[] = {
    {V::WriteCorrectedFast, "write_corrected_fast", 0x02, K::Counter, k32, 0},
    {V::WriteCorrectedDelayed, "write_corrected_delayed", 0x02, K::Counter, k32, 0},
    {V::WriteRewrites, "write_rewrites", 0x02, K::Counter, k32, 0},
    {V::WriteCorrected, "write_corrected", 0x02, K::Counter, k32, 0},
    {V::WriteAlgorithm, "write_algorithm", 0x02, K::Counter, k32, 0},
    {V::WriteBytes, "write_bytes", 0x02, K::Counter, k64, 0},
    {V::WriteUncorrected, "write_uncorrected", 0x02, K::Counter, k32, 0},
    {V::ReadCorrectedFast, "read_corrected_fast", 0x03, K::Counter, k32, 0},
    {V::ReadCorrectedDelayed, "read_corrected_delayed", 0x03, K::Counter, k32, 0},
    {V::ReadRereads, "read_rereads", 0x03, K::Counter, k32, 0},
    {V::ReadCorrected, "read_corrected", 0x03, K::Counter, k32, 0},
    {V::ReadAlgorithm, "read_algorithm", 0x03, K::Counter, k32, 0},
    {V::ReadBytes, "read_bytes", 0x03, K::Counter, k64, 0},
    {V::ReadUncorrected, "read_uncorrected", 0x03, K::Counter, k32, 0},
    {V::BlocksWritten, "blocks_written", 0x30, K::Counter, k32, 0},
    {V::BlocksRead, "blocks_read", 0x30, K::Counter, k32, 0},
    {V::FilemarksWritten, "filemarks_written", 0x30, K::Counter, k32, 0},
    {V::FilemarksRead, "filemarks_read", 0x30, K::Counter, k32, 0},
    {V::Rewinds, "rewinds", 0x30, K::Counter, k32, 0},
    {V::Locates, "locates", 0x30, K::Counter, k32, 0},
    {V::Spaces, "spaces", 0x30, K::Counter, k32, 0},
    // The page shows these in MiB and the bytes beyond the last whole MiB.
    {V::HostBytesRead, "host_bytes_read", 0x32, K::Counter, k32 << 20 | 0xFFFFF, 0},
    {V::TapeBytesRead, "tape_bytes_read", 0x32, K::Counter, k32 << 20 | 0xFFFFF, 0},
    {V::HostBytesWritten, "host_bytes_written", 0x32, K::Counter, k32 << 20 | 0xFFFFF, 0},
    {V::TapeBytesWritten, "tape_bytes_written", 0x32, K::Counter, k32 << 20 | 0xFFFFF, 0},
    {V::Loads, "loads", 0x3E, K::Lifetime, k32, 0},
    {V::Cleanings, "cleanings", 0x3E, K::Lifetime, k32, 0},
    // 255 would read as "no temperature available".
    {V::Temperature, "temperature", 0x0D, K::Setting, 254, 35},
    {V::MaxTemperature, "max_temperature", 0x0D, K::Setting, 254, 60},
};
static_assert(std::size(kValues) == static_cast<size_t>(LogValue::Count));

bool parseNumber(std::string_view text, uint64_t& out) {
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc{} && end == text.data() + text.size();
}

}  // namespace

const LogValueInfo& logValueInfo(LogValue value) { return kValues[static_cast<size_t>(value)]; }

const LogValueInfo* findLogValue(std::string_view name) {
    for (const LogValueInfo& info : kValues)
        if (info.name == name) return &info;
    return nullptr;
}

DriveLog::DriveLog() {
    for (const LogValueInfo& info : kValues) values_[index(info.value)] = info.initial;
}

void DriveLog::set(LogValue value, uint64_t n) {
    values_[index(value)] = std::min(n, logValueInfo(value).max);
    changed_ = true;
}

void DriveLog::add(LogValue value, uint64_t n) {
    const uint64_t now = get(value);
    set(value, now > ~0ull - n ? ~0ull : now + n);
}

void DriveLog::resetPage(uint8_t page) {
    for (const LogValueInfo& info : kValues)
        if (info.kind == LogValueKind::Counter && (page == 0 || info.page == page)) values_[index(info.value)] = 0;
    if (page == 0 || page == 0x33) wellness_.clear();
    changed_ = true;
}

void DriveLog::addWellness(const WellnessEntry& entry) {
    if (wellness_.size() == kWellnessEntries) wellness_.pop_front();
    wellness_.push_back(entry);
    changed_ = true;
}

std::string DriveLog::serialize() const {
    platform::IniFile ini;
    ini.addSection("counters");
    for (const LogValueInfo& info : kValues)
        if (info.kind != LogValueKind::Setting) ini.set("counters", info.name, std::to_string(get(info.value)));
    ini.addSection("wellness");
    for (size_t i = 0; i < wellness_.size(); ++i) {
        const WellnessEntry& e = wellness_[i];
        std::ostringstream line;
        line << e.powerOnHours << ' ' << e.object << ' ' << unsigned{e.key} << ' ' << unsigned{e.asc} << ' '
             << unsigned{e.ascq} << ' ' << unsigned{e.operation};
        ini.set("wellness", std::to_string(i + 1), line.str());
    }
    return ini.serialize();
}

bool DriveLog::parse(std::string_view text, std::string& problem) {
    const platform::IniFile ini = platform::IniFile::parse(text);
    DriveLog next = *this;
    for (const auto& section : ini.sections()) {
        if (section.name == "counters") {
            for (const auto& [key, value] : section.values) {
                const LogValueInfo* info = findLogValue(key);
                uint64_t n = 0;
                if (!info || info->kind == LogValueKind::Setting || !parseNumber(value, n)) {
                    problem = "bad counter line \"" + key + " = " + value + "\"";
                    return false;
                }
                next.values_[index(info->value)] = std::min(n, info->max);
            }
        } else if (section.name == "wellness") {
            next.wellness_.clear();
            for (const auto& [key, value] : section.values) {
                std::istringstream in(value);
                uint64_t f[6] = {};
                std::string word;
                int fields = 0;
                bool numbers = true;
                while (in >> word) {
                    if (fields < 6) numbers = numbers && parseNumber(word, f[fields]);
                    ++fields;
                }
                if (fields != 6 || !numbers || f[0] > 0xFFFFFFFFull || f[1] > 0xFFFFFFFFull || f[2] > 0x0F || f[3] > 0xFF ||
                    f[4] > 0xFF || f[5] > 0xFF) {
                    problem = "bad wellness entry \"" + value + "\"";
                    return false;
                }
                if (next.wellness_.size() == kWellnessEntries) next.wellness_.pop_front();
                next.wellness_.push_back({static_cast<uint32_t>(f[0]), static_cast<uint32_t>(f[1]),
                                          static_cast<uint8_t>(f[2]), static_cast<uint8_t>(f[3]),
                                          static_cast<uint8_t>(f[4]), static_cast<uint8_t>(f[5])});
            }
        } else {
            problem = "unknown section [" + section.name + "]";
            return false;
        }
    }
    values_ = next.values_;
    wellness_ = std::move(next.wellness_);
    changed_ = false;
    return true;
}

std::filesystem::path driveLogPath(const std::string& serial) {
    return std::filesystem::path(cartridgePath(serial)).replace_extension(".vlog");
}

bool loadDriveLog(const std::filesystem::path& path, DriveLog& log, std::string& error) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return true;
    const auto size = std::filesystem::file_size(path, ec);
    std::string problem;
    if (ec || size > kLargestFile) {
        problem = ec ? "cannot be read" : "too large";
    } else {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        if (!in) problem = "cannot be read";
        else if (log.parse(text.str(), problem)) return true;
    }
    error = "The virtual drive log file " + path.string() + " is refused (" + problem +
            "); the drive's log counters start from zero.";
    return false;
}

bool saveDriveLog(const std::filesystem::path& path, const DriveLog& log, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    if (platform::writeFileAtomically(path, log.serialize())) return true;
    error = "The virtual drive log cannot be saved to " + path.string() + ".";
    return false;
}

}  // namespace vexal::device::virt
