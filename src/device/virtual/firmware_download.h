#pragma once
// Microcode download on the virtual tape drive. WRITE BUFFER mode 04h (download microcode)
// takes an image in pieces whose offsets follow on; mode 05h (download microcode and
// save) completes it. A saved image is checked, the drive restarts running it: off the
// bus for a while (no answer to selection), then NOT READY, becoming ready, then ready
// with the image's revision and a UNIT ATTENTION, MICROCODE HAS BEEN CHANGED (6/3F/01).
//
// How the save completes the image follows the drive's family: a family 3 drive takes
// the image's last piece with the save (buffer ID 03h); every other family receives the
// whole image in mode 04h pieces (buffer ID 00h) and the save repeats the last piece at
// the offset where the image ends (the image's length), or sends nothing when the image
// ends on a piece boundary. A save at offset 0 with nothing received carries the whole
// image.
//
// The image format the virtual drive accepts; any other image is refused with ILLEGAL
// REQUEST, INVALID FIELD IN PARAMETER LIST (5/26/00):
//   bytes 0..7    "VEXALFW1"
//   bytes 8..11   the firmware revision, 4 printable ASCII characters
//   bytes 12..15  the image's whole length in bytes, big-endian (header included)
//   bytes 16..    free (what a real image carries)
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/virtual/sense_builder.h"
#include "device/virtual/virtual_device.h"
#include "device/virtual/virtual_profile.h"

namespace vexal::device::virt {

inline constexpr std::string_view kFirmwareMagic = "VEXALFW1";
inline constexpr size_t kFirmwareHeaderSize = 16;
// The largest image the drive's download memory holds.
inline constexpr uint32_t kMaxFirmwareImage = 8 * 1024 * 1024;

// An image of `length` bytes (at least the header) carrying `revision` (cut or blank
// padded to 4 characters); the free bytes follow a pattern.
std::vector<uint8_t> makeFirmwareImage(std::string_view revision, size_t length);

// Checks a complete image; its revision, or false with the sense.
bool checkFirmwareImage(std::span<const uint8_t> image, std::string& revision, Sense& error);

class FirmwareDownload {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Clock = std::function<TimePoint()>;

    struct Setup {
        uint8_t bufferId = 0;
        bool saveCarriesLastPiece = false;  // family 3
        std::chrono::seconds offline{0};
        std::chrono::seconds notReady{0};
    };

    explicit FirmwareDownload(Setup setup, Clock clock = [] { return std::chrono::steady_clock::now(); });

    // WRITE BUFFER mode 04h or 05h with `length` bytes at `data`. False with the sense; a
    // refused command abandons the download. When this command saved a complete image,
    // `newRevision` holds its revision and the restart has begun.
    bool write(uint8_t mode, uint8_t bufferId, uint32_t offset, const uint8_t* data, uint32_t length,
               std::string& newRevision, Sense& error);

    // Restarting: the drive does not answer selection.
    bool offBus() const;
    // Back on the bus after a restart, not ready yet.
    bool becomingReady() const;
    // Bytes of the download in progress.
    size_t received() const { return image_.size(); }

private:
    bool abandon(Sense& error, Sense why);

    Setup setup_;
    Clock clock_;
    std::vector<uint8_t> image_;
    std::optional<TimePoint> restartedAt_;
};

// How a drive with this profile takes a download: its family's buffer ID and save, and
// the restart times of the profile.
FirmwareDownload::Setup firmwareSetup(const DeviceProfile& profile);

// The revision a drive runs after a saved download is kept beside its cartridge, in
// installPath()/Virtual/<serial>.vfw (one line, the 4 characters), so that later runs and
// rescans see the drive with its new firmware. Delete the file to go back to the
// profile's revision.
std::filesystem::path firmwareRevisionPath(const std::string& serial);
bool saveFirmwareRevision(const std::string& serial, const std::string& revision, std::string& error);
// The profile with the saved revision in place of its own; a damaged file is reported to
// `warnings` and ignored.
DeviceProfile withSavedFirmware(DeviceProfile profile, WarningLog& warnings);

}  // namespace vexal::device::virt
