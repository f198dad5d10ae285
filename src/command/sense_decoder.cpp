#include "command/sense_decoder.h"

#include <array>

#include <fmt/format.h>

#include "command/raw_data.h"
#include "command/status_names.h"
#include "device/device_library.h"
#include "device/sense_format.h"

namespace vexal::command {
namespace {

constexpr int kCommandLevel = 0;
constexpr int kErrorLevel = 2;

constexpr std::string_view kUnknownSenseKey = "Unknown Sense Key";
constexpr std::array<std::string_view, 16> kSenseKeyWords{
    "No Sense",         "Recovered Error", "Not Ready",      "Medium Error",
    "Hardware Error",   "Illegal Request", "Unit Attention", "Data Protect",
    "Blank Check",      kUnknownSenseKey,  kUnknownSenseKey, "Aborted Command",
    kUnknownSenseKey,   "Volume Overflow", "Miscompare",     kUnknownSenseKey,
};

// The dump goes out at the command level; only the decoded sense lines are error lines.
void logRawData(const uint8_t* data, size_t count, CommandOutput& out) {
    if (!out.engineeringMode()) return;
    for (const std::string& line : rawDataLines(data, count)) out.both(kCommandLevel, line);
}

std::string errorCodeText(uint8_t responseCode) {
    switch (responseCode) {
    case 0x70: return "Current Error";
    case 0x71: return "Deferred Error";
    // Named, and the layout said, so that the dump above (key and ASC in bytes 1 to 3,
    // flags in a descriptor) reads right.
    case 0x72: return "Current Error (descriptor format)";
    case 0x73: return "Deferred Error (descriptor format)";
    default: return fmt::format(" 0x{:02X}", responseCode);
    }
}

// After the status line; once per command, however often its frame logs a status.
void writeTimeoutNote(CommandOutput& out, DeviceStatusState& state) {
    if (const auto note = timeoutNote(state.timeouts)) out.engineering(kErrorLevel, *note);
    state.timeouts = {};
}

}  // namespace

std::string_view senseKeyWord(uint8_t senseKey) { return kSenseKeyWords[senseKey & 0x0F]; }

void LogSenseData(const uint8_t* sense, size_t count, CommandOutput& out, LastSense& lastSense) {
    const device::SenseFields f = device::parseSense({sense, sense ? count : 0});
    const uint8_t key = f.key, asc = f.asc, ascq = f.ascq;
    const bool ili = f.ili, eom = f.eom, fm = f.filemark;

    logRawData(sense, sense ? count : 0, out);
    out.engineering(kErrorLevel, "   Error Code: " + errorCodeText(f.responseCode));
    out.engineering(kErrorLevel, fmt::format("   Sense Key: 0x{:02X} ({})", key, senseKeyWord(key)));
    std::string flagLine = "   Flags: ";
    if (ili) flagLine += " ILI";
    if (eom) flagLine += " EOM";
    if (fm) flagLine += " FM";
    out.engineering(kErrorLevel, flagLine);
    out.engineering(kErrorLevel, fmt::format("   ASC: 0x{:02X}  ASCQ: 0x{:02X}", asc, ascq));

    lastSense.senseKey = key;
    lastSense.ili = ili;
    lastSense.eom = eom;
    lastSense.fm = fm;
    lastSense.asc = asc;
    lastSense.ascq = ascq;
}

std::optional<std::string> timeoutNote(const device::TimeoutReport& r) {
    if (r.timeouts == 0) return std::nullopt;
    const double seconds = static_cast<double>(r.waitedMs) / 1000.0;
    if (r.timeouts < r.sends)
        return fmt::format("   The command timed out and was sent again; it ended on send {} ({:.1f} s in all).",
                           r.sends, seconds);
    if (r.withheld)
        return fmt::format("   The command timed out after {:.1f} s and was not sent again: {}.", seconds,
                           device::resendRule(r.opcode).effect);
    if (r.sends == 1) return fmt::format("   The command timed out after {:.1f} s and was not sent again.", seconds);
    return fmt::format("   The command was sent {} times and timed out each time ({:.1f} s in all).", r.sends, seconds);
}

ScsiResult LogCommandStatusWithSense(ScsiResult result, std::span<const uint8_t, kStatusSenseLength> sense,
                                     CommandOutput& out, DeviceStatusState& state) {
    bool senseShown = false;
    if (result != 0) {
        if (sense[0] == 0) {
            // No sense held by the device: stay silent and keep the previous status, unless
            // the transport ended the command; then the frame names how.
            const bool transportFailure = (result & 0xFF00) == 0xAA00 || (result & 0xFF00) == 0xAB00;
            if (!transportFailure) return result;
            state.lastStatus = statusName(result);
            out.engineering(kCommandLevel, " [Vexal_CmdStatus: " + state.lastStatus);
            writeTimeoutNote(out, state);
            return result;
        }
        const device::SenseFields f = device::parseSense(sense);
        const int ascPair = f.asc * 256 + f.ascq;
        if (ascPair != 0 && ascPair != 0xCCCC) {
            result = ascPair;
        } else {
            // No ASC/ASCQ to name the outcome by: show the sense first, name the result itself.
            out.engineering(kErrorLevel, " [Vexal_Sense_Condition: AutoSense]");
            LogSenseData(sense.data(), sense.size(), out, state.lastSense);
            senseShown = true;
        }
    }
    state.lastStatus = statusName(result);
    out.engineering(kCommandLevel, " [Vexal_CmdStatus: " + state.lastStatus);
    writeTimeoutNote(out, state);
    if (!senseShown && result != 0) {
        out.engineering(kErrorLevel, " [Vexal_Check_Condition: AutoRequestSense]");
        LogSenseData(sense.data(), sense.size(), out, state.lastSense);
    }
    return result;
}

ScsiResult LogCommandStatus(ScsiResult result, int handle, CommandOutput& out, DeviceStatusState& state) {
    // Zero-filled so that a device that returns fewer bytes (or none) reads as no sense.
    std::array<uint8_t, kStatusSenseLength> sense{};
    if (result != 0) device::DevGetStatus(handle, sense.data(), sense.size());
    return LogCommandStatusWithSense(result, sense, out, state);
}

}  // namespace vexal::command
