#pragma once
// A test on several drives in turn, with what each drive's run came to.
#include <functional>
#include <vector>

#include "app/script_setup.h"
#include "app/session.h"
#include "device/bus_scan.h"
#include "document/multi_device_run.h"

namespace vexal::app {

struct DeviceOutcome {
    int index = -1;
    bool failed = false;   // a load or run-time error, a FAIL statement or EXIT with a value other than 0
    bool aborted = false;  // its test was aborted
};

// Runs `test` on each of `devices` (see document::RunOnDevices), each drive with its own
// family code for the Tape Alert check. `starting` runs before each drive's frames, on the
// calling thread. Returns one outcome per drive tested, in order; drives after a "No" to
// the question about the remaining drives, or that cannot be bound, have none.
std::vector<DeviceOutcome> RunScriptOnDevices(Session& session, device::BusScanner& scanner,
                                              const std::vector<int>& devices, int instance,
                                              const document::MultiDeviceTest& test, EngineTestScript& script,
                                              const std::function<void(const device::DeviceEntry&)>& starting = {});

}  // namespace vexal::app
