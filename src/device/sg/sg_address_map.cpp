#include "device/sg/sg_address_map.h"

#include <bitset>
#include <map>
#include <tuple>

#include <fmt/format.h>

namespace vexal::device::sg {

bool keepsItsTarget(const Hctl& hctl) { return hctl.channel == 0 && hctl.target < kTargetsPerHost; }

std::vector<std::optional<DeviceAddress>> assignAddresses(std::span<const GenericDevice> devices,
                                                          std::vector<std::string>& problems) {
    std::vector<std::optional<DeviceAddress>> placed(devices.size());
    std::map<uint32_t, std::bitset<kTargetsPerHost>> used;
    std::map<std::tuple<uint32_t, uint32_t, uint32_t>, uint8_t> moved;

    const auto fits = [&](const GenericDevice& device) {
        const Hctl& h = device.hctl;
        if (h.host > kMaxHostNumber) {
            problems.push_back(fmt::format("{} ({}) skipped: host {} is above the highest host adapter number {}.",
                                           device.name, h.text(), h.host, kMaxHostNumber));
            return false;
        }
        if (h.lun > kMaxLun) {
            problems.push_back(fmt::format("{} ({}) skipped: LUN {} does not fit 0..{}.", device.name, h.text(),
                                           h.lun, kMaxLun));
            return false;
        }
        return true;
    };

    // Devices that keep their target claim it first, so a moved device never takes it.
    for (const GenericDevice& device : devices)
        if (keepsItsTarget(device.hctl) && device.hctl.host <= kMaxHostNumber && device.hctl.lun <= kMaxLun)
            used[device.hctl.host].set(device.hctl.target);

    for (size_t i = 0; i < devices.size(); ++i) {
        const GenericDevice& device = devices[i];
        if (!fits(device)) continue;
        const Hctl& h = device.hctl;
        uint8_t target = static_cast<uint8_t>(h.target);
        if (!keepsItsTarget(h)) {
            const auto key = std::make_tuple(h.host, h.channel, h.target);
            auto it = moved.find(key);
            if (it == moved.end()) {
                auto& slots = used[h.host];
                uint32_t slot = 0;
                while (slot < kTargetsPerHost && slots.test(slot)) ++slot;
                if (slot == kTargetsPerHost) {
                    problems.push_back(fmt::format("{} ({}) skipped: host {} has no free target ID 0..{} left.",
                                                   device.name, h.text(), h.host, kTargetsPerHost - 1));
                    continue;
                }
                slots.set(slot);
                it = moved.emplace(key, static_cast<uint8_t>(slot)).first;
            }
            target = it->second;
        }
        placed[i] = DeviceAddress{static_cast<uint8_t>(h.host), target, static_cast<uint8_t>(h.lun)};
    }
    return placed;
}

}  // namespace vexal::device::sg
