#pragma once
// The drive's debug trace (its trace memory as a hex text file) and the backup log of the
// canned tests (the whole line list as text).
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "operator/operator.h"
#include "command/scsi_device.h"

namespace vexal::diag {

inline constexpr const char* kDebugTraceCreated = "A debug trace log has been created named: %s";
inline constexpr const char* kDebugTraceFailed = "[INTR_ERROR: Unable to create debug trace log.]";

// "%02i-%02iDebugLogH%dD%dP%d.hex": day and month of `now`, host adapter, target, part.
std::string debugTraceFileName(const std::tm& now, int hostAdapter, int target, int part);
// "BackupLogH%dD%d.txt"
std::string backupLogFileName(int hostAdapter, int target);

// 769 lines of 16 bytes, "%05X0: %02X ..." with CR LF; bytes missing from `trace` read as 0.
std::string debugTraceText(std::span<const uint8_t> trace);

// Reads the trace memory and writes it to `folder`/debugTraceFileName(now, ..., part).
// Success shows "A debug trace log has been created named: %s" (unless `quiet`); a trace
// that could not be read or written writes "[INTR_ERROR: Unable to create debug trace log.]".
// Returns the file's path, or an empty path on failure.
std::filesystem::path ReadDebugTrace(command::CScsiDevice& device, ui::Operator& op,
                                     const std::filesystem::path& folder, int part, bool quiet = false);

// Writes every line followed by CR LF to `folder`/backupLogFileName(...), replacing it.
bool WriteBackupLog(const std::vector<std::string>& lines, const std::filesystem::path& folder, int hostAdapter,
                    int target);

}  // namespace vexal::diag
