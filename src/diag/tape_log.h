#pragma once
// The tape history log: read from the first block of the tape, shown, and written back
// there with a new label.
//
// The record sits in a 512-byte block at the beginning of the tape. Writing it there ends
// the recorded data after it, as any write at the beginning of a tape does: when the tape
// holds more than a history record the operator is asked first (default No).
#include <optional>
#include <string>

#include "operator/operator.h"
#include "command/scsi_device.h"
#include "diag/tape_history.h"

namespace vexal::diag {

inline constexpr const char* kTapeLabelPrompt = "Tape Label:";
inline constexpr const char* kTapeLogCaption = "Tape Log";
inline constexpr const char* kOverwriteQuestion =
    "This tape holds data.  Writing the tape log at the beginning of the tape erases it.  Do you want to continue?";

enum class TapeLogRead { Found, NotFound, Failed };
enum class TapeLogWrite { Written, Cancelled, Failed };

class TapeLog {
public:
    // Rewinds and reads the first block. A block beginning with the signature becomes the
    // record; any other block leaves the record as it was.
    TapeLogRead Read(command::CScsiDevice& device);
    // Writes the record's view lines to the result list.
    void Show(command::CScsiDevice& device) const;
    // Asks for the label (unless `label` is given), fills the record (a fresh one when none
    // was read or `fresh` is set) and writes it to the first block of the tape.
    TapeLogWrite Write(command::CScsiDevice& device, ui::Operator& op, bool fresh,
                       std::optional<std::string> label = std::nullopt);

    bool hasRecord() const { return read_; }
    const TapeHistoryRecord& record() const { return record_; }

private:
    // True when the tape holds more than one block, or one block that is not a record.
    bool holdsOtherData(command::CScsiDevice& device);

    TapeHistoryRecord record_;
    bool read_ = false;
};

}  // namespace vexal::diag
