#include "document/multi_device_run.h"

#include "device/device_selection.h"

namespace vexal::document {

using namespace command;

int RunOnDevices(CFalderDoc& doc, device::BusScanner& scanner, const std::vector<int>& devices, int instance,
                 const MultiDeviceTest& test, TestScript& script, ui::Operator& op) {
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
            op.message(kContinueRemainingQuestion, "Vexal", ui::Icon::Question, ui::Buttons::YesNo,
                       ui::Button::Yes) != ui::Button::Yes)
            break;
        doc.abortRequested = 0;
    }
    doc.suppressDialogs = false;
    doc.idle = 1;
    doc.testRunning = 0;
    return tested;
}

}  // namespace vexal::document
