#pragma once
// The outcome of one command: 0 good, 1 failed at the target (see its sense), 0xAAxx a
// transport request status, 0xABxx a host-adapter status.
#include <cstdint>

namespace vexal::command {

using ScsiResult = int32_t;

// Maps the device library's outcome: `executeFailed` is DevExecute's return, `lastError`
// what DevGetStatus returned.
ScsiResult resultFromLibrary(int executeFailed, int lastError);

}  // namespace vexal::command
