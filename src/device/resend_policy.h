#pragma once
// Whether a command that timed out at the host adapter may be sent again. A command that
// timed out may still have been carried out, so only commands that plainly read the
// drive's state are resent; anything that writes, moves or reconfigures is sent once.
#include <cstdint>
#include <string_view>

namespace vexal::device {

struct ResendRule {
    uint8_t opcode;
    bool resend;                // true: reads state only, sending it again is harmless
    std::string_view effect;    // for one that is not resent: what it may have done
};

// The rule of an operation code; an opcode the table does not know is not resent.
const ResendRule& resendRule(uint8_t opcode);

// What the wait loop did about a command's host-adapter time-outs; cleared for each command.
struct TimeoutReport {
    int sends = 0;          // times the command went out (1 + resends)
    int timeouts = 0;       // of those, how many ended in a host-adapter time-out
    long long waitedMs = 0; // from the first send to the end of the wait
    bool withheld = false;  // the last time-out was not resent because of the opcode
    uint8_t opcode = 0;
};

}  // namespace vexal::device
