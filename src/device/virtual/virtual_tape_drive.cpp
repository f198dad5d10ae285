#include "device/virtual/virtual_tape_drive.h"

#include <array>

namespace vexal::device::virt {

std::span<const VirtualTapeDrive::Entry> VirtualTapeDrive::commandTable() {
    using D = VirtualTapeDrive;
    static const std::array<Entry, 29> table = {{
        {0x00, attr::NeedsMedium, &D::testUnitReady},
        {0x01, attr::NeedsMedium, &D::rewind},
        {0x03, attr::AlwaysAnswers, &D::requestSense},
        {0x05, 0, &D::readBlockLimits},
        {0x08, attr::NeedsMedium, &D::read6},
        {0x0A, attr::NeedsMedium, &D::write6},
        {0x10, attr::NeedsMedium, &D::writeFilemarks},
        {0x11, attr::NeedsMedium, &D::space},
        {0x12, attr::AlwaysAnswers, &D::inquiry},
        {0x13, attr::NeedsMedium, &D::verify},
        {0x15, 0, &D::modeSelect},
        {0x16, 0, &D::reserveRelease},
        {0x17, 0, &D::reserveRelease},
        {0x19, attr::NeedsMedium, &D::erase},
        {0x1A, 0, &D::modeSense},
        {0x1B, 0, &D::loadUnload},
        {0x1C, 0, &D::receiveDiagnosticResults},
        {0x1D, 0, &D::sendDiagnostic},
        {0x1E, 0, &D::preventAllow},
        {0x2B, attr::NeedsMedium, &D::locate},
        {0x34, attr::NeedsMedium, &D::readPosition},
        {0x3B, 0, &D::writeBuffer},
        {0x3C, 0, &D::readBuffer},
        {0x4C, 0, &D::logSelect},
        {0x4D, 0, &D::logSense},
        {0x55, 0, &D::modeSelect},
        {0x5A, 0, &D::modeSense},
        {0x8C, attr::NeedsMedium, &D::readAttribute},
        {0x8D, attr::NeedsMedium, &D::writeAttribute},
    }};
    return table;
}

VirtualTapeDrive::VirtualTapeDrive(DeviceProfile profile, std::shared_ptr<CdbTrace> trace, WarningLog& warnings)
    : TableDevice(withSavedFirmware(std::move(profile), warnings), std::move(trace)),
      warnings_(warnings),
      diagnostics_(this->profile().selfTestFails) {
    mode_.descriptorSense = this->profile().descriptorSense;
    setUpLog(warnings);
    setUpEeprom(warnings);
    if (!this->profile().cartridge) return;
    medium_.setCapacity(uint64_t{this->profile().capacityMib} << 20);
    cartridgeFile_ = cartridgePath(this->profile().serial);
    loadCartridgeFile(warnings);
    setUpMam(warnings);
}

VirtualTapeDrive::~VirtualTapeDrive() { persist(); }

void VirtualTapeDrive::loadCartridgeFile(WarningLog& warnings) {
    DriveState state;
    std::string error;
    switch (loadCartridge(cartridgeFile_, medium_, state, error)) {
    case CartridgeLoad::Loaded:
        position_ = static_cast<size_t>(state.position);
        loaded_ = state.loaded;
        mode_.blockLength = state.blockLength;
        mode_.compression = state.compression;
        break;
    case CartridgeLoad::Missing:
        loaded_ = true;  // a new blank cartridge
        break;
    case CartridgeLoad::Refused: {
        // Keep the damaged file for whoever wants to look at it; the drive starts blank.
        std::filesystem::path aside = cartridgeFile_;
        aside += ".damaged";
        std::error_code ec;
        std::filesystem::rename(cartridgeFile_, aside, ec);
        warnings.add(error + "; a blank cartridge is loaded" +
                     (ec ? std::string() : " and the file is kept as " + aside.string()) + ".");
        medium_.clear();
        loaded_ = true;
        break;
    }
    }
}

void VirtualTapeDrive::persist() {
    if (log_.changed()) {
        std::string error;
        if (saveDriveLog(logFile_, log_, error)) log_.markSaved();
        else if (!logSaveFailed_) warnings_.add(error);  // once: reads change the counters all the time
        logSaveFailed_ = log_.changed();
    }
    saveMam();
    if (cartridgeFile_.empty() || (!contentDirty_ && !stateDirty_)) return;
    DriveState state;
    state.position = position_;
    state.loaded = loaded_;
    state.blockLength = mode_.blockLength;
    state.compression = mode_.compression;
    std::string error;
    bool saved = false;
    if (!contentDirty_) saved = saveDriveState(cartridgeFile_, medium_, state, error);
    if (!saved) saved = saveCartridge(cartridgeFile_, medium_, state, error);
    if (!saved) {
        warnings_.add(error);
        return;
    }
    contentDirty_ = stateDirty_ = false;
}

SenseCounters VirtualTapeDrive::counters() const {
    SenseCounters c = VirtualDevice::counters();
    if (loaded_) {
        const uint64_t used = medium_.bytesBefore(position_);
        c.tapeRemaining = static_cast<uint32_t>(used < medium_.capacity() ? (medium_.capacity() - used) >> 10 : 0);
    }
    return c;
}

FamilyDetails VirtualTapeDrive::familyDetails() const {
    FamilyDetails d;
    d.partitions = 1;
    d.capacityMib = profile().capacityMib;
    d.maxBlockLength = TapeMedium::kMaxBlockLength;
    d.compression = true;
    d.loaded = loaded_;
    d.writeProtected = profile().writeProtect;
    return d;
}

void VirtualTapeDrive::preventAllow(Exchange& x) {
    const uint8_t prevent = x.byte(4) & 0x03;
    if (prevent > 1) return x.fail(invalidCdbField(4, 1));
    prevented_ = prevent == 1;
}

}  // namespace vexal::device::virt
