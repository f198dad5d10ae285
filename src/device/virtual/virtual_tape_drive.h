#pragma once
// The virtual tape drive: stream commands on a TapeMedium, mode parameters, log pages,
// buffers and diagnostics, and the cartridge kept in a file below the install path.
#include <bitset>
#include <filesystem>
#include <span>
#include <vector>

#include "device/virtual/cartridge_file.h"
#include "device/virtual/cartridge_memory.h"
#include "device/virtual/diagnostics.h"
#include "device/virtual/drive_buffers.h"
#include "device/virtual/drive_eeprom.h"
#include "device/virtual/fa_dump_buffers.h"
#include "device/virtual/firmware_download.h"
#include "device/virtual/drive_log.h"
#include "device/virtual/log_parameter.h"
#include "device/virtual/mode_pages.h"
#include "device/virtual/tape_medium.h"
#include "device/virtual/tape_structure_buffers.h"
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
    // tape_firmware_commands.cpp: the restart after a saved microcode download.
    bool offBus() const override { return firmware_.offBus(); }
    bool descriptorSense() const override { return mode_.descriptorSense; }
    bool becomingReady() const override;
    // tape_structure_commands.cpp: every command is recorded in the trace memory.
    void run(uint8_t opcode, Exchange& x) override;

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
    // tape_verify_command.cpp
    void verify(Exchange& x);
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
    // tape_log_commands.cpp
    void logSense(Exchange& x);
    void logSelect(Exchange& x);
    // tape_buffer_commands.cpp
    void readBuffer(Exchange& x);
    void writeBuffer(Exchange& x);
    // tape_structure_commands.cpp: READ BUFFER of the tape structures and trace memory.
    void readStructureBuffer(Exchange& x, uint8_t mode, uint32_t allocation);
    // tape_firmware_commands.cpp: WRITE BUFFER modes 04h and 05h.
    void downloadMicrocode(Exchange& x);
    // tape_diagnostic_commands.cpp
    void sendDiagnostic(Exchange& x);
    void receiveDiagnosticResults(Exchange& x);
    // attribute_commands.cpp: the cartridge memory.
    void readAttribute(Exchange& x);
    void writeAttribute(Exchange& x);
    MamLiveValues mamLive() const;
    void setUpMam(WarningLog& warnings);
    void saveMam();
    // A LOAD brought the cartridge in: counted in its memory.
    void noteCartridgeLoaded();
    // eeprom_mode_commands.cpp: mode page 3Eh.
    static bool selectsEepromPage(bool tenByte, const uint8_t* data, size_t length);
    void eepromModeSense(Exchange& x);
    void eepromModeSelect(Exchange& x, bool tenByte, uint32_t length);
    void setUpEeprom(WarningLog& warnings);
    // virtual_tape_drive.cpp
    void preventAllow(Exchange& x);
    void reserveRelease(Exchange&) {}  // other initiators are not modelled

    // drive_log_events.cpp: what the I/O commands count.
    void noteBlockWritten(const uint8_t* data, uint32_t length);
    // A block read from tape; `toHost` of its bytes went to the initiator (0 for VERIFY).
    void noteBlockRead(size_t at, uint32_t toHost);
    // An unrecovered error at the object `at`: counted, kept for the wellness page, and
    // raised as Tape Alert flags 3 (hard error) and 4 (media) for a medium error.
    void noteError(const Sense& sense, size_t at, uint8_t operation);
    void noteWriteProtected() { alerts_.set(9 - 1); }
    void setUpLog(WarningLog& warnings);

    // Writes the cartridge file when something changed since it was last written, and the
    // drive log file when the counters changed.
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

    std::filesystem::path logFile_;
    DriveLog log_;
    bool logSaveFailed_ = false;
    std::bitset<64> alerts_;            // Tape Alert flag n is bit n-1
    std::vector<LogParameter> events_;  // log page 07h
    DriveBuffers buffers_;
    FaDumpBuffers faDump_{profile()};  // read only
    TapeStructureBuffers structures_;
    Diagnostics diagnostics_;
    CartridgeMemory mam_;
    std::filesystem::path mamFile_;  // empty: no cartridge
    DriveEeprom eeprom_;
    std::filesystem::path eepromFile_;
    FirmwareDownload firmware_{firmwareSetup(profile())};
};

}  // namespace vexal::device::virt
