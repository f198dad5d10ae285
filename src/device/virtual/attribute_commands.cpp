// READ ATTRIBUTE and WRITE ATTRIBUTE of the virtual tape drive: the cartridge memory.
#include "device/virtual/virtual_tape_drive.h"

namespace vexal::device::virt {
namespace {

namespace action {
inline constexpr uint8_t AttributeValues = 0x00;
inline constexpr uint8_t AttributeList = 0x01;
inline constexpr uint8_t VolumeList = 0x02;
inline constexpr uint8_t PartitionList = 0x03;
inline constexpr uint8_t SupportedAttributes = 0x05;
}  // namespace action

void appendId(std::vector<uint8_t>& out, uint16_t id) {
    out.push_back(static_cast<uint8_t>(id >> 8));
    out.push_back(static_cast<uint8_t>(id));
}

}  // namespace

MamLiveValues VirtualTapeDrive::mamLive() const {
    MamLiveValues live;
    live.capacityBytes = medium_.capacity();
    const uint64_t used = medium_.bytesRecorded();
    live.remainingBytes = used < medium_.capacity() ? medium_.capacity() - used : 0;
    live.tapeAlerts = alerts_;
    return live;
}

void VirtualTapeDrive::readAttribute(Exchange& x) {
    const uint8_t serviceAction = x.byte(1) & 0x1F;
    if (x.byte(5) != 0) return x.fail(invalidCdbField(5));  // one volume
    if (x.byte(7) != 0) return x.fail(invalidCdbField(7));  // one partition
    const uint16_t first = static_cast<uint16_t>(x.be16(8));
    const MamLiveValues live = mamLive();
    std::vector<uint8_t> out(4, 0);
    switch (serviceAction) {
    case action::AttributeValues:
        // From the first attribute asked for upwards, those that exist.
        for (const MamDefinition& def : mamDefinitions()) {
            if (def.id < first) continue;
            const auto value = mam_.value(def.id, live);
            if (!value) continue;
            appendId(out, def.id);
            out.push_back(static_cast<uint8_t>((def.readOnly ? 0x80 : 0) | static_cast<uint8_t>(def.format)));
            appendId(out, static_cast<uint16_t>(value->size()));
            out.insert(out.end(), value->begin(), value->end());
        }
        break;
    case action::AttributeList:
        for (const MamDefinition& def : mamDefinitions())
            if (def.id >= first && mam_.value(def.id, live)) appendId(out, def.id);
        break;
    case action::SupportedAttributes:
        for (const MamDefinition& def : mamDefinitions())
            if (def.id >= first) appendId(out, def.id);
        break;
    case action::VolumeList:
    case action::PartitionList:
        // Available data 2: the first number 0, one of them.
        out = {0x00, 0x02, 0x00, 0x01};
        return x.sendData(out.data(), out.size(), x.be32(10));
    default: return x.fail(invalidCdbField(1, 4));
    }
    putBe32(out.data(), static_cast<uint32_t>(out.size() - 4));
    x.sendData(out.data(), out.size(), x.be32(10));
}

void VirtualTapeDrive::writeAttribute(Exchange& x) {
    if (x.byte(5) != 0) return x.fail(invalidCdbField(5));
    if (x.byte(7) != 0) return x.fail(invalidCdbField(7));
    const uint32_t length = x.be32(10);
    if (length > 0 && (!x.buffer || x.bufferLength < length))
        return x.fail(makeSense(sense_key::AbortedCommand, 0x4B, 0x00));
    if (writeProtected()) return x.fail(makeSense(sense_key::DataProtect, 0x27, 0x00));
    Sense error;
    if (!mam_.write({x.buffer, length}, error)) return x.fail(error);
    x.transferred = length;
    saveMam();
}

void VirtualTapeDrive::setUpMam(WarningLog& warnings) {
    mamFile_ = cartridgeMemoryPath(profile().serial);
    mam_.reset(profile());
    std::string error;
    if (!mam_.load(mamFile_, error)) {
        warnings.add(error);
        mam_.reset(profile());
    }
    mam_.applyProfile(profile());
}

void VirtualTapeDrive::saveMam() {
    if (mamFile_.empty() || !mam_.changed()) return;
    std::string error;
    if (mam_.save(mamFile_, error)) mam_.markSaved();
    else warnings_.add(error);
}

void VirtualTapeDrive::noteCartridgeLoaded() {
    mam_.noteLoad(profile().serial);
    // Tape Alert flag 7 (media life) once the loads reach the threshold, in hundreds.
    const long threshold = eeprom_.loadCountThreshold();
    if (threshold > 0 && mam_.loadCount() >= static_cast<uint64_t>(threshold) * 100) alerts_.set(7 - 1);
    saveMam();
}

}  // namespace vexal::device::virt
