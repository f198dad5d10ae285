#include "command/sense_decoder.h"

#include <array>

#include <fmt/format.h>

#include "command/raw_data.h"
#include "command/status_names.h"
#include "device/device_library.h"

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
    default: return fmt::format(" 0x{:02X}", responseCode);
    }
}

}  // namespace

std::string_view senseKeyWord(uint8_t senseKey) { return kSenseKeyWords[senseKey & 0x0F]; }

void LogSenseData(const uint8_t* sense, size_t count, CommandOutput& out, LastSense& lastSense) {
    auto byteAt = [&](size_t i) -> uint8_t { return (sense && i < count) ? sense[i] : 0; };
    const uint8_t flags = byteAt(2);
    const uint8_t key = flags & 0x0F;
    const bool ili = flags & 0x20, eom = flags & 0x40, fm = flags & 0x80;
    const uint8_t asc = byteAt(12), ascq = byteAt(13);

    logRawData(sense, sense ? count : 0, out);
    out.engineering(kErrorLevel, "   Error Code: " + errorCodeText(byteAt(0) & 0x7F));
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

ScsiResult LogCommandStatusWithSense(ScsiResult result, std::span<const uint8_t, kStatusSenseLength> sense,
                                     CommandOutput& out, DeviceStatusState& state) {
    bool senseShown = false;
    if (result != 0) {
        // No sense held by the device: stay silent, keep the previous status.
        if (sense[0] == 0) return result;
        const int ascPair = sense[12] * 256 + sense[13];
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
