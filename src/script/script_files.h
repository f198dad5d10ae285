#pragma once
// The files of one load: the main script and every file it includes, each read whole,
// unscrambled in memory when it is stored scrambled, fingerprint-checked when that is
// demanded, and handed out one line at a time.
//
// The plain text of a scrambled file never reaches the disk. When the loader leaves such a
// file it is written back in the rotated form through a uniquely named temporary file in
// its own folder and a rename, so the script on disk is at every moment either its old
// bytes or its new bytes, never half of either.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "script/scramble.h"

namespace vexal::script {

// Results of ScriptFileStack::open besides a file id (> 0).
inline constexpr int kOpenDuplicate = -1;     // opened before in this load, and left again
inline constexpr int kOpenNotText = -2;       // cannot be unscrambled or is not text
inline constexpr int kOpenFailed = -3;        // cannot be opened or read
inline constexpr int kOpenFingerprint = -4;   // fingerprint missing or wrong
inline constexpr int kOpenCycle = -5;         // the file is still open: an include chain came back to it
inline constexpr int kOpenTooDeep = -6;       // more nested includes than kMaxIncludeDepth

inline constexpr size_t kMaxIncludeDepth = 64;
// A line is read into a 1024-byte buffer: at most this many characters at once.
inline constexpr size_t kLinePieceLength = 1023;
// Larger script files are refused as unreadable rather than read into memory.
inline constexpr uintmax_t kMaxScriptFileSize = 256u * 1024 * 1024;

struct ScriptFileRecord {
    int32_t id = 0;                 // 1 for the first file of the load, then counting up
    std::filesystem::path path;     // as opened
    std::string key;                // the canonical path, for "opened before"
    std::string text;               // the plain text
    size_t position = 0;            // read position in text: the stream
    LockMode mode = LockMode::Plain;
    bool relock = false;            // written back scrambled when left
    int32_t savedOffset = 0;        // offset and line of the #INCLUDE line in the including file
    int32_t savedLine = 0;

    // Reads the next line as fgets with a 1024-byte buffer would in text mode: up to 1023
    // characters, or through the line feed (removed; a CR LF pair counts as one line feed).
    // A zero byte ends the line's text there. False at the end of the file.
    bool readLine(std::string& line, int32_t& offset);
};

// The last component of `path` found case-insensitively when the exact name is missing
// (scripts written elsewhere name their includes in any case); otherwise `path` itself.
std::filesystem::path resolveCaseInsensitive(const std::filesystem::path& path);

// Reads a whole file; false when it cannot be read or exceeds `limit` bytes.
bool readWholeFile(const std::filesystem::path& path, std::string& out, uintmax_t limit = kMaxScriptFileSize);

// Replaces `path` by `data` atomically, keeping the file's permissions.
bool replaceFileAtomically(const std::filesystem::path& path, std::string_view data);

class ScriptFileStack {
public:
    // Forgets every file (the list of opened files included), relocking open ones first.
    void reset();

    // Opens `path`, pushes it and returns its id (> 0), or one of the kOpen* results.
    int open(const std::filesystem::path& path, bool demandFingerprint, int32_t savedOffset, int32_t savedLine);

    // 0: back in the including file (its saved offset and line returned); 1: the main
    // script ended, nothing is open; -1: nothing was open.
    int leave(int32_t& savedOffset, int32_t& savedLine);

    // Leaves every open file (relocking each).
    void closeAll();

    ScriptFileRecord* current() { return stack_.empty() ? nullptr : stack_.back(); }
    size_t depth() const { return stack_.size(); }
    // The path of file `id`, or "" when no file has that id.
    std::string fileName(int32_t id) const;
    const std::vector<std::unique_ptr<ScriptFileRecord>>& opened() const { return opened_; }

private:
    void relock(ScriptFileRecord& file);

    std::vector<std::unique_ptr<ScriptFileRecord>> opened_;  // in order of opening; id = index + 1
    std::vector<ScriptFileRecord*> stack_;
    std::unordered_set<std::string> keys_;
    // Within one load, a requested path's resolved path and key: a file included from many
    // places is looked up on disk once.
    struct Resolved {
        std::filesystem::path path;
        std::string key;
    };
    std::unordered_map<std::string, Resolved> resolved_;
};

}  // namespace vexal::script
