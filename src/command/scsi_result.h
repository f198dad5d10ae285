#pragma once
// The outcome of one command: 0 good, 1 failed at the target (see its sense), 0xAAxx a
// transport request status, 0xABxx a host-adapter status.
#include <cstdint>

namespace vexal::command {

using ScsiResult = int32_t;

// Maps the device library's outcome: `executeFailed` is DevExecute's return, `lastError`
// what DevGetStatus returned.
ScsiResult resultFromLibrary(int executeFailed, int lastError);

// A request status (0xAAxx) or host-adapter status (0xABxx): the command failed on its
// way to or from the device, not at the target.
inline bool isTransportFailure(ScsiResult result) {
    const int family = (result >> 8) & 0xFFFF;
    return family == 0xAA || family == 0xAB;
}

}  // namespace vexal::command
