#include "firmware/firmware_commands.h"

#include "firmware/image_file.h"

namespace vexal::firmware {
namespace {

constexpr int kDone = 0, kFailed = 1, kUsage = 2, kNotSupported = 3;

// A file named on the command line that cannot be read is the caller's mistake: say so
// plainly instead of "cancelled".
bool readable(const std::string& image, std::ostream& err) {
    ImageFile file;
    if (file.open(image)) return true;
    err << "The image file " << image << " cannot be opened: it does not exist, is not a regular file or may not be read.\n";
    return false;
}

}  // namespace

int FirmwareCommand(UpdateContext& context, const FirmwareCommandOptions& options, std::ostream& err) {
    if (options.mode != 4 && options.mode != 5) {
        err << "The WRITE BUFFER mode of a firmware update is 4 (download microcode) or 5 (download microcode and "
               "save), not "
            << options.mode << ".\n";
        return kUsage;
    }
    if (!readable(options.image, err)) return kUsage;
    const Outcome outcome = options.mode == 5 ? DownloadMicrocodeAndSave(context, options.image)
                                              : DownloadMicrocode(context, options.image);
    switch (outcome) {
    case Outcome::Done: return kDone;
    case Outcome::NotSupported: return kNotSupported;
    default: return kFailed;
    }
}

int FupTapeCommand(FupTapeContext& context, const std::string& image, std::ostream& err) {
    if (!readable(image, err)) return kUsage;
    switch (WriteFupTapeCommand(context, image)) {
    case TapeOutcome::Done: return kDone;
    case TapeOutcome::NoDevice:
    case TapeOutcome::NotSupported: return kNotSupported;
    default: return kFailed;
    }
}

}  // namespace vexal::firmware
