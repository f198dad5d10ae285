#pragma once
// A virtual cartridge kept on disk, so that separate runs see the same tape, plus the
// state the drive keeps while powered (position, loaded, block length, compression).
//
// Layout, little-endian:
//   header (64 bytes): magic "KVXTAPE\x1A", u32 version (1), u32 header size (64),
//     u64 object count, u64 stored data bytes, u64 capacity (informational),
//     u64 position, u32 block length, u8 flags (1 loaded, 2 compression), 3 reserved,
//     u64 FNV-1a checksum of header bytes 0..55 and the object table
//   object table: count x 16 bytes: u8 kind (1 data, 2 fill, 3 filemark), u8 fill byte,
//     u8 flags (1 written compressed), u8 reserved, u32 length, u64 offset into the stored data
//   stored data bytes
#include <cstdint>
#include <filesystem>
#include <string>

#include "device/virtual/tape_medium.h"

namespace vexal::device::virt {

struct DriveState {
    uint64_t position = 0;
    bool loaded = true;
    uint32_t blockLength = 0;
    bool compression = true;
};

enum class CartridgeLoad { Loaded, Missing, Refused };

// The file of the drive with this serial number: installPath()/Virtual/<serial>.vtape
// (characters other than letters, digits, '.', '-' and '_' become '_').
std::filesystem::path cartridgePath(const std::string& serial);

// Reads a cartridge. Missing: no file (a blank cartridge). Refused: the file is not a
// cartridge of this version or is damaged; `error` says why in one sentence.
CartridgeLoad loadCartridge(const std::filesystem::path& path, TapeMedium& medium, DriveState& state,
                            std::string& error);
// Writes the whole cartridge through a temporary file, fsync and rename.
bool saveCartridge(const std::filesystem::path& path, const TapeMedium& medium, const DriveState& state,
                   std::string& error);
// Rewrites only the header in place: for a drive whose tape content did not change since
// it was last saved or loaded. False when the file on disk does not match the medium.
bool saveDriveState(const std::filesystem::path& path, const TapeMedium& medium, const DriveState& state,
                    std::string& error);

}  // namespace vexal::device::virt
