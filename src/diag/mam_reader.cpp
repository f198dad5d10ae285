#include "diag/mam_reader.h"

#include <algorithm>

#include <fmt/format.h>
#include <fmt/printf.h>

namespace vexal::diag {
namespace {

constexpr size_t kReplyHeader = 9;  // available data length (4) and the attribute header (5)
constexpr size_t kUsageCounterCount = 15;

// Big-endian unsigned integer of at most 8 bytes (the last 8 when longer).
uint64_t bigEndian(std::span<const uint8_t> bytes) {
    uint64_t v = 0;
    for (uint8_t b : bytes.size() > 8 ? bytes.last(8) : bytes) v = (v << 8) | b;
    return v;
}

// A field of `width` bytes at `offset`; zero when the value is too short for it.
uint64_t counterAt(std::span<const uint8_t> value, size_t offset, size_t width) {
    if (offset + width > value.size()) return 0;
    return bigEndian(value.subspan(offset, width));
}

std::string groupedDecimal(unsigned __int128 v) {
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
        v /= 10;
    } while (v != 0);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

// ASCII and text values up to their length or their first zero byte, trailing blanks
// dropped; bytes that are not printable ASCII are shown as '.', so that a drive cannot send
// terminal controls.
std::string valueText(std::span<const uint8_t> value) {
    size_t keep = std::find(value.begin(), value.end(), uint8_t{0}) - value.begin();
    while (keep > 0 && value[keep - 1] == ' ') --keep;
    std::string out;
    for (uint8_t b : value.first(keep)) out += (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '.';
    return out;
}

std::vector<MamField> usageHistory(std::span<const uint8_t> value, size_t width) {
    std::vector<MamField> fields;
    const auto names = usageHistoryCounterNames();
    for (size_t i = 0; i < kUsageCounterCount; ++i) {
        const uint64_t n = counterAt(value, i * width, width);
        // The six amounts (every other counter up to the eleventh) are in 1,048,576-byte units.
        const bool amount = i < 12 && i % 2 == 0;
        fields.push_back({std::string(names[i]), amount ? mebibytesAsBytes(n) : std::to_string(n), std::nullopt});
    }
    return fields;
}

std::vector<MamField> criticalControl(std::span<const uint8_t> value) {
    std::vector<MamField> fields;
    const auto names = criticalControlNames();
    // Stored Version first; shown SizeOfThisVersion first.
    for (size_t i = names.size(); i-- > 0;)
        fields.push_back({std::string(names[i]),
                          fmt::sprintf("%u", static_cast<uint32_t>(counterAt(value, i * 4, 4))), std::nullopt});
    return fields;
}

std::vector<MamField> controlFlags(uint8_t flags) {
    std::vector<MamField> fields;
    const auto names = controlFlagNames();
    for (size_t bit = 0; bit < names.size(); ++bit) {
        const bool on = (flags >> bit) & 1;
        fields.push_back({std::string(names[bit]), on ? "Checked" : "UnChecked", on});
    }
    return fields;
}

void decodeValue(const MamAttributeDef& def, std::span<const uint8_t> value, MamRow& row) {
    const uint64_t number = bigEndian(value);
    switch (def.show) {
    case MamShow::Number: row.text = std::to_string(number); break;
    case MamShow::Mebibytes: row.text = mebibytesAsBytes(number); break;
    // All 64 flags: flag 1 is the most significant bit of the first byte.
    case MamShow::TapeAlertFlags: row.text = fmt::sprintf("0x%08llX", static_cast<unsigned long long>(number)); break;
    case MamShow::DensityCode: row.text = fmt::sprintf("0x%02X", static_cast<unsigned>(number & 0xFF)); break;
    case MamShow::Text: row.text = valueText(value); break;
    case MamShow::MediumType:
        row.text = number == 0x00 ? "Data Medium" : number == 0x80 ? "Write-once Medium" : "Unknown";
        break;
    case MamShow::TextLocalization: row.text = number == 0 ? "No code specified (ASCII)" : "Unknown"; break;
    case MamShow::MediumUsageHistory: row.fields = usageHistory(value, 6); break;
    // The bytes as read stay in the row's value; the fields decode them.
    case MamShow::PartitionUsageHistory: row.fields = usageHistory(value, 4); break;
    case MamShow::CriticalControlData: row.fields = criticalControl(value); break;
    case MamShow::ControlFlags: {
        const uint8_t flags = value.empty() ? 0 : value[0];
        row.text = fmt::sprintf("0x%02X", flags);
        row.fields = controlFlags(flags);
        break;
    }
    }
}

}  // namespace

std::array<uint8_t, 16> readAttributeCdb(uint16_t id, uint32_t allocationLength) {
    return {0x8C,
            0x00,  // service action: attribute values
            0x00,
            0x00,
            0x00,  // volume number
            0x00,
            0x00,  // partition number
            0x00,
            static_cast<uint8_t>(id >> 8),
            static_cast<uint8_t>(id),
            static_cast<uint8_t>(allocationLength >> 24),
            static_cast<uint8_t>(allocationLength >> 16),
            static_cast<uint8_t>(allocationLength >> 8),
            static_cast<uint8_t>(allocationLength),
            0x00,
            0x00};
}

MamReply parseAttributeReply(std::span<const uint8_t> buffer) {
    MamReply reply;
    if (buffer.size() < kReplyHeader) return reply;
    reply.complete = true;
    reply.availableLength = static_cast<uint32_t>(bigEndian(buffer.first(4)));
    reply.id = static_cast<uint16_t>((buffer[4] << 8) | buffer[5]);
    reply.format = buffer[6] & 0x03;
    reply.readOnly = buffer[6] & 0x80;
    reply.valueLength = static_cast<uint16_t>((buffer[7] << 8) | buffer[8]);
    const size_t n = std::min<size_t>(reply.valueLength, buffer.size() - kReplyHeader);
    reply.value.assign(buffer.begin() + kReplyHeader, buffer.begin() + static_cast<std::ptrdiff_t>(kReplyHeader + n));
    return reply;
}

std::string mebibytesAsBytes(uint64_t units) { return groupedDecimal(static_cast<unsigned __int128>(units) << 20); }

MamRow decodeMamRow(const MamAttributeDef& def, std::span<const uint8_t> buffer, bool commandGood) {
    MamRow row;
    row.def = &def;
    const MamReply reply = parseAttributeReply(buffer);
    // READ ATTRIBUTE returns the attributes from the one asked for upwards: a drive without
    // this attribute answers with the next one, which must not be shown under this name.
    row.available = commandGood && reply.complete && reply.id == def.id;
    if (row.available) {
        row.value = reply.value;
        if (row.value.size() > def.valueLength) row.value.resize(def.valueLength);
    }
    if (!row.available && hasSpecialDisplay(def.show)) {
        row.text = kMamNotAvailable;
        return row;
    }
    // Not available: the value of zero bytes.
    decodeValue(def, row.value, row);
    return row;
}

MamPage ReadMamGroup(command::CScsiDevice& device, MamGroupId group) {
    MamPage page;
    page.group = group;
    for (const MamAttributeDef& def : mamGroup(group).rows) {
        std::vector<uint8_t> buffer(def.allocationLength(), 0);
        const auto cdb = readAttributeCdb(def.id, def.allocationLength());
        const command::ScsiResult result =
            device.ExecuteCdb(cdb.data(), static_cast<int>(cdb.size()), buffer.data(),
                              static_cast<uint32_t>(buffer.size()), false);
        // Only what the drive sent is parsed (a failed command sent nothing).
        buffer.resize(device.transferred());
        MamRow row = decodeMamRow(def, buffer, result == 0);
        row.result = result;
        page.rows.push_back(std::move(row));
    }
    return page;
}

MamGroupRefusal mamGroupAllowed(MamGroupId group, bool engineeringMode) {
    if (mamGroup(group).engineeringOnly && !engineeringMode) return MamGroupRefusal::EngineeringOnly;
    return MamGroupRefusal::None;
}

}  // namespace vexal::diag
