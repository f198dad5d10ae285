#pragma once
// What every virtual device shares: the way an execute block is carried out (injected
// host faults, unit attention, the not-ready period, missing medium, the command table,
// sense delivery and the CDB trace), INQUIRY, REQUEST SENSE and TEST UNIT READY.
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/request_block.h"
#include "device/virtual/cdb_trace.h"
#include "device/virtual/exchange.h"
#include "device/virtual/inquiry_data.h"
#include "device/virtual/virtual_profile.h"

namespace vexal::device::virt {

// Problems the transport worked around (a damaged cartridge file, a save that failed),
// kept for whoever made the transport.
class WarningLog {
public:
    void add(std::string text);
    std::vector<std::string> all() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> items_;
};

namespace attr {
inline constexpr uint8_t NeedsMedium = 1;    // NOT READY, MEDIUM NOT PRESENT without a loaded cartridge
inline constexpr uint8_t AlwaysAnswers = 2;  // not held up by a unit attention or the not-ready period
}  // namespace attr

template <class Device>
struct CommandEntry {
    uint8_t opcode;
    uint8_t attributes;
    void (Device::*handler)(Exchange&);
};

class VirtualDevice {
public:
    static constexpr uint32_t kDefaultTimeoutSeconds = 108000;

    explicit VirtualDevice(DeviceProfile profile, std::shared_ptr<CdbTrace> trace);
    virtual ~VirtualDevice() = default;
    VirtualDevice(const VirtualDevice&) = delete;
    VirtualDevice& operator=(const VirtualDevice&) = delete;

    const DeviceProfile& profile() const { return profile_; }
    uint8_t peripheralType() const { return virt::peripheralType(profile_.kind); }

    // Carries out an execute block completely (status, target status, sense, residual).
    void execute(RequestBlock& srb);
    // Device reset: pending unit attention and sense are dropped, the medium stays where it is.
    void reset();
    uint32_t timeoutSeconds() const { return timeoutSeconds_.load(); }
    void setTimeoutSeconds(uint32_t seconds) { timeoutSeconds_.store(seconds); }

protected:
    virtual bool lookup(uint8_t opcode, uint8_t& attributes) const = 0;
    virtual void run(uint8_t opcode, Exchange& x) = 0;
    virtual bool mediumReady() const { return true; }
    virtual SenseCounters counters() const;
    virtual FamilyDetails familyDetails() const { return {}; }
    virtual void onReset() {}
    // Restarting after a microcode download: the device does not answer selection.
    virtual bool offBus() const { return false; }
    // D_SENSE of the control mode page: CHECK CONDITION sense in descriptor format.
    virtual bool descriptorSense() const { return profile_.descriptorSense; }

    void inquiry(Exchange& x);
    void requestSense(Exchange& x);
    void testUnitReady(Exchange&) {}

    // Reported once, to the next command that is not INQUIRY (REQUEST SENSE returns it).
    void raiseUnitAttention(uint8_t asc, uint8_t ascq);
    virtual bool becomingReady() const;
    // The revision INQUIRY reports from now on (a new microcode runs).
    void setRevision(const std::string& revision) { profile_.revision = revision; }
    uint32_t powerOnHours() const;

private:
    void dispatch(Exchange& x);
    std::vector<uint8_t> senseBytes(const Sense& sense, bool descriptor) const;

    DeviceProfile profile_;  // only the revision changes, under the command lock
    const std::shared_ptr<CdbTrace> trace_;
    const std::chrono::steady_clock::time_point startedAt_;
    std::atomic<uint32_t> timeoutSeconds_{kDefaultTimeoutSeconds};
    std::mutex mutex_;  // one command at a time; a reset waits for it
    uint64_t commandCount_ = 0;
    std::optional<Sense> pendingAttention_;
    std::optional<Sense> lastSense_;
};

// The opcode table of a device type: `Derived::commandTable()` lists its commands.
template <class Derived>
class TableDevice : public VirtualDevice {
public:
    using VirtualDevice::VirtualDevice;
    using Entry = CommandEntry<Derived>;

protected:
    bool lookup(uint8_t opcode, uint8_t& attributes) const override {
        const Entry* e = find(opcode);
        if (e) attributes = e->attributes;
        return e != nullptr;
    }
    void run(uint8_t opcode, Exchange& x) override {
        if (const Entry* e = find(opcode)) (static_cast<Derived*>(this)->*(e->handler))(x);
    }

private:
    static const Entry* find(uint8_t opcode) {
        for (const Entry& e : Derived::commandTable())
            if (e.opcode == opcode) return &e;
        return nullptr;
    }
};

}  // namespace vexal::device::virt
