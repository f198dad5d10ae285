#include "diag/debug_trace.h"

#include <fmt/format.h>
#include <fmt/printf.h>

#include "diag/structure_views.h"
#include "platform/ini_file.h"

namespace vexal::diag {

using command::LineRule;

std::string debugTraceFileName(const std::tm& now, int hostAdapter, int target, int part) {
    return fmt::format("{:02}-{:02}DebugLogH{}D{}P{}.hex", now.tm_mday, now.tm_mon + 1, hostAdapter, target, part);
}

std::string backupLogFileName(int hostAdapter, int target) {
    return fmt::format("BackupLogH{}D{}.txt", hostAdapter, target);
}

std::string debugTraceText(std::span<const uint8_t> trace) {
    std::string text;
    text.reserve(kTraceMemorySize / 16 * 57);
    for (size_t line = 0; line < kTraceMemorySize / 16; ++line) {
        text += fmt::format("{:05X}0:", line);
        for (size_t i = 0; i < 16; ++i) {
            const size_t at = line * 16 + i;
            text += fmt::format(" {:02X}", at < trace.size() ? trace[at] : 0);
        }
        text += "\r\n";
    }
    return text;
}

std::filesystem::path ReadDebugTrace(command::CScsiDevice& device, ui::Operator& op,
                                     const std::filesystem::path& folder, int part, bool quiet) {
    std::vector<uint8_t> trace;
    const bool read = ReadBufferFrame(device, " Read Buffer (Debug Trace)", kTraceMemoryBuffer, kTraceMemorySize,
                                      trace) == 0;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::string name = debugTraceFileName(local, device.address.hostAdapter, device.address.target, part);
    const std::filesystem::path path = folder / name;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!read || !platform::writeFileAtomically(path, debugTraceText(trace))) {
        device.Line(kDebugTraceFailed, LineRule::Always, 2);
        return {};
    }
    if (!quiet)
        op.message(fmt::sprintf(kDebugTraceCreated, path.string()), "Vexal", ui::Icon::Information);
    return path;
}

bool WriteBackupLog(const std::vector<std::string>& lines, const std::filesystem::path& folder, int hostAdapter,
                    int target) {
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return platform::writeFileAtomically(folder / backupLogFileName(hostAdapter, target), text);
}

}  // namespace vexal::diag
