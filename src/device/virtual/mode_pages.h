#pragma once
// The mode parameters of the virtual tape drive: the header with its device-specific
// byte, one block descriptor, the control page (0Ah, of which only D_SENSE changes), the
// data compression page (0Fh) and the device configuration page (10h); MODE SENSE builds
// them, MODE SELECT checks and applies them.
#include <cstdint>
#include <vector>

#include "device/virtual/sense_builder.h"

namespace vexal::device::virt {

struct ModeParameters {
    static constexpr uint8_t kDensity = 0x4A;  // the virtual format's density code
    // The medium type MODE SENSE reports for the loaded data cartridge (0: none loaded).
    static constexpr uint8_t kMediumType = 0x87;

    uint8_t density = kDensity;
    uint32_t blockLength = 0;  // 0: variable-length blocks
    bool compression = true;   // DCE
    bool decompression = true; // DDE
    uint8_t bufferedMode = 1;
    bool descriptorSense = false;  // D_SENSE: sense data in descriptor format
};

enum class PageControl : uint8_t { Current = 0, Changeable = 1, Default = 2, Saved = 3 };

struct ModeSenseRequest {
    bool tenByte = false;
    bool disableBlockDescriptors = false;
    PageControl control = PageControl::Current;
    uint8_t page = 0;
    uint8_t subpage = 0;
};

// Builds the mode data (the length fields filled in); false with the sense for a page
// this drive does not have.
bool buildModeSense(const ModeSenseRequest& request, const ModeParameters& current, bool writeProtected,
                    std::vector<uint8_t>& out, Sense& error);

// Checks a MODE SELECT parameter list against what may change and applies it to
// `params`; on failure `params` is unchanged and `error` holds the sense.
bool applyModeSelect(bool tenByte, const uint8_t* data, size_t length, ModeParameters& params, Sense& error);

}  // namespace vexal::device::virt
