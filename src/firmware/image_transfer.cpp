#include "firmware/image_transfer.h"

#include <algorithm>
#include <vector>

namespace vexal::firmware {
namespace {

constexpr uint8_t kFamily3 = 3;

// The status window's bar: range 0 to the file length, step 8192.
class Bar {
public:
    Bar(ui::Operator* op, uint64_t length) : op_(op), length_(length) {}
    void step() {
        position_ = std::min<uint64_t>(position_ + kImageBlockSize, length_);
        show();
    }
    void toEnd() {
        position_ = length_;
        show();
    }

private:
    void show() {
        if (op_) op_->progressSetPosition(static_cast<int>(position_));
    }
    ui::Operator* op_;
    uint64_t length_;
    uint64_t position_ = 0;
};

bool sendBlock(const WriteBufferSend& send, uint8_t mode, uint8_t id, uint64_t offset, std::vector<uint8_t>& block) {
    const auto length = static_cast<uint32_t>(block.size());
    return send(writeBufferCdb(mode, id, static_cast<uint32_t>(offset), length), block.data(), length);
}

TransferResult transferFamily3(ImageFile& file, const WriteBufferSend& send, Bar& bar) {
    const int64_t length = static_cast<int64_t>(file.length());
    const uint8_t id = imageBufferId(kFamily3);
    uint64_t offset = 0;
    std::vector<uint8_t> block;
    for (;;) {
        if (!file.read(kImageBlockSize, block)) return TransferResult::WriteFailed;
        const int64_t position = static_cast<int64_t>(file.position());
        if (position > length - static_cast<int64_t>(kImageBlockSize)) {
            // The save goes at the current offset; the offset does not move on after it.
            bar.toEnd();
            if (!sendBlock(send, kModeDownloadAndSave, id, offset, block)) return TransferResult::SaveFailed;
        } else if (!block.empty()) {
            bar.step();
            if (!sendBlock(send, kModeDownload, id, offset, block)) return TransferResult::WriteFailed;
            offset += block.size();
        }
        if (position == length) return TransferResult::Done;
        if (block.empty()) return TransferResult::WriteFailed;  // the file ended before its length
    }
}

TransferResult transferOthers(ImageFile& file, uint8_t familyCode, const WriteBufferSend& send, Bar& bar) {
    const uint8_t id = imageBufferId(familyCode);
    uint64_t offset = 0;
    std::vector<uint8_t> block;
    for (;;) {
        if (!file.read(kImageBlockSize, block)) return TransferResult::WriteFailed;
        if (!block.empty()) {
            bar.step();
            if (!sendBlock(send, kModeDownload, id, offset, block)) return TransferResult::WriteFailed;
            offset += block.size();
        }
        if (block.size() == kImageBlockSize) continue;
        // The last, short or empty, block once more: the save at the image's length.
        bar.toEnd();
        return sendBlock(send, kModeDownloadAndSave, id, offset, block) ? TransferResult::Done
                                                                        : TransferResult::SaveFailed;
    }
}

}  // namespace

WriteBufferCdb writeBufferCdb(uint8_t mode, uint8_t bufferId, uint32_t offset, uint32_t length) {
    return {0x3B,
            mode,
            bufferId,
            static_cast<uint8_t>(offset >> 16),
            static_cast<uint8_t>(offset >> 8),
            static_cast<uint8_t>(offset),
            static_cast<uint8_t>(length >> 16),
            static_cast<uint8_t>(length >> 8),
            static_cast<uint8_t>(length),
            0};
}

uint8_t imageBufferId(uint8_t familyCode) { return familyCode == kFamily3 ? 0x03 : 0x00; }

TransferResult TransferImage(ImageFile& file, uint8_t familyCode, const WriteBufferSend& send, ui::Operator* bar) {
    // Offsets past 24 bits cannot be sent: nothing goes to the drive.
    if (!file.isOpen() || file.length() > kMaxImageLength) return TransferResult::WriteFailed;
    Bar progress(bar, file.length());
    return familyCode == kFamily3 ? transferFamily3(file, send, progress)
                                  : transferOthers(file, familyCode, send, progress);
}

}  // namespace vexal::firmware
