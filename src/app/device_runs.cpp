#include "app/device_runs.h"

namespace vexal::app {

std::vector<DeviceOutcome> RunScriptOnDevices(Session& session, device::BusScanner& scanner,
                                              const std::vector<int>& devices, int instance,
                                              const document::MultiDeviceTest& test, EngineTestScript& script,
                                              const std::function<void(const device::DeviceEntry&)>& starting) {
    std::vector<DeviceOutcome> outcomes;
    document::CFalderDoc& doc = session.doc();
    document::DeviceRunObserver observer;
    observer.starting = [&](const device::DeviceEntry& entry) {
        doc.device().familyCode = scanner.DriveFamily(entry.index);
        script.failed = false;
        if (starting) starting(entry);
    };
    observer.finished = [&](const device::DeviceEntry& entry) {
        outcomes.push_back({entry.index, script.failed.load(), doc.abortRequested.load() != 0});
    };
    document::RunOnDevices(doc, scanner, devices, instance, test, script, session.op(), observer);
    return outcomes;
}

}  // namespace vexal::app
