#pragma once
// The results database of media-qualification scripts: one folder per medium (keyed by its
// media identifier), each with run, pass and fail counters and one event per test run.
//
// File layout (little-endian, records without gaps): a 6-byte header (version 1, folder
// count, total event count), then per folder a 68-byte folder record followed by its
// 176-byte event records (as many as its run count).
#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexal::script {

inline constexpr uint16_t kDbVersion = 1;
inline constexpr size_t kDbHeaderSize = 6;
inline constexpr size_t kDbFolderSize = 68;
inline constexpr size_t kDbEventSize = 176;
inline constexpr size_t kDbStampSize = 14;
inline constexpr size_t kDbMediaIdField = 48;  // zero-terminated: at most 47 characters
inline constexpr size_t kDbSerialField = 32;   // zero-terminated: at most 31 characters
inline constexpr size_t kDbFailureData = 128;

enum class DbResult : uint16_t { None = 0, Pass = 1, Fail = 2 };

struct DbTimeStamp {
    uint8_t hour = 0, minute = 0;
    double seconds = 0;  // whole seconds
    uint8_t month = 1, day = 1;
    uint16_t year = 0;
};

// The current local time.
DbTimeStamp localTimeStamp();

struct DbEvent {
    DbTimeStamp time;
    uint16_t result = 0;
    std::array<uint8_t, kDbFailureData> failureData{};
    std::string driveSerial;
};

struct DbFolder {
    std::string mediaId;
    DbTimeStamp created;
    uint16_t runs = 0, passes = 0, fails = 0;
    std::vector<DbEvent> events;  // oldest first
};

enum class DbLoadError { None, CannotRead, Truncated, BadVersion, Inconsistent };

class ResultsDatabase {
public:
    // Parses a whole file image. A truncated or inconsistent image (counts that run past its
    // end, trailing bytes, counters that disagree with the events, unterminated texts) is
    // refused and the database left empty.
    DbLoadError load(std::span<const uint8_t> image);
    // Reads and parses the file, remembering its name in either case.
    DbLoadError open(const std::filesystem::path& file);
    std::vector<uint8_t> serialize() const;
    // Writes the database atomically to the file it was opened from; false when it is
    // empty, no file was opened or the file cannot be written (the old file then stays).
    bool save() const;
    void clear();

    // Adds a PASS or FAIL event, creating the folder when needed. False when the media
    // identifier is empty or longer than its field, or a counter would overflow; a drive
    // serial longer than its field is cut.
    bool addEvent(std::string_view mediaId, std::string_view driveSerial, DbResult result,
                  std::span<const uint8_t> failureData, const DbTimeStamp& now);
    bool removeFolder(std::string_view mediaId);

    const DbFolder* find(std::string_view mediaId) const;
    const std::vector<DbFolder>& folders() const { return folders_; }
    uint16_t totalEvents() const { return totalEvents_; }
    bool modified() const { return modified_; }
    const std::filesystem::path& file() const { return file_; }

    // 100 - (runs - passes) / runs * 100; 0 for a folder without runs.
    static double passPercentage(const DbFolder& folder);
    // The report of one folder and of the whole database.
    static std::string folderReport(const DbFolder& folder);
    std::string databaseReport() const;

private:
    std::filesystem::path file_;
    std::vector<DbFolder> folders_;
    uint16_t totalEvents_ = 0;
    bool modified_ = false;
};

}  // namespace vexal::script
