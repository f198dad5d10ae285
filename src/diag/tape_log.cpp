#include "diag/tape_log.h"

#include <ctime>

namespace vexal::diag {

using command::CScsiDevice;
using command::LineRule;
using command::ScsiResult;

namespace {

std::vector<std::string> transferLines(bool read) {
    return {read ? "  Block Type:  Variable SILI" : "  Block Type:  Variable", "  Logical Block Size: 512",
            "  Transfer Length: 512"};
}

ScsiResult readFirstBlock(CScsiDevice& device, std::vector<uint8_t>& block) {
    block.assign(kTapeLogBlockSize, 0);
    // SILI: a longer first block still yields its first 512 bytes without a check.
    const ScsiResult result = device.RunFrame({" Read", transferLines(true)}, {0x08, 0x02, 0x00, 0x02, 0x00, 0x00},
                                              block.data(), kTapeLogBlockSize, false);
    block.resize(device.transferred());
    return result;
}

std::string trimmed(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

}  // namespace

TapeLogRead TapeLog::Read(CScsiDevice& device) {
    device.Line("", LineRule::Always);
    device.Line("    ** Begin Reading Tape Log **", LineRule::Always);
    device.Line("   Searching for tape history data...", LineRule::Always);
    TapeLogRead outcome = TapeLogRead::Failed;
    std::vector<uint8_t> block;
    if (device.Rewind() == 0) {
        const ScsiResult result = readFirstBlock(device, block);
        if (TapeHistoryRecord::isRecord(block)) {
            record_ = TapeHistoryRecord::fromBlock(block);
            read_ = true;
            outcome = TapeLogRead::Found;
        } else if (result == 0 || device.status.lastSense.senseKey == 0x08) {
            outcome = TapeLogRead::NotFound;  // another block, or a blank tape
        }
    }
    device.Line("    ** End Reading Tape Log **", LineRule::Always);
    return outcome;
}

void TapeLog::Show(CScsiDevice& device) const {
    for (const auto& line : record_.lines()) device.Line(line, LineRule::Always);
}

bool TapeLog::holdsOtherData(CScsiDevice& device) {
    if (device.Rewind() != 0 || device.Space(3, 0) != 0) return true;  // unknown: ask
    std::array<uint8_t, 20> d{};
    if (device.RunFrame({" Read Position", {}}, {0x34, 0, 0, 0, 0, 0, 0, 0, 0, 0}, d.data(), 20, false) != 0 ||
        device.transferred() < 8)
        return true;
    const uint32_t endOfData = (uint32_t{d[4]} << 24) | (uint32_t{d[5]} << 16) | (uint32_t{d[6]} << 8) | d[7];
    if (endOfData == 0) return false;
    if (endOfData > 1) return true;
    // One block: a history record may be replaced.
    std::vector<uint8_t> block;
    if (device.Rewind() != 0) return true;
    readFirstBlock(device, block);
    return !TapeHistoryRecord::isRecord(block);
}

TapeLogWrite TapeLog::Write(CScsiDevice& device, ui::Operator& op, bool fresh, std::optional<std::string> label) {
    std::string text;
    if (label) {
        text = *label;
    } else if (!op.askText(kTapeLabelPrompt, kTapeLogCaption, text)) {
        return TapeLogWrite::Cancelled;
    }
    if (holdsOtherData(device) &&
        op.hazardQuestion(kOverwriteQuestion, "Vexal", ui::Icon::Exclamation, ui::Buttons::YesNo, ui::Button::No) !=
            ui::Button::Yes)
        return TapeLogWrite::Cancelled;

    if (!read_ || fresh) {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        const std::string drive = trimmed(device.serialNumber).empty() ? device.productTrimmed()
                                                                       : trimmed(device.serialNumber);
        record_ = TapeHistoryRecord::fresh(text, drive, local);
    } else {
        record_.setLabel(text);
    }
    read_ = true;
    std::vector<uint8_t> block = record_.block();
    device.Line("    ** Begin Writing Tape Log **", LineRule::Always);
    ScsiResult result = device.Rewind();
    if (result == 0)
        result = device.RunFrame({" Write", transferLines(false)}, {0x0A, 0x00, 0x00, 0x02, 0x00, 0x00}, block.data(),
                                 kTapeLogBlockSize, true);
    device.Line("    ** End Writing Tape Log **", LineRule::Always);
    return result == 0 ? TapeLogWrite::Written : TapeLogWrite::Failed;
}

}  // namespace vexal::diag
