#pragma once
// The compressed dump file: a zip archive holding one deflated member, written and read
// through minizip. Reading refuses archives that could hurt: a member name that would
// land outside its folder, more members than a dump has reason to hold, or content that
// expands past a cap.
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace vexal::fadump {

inline constexpr size_t kZipChunk = 16 * 1024;

// Compresses `source` into `archive` as one member named after the source's file name,
// deflated at the default level, written in 16 KB chunks through a temporary file that is
// renamed into place with `permissions`. False with the system error number in `error`.
bool compressFile(const std::filesystem::path& source, const std::filesystem::path& archive, mode_t permissions,
                  int& error);

struct ExtractLimits {
    uint64_t maxExpanded = uint64_t{1} << 30;  // 1 GiB
    uint64_t maxMembers = 16;
};

enum class ExtractError {
    None,
    NotAnArchive,    // cannot be opened as a zip archive (random bytes, truncated, unreadable)
    NoMember,        // the archive is empty
    TooManyMembers,
    UnsafeName,      // absolute, "..", a drive letter, or too long
    TooLarge,        // expands past the cap
    Damaged,         // a member that cannot be decompressed, or a CRC error
    WriteFailed,     // the output file could not be written (systemError says why)
};

struct ExtractResult {
    ExtractError error = ExtractError::None;
    std::string memberName;
    std::string output;
    uint64_t bytes = 0;  // bytes written
    int systemError = 0;
};

// Writes the first member of `archive` to `output` (through a temporary and a rename).
ExtractResult extractFirstMember(const std::filesystem::path& archive, const std::filesystem::path& output,
                                 const ExtractLimits& limits = {});

// A member name that stays inside the folder it is extracted to.
bool safeMemberName(std::string_view name);

// One sentence that says why `archive` was refused.
std::string extractErrorText(const ExtractResult& result, const std::filesystem::path& archive,
                             const ExtractLimits& limits = {});

}  // namespace vexal::fadump
