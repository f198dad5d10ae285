#include "command/multi_device_run.h"

#include "device/device_selection.h"

namespace vexal::command {

int RunOnDevices(CFalderDoc& doc, device::BusScanner& scanner, const std::vector<int>& devices, int instance,
                 const MultiDeviceTest& test, TestScript& script, app::Operator& op) {
    int tested = 0;
    for (size_t i = 0; i < devices.size(); ++i) {
        device::DeviceEntry entry;
        if (!scanner.BindDevice(devices[i], entry) || !doc.device().Select(devices[i])) continue;
        device::StoreSelection(entry, instance);
        doc.suppressDialogs = test.suppressDialogs;
        doc.RunTestNow(test.testName, test.file, test.iterations, script);
        ++tested;
        const bool more = i + 1 < devices.size();
        const bool ask = test.fromPane || doc.abortRequested.load();
        if (more && ask &&
            op.message(kContinueRemainingQuestion, "Vexal", app::Icon::Question, app::Buttons::YesNo,
                       app::Button::Yes) != app::Button::Yes)
            break;
        doc.abortRequested = 0;
    }
    doc.suppressDialogs = false;
    doc.idle = 1;
    doc.testRunning = 0;
    return tested;
}

}  // namespace vexal::command
