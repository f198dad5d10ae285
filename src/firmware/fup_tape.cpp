#include "firmware/fup_tape.h"

#include <algorithm>
#include <array>
#include <vector>

#include <fmt/format.h>

#include "device/device_library.h"
#include "device/drive_family.h"
#include "firmware/firmware_messages.h"
#include "firmware/image_file.h"

namespace vexal::firmware {
namespace {

using ui::Icon;
using command::CommandRequest;
using command::LineRule;

// The families whose drives cannot load a FUP tape.
constexpr std::array<uint8_t, 5> kRefusedFamilies{0, 1, 3, 254, 255};

constexpr uint8_t kDeviceConfigurationPage = 0x10;
constexpr uint8_t kDataCompressionPage = 0x0F;
constexpr uint16_t kDensityRequestLength = 28;      // header, block descriptor, page 10h
constexpr uint16_t kCompressionRequestLength = 20;  // header, page 0Fh
constexpr size_t kMediumTypeByte = 1;
constexpr size_t kDensityByte = 4;
constexpr size_t kCompressionByte = 6;  // the page's DCE and DCC bits
constexpr uint8_t kCompressionOff = 0x40;
constexpr uint8_t kCompressionOn = 0xC0;

struct MediumDensity {
    uint8_t mediumType;
    uint8_t density;
};
constexpr std::array<MediumDensity, 3> kDensities{{{0x85, 0x1A}, {0x86, 0x48}, {0x87, 0x4A}}};
constexpr uint8_t kNoMedium = 0x00;
constexpr uint8_t kCleaningCartridge = 0x81;

bool refuse(FupTapeContext& c, std::string_view text, Icon icon = Icon::Exclamation) {
    c.op.message(text, kCaption, icon);
    return false;
}

// MODE SENSE(6): the bytes the drive sent (none when it failed).
std::vector<uint8_t> modeSense(command::CScsiDevice& d, bool dbd, uint8_t page, uint16_t length) {
    CommandRequest request;
    request.dbd = dbd;
    request.pageCode = page;
    request.allocationLength = length;
    std::vector<uint8_t> data;
    if (d.ModeSense(request, &data) != 0) data.clear();
    return data;
}

bool modeSelect(command::CScsiDevice& d, std::vector<uint8_t>& data) {
    data[0] = 0;  // the mode data length is reserved in MODE SELECT
    CommandRequest request;
    return d.ModeSelect(request, data) == 0;
}

// The medium's density goes into the block descriptor.
bool setDensity(FupTapeContext& c) {
    std::vector<uint8_t> data = modeSense(c.device, false, kDeviceConfigurationPage, kDensityRequestLength);
    if (data.size() <= std::max(kMediumTypeByte, kDensityByte)) return refuse(c, kUnknownMedia);
    const uint8_t mediumType = data[kMediumTypeByte];
    if (mediumType == kNoMedium) return refuse(c, kUnknownMedia);
    if (mediumType == kCleaningCartridge) return refuse(c, kCleaningTape);
    const MediumDensity* match = nullptr;
    for (const MediumDensity& m : kDensities)
        if (m.mediumType == mediumType) match = &m;
    if (!match) return refuse(c, kUnknownDensity);
    data[kDensityByte] = match->density;
    return modeSelect(c.device, data);
}

// The image must go to tape uncompressed.
bool compressionOff(FupTapeContext& c) {
    std::vector<uint8_t> data = modeSense(c.device, true, kDataCompressionPage, kCompressionRequestLength);
    if (data.size() <= kCompressionByte) return refuse(c, kUnknownCompression);
    switch (data[kCompressionByte]) {
    case kCompressionOff: return true;
    case kCompressionOn: data[kCompressionByte] = kCompressionOff; return modeSelect(c.device, data);
    default: return refuse(c, kUnknownCompression);
    }
}

bool writeBlock(command::CScsiDevice& d, std::vector<uint8_t>& block) {
    const auto n = static_cast<uint32_t>(block.size());
    const std::vector<uint8_t> cdb{0x0A, 0x00, static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 8),
                                   static_cast<uint8_t>(n), 0};
    command::CScsiDevice::Frame frame{" Write",
                                      {"  Block Type:  Variable", fmt::format("  Transfer Length: {}", n)},
                                      LineRule::EngineeringOnly,
                                      LineRule::EngineeringOnly};
    return d.RunFrame(frame, cdb, block.data(), n, true) == 0;
}

bool writeImage(FupTapeContext& c, ImageFile& file) {
    std::vector<uint8_t> block;
    for (;;) {
        if (!file.read(kTapeBlockSize, block)) return refuse(c, kErrorWritingTape, Icon::Stop);
        if (!block.empty() && !writeBlock(c.device, block)) return refuse(c, kErrorWritingTape, Icon::Stop);
        if (block.size() < kTapeBlockSize) break;
    }
    file.close();
    c.device.Rewind();
    return true;
}

bool validDevice(const command::CScsiDevice& d) {
    uint8_t adapter = 0, target = 0, lun = 0;
    return d.handle >= 0 && device::DevGetAddress(d.handle, &adapter, &target, &lun) == 0;
}

}  // namespace

TapeOutcome WriteFupTape(FupTapeContext& c, const std::string& imagePath) {
    command::CScsiDevice& d = c.device;
    if (!validDevice(d)) return TapeOutcome::NoDevice;
    const bool refused =
        std::find(kRefusedFamilies.begin(), kRefusedFamilies.end(), d.familyCode) != kRefusedFamilies.end();
    if (refused && !c.wizardPrivileges) {
        c.op.message(device::familyLimitedMessage(device::kKtxSktxOnly), kCaption, Icon::Exclamation);
        return TapeOutcome::NotSupported;
    }
    if (c.op.hazardQuestion(kTapeOverwriteQuestion, kCaption, Icon::Stop, ui::Buttons::OkCancel, ui::Button::Ok) !=
        ui::Button::Ok)
        return TapeOutcome::Declined;

    for (int i = 0; i < 3; ++i) d.TestUnitReady();
    d.Rewind();

    std::string path = imagePath;
    if (path.empty() && !c.op.chooseFile(ui::FileDialog::Open, kImageDialogCaption, kImageFilter, path))
        return TapeOutcome::Failed;
    ImageFile file;
    if (!file.open(path)) {
        refuse(c, kTapeCancelled);
        return TapeOutcome::Failed;
    }
    if (!setDensity(c) || !compressionOff(c) || !writeImage(c, file)) return TapeOutcome::Failed;
    return TapeOutcome::Done;
}

TapeOutcome WriteFupTapeCommand(FupTapeContext& c, const std::string& imagePath) {
    const TapeOutcome outcome = WriteFupTape(c, imagePath);
    if (outcome == TapeOutcome::Done) c.op.message(kTapeComplete, kCaption, Icon::Information);
    else if (outcome == TapeOutcome::Failed) c.op.message(kTapeNotComplete, kCaption, Icon::Information);
    return outcome;
}

}  // namespace vexal::firmware
