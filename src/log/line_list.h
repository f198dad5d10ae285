#pragma once
// The document's list of log lines: what the log view shows and what File Save writes.
// Appended from whichever thread runs a command, read by the UI thread; every access
// takes the list's mutex, and readers copy out only the range they need.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace vexal::log {

inline constexpr std::string_view kViewHeaderLine = "[Vexal_Log_View (4.0.1 Build 8)]";

// The view draws at most the last kMaxDrawnLines lines.
inline constexpr size_t kMaxDrawnLines = 10000;
constexpr size_t firstDrawnLine(size_t count) { return count > kMaxDrawnLines ? count - kMaxDrawnLines : 0; }

class LineList {
public:
    // Starts with the one header line.
    LineList();

    void append(std::string line);
    size_t size() const;
    // Copies of lines [first, first + count), clipped to the list.
    std::vector<std::string> range(size_t first, size_t count) const;
    // The lines the view draws: from firstDrawnLine(size()) to the end.
    std::vector<std::string> drawnLines() const;
    // Length of the longest line from `first` on (the view's scroll width).
    size_t longestLine(size_t first) const;
    std::vector<std::string> snapshot() const;

    // Clear View: when the list is not empty, it becomes the header line alone.
    void clearView();

    // Counts every change (append, clear, open) so that a front end can tell whether to
    // redraw; the callback, when set, runs after each change on the changing thread.
    uint64_t changeCount() const { return changes_.load(); }
    void setChangeCallback(std::function<void()> callback);

    // How many lines the view drew last (the mode-switch clear prompts ask only when it
    // drew more than one).
    void setDrawnCount(size_t count) { drawnCount_ = count; }
    size_t drawnCount() const { return drawnCount_.load(); }

    // Writes every line followed by "\r\n", through a temporary file and a rename. False
    // with `error` set when the file cannot be written; an existing file stays as it was.
    bool save(const std::filesystem::path& path, std::string& error) const;
    // Replaces the list with the file's lines (CR LF or LF line ends). False with `error`
    // set when the file cannot be read; the list is then unchanged.
    bool open(const std::filesystem::path& path, std::string& error);

private:
    void changed();

    mutable std::mutex mutex_;
    std::deque<std::string> lines_;
    std::atomic<uint64_t> changes_{0};
    std::atomic<size_t> drawnCount_{0};
    std::mutex callbackMutex_;
    std::function<void()> callback_;
};

}  // namespace vexal::log
