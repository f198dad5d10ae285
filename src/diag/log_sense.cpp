#include "diag/log_sense.h"

#include <algorithm>
#include <array>
#include <span>

#include <fmt/printf.h>

#include "diag/event_page.h"
#include "diag/log_page.h"
#include "diag/log_page_lines.h"
#include "diag/side_files.h"

namespace vexal::diag {
namespace {

using command::LineRule;

// Every Log Sense line is written whatever the mode: the command is on the engineering
// menus only. The dumps follow the dump's own rule.
constexpr LineRule kLine = LineRule::Always;
constexpr int kScriptLogLevel = 4;
constexpr std::string_view kCaption = "Vexal";

// What follows the command for each page.
enum class After {
    PcDump,          // PC line and dump, no parse
    ParsePcDump,     // parse; PC line, dump, named lines
    ParseDump,       // parse; dump only
    Events,          // page 7: the event text
};

struct PageRow {
    uint8_t code;
    std::string_view name;
    After after;
};

constexpr std::array<PageRow, 11> kPages{{
    {page::SupportedPages, " LogSense (Supported Pages)", After::PcDump},
    {page::WriteErrors, " LogSense (Write Errors)", After::ParsePcDump},
    {page::ReadErrors, " LogSense (Read Errors)", After::ParsePcDump},
    {page::LastErrorEvents, " LogSense (Last n Error Events)", After::Events},
    {page::Temperature, " LogSense (Temperature Page)", After::ParsePcDump},
    {page::TapeAlert, " LogSense (Tape Alert)", After::ParsePcDump},
    {page::MoveStatistics, " LogSense (Move Statistics)", After::ParsePcDump},
    {page::Capacity, " LogSense (Capacity)", After::ParseDump},
    {page::Compression, " LogSense (Read/Write Compression Ratio)", After::ParsePcDump},
    {page::DeviceWellness, " LogSense (Device Wellness)", After::PcDump},
    {page::DeviceStatus, " LogSense (Device Status)", After::ParsePcDump},
}};

const PageRow* rowOf(uint8_t pageCode) {
    const auto it = std::find_if(kPages.begin(), kPages.end(), [&](const PageRow& r) { return r.code == pageCode; });
    return it == kPages.end() ? nullptr : &*it;
}

void warn(ui::Operator& op, std::string_view text) {
    op.message(text, kCaption, ui::Icon::Exclamation, ui::Buttons::Ok, ui::Button::Ok);
}

// Page 7's lines are shown as script messages and go to the log file at the script level.
void writeEventLines(command::CommandOutput& out, const EventText& text) {
    for (const std::string& line : eventDisplayLines(text)) {
        out.addToView("[Vexal_Script_Message: " + line);
        out.writeLog(kScriptLogLevel, line);
    }
}

void afterEvents(const std::span<const uint8_t> data, command::CScsiDevice& device, ui::Operator& op,
                 const std::filesystem::path& folder, LogSenseOutcome& outcome) {
    EventText text;
    if (LoadEventPage(data, folder, text) != EventPageError::None) {
        outcome.loadError = true;
        warn(op, loadErrorText(page::LastErrorEvents));
        return;
    }
    writeEventLines(device.output(), text);
}

void afterPage(const PageRow& row, const LogSenseRequest& request, std::span<const uint8_t> data,
               command::CScsiDevice& device, ui::Operator& op, const std::filesystem::path& folder,
               LogSenseOutcome& outcome) {
    if (row.after == After::Events) return afterEvents(data, device, op, folder, outcome);
    LogPage parsed;
    if (row.after != After::PcDump && LoadLogPage(row.code, data, folder, parsed) != PageError::None) {
        outcome.loadError = true;
        warn(op, loadErrorText(row.code));
        return;
    }
    if (row.after != After::ParseDump)
        device.Line(pcLine(request.pageControl, row.code, outcome.allocationLength), kLine);
    device.LogRawData(data.data(), data.size());
    if (row.after != After::ParsePcDump) return;
    for (const DecodedLine& line : counterLines(parsed)) {
        if (line.failedCode) {
            outcome.missing.push_back(*line.failedCode);
            warn(op, line.text);
        } else {
            device.Line(line.text, kLine);
        }
    }
}

}  // namespace

std::string_view pageControlWord(uint8_t pageControl) {
    switch (pageControl & 0xC0) {
    case page_control::Threshold: return "Threshold Values";
    case page_control::Cumulative: return "Cumulative Values";
    case page_control::DefaultThreshold: return "Default Threshold Values";
    default: return "Default Cumulative Values";
    }
}

bool parsePageControlName(std::string_view name, uint8_t& pageControl) {
    constexpr std::array<std::pair<std::string_view, uint8_t>, 4> kNames{{
        {"threshold", page_control::Threshold},
        {"cumulative", page_control::Cumulative},
        {"default-threshold", page_control::DefaultThreshold},
        {"default-cumulative", page_control::DefaultCumulative},
    }};
    for (const auto& [text, value] : kNames)
        if (text == name) {
            pageControl = value;
            return true;
        }
    return false;
}

std::array<uint8_t, 10> logSenseCdb(uint8_t pageControl, uint8_t pageCode, uint16_t allocationLength) {
    return {0x4D,
            0x00,
            static_cast<uint8_t>((pageControl & 0xC0) | (pageCode & 0x3F)),
            0x00,
            0x00,
            0x00,  // parameter pointer 0
            0x00,
            static_cast<uint8_t>(allocationLength >> 8),
            static_cast<uint8_t>(allocationLength),
            0x00};
}

bool isLogSensePage(uint8_t pageCode) { return rowOf(pageCode) != nullptr; }

std::string loadErrorText(uint8_t pageCode) {
    if (pageCode == page::TapeAlert) return "There was an error loading the TapeAlert page.";
    return fmt::sprintf("Log Page 0x%02X Load() error.", pageCode);
}

std::string pcLine(uint8_t pageControl, uint8_t pageCode, uint32_t allocationLength) {
    return fmt::sprintf("  PC = %s, Page Code = %0X, Length = %d", std::string(pageControlWord(pageControl)),
                        unsigned{pageCode}, allocationLength);
}

uint16_t allocationLengthFor(uint16_t requestedLength) {
    // A drive that reports no length gets room for a 64-byte page.
    if (requestedLength == 0) return 68;
    return static_cast<uint16_t>(std::min<uint32_t>(uint32_t{requestedLength} + 4, 0xFFFF));
}

PageSizeProbe DeterminePageSize(command::CScsiDevice& device, const LogSenseRequest& request) {
    PageSizeProbe probe;
    const auto cdb = logSenseCdb(request.pageControl, request.pageCode, kProbeLength);
    device.LogCommandSent();
    device.Line(kDeterminePageSizeLine, kLine);
    device.LogRawCdb(cdb.data(), static_cast<int>(cdb.size()), kLine);
    probe.result = device.ExecuteCdb(cdb.data(), static_cast<int>(cdb.size()), probe.bytes.data(), kProbeLength, false);
    const size_t sent = device.transferred();
    device.LogRawData(probe.bytes.data(), sent);
    probe.result = device.LogCommandStatus(probe.result);
    device.LogCommandDone();
    // The page length only when the drive sent it.
    if (probe.result == 0 && sent >= 4) probe.pageLength = static_cast<uint16_t>((probe.bytes[2] << 8) | probe.bytes[3]);
    return probe;
}

LogSenseOutcome LogSense(command::CScsiDevice& device, const LogSenseRequest& request, uint16_t requestedLength,
                         ui::Operator& op, const std::filesystem::path& folder) {
    LogSenseOutcome outcome;
    const PageRow* row = rowOf(request.pageCode);
    if (!row) {
        warn(op, kPageNotSupportedMessage);
        return outcome;
    }
    outcome.sent = true;
    outcome.allocationLength = allocationLengthFor(requestedLength);
    outcome.data.assign(outcome.allocationLength, 0);
    const auto cdb = logSenseCdb(request.pageControl, request.pageCode, outcome.allocationLength);

    device.LogCommandSent();
    device.Line(row->name, kLine);
    device.LogRawCdb(cdb.data(), static_cast<int>(cdb.size()), kLine);
    command::ScsiResult result =
        device.ExecuteCdb(cdb.data(), static_cast<int>(cdb.size()), outcome.data.data(), outcome.allocationLength, false);
    // Only what the drive sent is decoded and shown; a failed command that sent nothing
    // has only its status lines.
    outcome.data.resize(device.transferred());
    if (result == 0 || !outcome.data.empty()) afterPage(*row, request, outcome.data, device, op, folder, outcome);
    outcome.result = device.LogCommandStatus(result);
    device.LogCommandDone();
    return outcome;
}

LogSenseOutcome LogSenseWithProbe(command::CScsiDevice& device, const LogSenseRequest& request, ui::Operator& op,
                                  const std::filesystem::path& folder) {
    if (!isLogSensePage(request.pageCode)) return LogSense(device, request, 0, op, folder);
    const PageSizeProbe probe = DeterminePageSize(device, request);
    return LogSense(device, request, probe.pageLength, op, folder);
}

}  // namespace vexal::diag
