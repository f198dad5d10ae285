#include "device/virtual/cartridge_memory.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

#include "device/virtual/byte_order.h"
#include "device/virtual/cartridge_file.h"
#include "device/virtual/profile_keys.h"
#include "platform/ini_file.h"

namespace vexal::device::virt {
namespace {

using F = MamFormat;

// Device (0000h-03FFh) and medium (0400h-07FFh) attributes are read only, host attributes
// (0800h-0BFFh) read/write, the vendor attributes (0C00h) read only.
constexpr MamDefinition kDefinitions[] = {
    {0x0000, 8, F::Binary, true, "remaining_capacity", false},
    {0x0001, 8, F::Binary, true, "maximum_capacity", false},
    {0x0002, 8, F::Binary, true, "tape_alert_flags", false},
    {0x0003, 8, F::Binary, true, "load_count", true},
    {0x0004, 8, F::Binary, true, "mam_space_remaining", false},
    {0x0005, 100, F::Ascii, true, "device_assigning_organization", true},
    {0x0006, 1, F::Binary, true, "formatted_density_code", true},
    {0x0007, 2, F::Binary, true, "initialization_count", true},
    {0x020A, 40, F::Ascii, true, "serial_at_last_load", true},
    {0x020B, 40, F::Ascii, true, "serial_at_load1", true},
    {0x020C, 40, F::Ascii, true, "serial_at_load2", true},
    {0x020D, 40, F::Ascii, true, "serial_at_load3", true},
    {0x0220, 8, F::Binary, true, "mbytes_written_life", true},
    {0x0221, 8, F::Binary, true, "mbytes_read_life", true},
    {0x0222, 8, F::Binary, true, "mbytes_written_load", true},
    {0x0223, 8, F::Binary, true, "mbytes_read_load", true},
    {0x0340, 90, F::Binary, true, "medium_usage_history", false},
    {0x0341, 60, F::Binary, true, "partition_usage_history", false},
    {0x0400, 8, F::Ascii, true, "medium_manufacturer", true},
    {0x0401, 32, F::Ascii, true, "medium_serial_number", true},
    {0x0402, 4, F::Binary, true, "medium_length", true},
    {0x0403, 4, F::Binary, true, "medium_width", true},
    {0x0404, 8, F::Ascii, true, "assigning_organization", true},
    {0x0405, 1, F::Binary, true, "medium_density_code", true},
    {0x0406, 8, F::Ascii, true, "medium_manufacture_date", true},
    {0x0407, 8, F::Binary, true, "mam_capacity", false},
    {0x0408, 1, F::Binary, true, "medium_type", true},
    {0x0409, 2, F::Binary, true, "medium_type_information", true},
    {0x0800, 8, F::Ascii, false, "application_vendor", true},
    {0x0801, 32, F::Ascii, false, "application_name", true},
    {0x0802, 8, F::Ascii, false, "application_version", true},
    {0x0803, 160, F::Text, false, "user_medium_text_label", true},
    {0x0804, 12, F::Ascii, false, "date_time_last_written", true},
    {0x0805, 2, F::Binary, false, "text_localization_identifier", true},
    {0x0806, 32, F::Ascii, false, "barcode", true},
    {0x0807, 80, F::Text, false, "owning_host_textual_name", true},
    {0x0808, 160, F::Text, false, "media_pool", true},
    {0x0809, 16, F::Ascii, false, "partition_user_text_label", true},
    {0x080A, 2, F::Binary, false, "load_unload_at_partition", true},
    {0x0C00, 100, F::Binary, true, "critical_control_data", true},
    {0x0C04, 1, F::Binary, true, "control_flags", true},
};

constexpr size_t kAttributeHeader = 5;
constexpr uint8_t kDensity = 0x4A;  // the virtual format's density code
constexpr uint16_t kMebibyteShift = 20;

bool isHostAttribute(uint16_t id) { return id >= 0x0800 && id <= 0x0BFF; }

std::vector<uint8_t> bigEndian(uint64_t v, size_t width) {
    std::vector<uint8_t> out(width, 0);
    for (size_t i = 0; i < width && i < 8; ++i) out[width - 1 - i] = static_cast<uint8_t>(v >> (8 * i));
    return out;
}

// ASCII attributes are padded with blanks, text attributes with zeros.
std::vector<uint8_t> padded(const MamDefinition& def, std::string_view text) {
    std::vector<uint8_t> out(text.begin(), text.begin() + std::min<size_t>(text.size(), def.length));
    out.resize(def.length, def.format == F::Ascii ? ' ' : 0);
    return out;
}

bool parseNumber(std::string_view v, uint64_t& out) {
    int base = 10;
    if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
        v.remove_prefix(2);
        base = 16;
    }
    if (v.empty()) return false;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), out, base);
    return ec == std::errc{} && end == v.data() + v.size();
}

bool parseHexBytes(std::string_view v, std::vector<uint8_t>& out) {
    out.clear();
    std::string digits;
    for (char c : v)
        if (c != ' ' && c != ':' && c != '-') digits += c;
    if (digits.size() % 2 != 0) return false;
    for (size_t i = 0; i < digits.size(); i += 2) {
        uint8_t b = 0;
        const auto [end, ec] = std::from_chars(digits.data() + i, digits.data() + i + 2, b, 16);
        if (ec != std::errc{} || end != digits.data() + i + 2) return false;
        out.push_back(b);
    }
    return true;
}

std::string hexText(const std::vector<uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    }
    return out;
}

// A usage history: fifteen counters of `width` bytes.
std::vector<uint8_t> usageHistory(size_t width, const uint64_t (&counters)[15]) {
    std::vector<uint8_t> out;
    for (uint64_t c : counters) {
        const auto field = bigEndian(c, width);
        out.insert(out.end(), field.begin(), field.end());
    }
    return out;
}

}  // namespace

std::span<const MamDefinition> mamDefinitions() { return kDefinitions; }

const MamDefinition* findMamDefinition(uint16_t id) {
    for (const MamDefinition& d : kDefinitions)
        if (d.id == id) return &d;
    return nullptr;
}

bool mamValueFromText(const MamDefinition& def, std::string_view text, std::vector<uint8_t>& out) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
    if (def.format != F::Binary) {
        if (text.size() > def.length) return false;
        if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; })) return false;
        out = padded(def, text);
        return true;
    }
    if (def.length > 8) {
        if (!parseHexBytes(text, out) || out.size() > def.length) return false;
        out.resize(def.length, 0);
        return true;
    }
    uint64_t n = 0;
    if (!parseNumber(text, n)) return false;
    if (def.length < 8 && n >> (8 * def.length) != 0) return false;
    out = bigEndian(n, def.length);
    return true;
}

void CartridgeMemory::reset(const DeviceProfile& profile) {
    stored_.clear();
    writtenThisLoad_ = readThisLoad_ = writtenPreviousLoad_ = readPreviousLoad_ = writtenTotal_ = readTotal_ = 0;
    setNumber(0x0003, 1);  // the load that brought it into the drive
    setText(0x0005, "KORVANE");
    setNumber(0x0006, kDensity);
    setNumber(0x0007, 1);
    setText(0x020A, profile.serial);
    for (uint16_t id : {0x020B, 0x020C, 0x020D}) setText(id, "");
    setText(0x0400, "KORVANE");
    setText(0x0401, "KVM" + profile.serial);
    setNumber(0x0402, 960);  // metres
    setNumber(0x0403, 127);  // tenths of millimetres
    setText(0x0404, "KORVANE");
    setNumber(0x0405, kDensity);
    setText(0x0406, "20240115");
    setNumber(0x0408, 0x00);  // data medium
    setNumber(0x0409, 0);
    // As a backup application would have labelled it.
    setText(0x0800, "KORVANE");
    setText(0x0801, "Vexal Virtual Drive");
    setText(0x0802, "1.0");
    setText(0x0803, "");
    setText(0x0804, "202401151200");
    setNumber(0x0805, 0);  // ASCII
    setText(0x0806, "VX" + profile.serial.substr(0, 30));
    setText(0x0807, "");
    setText(0x0808, "Scratch");
    setText(0x0809, "");
    setNumber(0x080A, 0);
    // Critical control data: version 3 (previous 2), the size of this version's record.
    std::vector<uint8_t> control(100, 0);
    putBe32(&control[0], 3);
    putBe32(&control[4], 2);
    putBe32(&control[24], 28);
    stored_[0x0C00] = control;
    setNumber(0x0C04, profile.writeProtect ? 0x01 : 0x00);  // software write protect
    changed_ = true;
}

void CartridgeMemory::applyProfile(const DeviceProfile& profile) {
    for (const auto& entry : profile.mamValues) {
        // Named copies: older clang cannot capture structured bindings in a lambda.
        const auto id = entry.first;
        const auto& bytes = entry.second;
        const uint64_t v = [&] {
            uint64_t n = 0;
            for (uint8_t b : bytes) n = (n << 8) | b;
            return n;
        }();
        switch (id) {
        case 0x0220: writtenTotal_ = v << kMebibyteShift; break;
        case 0x0221: readTotal_ = v << kMebibyteShift; break;
        case 0x0222: writtenThisLoad_ = v << kMebibyteShift; break;
        case 0x0223: readThisLoad_ = v << kMebibyteShift; break;
        default: stored_[id] = bytes; break;
        }
    }
}

void CartridgeMemory::noteLoad(std::string_view driveSerial) {
    setNumber(0x0003, number(0x0003) + 1);
    // The rolling history of the last four drives.
    for (uint16_t id = 0x020D; id > 0x020A; --id) stored_[id] = stored_[static_cast<uint16_t>(id - 1)];
    setText(0x020A, driveSerial);
    writtenPreviousLoad_ = writtenThisLoad_;
    readPreviousLoad_ = readThisLoad_;
    writtenThisLoad_ = readThisLoad_ = 0;
    changed_ = true;
}

void CartridgeMemory::noteWritten(uint64_t bytes) {
    writtenThisLoad_ += bytes;
    writtenTotal_ += bytes;
    changed_ = true;
}

void CartridgeMemory::noteRead(uint64_t bytes) {
    readThisLoad_ += bytes;
    readTotal_ += bytes;
    changed_ = true;
}

uint64_t CartridgeMemory::loadCount() const { return number(0x0003); }

uint64_t CartridgeMemory::number(uint16_t id) const {
    const auto it = stored_.find(id);
    if (it == stored_.end()) return 0;
    uint64_t v = 0;
    for (uint8_t b : it->second) v = (v << 8) | b;
    return v;
}

void CartridgeMemory::setNumber(uint16_t id, uint64_t v) {
    const MamDefinition* def = findMamDefinition(id);
    stored_[id] = bigEndian(v, def ? def->length : 8);
    changed_ = true;
}

void CartridgeMemory::setText(uint16_t id, std::string_view text) {
    const MamDefinition* def = findMamDefinition(id);
    if (!def) return;
    stored_[id] = padded(*def, text);
    changed_ = true;
}

uint64_t CartridgeMemory::spaceRemaining() const {
    uint64_t used = 0;
    for (const auto& [id, bytes] : stored_)
        if (isHostAttribute(id)) used += kAttributeHeader + bytes.size();
    return used < kCapacity ? kCapacity - used : 0;
}

std::optional<std::vector<uint8_t>> CartridgeMemory::value(uint16_t id, const MamLiveValues& live) const {
    switch (id) {
    case 0x0000: return bigEndian(live.remainingBytes >> kMebibyteShift, 8);
    case 0x0001: return bigEndian(live.capacityBytes >> kMebibyteShift, 8);
    case 0x0002: {
        uint64_t flags = 0;  // flag 1 is the most significant bit
        for (size_t n = 0; n < 64; ++n)
            if (live.tapeAlerts.test(n)) flags |= uint64_t{1} << (63 - n);
        return bigEndian(flags, 8);
    }
    case 0x0004: return bigEndian(spaceRemaining(), 8);
    case 0x0220: return bigEndian(writtenTotal_ >> kMebibyteShift, 8);
    case 0x0221: return bigEndian(readTotal_ >> kMebibyteShift, 8);
    case 0x0222: return bigEndian(writtenThisLoad_ >> kMebibyteShift, 8);
    case 0x0223: return bigEndian(readThisLoad_ >> kMebibyteShift, 8);
    case 0x0407: return bigEndian(kCapacity, 8);
    case 0x0340:
    case 0x0341: {
        // No retries, one partition: the partition's history is the medium's.
        const uint64_t counters[15] = {writtenThisLoad_ >> kMebibyteShift,
                                       0,
                                       readThisLoad_ >> kMebibyteShift,
                                       0,
                                       writtenPreviousLoad_ >> kMebibyteShift,
                                       0,
                                       readPreviousLoad_ >> kMebibyteShift,
                                       0,
                                       writtenTotal_ >> kMebibyteShift,
                                       0,
                                       readTotal_ >> kMebibyteShift,
                                       0,
                                       number(0x0003),
                                       0,
                                       number(0x0007)};
        return usageHistory(id == 0x0340 ? 6 : 4, counters);
    }
    default: break;
    }
    const auto it = stored_.find(id);
    if (it == stored_.end()) return std::nullopt;
    return it->second;
}

bool CartridgeMemory::write(std::span<const uint8_t> list, Sense& error) {
    const auto lengthError = [&] {
        error = makeSense(sense_key::IllegalRequest, 0x1A, 0x00);  // parameter list length error
        return false;
    };
    if (list.empty()) return true;
    if (list.size() < 4) return lengthError();
    const size_t dataLength = getBe32(list.data());
    if (dataLength + 4 > list.size()) return lengthError();
    std::map<uint16_t, std::vector<uint8_t>> next = stored_;
    size_t at = 4;
    const size_t end = 4 + dataLength;
    while (at < end) {
        if (end - at < kAttributeHeader) return lengthError();
        const uint16_t id = static_cast<uint16_t>(getBe16(&list[at]));
        const uint8_t format = list[at + 2] & 0x03;
        const size_t length = getBe16(&list[at + 3]);
        if (end - at - kAttributeHeader < length) return lengthError();
        const MamDefinition* def = findMamDefinition(id);
        // Unknown and read-only attributes, a wrong format or length: nothing is written.
        if (!def || def->readOnly || format != static_cast<uint8_t>(def->format)) {
            error = invalidParameterField(static_cast<uint16_t>(std::min<size_t>(at, 0xFFFF)));
            return false;
        }
        const uint8_t* value = &list[at + kAttributeHeader];
        if (length == 0) {
            next.erase(id);  // a length of zero deletes the attribute
        } else if (def->format == F::Binary ? length != def->length : length > def->length) {
            error = invalidParameterField(static_cast<uint16_t>(std::min<size_t>(at + 3, 0xFFFF)));
            return false;
        } else if (def->format == F::Ascii &&
                   !std::all_of(value, value + length, [](uint8_t c) { return c >= 0x20 && c <= 0x7E; })) {
            error = invalidParameterField(static_cast<uint16_t>(std::min<size_t>(at + kAttributeHeader, 0xFFFF)));
            return false;
        } else {
            next[id] = padded(*def, std::string_view(reinterpret_cast<const char*>(value), length));
        }
        at += kAttributeHeader + length;
    }
    stored_ = std::move(next);
    changed_ = true;
    return true;
}

bool CartridgeMemory::load(const std::filesystem::path& path, std::string& error) {
    std::ifstream in(path);
    if (!in) return true;  // a new cartridge: the caller's reset stands
    std::map<uint16_t, std::vector<uint8_t>> stored;
    uint64_t counters[6] = {};
    constexpr std::string_view kCounterNames[6] = {"written_load", "read_load",  "written_previous",
                                                   "read_previous", "written_total", "read_total"};
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const std::string_view l = trimBlanks(line);
        if (l.empty()) continue;
        const auto eq = l.find('=');
        const std::string_view key = eq == std::string_view::npos ? l : l.substr(0, eq);
        const std::string_view v = eq == std::string_view::npos ? std::string_view{} : l.substr(eq + 1);
        bool ok = eq != std::string_view::npos;
        const auto counter = std::find(std::begin(kCounterNames), std::end(kCounterNames), key);
        if (ok && counter != std::end(kCounterNames)) {
            ok = parseNumber(v, counters[counter - std::begin(kCounterNames)]);
        } else if (ok) {
            uint64_t id = 0;
            std::vector<uint8_t> bytes;
            const MamDefinition* def = nullptr;
            ok = key.size() == 4 && parseNumber("0x" + std::string(key), id) &&
                 (def = findMamDefinition(static_cast<uint16_t>(id))) && parseHexBytes(v, bytes) &&
                 bytes.size() <= def->length;
            if (ok) stored[static_cast<uint16_t>(id)] = std::move(bytes);
        }
        if (!ok) {
            error = "The cartridge memory file " + path.string() + " is damaged at line " + std::to_string(number) +
                    "; a new cartridge memory is used";
            return false;
        }
    }
    stored_ = std::move(stored);
    writtenThisLoad_ = counters[0];
    readThisLoad_ = counters[1];
    writtenPreviousLoad_ = counters[2];
    readPreviousLoad_ = counters[3];
    writtenTotal_ = counters[4];
    readTotal_ = counters[5];
    changed_ = false;
    return true;
}

bool CartridgeMemory::save(const std::filesystem::path& path, std::string& error) const {
    std::ostringstream out;
    for (const auto& [id, bytes] : stored_) {
        char key[5];
        std::snprintf(key, sizeof key, "%04X", id);
        out << key << '=' << hexText(bytes) << '\n';
    }
    out << "written_load=" << writtenThisLoad_ << "\nread_load=" << readThisLoad_
        << "\nwritten_previous=" << writtenPreviousLoad_ << "\nread_previous=" << readPreviousLoad_
        << "\nwritten_total=" << writtenTotal_ << "\nread_total=" << readTotal_ << '\n';
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    if (platform::writeFileAtomically(path, out.str())) return true;
    error = "The cartridge memory could not be saved to " + path.string();
    return false;
}

std::filesystem::path cartridgeMemoryPath(const std::string& serial) {
    std::filesystem::path p = cartridgePath(serial);
    p.replace_extension(".vmam");
    return p;
}

}  // namespace vexal::device::virt
