#pragma once
// The trail file "KTrail.Txt": every progress line and every error line of a load (and of
// a run) as one line of text. Each line reaches the file before append() returns, so the
// trail survives a crash; the file stays open between lines instead of being reopened for
// each one.
#include <filesystem>
#include <string>
#include <string_view>

namespace vexal::script {

inline constexpr std::string_view kTrailFileName = "KTrail.Txt";

class TrailFile {
public:
    explicit TrailFile(std::filesystem::path path) : path_(std::move(path)) {}
    ~TrailFile();
    TrailFile(const TrailFile&) = delete;
    TrailFile& operator=(const TrailFile&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Empties the file (creating it and its folder when missing).
    bool clear();
    // Appends "<line>\n". False when the file cannot be written.
    bool append(std::string_view line);
    // Lets go of the file until the next append.
    void close();
    // The whole file ("" when missing).
    std::string text() const;

private:
    bool open(bool truncate);

    std::filesystem::path path_;
    int fd_ = -1;
};

}  // namespace vexal::script
