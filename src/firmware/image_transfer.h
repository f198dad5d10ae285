#pragma once
// Sending a firmware image with WRITE BUFFER: download microcode (mode 04h) block by
// block at following offsets, and download microcode and save (mode 05h) to finish. Drive
// family 3 takes the last block with the save, in buffer 03h; every other family takes the
// whole image in mode 04h blocks in buffer 00h, then the last (short or empty) block once
// more with mode 05h at the image's length.
#include <array>
#include <cstdint>
#include <functional>

#include "operator/operator.h"
#include "firmware/image_file.h"

namespace vexal::firmware {

inline constexpr size_t kImageBlockSize = 8192;
inline constexpr uint8_t kModeDownload = 0x04;
inline constexpr uint8_t kModeDownloadAndSave = 0x05;
// WRITE BUFFER's offset has 24 bits: an image must end below 16 MiB.
inline constexpr uint64_t kMaxImageLength = 0xFFFFFF;

enum class TransferResult {
    Done,
    WriteFailed,  // a mode 04h command failed, or the file could not be read
    SaveFailed,   // the mode 05h command failed
};

using WriteBufferCdb = std::array<uint8_t, 10>;
// 3Bh, mode, buffer ID, offset and parameter list length big-endian in 24 bits each, 00h.
WriteBufferCdb writeBufferCdb(uint8_t mode, uint8_t bufferId, uint32_t offset, uint32_t length);
// The buffer ID the family's images go to.
uint8_t imageBufferId(uint8_t familyCode);

// Sends one WRITE BUFFER with `length` bytes of `data` to the device; true when it ended GOOD.
using WriteBufferSend = std::function<bool(const WriteBufferCdb& cdb, uint8_t* data, uint32_t length)>;

// Transfers the opened image from its start. `bar`, when given, is the status window's
// progress bar with the range 0 to the file length: it moves 8192 a block and goes to
// the end before the save.
TransferResult TransferImage(ImageFile& file, uint8_t familyCode, const WriteBufferSend& send,
                             ui::Operator* bar = nullptr);

}  // namespace vexal::firmware
