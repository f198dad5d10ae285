#pragma once
// The run state the executor keeps beside the tables: pending CALLs and the sense bytes of
// the last command.
#include <cstdint>
#include <vector>

namespace vexal::script {

// Statement indexes of the pending CALLs. A push fails when the count plus one would reach
// the limit, so at most 99 calls can be pending and the 100th nested CALL fails.
class CallStack {
public:
    static constexpr size_t kLimit = 100;
    bool push(int32_t statement) {
        if (calls_.size() + 1 >= kLimit) return false;
        calls_.push_back(statement);
        return true;
    }
    // False when nothing is pending.
    bool pop(int32_t& statement) {
        if (calls_.empty()) return false;
        statement = calls_.back();
        calls_.pop_back();
        return true;
    }
    void clear() { calls_.clear(); }
    size_t size() const { return calls_.size(); }

private:
    std::vector<int32_t> calls_;
};

// Sense key, ASC and ASCQ of the last command (CCh each when it returned no sense data, and
// when the engine is created) and its ILI, EOM and FM flags.
struct LastSense {
    static constexpr uint8_t kNone = 0xCC;
    uint8_t senseKey = kNone, asc = kNone, ascq = kNone;
    uint8_t ili = 0, eom = 0, fm = 0;
    bool none() const { return senseKey == kNone && asc == kNone && ascq == kNone; }
};

}  // namespace vexal::script
