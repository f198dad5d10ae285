// libFuzzer target: the cartridge memory (READ ATTRIBUTE) reply parser and the decoding of
// every attribute row. The input is decoded directly as each row's reply (once as it is
// and once carrying the row's own identifier, so that the value decoders see it), and then
// serves as a drive's replies while every group is read. Checked: a value is never longer
// than the reply held or the row allows.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "diag/mam_attributes.h"
#include "diag/mam_reader.h"
#include "fuzz_drive.h"

namespace {

using namespace vexal;
using namespace vexal::diag;

constexpr size_t kReplyHeader = 9;

void check(bool ok) {
    if (!ok) std::abort();
}

void checkRow(const MamRow& row, const MamAttributeDef& def) {
    check(row.def == &def);
    check(row.value.size() <= def.valueLength);
    if (!row.available) check(row.value.empty());
    check(row.fields.size() <= 16);
}

void direct(std::span<const uint8_t> bytes) {
    const MamReply reply = parseAttributeReply(bytes);
    check(reply.complete == (bytes.size() >= kReplyHeader));
    if (reply.complete) {
        check(reply.value.size() == std::min<size_t>(reply.valueLength, bytes.size() - kReplyHeader));
        check(std::equal(reply.value.begin(), reply.value.end(), bytes.begin() + kReplyHeader));
    } else {
        check(reply.value.empty());
    }
    std::vector<uint8_t> own(bytes.begin(), bytes.end());
    for (const MamGroupDef& group : mamGroups()) {
        for (const MamAttributeDef& def : group.rows) {
            checkRow(decodeMamRow(def, bytes, true), def);
            checkRow(decodeMamRow(def, bytes, false), def);
            if (own.size() >= kReplyHeader) {
                own[4] = static_cast<uint8_t>(def.id >> 8);
                own[5] = static_cast<uint8_t>(def.id);
                const MamRow row = decodeMamRow(def, own, true);
                checkRow(row, def);
                check(row.available);
            }
        }
    }
    if (bytes.size() >= 8) {
        uint64_t units = 0;
        for (size_t i = 0; i < 8; ++i) units = (units << 8) | bytes[i];
        check(!mebibytesAsBytes(units).empty());
    }
}

void exerciseDrive(fuzz::FuzzDrive& drive) {
    for (const MamGroupDef& group : mamGroups()) {
        const MamPage page = ReadMamGroup(drive.device, group.id);
        check(page.rows.size() == group.rows.size());
        for (size_t i = 0; i < page.rows.size(); ++i) checkRow(page.rows[i], group.rows[i]);
    }
}

}  // namespace

VEXAL_FUZZ_DRIVE_TARGET(direct, exerciseDrive, false, true)
