#pragma once
// The failure-analysis dump buffers of the virtual tape drive, read with READ BUFFER
// (mode 02h data, mode 03h descriptor). Two layouts, as drive generations differ:
//   large: 80h dump directory, 81h trace control block (its capacity is the length of the
//          directory to read), 82h FA dump (70000 bytes), 83h LRAM image, 84h test text,
//          85h test registers, 86h servo trace, 87h error history;
//   small: A0h dump directory, A2h FA dump; buffer 81h does not exist.
// The content is made once from the drive's identity, so that two reads give the same bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "device/virtual/sense_builder.h"
#include "device/virtual/virtual_profile.h"

namespace vexal::device::virt {

class FaDumpBuffers {
public:
    // Sizes of the buffers; the FA dump of the large layout needs three 32 KiB chunks.
    static constexpr uint32_t kDirectorySize = 4096;
    static constexpr uint32_t kLargeDumpSize = 70000;
    static constexpr uint32_t kSmallDirectorySize = 1024;
    static constexpr uint32_t kSmallDumpSize = 36000;

    explicit FaDumpBuffers(const DeviceProfile& profile);

    // True when `id` names an FA dump buffer of this drive's layout.
    bool holds(uint8_t id) const { return find(id) != nullptr; }
    // READ BUFFER of one of these buffers (holds(id) is true): the data READ BUFFER returns
    // before the allocation length cuts it, or false with the sense.
    bool read(uint8_t mode, uint8_t id, uint32_t offset, uint32_t allocation, std::vector<uint8_t>& out,
              Sense& error) const;

private:
    struct Buffer {
        uint8_t id;
        std::string name;  // as the directory lists it
        std::vector<uint8_t> data;
    };
    const Buffer* find(uint8_t id) const;
    void add(uint8_t id, std::string name, std::vector<uint8_t> data);

    std::vector<Buffer> buffers_;
};

}  // namespace vexal::device::virt
