#pragma once
// The cumulative values behind the log pages of the virtual tape drive: error counters,
// move and compression statistics, lifetime counts and two temperature settings, plus
// the device wellness entries (medium and hardware errors the drive reported). Counters
// follow the I/O the drive carries out; the drive keeps them in a small file beside the
// cartridge file so that separate runs see the same counts, as they would on a drive
// that stays powered.
#include <array>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace vexal::device::virt {

enum class LogValue : uint8_t {
    // page 02h, write error counters
    WriteCorrectedFast, WriteCorrectedDelayed, WriteRewrites, WriteCorrected, WriteAlgorithm, WriteBytes,
    WriteUncorrected,
    // page 03h, read error counters
    ReadCorrectedFast, ReadCorrectedDelayed, ReadRereads, ReadCorrected, ReadAlgorithm, ReadBytes, ReadUncorrected,
    // page 30h, move statistics
    BlocksWritten, BlocksRead, FilemarksWritten, FilemarksRead, Rewinds, Locates, Spaces,
    // page 32h, compression
    HostBytesRead, TapeBytesRead, HostBytesWritten, TapeBytesWritten,
    // page 3Eh, device status
    Loads, Cleanings,
    // page 0Dh, temperature
    Temperature, MaxTemperature,
    Count
};

enum class LogValueKind : uint8_t {
    Counter,   // LOG SELECT resets it; kept in the drive log file
    Lifetime,  // kept in the drive log file; LOG SELECT leaves it
    Setting,   // from the profile or the default; neither counted nor kept
};

struct LogValueInfo {
    LogValue value;
    std::string_view name;  // as the profile key log_counters names it
    uint8_t page;
    LogValueKind kind;
    uint64_t max;           // the largest value the page can show
    uint64_t initial;       // at power-on, before the drive log file and the profile
};

const LogValueInfo& logValueInfo(LogValue value);
// Null for an unknown (lower-case) name.
const LogValueInfo* findLogValue(std::string_view name);

// A medium or hardware error the drive reported (log page 33h).
struct WellnessEntry {
    uint32_t powerOnHours = 0;
    uint32_t object = 0;  // logical object number where it happened
    uint8_t key = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
    uint8_t operation = 0;  // 1 read, 2 write, 3 verify
};

class DriveLog {
public:
    static constexpr size_t kWellnessEntries = 16;

    DriveLog();

    uint64_t get(LogValue value) const { return values_[index(value)]; }
    // Values stop at the largest value their parameter can show.
    void set(LogValue value, uint64_t n);
    void add(LogValue value, uint64_t n = 1);
    // LOG SELECT with PCR: the counters of one page (0: of every page) and, for pages 00h
    // and 33h, the wellness entries go back to zero; lifetime values and settings stay.
    void resetPage(uint8_t page);

    // Oldest first; the oldest is dropped when the list is full.
    void addWellness(const WellnessEntry& entry);
    const std::deque<WellnessEntry>& wellness() const { return wellness_; }

    // Something to save since the file was last written or read.
    bool changed() const { return changed_; }
    void markSaved() { changed_ = false; }

    // The drive log file: an INI document with the counters and lifetime values by name
    // ([counters]) and the wellness entries ([wellness], "hours object key asc ascq op").
    std::string serialize() const;
    // False with the reason when the text is not a drive log; the log is unchanged then.
    bool parse(std::string_view text, std::string& problem);

private:
    static size_t index(LogValue value) { return static_cast<size_t>(value); }

    std::array<uint64_t, static_cast<size_t>(LogValue::Count)> values_{};
    std::deque<WellnessEntry> wellness_;
    bool changed_ = false;
};

// installPath()/Virtual/<serial>.vlog, beside the cartridge file.
std::filesystem::path driveLogPath(const std::string& serial);
// A missing file leaves the log as it is and succeeds.
bool loadDriveLog(const std::filesystem::path& path, DriveLog& log, std::string& error);
bool saveDriveLog(const std::filesystem::path& path, const DriveLog& log, std::string& error);

}  // namespace vexal::device::virt
