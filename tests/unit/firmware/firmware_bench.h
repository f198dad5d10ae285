#pragma once
// Test bench of the firmware procedures: a virtual bus from a profile (the tape drive at
// target 0 tracing its CDBs), scanned as the application scans it, the active device's
// object, an operator that records progress positions, and the pauses the procedures ask
// for instead of sleeping.
#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "command/scsi_device.h"
#include "device/bus_scan.h"
#include "device/device_library.h"
#include "device/virtual/firmware_download.h"
#include "firmware/firmware_update.h"
#include "firmware/fup_tape.h"
#include "support/fake_operator.h"
#include "support/test_root.h"
#include "support/recording_output.h"

namespace vexal::testing {

class ProgressOperator : public FakeOperator {
public:
    std::vector<int> positions;
    std::vector<std::pair<int, int>> ranges;

    void progressBegin(std::string_view text, int minimum, int maximum) override {
        FakeOperator::progressBegin(text, minimum, maximum);
        ranges.emplace_back(minimum, maximum);
    }
    void progressSetRange(int minimum, int maximum) override { ranges.emplace_back(minimum, maximum); }
    void progressSetPosition(int position) override { positions.push_back(position); }

    // "kind: text" of every call, for comparing sequences.
    std::vector<std::string> sequence() const {
        std::vector<std::string> out;
        for (const auto& c : calls) out.push_back(c.kind + ": " + c.text);
        return out;
    }
};

// A drive that restarts at once after a download, without a cartridge.
inline constexpr const char* kEmptyQuickDrive =
    "cartridge = no\nfirmware_offline_seconds = 0\nfirmware_not_ready_seconds = 0\n";

class FirmwareBench {
public:
    // `section`: the keys of the tape drive at target 0; `others` more sections.
    explicit FirmwareBench(const std::string& section, const std::string& others = "", bool engineering = true,
                           int index = 0)
        : output(engineering), device(output), scanner(op) {
        profile = (root.path() / "bus.ini").string();
        std::ofstream(profile) << "[target 0]\ntrace = trace.txt\n" << section << "\n" << others;
        config.kind = device::TransportKind::Virtual;
        config.virtualProfile = profile;
        scanner.ScanBuses(config);
        device.Select(index);
        device.familyCode = scanner.DriveFamily(index);
        mark();
    }
    ~FirmwareBench() {
        device::DevFreeList();
        device::DevSetTransport(nullptr);
    }
    FirmwareBench(const FirmwareBench&) = delete;
    FirmwareBench& operator=(const FirmwareBench&) = delete;

    // Forgets what happened so far: calls, lines, trace lines.
    void mark() {
        op.calls.clear();
        op.positions.clear();
        op.ranges.clear();
        output.view.clear();
        output.log.clear();
        traceMark = traceLines().size();
        sleeps.clear();
    }

    // Trace lines since the last mark; only those whose CDB starts with `opcode` when given.
    std::vector<std::string> trace(const std::string& opcode = "") const {
        std::vector<std::string> all = traceLines(), out;
        for (size_t i = traceMark; i < all.size(); ++i)
            if (opcode.empty() || all[i].rfind(opcode + " ", 0) == 0) out.push_back(all[i]);
        return out;
    }

    // A file below the root with these bytes.
    std::string file(const std::string& name, const std::vector<uint8_t>& bytes) const {
        const auto path = root.path() / name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }
    std::string image(const std::string& revision, size_t length) const {
        return file("fw-" + revision + ".img", device::virt::makeFirmwareImage(revision, length));
    }

    firmware::UpdateContext context(bool wizard = false) {
        firmware::UpdateContext c{device, op, wizard};
        c.rescan.scanner = &scanner;
        c.rescan.config = config;
        c.sleep = [this](std::chrono::milliseconds d) { sleeps.push_back(static_cast<int>(d.count())); };
        return c;
    }
    firmware::FupTapeContext tapeContext(bool wizard = false) { return {device, op, wizard}; }

    // The revision the drive reports now.
    std::string inquiryRevision() {
        uint8_t data[56] = {};
        if (device::DevInquiry(device.handle, data, sizeof data) != 0) return "failed";
        return std::string(reinterpret_cast<const char*>(data) + 32, 4);
    }

    TempRoot root;
    ProgressOperator op;
    RecordingOutput output;
    command::CScsiDevice device;
    device::BusScanner scanner;
    device::ScanConfig config;
    std::string profile;
    std::vector<int> sleeps;
    size_t traceMark = 0;

private:
    std::vector<std::string> traceLines() const {
        std::ifstream in(root.path() / "trace.txt");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
};

}  // namespace vexal::testing
