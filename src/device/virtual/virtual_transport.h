#pragma once
// The virtual transport: built-in emulated SCSI devices on one host adapter, for training,
// script writing and tests without hardware. A profile file chooses the devices; without
// one the bus holds a tape drive (target 0), a medium changer (1) and a disk (2).
// docs/virtual-drive.md describes the profile keys, the cartridge file and the CDB trace.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/transport.h"

namespace vexal::device {

// Builds the bus from the profile at `profilePath` (empty: the default profile) and loads
// each tape drive's cartridge from installPath()/Virtual/. Returns nullptr with one
// sentence naming the file, line and key in `error` when the profile cannot be used.
std::shared_ptr<Transport> makeVirtualTransport(const std::string& profilePath, std::string& error);

// What a virtual transport worked around since it was made, one sentence each: a damaged
// cartridge file refused (a blank cartridge took its place), a cartridge that could not be
// saved, a trace file that could not be opened. Empty for any other transport.
std::vector<std::string> virtualTransportWarnings(const Transport& transport);

// The serial consoles of a virtual transport's devices (profile key serial_console), in
// target order; empty for any other transport.
struct VirtualConsole {
    uint8_t target = 0;
    std::string path;  // the pseudo-terminal a serial port opens
    uint8_t adapter = 0;
};
std::vector<VirtualConsole> virtualSerialConsoles(const Transport& transport);

}  // namespace vexal::device
