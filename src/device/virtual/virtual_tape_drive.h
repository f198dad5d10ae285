#pragma once
// The virtual tape drive: stream commands on a TapeMedium, mode parameters, and the
// cartridge kept in a file below the install path.
#include <filesystem>
#include <span>

#include "device/virtual/cartridge_file.h"
#include "device/virtual/mode_pages.h"
#include "device/virtual/tape_medium.h"
#include "device/virtual/virtual_device.h"

namespace vexal::device::virt {

class VirtualTapeDrive : public TableDevice<VirtualTapeDrive> {
public:
    VirtualTapeDrive(DeviceProfile profile, std::shared_ptr<CdbTrace> trace, WarningLog& warnings);
    // Saves the cartridge when it changed.
    ~VirtualTapeDrive() override;

    static std::span<const Entry> commandTable();

protected:
    bool mediumReady() const override { return loaded_; }
    SenseCounters counters() const override;
    FamilyDetails familyDetails() const override;
    void onReset() override { prevented_ = false; }

private:
    // tape_data_commands.cpp
    void read6(Exchange& x);
    void write6(Exchange& x);
    void writeFilemarks(Exchange& x);
    void erase(Exchange& x);
    void readVariable(Exchange& x, uint32_t length, bool sili);
    void readFixed(Exchange& x, uint32_t count);
    bool writeProtected() const { return profile().writeProtect; }
    bool mediumErrorAt(size_t position) const;
    // tape_position_commands.cpp
    void rewind(Exchange& x);
    void space(Exchange& x);
    void spaceBlocks(Exchange& x, int32_t count);
    void spaceFilemarks(Exchange& x, int32_t count);
    void locate(Exchange& x);
    void readPosition(Exchange& x);
    void loadUnload(Exchange& x);
    // tape_mode_commands.cpp
    void modeSense(Exchange& x);
    void modeSelect(Exchange& x);
    void readBlockLimits(Exchange& x);
    // virtual_tape_drive.cpp
    void preventAllow(Exchange& x);
    void reserveRelease(Exchange&) {}  // other initiators are not modelled

    // Writes the cartridge file when something changed since it was last written.
    void persist();
    void loadCartridgeFile(WarningLog& warnings);

    WarningLog& warnings_;
    std::filesystem::path cartridgeFile_;
    TapeMedium medium_;
    ModeParameters mode_;
    size_t position_ = 0;
    bool loaded_ = false;
    bool prevented_ = false;
    bool contentDirty_ = false;  // objects changed since the file was written
    bool stateDirty_ = false;    // position, load state or mode changed
};

}  // namespace vexal::device::virt
