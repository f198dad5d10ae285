#pragma once
// LOG SENSE from the Commands menu. Log Sense first asks the drive how long
// the page is (a LOG SENSE of 8 bytes, " Determine Page Size..."), then reads the whole
// page and writes its command frame: the page's name line, RAW_CDB, the PC line, the dump
// and the named lines of the pages the program knows.
//
// Side files go to `folder` (normally workFolder(), see side_files.h).
#include <array>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "operator/operator.h"
#include "command/scsi_device.h"

namespace vexal::diag {

namespace page_control {
inline constexpr uint8_t Threshold = 0x00;
inline constexpr uint8_t Cumulative = 0x40;
inline constexpr uint8_t DefaultThreshold = 0x80;
inline constexpr uint8_t DefaultCumulative = 0xC0;
}  // namespace page_control

inline constexpr std::string_view kPageNotSupportedMessage =
    "The page you requested is not supported.  Please contact your support team.";
inline constexpr std::string_view kDeterminePageSizeLine = " Determine Page Size...";
// The probe asks for the 4-byte header and 4 more bytes.
inline constexpr uint16_t kProbeLength = 8;

// What the Log Sense dialog gives the command.
struct LogSenseRequest {
    uint8_t pageControl = page_control::Cumulative;  // 0x00, 0x40, 0x80 or 0xC0
    uint8_t pageCode = 0;
};

// "Threshold Values", "Cumulative Values", "Default Threshold Values", "Default
// Cumulative Values" by the two top bits.
std::string_view pageControlWord(uint8_t pageControl);
// The terminal's names: threshold, cumulative, default-threshold, default-cumulative.
bool parsePageControlName(std::string_view name, uint8_t& pageControl);

// 4D 00 [page control + page code] 00 00 00 00 [allocation length, 2] 00.
std::array<uint8_t, 10> logSenseCdb(uint8_t pageControl, uint8_t pageCode, uint16_t allocationLength);

// Whether the command reads the page (a page it does not support is refused unsent).
bool isLogSensePage(uint8_t pageCode);
// "Log Page 0x%02X Load() error." or, for the Tape Alert page, "There was an error
// loading the TapeAlert page."
std::string loadErrorText(uint8_t pageCode);
// "  PC = <word>, Page Code = %0X, Length = %d"
std::string pcLine(uint8_t pageControl, uint8_t pageCode, uint32_t allocationLength);

// The real command's allocation length: the requested length + 4, 68 when the requested
// length is 0, never more than the CDB's 16-bit field holds.
uint16_t allocationLengthFor(uint16_t requestedLength);

struct PageSizeProbe {
    command::ScsiResult result = 0;
    uint16_t pageLength = 0;  // bytes 2-3 of the probe's data; 0 when the probe failed
    std::array<uint8_t, kProbeLength> bytes{};
};

// The 8-byte LOG SENSE with its own frame (" Determine Page Size...", dump of 8 bytes).
PageSizeProbe DeterminePageSize(command::CScsiDevice& device, const LogSenseRequest& request);

struct LogSenseOutcome {
    bool sent = false;                 // false: the page is not supported, nothing was sent
    command::ScsiResult result = 0;    // as named by the status lines
    uint16_t allocationLength = 0;
    bool loadError = false;            // the page was refused by the parser
    std::vector<uint16_t> missing;     // parameters whose line could not be made
    std::vector<uint8_t> data;         // the bytes read
};

// The command itself: reads `requestedLength` + 4 bytes of the page and writes its frame.
// An unsupported page shows kPageNotSupportedMessage and sends nothing.
LogSenseOutcome LogSense(command::CScsiDevice& device, const LogSenseRequest& request, uint16_t requestedLength,
                         ui::Operator& op, const std::filesystem::path& folder);

// The whole menu sequence on the calling thread: refuse an unsupported page, probe the
// size, then read the page.
LogSenseOutcome LogSenseWithProbe(command::CScsiDevice& device, const LogSenseRequest& request, ui::Operator& op,
                                  const std::filesystem::path& folder);

}  // namespace vexal::diag
