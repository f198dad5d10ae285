#pragma once
#include <cstdint>

namespace vexal::command {

// The sense of the last command, as scripts read it; 0xCC in every field means none.
struct LastSense {
    static constexpr uint8_t kNone = 0xCC;
    uint8_t senseKey = kNone;
    uint8_t ili = kNone;
    uint8_t eom = kNone;
    uint8_t fm = kNone;
    uint8_t asc = kNone;
    uint8_t ascq = kNone;

    void clear() { *this = LastSense{}; }
    friend bool operator==(const LastSense&, const LastSense&) = default;
};

}  // namespace vexal::command
