#include "device/resend_policy.h"

namespace vexal::device {
namespace {

constexpr std::string_view kWritten = "it may have written to the tape";
constexpr std::string_view kMoved = "it may have moved the tape";
constexpr std::string_view kErased = "it may have erased or formatted the tape";
constexpr std::string_view kLoaded = "it may have loaded or unloaded the cartridge";
constexpr std::string_view kSettings = "it may have changed the drive's settings";
constexpr std::string_view kBuffer = "it may have changed the drive's buffer or microcode";
constexpr std::string_view kState = "it may have changed the drive's state";
constexpr std::string_view kUnknown = "it may have changed the tape or the drive";

constexpr ResendRule kRules[] = {
    // Reads of state: resent.
    {0x00, true, {}},  // TEST UNIT READY
    {0x03, true, {}},  // REQUEST SENSE
    {0x05, true, {}},  // READ BLOCK LIMITS
    {0x12, true, {}},  // INQUIRY
    {0x1A, true, {}},  // MODE SENSE(6)
    {0x1C, true, {}},  // RECEIVE DIAGNOSTIC RESULTS
    {0x25, true, {}},  // READ CAPACITY(10)
    {0x34, true, {}},  // READ POSITION
    {0x3C, true, {}},  // READ BUFFER
    {0x44, true, {}},  // REPORT DENSITY SUPPORT
    {0x4D, true, {}},  // LOG SENSE
    {0x5A, true, {}},  // MODE SENSE(10)
    {0x5E, true, {}},  // PERSISTENT RESERVE IN
    {0x8C, true, {}},  // READ ATTRIBUTE
    {0x9E, true, {}},  // SERVICE ACTION IN(16)
    {0xA0, true, {}},  // REPORT LUNS
    {0xA3, true, {}},  // MAINTENANCE IN (report supported operation codes, ...)
    {0xB8, true, {}},  // READ ELEMENT STATUS
    // Everything else is sent once; these say what a repeat could have done.
    {0x01, false, kMoved},     // REWIND
    {0x04, false, kErased},    // FORMAT MEDIUM
    {0x08, false, kMoved},     // READ(6): the tape moves past the block
    {0x0A, false, kWritten},   // WRITE(6)
    {0x10, false, kWritten},   // WRITE FILEMARKS(6)
    {0x11, false, kMoved},     // SPACE(6)
    {0x13, false, kMoved},     // VERIFY(6)
    {0x15, false, kSettings},  // MODE SELECT(6)
    {0x16, false, kState},     // RESERVE UNIT
    {0x17, false, kState},     // RELEASE UNIT
    {0x19, false, kErased},    // ERASE
    {0x1B, false, kLoaded},    // LOAD/UNLOAD
    {0x1D, false, kState},     // SEND DIAGNOSTIC: a self-test may move the tape
    {0x1E, false, kState},     // PREVENT/ALLOW MEDIUM REMOVAL
    {0x2B, false, kMoved},     // LOCATE(10)
    {0x3B, false, kBuffer},    // WRITE BUFFER
    {0x4C, false, kSettings},  // LOG SELECT
    {0x55, false, kSettings},  // MODE SELECT(10)
    {0x80, false, kWritten},   // WRITE FILEMARKS(16)
    {0x88, false, kMoved},     // READ(16)
    {0x8A, false, kWritten},   // WRITE(16)
    {0x8D, false, kSettings},  // WRITE ATTRIBUTE
    {0x8F, false, kMoved},     // VERIFY(16)
    {0x91, false, kMoved},     // SPACE(16)
    {0x92, false, kMoved},     // LOCATE(16)
    {0xA5, false, kLoaded},    // MOVE MEDIUM
    {0x07, false, kState},     // INITIALIZE ELEMENT STATUS
};

constexpr ResendRule kUnknownRule{0xFF, false, kUnknown};

}  // namespace

const ResendRule& resendRule(uint8_t opcode) {
    for (const ResendRule& rule : kRules)
        if (rule.opcode == opcode) return rule;
    return kUnknownRule;
}

}  // namespace vexal::device
