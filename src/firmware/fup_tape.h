#pragma once
// Write FUP Tape: a firmware image written as ordinary data, in blocks of 4096 bytes,
// from the beginning of a data cartridge in the drive's own density and uncompressed, so
// that a drive loading the tape later updates itself from it.
#include <string>

#include "operator/operator.h"
#include "command/scsi_device.h"

namespace vexal::firmware {

enum class TapeOutcome {
    Done,
    NoDevice,      // no valid active device
    NotSupported,  // a family this command does not support
    Declined,      // the operator did not confirm overwriting the tape
    Failed,        // no image chosen or opened, the medium refused, a command failed
};

inline constexpr size_t kTapeBlockSize = 4096;

struct FupTapeContext {
    command::CScsiDevice& device;  // the active device; its familyCode is the drive family
    ui::Operator& op;
    bool wizardPrivileges = false;
};

// The procedure; `imagePath` empty: the operator chooses the file.
TapeOutcome WriteFupTape(FupTapeContext& context, const std::string& imagePath = {});

// The "Write FUP Tape" command: the procedure, then "FUP tape operation complete." or
// "FUP tape operation did not complete." once it got past the operator's confirmation.
TapeOutcome WriteFupTapeCommand(FupTapeContext& context, const std::string& imagePath = {});

}  // namespace vexal::firmware
