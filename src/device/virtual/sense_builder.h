#pragma once
// Sense data as the virtual devices return it: fixed format, 29 bytes with the vendor
// bytes of a tape drive at the end, or descriptor format when asked for.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vexal::device::virt {

namespace sense_key {
inline constexpr uint8_t NoSense = 0x0;
inline constexpr uint8_t NotReady = 0x2;
inline constexpr uint8_t MediumError = 0x3;
inline constexpr uint8_t HardwareError = 0x4;
inline constexpr uint8_t IllegalRequest = 0x5;
inline constexpr uint8_t UnitAttention = 0x6;
inline constexpr uint8_t DataProtect = 0x7;
inline constexpr uint8_t BlankCheck = 0x8;
inline constexpr uint8_t AbortedCommand = 0xB;
inline constexpr uint8_t VolumeOverflow = 0xD;
inline constexpr uint8_t Miscompare = 0xE;
}  // namespace sense_key

struct Sense {
    uint8_t key = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
    bool filemark = false;
    bool eom = false;
    bool ili = false;
    // Sets VALID; kept as a 32-bit two's complement number (residues may be negative).
    std::optional<int64_t> information;
    // Sense-key specific field pointer of an ILLEGAL REQUEST: which byte (and bit) of the
    // CDB or of the parameter list was wrong.
    struct FieldPointer {
        bool inCdb = true;
        uint16_t byte = 0;
        int bit = -1;  // -1: no bit named
    };
    std::optional<FieldPointer> field;

    Sense& withInformation(int64_t value) {
        information = value;
        return *this;
    }
};

Sense makeSense(uint8_t key, uint8_t asc, uint8_t ascq);
// ILLEGAL REQUEST, INVALID FIELD IN CDB (5/24/00) pointing at byte (and bit) of the CDB.
Sense invalidCdbField(uint16_t byte, int bit = -1);
// ILLEGAL REQUEST, INVALID FIELD IN PARAMETER LIST (5/26/00) pointing into the data sent.
Sense invalidParameterField(uint16_t byte, int bit = -1);
// ILLEGAL REQUEST, INVALID COMMAND OPERATION CODE (5/20/00).
Sense invalidOpcode();

// The stream conditions, each with the residue in the information field.
Sense filemarkDetected(int64_t residue);       // 0/00/01, FILEMARK
Sense endOfData(int64_t residue);              // 8/00/05
Sense earlyWarning(int64_t residue);           // 0/00/02, EOM
Sense volumeOverflow(int64_t residue);         // D/00/02, EOM
Sense beginningOfPartition(int64_t residue);   // 0/00/04, EOM
Sense incorrectLength(int64_t residue);        // 0/00/00, ILI

// The vendor bytes of a tape drive's sense data (19..28).
struct SenseCounters {
    uint16_t tapeMotionHours = 0;
    uint32_t powerOnHours = 0;
    uint32_t tapeRemaining = 0;  // KiB left before the physical end of the cartridge
};

inline constexpr size_t kSenseLength = 29;
std::array<uint8_t, kSenseLength> buildFixedSense(const Sense& sense, const SenseCounters& counters);
// Descriptor format (72h): the information descriptor when the information is valid,
// the sense-key specific descriptor for a field pointer, and the stream commands
// descriptor when a filemark, EOM or ILI is reported.
std::vector<uint8_t> buildDescriptorSense(const Sense& sense);

}  // namespace vexal::device::virt
