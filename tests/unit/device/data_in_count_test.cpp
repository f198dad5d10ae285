#include "device/data_in_count.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "device/request_block.h"

using namespace vexal::device;

namespace {

using Bytes = std::vector<uint8_t>;

// Fixed-format sense: VALID and INFORMATION when `info` is given, flags in byte 2.
Bytes fixedSense(uint8_t keyAndFlags, std::optional<int32_t> info = {}) {
    Bytes s(18, 0);
    s[0] = info ? 0xF0 : 0x70;
    s[2] = keyAndFlags;
    const auto v = static_cast<uint32_t>(info.value_or(0));
    s[3] = v >> 24, s[4] = v >> 16, s[5] = v >> 8, s[6] = v;
    s[7] = 10;
    return s;
}

// Descriptor-format sense: an information descriptor and a stream-commands descriptor.
Bytes descriptorSense(uint8_t key, bool valid, int64_t info, uint8_t streamFlags) {
    Bytes s{0x72, key, 0, 0, 0, 0, 0, 0};
    const auto v = static_cast<uint64_t>(info);
    s.insert(s.end(), {0x00, 0x0A, static_cast<uint8_t>(valid ? 0x80 : 0), 0});
    for (int shift = 56; shift >= 0; shift -= 8) s.push_back(static_cast<uint8_t>(v >> shift));
    s.insert(s.end(), {0x04, 0x02, 0, streamFlags});
    s[7] = static_cast<uint8_t>(s.size() - 8);
    return s;
}

Bytes cut(Bytes b, size_t n) {
    b.resize(n);
    return b;
}

const Bytes kRead6Variable{0x08, 0x00, 0x00, 0x03, 0xE8, 0x00};  // 1000 bytes
const Bytes kRead6Fixed{0x08, 0x01, 0x00, 0x00, 0x0A, 0x00};     // 10 blocks
const Bytes kRead16Variable{0x88, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x03, 0xE8, 0x00};
const Bytes kInquiry{0x12, 0, 0, 0, 0x40, 0};
const Bytes kReceiveDiagnostic{0x1C, 0, 0, 0, 0x40, 0};

constexpr uint8_t kIli = 0x20, kEom = 0x40, kFilemark = 0x80;

struct Case {
    const char* what;
    uint8_t srbStatus;
    uint8_t hostStatus;
    uint8_t targetStatus;
    uint32_t length;
    uint32_t residual;
    Bytes cdb;
    Bytes sense;
    uint32_t expected;
};

TEST(DataInCountTest, CountsOnlyWhatTheDeviceIsKnownToHaveSent) {
    using namespace srb_status;
    constexpr uint8_t ok = ha_status::Ok, good = target_status::Good, check = target_status::CheckCondition;
    const Case cases[] = {
        {"GOOD, all sent", Complete, ok, good, 64, 0, kInquiry, {}, 64},
        {"GOOD with its residual", Complete, ok, good, 64, 28, kInquiry, {}, 36},
        {"GOOD with a residual beyond the length", Complete, ok, good, 64, 99, kInquiry, {}, 0},
        // The kernel's SG_IO reports residual 0 on CHECK CONDITION: not a count.
        {"refused command", Error, ok, check, 64, 0, kReceiveDiagnostic, fixedSense(0x05), 0},
        {"variable READ, short block (ILI, residue 400)", Error, ok, check, 1000, 0, kRead6Variable,
         fixedSense(kIli, 400), 600},
        {"variable READ, long block (negative residue)", Error, ok, check, 1000, 0, kRead6Variable,
         fixedSense(kIli, -200), 1000},
        {"variable READ, filemark before any byte", Error, ok, check, 1000, 0, kRead6Variable,
         fixedSense(kFilemark, 1000), 0},
        {"fixed READ, filemark after 6 of 10 blocks", Error, ok, check, 5120, 0, kRead6Fixed,
         fixedSense(kFilemark, 4), 3072},
        {"fixed READ, EOM after 9 of 10 blocks", Error, ok, check, 5120, 0, kRead6Fixed,
         fixedSense(0x0D | kEom, 1), 4608},
        {"residue larger than the request", Error, ok, check, 1000, 0, kRead6Variable, fixedSense(kIli, 5000), 0},
        {"ILI without VALID", Error, ok, check, 1000, 0, kRead6Variable, fixedSense(kIli), 0},
        // An iSCSI target's BLANK CHECK (end of data) sends bytes of its own, no VALID bit.
        {"BLANK CHECK without VALID", Error, ok, check, 1000, 0, kRead6Variable, fixedSense(0x08), 0},
        {"VALID information but no stream flag", Error, ok, check, 1000, 0, kRead6Variable,
         fixedSense(0x03, 400), 0},
        {"a READ's count never beyond the residual", Error, ok, check, 1000, 800, kRead6Variable,
         fixedSense(kIli, 400), 200},
        {"READ(16), short block", Error, ok, check, 1000, 0, kRead16Variable, fixedSense(kIli, 250), 750},
        {"ILI on a command that is not a READ", Error, ok, check, 64, 0, kInquiry, fixedSense(kIli, 10), 0},
        {"descriptor sense, short block", Error, ok, check, 1000, 0, kRead6Variable,
         descriptorSense(0x00, true, 400, kIli), 600},
        {"descriptor sense without VALID", Error, ok, check, 1000, 0, kRead6Variable,
         descriptorSense(0x00, false, 400, kIli), 0},
        {"descriptor sense cut short", Error, ok, check, 1000, 0, kRead6Variable,
         cut(descriptorSense(0x00, true, 400, kIli), 14), 0},
        {"pass-through refused", InvalidSrb, ok, good, 64, 0, kInquiry, {}, 0},
        {"host-adapter fault", Error, ha_status::BusReset, good, 64, 0, kInquiry, {}, 0},
        {"host-adapter fault during a READ", Error, ha_status::PhaseError, check, 1000, 0, kRead6Variable,
         fixedSense(kIli, 400), 0},
        {"BUSY", Error, ok, target_status::Busy, 64, 0, kInquiry, {}, 0},
        {"still pending", Pending, ok, good, 64, 0, kInquiry, {}, 0},
    };
    for (const Case& c : cases) {
        const CommandEnd end{c.srbStatus, c.hostStatus, c.targetStatus, c.length, c.residual, c.cdb, c.sense};
        EXPECT_EQ(knownTransferred(end), c.expected) << c.what;
    }
}

}  // namespace
