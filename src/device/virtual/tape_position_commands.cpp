// REWIND, SPACE(6), LOCATE(10), READ POSITION and LOAD/UNLOAD of the virtual tape drive.
// Positions are logical object numbers: blocks and filemarks counted from the beginning
// of the partition.
#include "device/virtual/virtual_tape_drive.h"

namespace vexal::device::virt {
namespace {

// The 24-bit two's complement count of SPACE(6).
int32_t signed24(uint32_t v) { return (v & 0x800000) ? static_cast<int32_t>(v) - 0x1000000 : static_cast<int32_t>(v); }

}  // namespace

void VirtualTapeDrive::rewind(Exchange&) {
    position_ = 0;
    log_.add(LogValue::Rewinds);
    stateDirty_ = true;
    persist();
}

void VirtualTapeDrive::space(Exchange& x) {
    const uint8_t code = x.byte(1) & 0x0F;
    const int32_t count = signed24(x.be24(2));
    if (code == 0 || code == 1 || code == 3) log_.add(LogValue::Spaces);
    switch (code) {
    case 0: spaceBlocks(x, count); break;
    case 1: spaceFilemarks(x, count); break;
    case 3: position_ = medium_.objectCount(); break;
    default: return x.fail(invalidCdbField(1, 3));  // sequential filemarks and setmarks are not offered
    }
    stateDirty_ = true;
}

// Residues are the requested count minus the count spaced, negative when spacing back.
void VirtualTapeDrive::spaceBlocks(Exchange& x, int32_t count) {
    if (count >= 0) {
        for (int32_t done = 0; done < count; ++done) {
            if (position_ >= medium_.objectCount()) return x.fail(endOfData(count - done));
            if (medium_.isFilemark(position_++)) {
                log_.add(LogValue::FilemarksRead);
                return x.fail(filemarkDetected(count - done));
            }
        }
        return;
    }
    for (int32_t done = 0; done > count; --done) {
        if (position_ == 0) return x.fail(beginningOfPartition(count - done));
        // A filemark stops the head on its beginning-of-partition side.
        if (medium_.isFilemark(--position_)) {
            log_.add(LogValue::FilemarksRead);
            return x.fail(filemarkDetected(count - done));
        }
    }
}

void VirtualTapeDrive::spaceFilemarks(Exchange& x, int32_t count) {
    if (count >= 0) {
        for (int32_t done = 0; done < count;) {
            if (position_ >= medium_.objectCount()) return x.fail(endOfData(count - done));
            if (medium_.isFilemark(position_++)) {
                log_.add(LogValue::FilemarksRead);
                ++done;
            }
        }
        return;
    }
    for (int32_t done = 0; done > count;) {
        if (position_ == 0) return x.fail(beginningOfPartition(count - done));
        if (medium_.isFilemark(--position_)) {
            log_.add(LogValue::FilemarksRead);
            --done;
        }
    }
}

void VirtualTapeDrive::locate(Exchange& x) {
    const bool changePartition = x.bit(1, 1);
    if (changePartition && x.byte(8) != 0) return x.fail(invalidCdbField(8));
    const uint32_t target = x.be32(3);
    stateDirty_ = true;
    log_.add(LogValue::Locates);
    if (target > medium_.objectCount()) {
        position_ = medium_.objectCount();
        return x.fail(makeSense(sense_key::BlankCheck, 0x00, 0x05));
    }
    position_ = target;
}

void VirtualTapeDrive::readPosition(Exchange& x) {
    const uint8_t action = x.byte(1) & 0x1F;
    const bool bop = position_ == 0;
    const bool eop = medium_.inEarlyWarning(medium_.bytesBefore(position_));
    std::vector<uint8_t> data;
    switch (action) {
    case 0x00:
    case 0x01: {  // short form; the virtual drive's block addresses are object numbers too
        data.assign(20, 0);
        data[0] = static_cast<uint8_t>((bop ? 0x80 : 0) | (eop ? 0x40 : 0));
        putBe32(&data[4], static_cast<uint32_t>(position_));
        putBe32(&data[8], static_cast<uint32_t>(position_));
        return x.sendData(data.data(), data.size(), data.size());
    }
    case 0x06: {  // long form
        data.assign(32, 0);
        data[0] = static_cast<uint8_t>((bop ? 0x80 : 0) | (eop ? 0x40 : 0));
        putBe64(&data[8], position_);
        putBe64(&data[16], medium_.filemarksBefore(position_));
        break;
    }
    case 0x08: {  // extended form
        data.assign(32, 0);
        data[0] = static_cast<uint8_t>((bop ? 0x80 : 0) | (eop ? 0x40 : 0));
        putBe16(&data[2], 0x1C);
        putBe64(&data[8], position_);
        putBe64(&data[16], position_);
        break;
    }
    default: return x.fail(invalidCdbField(1, 4));
    }
    const uint32_t allocation = x.be16(7);
    x.sendData(data.data(), data.size(), allocation ? allocation : data.size());
}

void VirtualTapeDrive::loadUnload(Exchange& x) {
    const bool load = x.bit(4, 0);
    const bool endOfTape = x.bit(4, 2);
    if (load && endOfTape) return x.fail(invalidCdbField(4, 2));
    if (load) {
        if (!profile().cartridge) return x.fail(makeSense(sense_key::NotReady, 0x3A, 0x00));
        if (!loaded_ && profile().unitAttention) raiseUnitAttention(0x28, 0x00);  // a cartridge came in
        if (!loaded_) log_.add(LogValue::Loads);
        if (!loaded_) noteCartridgeLoaded();
        loaded_ = true;
        position_ = 0;  // loading, or a load of a loaded cartridge, ends at the beginning
    } else {
        if (!loaded_) return x.fail(makeSense(sense_key::NotReady, 0x3A, 0x00));
        if (prevented_) return x.fail(makeSense(sense_key::IllegalRequest, 0x53, 0x02));
        position_ = 0;
        loaded_ = false;
    }
    stateDirty_ = true;
    persist();
}

}  // namespace vexal::device::virt
