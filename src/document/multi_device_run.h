#pragma once
// One test on several drives in turn.
#include <string>
#include <vector>

#include "operator/operator.h"
#include "document/falder_doc.h"
#include "device/bus_scan.h"

namespace vexal::document {

inline constexpr const char* kContinueRemainingQuestion =
    "Do you want to continue testing the remaining drives selected?";

struct MultiDeviceTest {
    std::string testName;
    std::string file;
    int iterations = 1;
    bool suppressDialogs = true;
    // The device pane's variant asks before every next drive; the list's only after an abort.
    bool fromPane = false;
};

// Runs the test on each device (selecting and storing each as the active device); returns
// how many drives were tested.
int RunOnDevices(CFalderDoc& doc, device::BusScanner& scanner, const std::vector<int>& devices, int instance,
                 const MultiDeviceTest& test, TestScript& script, ui::Operator& op);

}  // namespace vexal::document
