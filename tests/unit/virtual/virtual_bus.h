#pragma once
// Test helper: sends execute blocks straight to a virtual transport and reads the answer
// (status, sense fields, data), and builds transports from profile text.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "device/request_block.h"
#include "device/transport.h"
#include "device/virtual/virtual_transport.h"
#include "support/test_root.h"

namespace vexal::testing {

struct Answer {
    uint8_t status = 0;
    uint8_t hostStatus = 0;
    uint8_t targetStatus = 0;
    std::vector<uint8_t> sense;
    std::vector<uint8_t> data;  // the whole buffer handed to the device
    uint32_t residual = 0;

    bool good() const { return status == device::srb_status::Complete; }
    bool check() const { return targetStatus == device::target_status::CheckCondition; }
    uint8_t key() const { return sense.size() > 2 ? sense[2] & 0x0F : 0xFF; }
    uint8_t asc() const { return sense.size() > 13 ? sense[12] : 0xFF; }
    uint8_t ascq() const { return sense.size() > 13 ? sense[13] : 0xFF; }
    bool filemark() const { return sense.size() > 2 && (sense[2] & 0x80); }
    bool eom() const { return sense.size() > 2 && (sense[2] & 0x40); }
    bool ili() const { return sense.size() > 2 && (sense[2] & 0x20); }
    bool valid() const { return !sense.empty() && (sense[0] & 0x80); }
    int32_t information() const {
        if (sense.size() < 7) return 0;
        return static_cast<int32_t>((uint32_t{sense[3]} << 24) | (uint32_t{sense[4]} << 16) |
                                    (uint32_t{sense[5]} << 8) | sense[6]);
    }
    // "K/AA/QQ", or "GOOD".
    std::string kcq() const {
        if (good()) return "GOOD";
        char text[16];
        std::snprintf(text, sizeof text, "%X/%02X/%02X", key(), asc(), ascq());
        return text;
    }
    uint32_t transferred() const { return static_cast<uint32_t>(data.size()) - residual; }
};

class VirtualBus {
public:
    explicit VirtualBus(std::shared_ptr<device::Transport> transport) : transport_(std::move(transport)) {}

    device::Transport& transport() { return *transport_; }

    Answer in(uint8_t target, const std::vector<uint8_t>& cdb, uint32_t length) {
        return send(target, cdb, std::vector<uint8_t>(length, 0xEE), device::srb_flags::DataIn);
    }
    Answer out(uint8_t target, const std::vector<uint8_t>& cdb, const std::vector<uint8_t>& data) {
        return send(target, cdb, data, device::srb_flags::DataOut);
    }
    Answer none(uint8_t target, const std::vector<uint8_t>& cdb) { return send(target, cdb, {}, 0); }

    // The tape drive at target 0.
    Answer tur() { return none(0, {0x00, 0, 0, 0, 0, 0}); }
    Answer rewind() { return none(0, {0x01, 0, 0, 0, 0, 0}); }
    Answer writeVariable(const std::vector<uint8_t>& block) {
        const auto n = static_cast<uint32_t>(block.size());
        return out(0, {0x0A, 0x00, uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n), 0}, block);
    }
    Answer writeFixed(uint32_t count, const std::vector<uint8_t>& data) {
        return out(0, {0x0A, 0x01, uint8_t(count >> 16), uint8_t(count >> 8), uint8_t(count), 0}, data);
    }
    Answer readVariable(uint32_t length, bool sili = false, uint32_t buffer = 0) {
        return in(0, {0x08, uint8_t(sili ? 2 : 0), uint8_t(length >> 16), uint8_t(length >> 8), uint8_t(length), 0},
                  buffer ? buffer : length);
    }
    Answer readFixed(uint32_t count, uint32_t bufferLength) {
        return in(0, {0x08, 0x01, uint8_t(count >> 16), uint8_t(count >> 8), uint8_t(count), 0}, bufferLength);
    }
    Answer writeFilemarks(uint32_t count) {
        return none(0, {0x10, 0, uint8_t(count >> 16), uint8_t(count >> 8), uint8_t(count), 0});
    }
    Answer space(uint8_t code, int32_t count) {
        const auto c = static_cast<uint32_t>(count) & 0xFFFFFF;
        return none(0, {0x11, code, uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 0});
    }
    Answer locate(uint32_t object) {
        return none(0, {0x2B, 0, 0, uint8_t(object >> 24), uint8_t(object >> 16), uint8_t(object >> 8),
                        uint8_t(object), 0, 0, 0});
    }
    // The first block location of the short READ POSITION form; -1 when it failed.
    int64_t position() {
        const Answer a = in(0, {0x34, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 20);
        if (!a.good()) return -1;
        return (int64_t{a.data[4]} << 24) | (a.data[5] << 16) | (a.data[6] << 8) | a.data[7];
    }
    // MODE SELECT(6) of a header and block descriptor with this block length.
    Answer setBlockLength(uint32_t length) {
        return out(0, {0x15, 0x10, 0, 0, 12, 0},
                   {0, 0, 0x10, 8, 0, 0, 0, 0, 0, uint8_t(length >> 16), uint8_t(length >> 8), uint8_t(length)});
    }
    Answer requestSense() { return in(0, {0x03, 0, 0, 0, 29, 0}, 29); }

    Answer send(uint8_t target, const std::vector<uint8_t>& cdb, std::vector<uint8_t> data, uint8_t flags) {
        device::RequestBlock srb;
        srb.command = device::SrbCommand::ExecuteScsi;
        srb.target = target;
        srb.flags = flags;
        srb.cdbLength = static_cast<uint8_t>(cdb.size());
        std::copy(cdb.begin(), cdb.end(), srb.cdb.begin());
        srb.senseLength = static_cast<uint8_t>(device::kMaxSense);
        srb.buffer = data.empty() ? nullptr : data.data();
        srb.bufferLength = static_cast<uint32_t>(data.size());
        transport_->sendSrb(srb);
        Answer a;
        a.status = srb.status.load();
        a.hostStatus = srb.hostAdapterStatus;
        a.targetStatus = srb.targetStatus;
        a.sense.assign(srb.senseArea.begin(), srb.senseArea.begin() + srb.senseLength);
        a.residual = srb.residual;
        a.data = std::move(data);
        return a;
    }

private:
    std::shared_ptr<device::Transport> transport_;
};

// Writes `text` as a profile file below the temporary root.
inline std::string writeProfile(const TempRoot& root, const std::string& text, const std::string& name = "profile.ini") {
    const std::filesystem::path path = root.path() / name;
    std::ofstream(path) << text;
    return path.string();
}

inline std::shared_ptr<device::Transport> transportFromProfile(const TempRoot& root, const std::string& text,
                                                              std::string* errorOut = nullptr) {
    std::string error;
    auto t = device::makeVirtualTransport(writeProfile(root, text), error);
    if (errorOut) *errorOut = error;
    return t;
}

// Bytes 0, 1, 2, ... wrapping, offset by `seed` so that blocks differ.
inline std::vector<uint8_t> pattern(size_t length, uint8_t seed = 0) {
    std::vector<uint8_t> v(length);
    for (size_t i = 0; i < length; ++i) v[i] = static_cast<uint8_t>(i * 7 + seed + (i >> 8));
    return v;
}

}  // namespace vexal::testing
