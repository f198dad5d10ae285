#pragma once
// The virtual devices of a profile (or the default ones) on the device library, and the
// command device bound to the tape drive at index 0, for diag tests that want a whole drive.
#include <fstream>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "command/scsi_device.h"
#include "device/device_library.h"
#include "device/virtual/virtual_transport.h"
#include "support/test_root.h"
#include "support/recording_output.h"

namespace vexal::testing {

class VirtualDriveSession {
public:
    // `profile` empty: the default profile.
    explicit VirtualDriveSession(const TempRoot& root, const std::string& profile = "") : device(out) {
        std::string path;
        if (!profile.empty()) {
            path = (root.path() / "profile.ini").string();
            std::ofstream(path) << profile;
        }
        std::string error;
        auto transport = device::makeVirtualTransport(path, error);
        EXPECT_TRUE(transport) << error;
        device::DevSetTransport(transport);
        EXPECT_EQ(device::DevEnumerate(), 0);
        EXPECT_TRUE(device.Select(0));
    }
    ~VirtualDriveSession() {
        device::DevFreeList();
        device::DevSetTransport(nullptr);  // the drive saves its files
    }
    VirtualDriveSession(const VirtualDriveSession&) = delete;
    VirtualDriveSession& operator=(const VirtualDriveSession&) = delete;

    RecordingOutput out{true};
    command::CScsiDevice device;
};

}  // namespace vexal::testing
