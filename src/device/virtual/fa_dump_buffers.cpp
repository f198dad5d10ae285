#include "device/virtual/fa_dump_buffers.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "device/virtual/byte_order.h"

namespace vexal::device::virt {
namespace {

namespace mode {
constexpr uint8_t Data = 0x02;
constexpr uint8_t Descriptor = 0x03;
}  // namespace mode

constexpr uint16_t kModeByte = 1, kOffsetByte = 3;

// The same bytes for the same drive: a small generator seeded from the serial number.
class Noise {
public:
    Noise(std::string_view serial, uint8_t id) {
        uint32_t h = 2166136261u;
        for (char c : serial) h = (h ^ static_cast<uint8_t>(c)) * 16777619u;
        state_ = (h ^ (uint32_t{id} << 24)) | 1u;
    }
    uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    void fill(std::vector<uint8_t>& v, size_t from) {
        for (size_t i = from; i < v.size(); ++i) v[i] = static_cast<uint8_t>(next() >> 11);
    }

private:
    uint32_t state_;
};

std::string trimmed(std::string_view s) {
    const auto last = s.find_last_not_of(' ');
    return std::string(last == std::string_view::npos ? std::string_view{} : s.substr(0, last + 1));
}

void putText(std::vector<uint8_t>& v, size_t at, std::string_view text, size_t width) {
    for (size_t i = 0; i < width && at + i < v.size(); ++i) v[at + i] = i < text.size() ? text[i] : ' ';
}

template <typename... Args>
std::string format(const char* fmt, Args... args) {
    char line[160];
    std::snprintf(line, sizeof line, fmt, args...);
    return line;
}

// The text part of an FA dump: section headings "-- name --" and their lines. It starts
// with the configuration section, so a reader finds it by its first bytes "-- c".
std::string dumpText(const DeviceProfile& p, bool large) {
    Noise n(p.serial, large ? 0x82 : 0xA2);
    std::string t;
    t += "-- configuration --\n";
    t += "Vendor identification  : " + trimmed(p.vendor) + "\n";
    t += "Product identification : " + trimmed(p.product) + "\n";
    t += "Firmware revision      : " + trimmed(p.revision) + "\n";
    t += "Serial number          : " + p.serial + "\n";
    t += format("Inquiry byte 36        : %02Xh\n", p.byte36);
    t += format("Cartridge              : %s, %u MiB native\n", p.cartridge ? "loaded" : "none", p.capacityMib);
    t += format("Dump layout            : %s\n", large ? "large" : "small");
    t += "-- power-on history --\n";
    t += format("Power cycles\t%u\n", 20 + n.next() % 200);
    t += format("Power-on hours\t%u\n", 1000 + n.next() % 20000);
    t += format("Tape motion hours\t%u\n", 100 + n.next() % 4000);
    t += format("Cartridge loads\t%u\n", 50 + n.next() % 5000);
    t += "-- error log --\n";
    t += "Entry  Hours   Sense     Block      Description\n";
    static constexpr struct {
        const char* sense;
        const char* text;
    } kErrors[] = {
        {"3/11/00", "Unrecovered read error"},   {"3/0C/00", "Write error"},
        {"4/44/00", "Internal target failure"},  {"3/14/00", "Recorded entity not found"},
        {"4/53/00", "Media load or eject failed"}, {"1/17/01", "Recovered data with retries"},
    };
    const int entries = large ? 24 : 8;
    for (int i = 0; i < entries; ++i) {
        const auto& e = kErrors[n.next() % std::size(kErrors)];
        t += format("%04d   %05u   %s   %08X   %s\n", i + 1, 100 + i * 37 + n.next() % 30, e.sense,
                    n.next() % 0x400000, e.text);
    }
    t += "-- servo trace --\n";
    const int rows = large ? 160 : 40;
    for (int r = 0; r < rows; ++r) {
        t += format("%04X:", r * 16);
        for (int i = 0; i < 8; ++i) t += format(" %04X", n.next() & 0xFFFF);
        t += "\n";
    }
    t += "-- event trace --\n";
    static constexpr const char* kEvents[] = {"Load", "Thread", "Locate", "Read", "Write", "Rewind", "Unload",
                                              "Clean request", "Calibrate"};
    const int events = large ? 120 : 30;
    uint32_t ms = 0;
    for (int i = 0; i < events; ++i) {
        ms += 40 + n.next() % 5000;
        t += format("%02u:%02u:%02u.%03u\t%s\t%08X\n", ms / 3600000 % 24, ms / 60000 % 60, ms / 1000 % 60, ms % 1000,
                    kEvents[n.next() % std::size(kEvents)], n.next());
    }
    t += "-- end of text --\n";
    return t;
}

// An FA dump buffer: a binary header, the text part and its terminating zero, then the
// register and memory image that fills it.
std::vector<uint8_t> faDump(const DeviceProfile& p, bool large, uint32_t size) {
    std::vector<uint8_t> v(size, 0);
    const std::string text = dumpText(p, large);
    constexpr size_t kHeader = 64;
    const size_t textLength = std::min(text.size(), size - kHeader - 1);
    putText(v, 0, "KVFA", 4);
    v[4] = 2;  // format
    v[5] = large ? 'L' : 'S';
    putBe32(&v[8], size);
    putBe32(&v[12], kHeader);
    putBe32(&v[16], static_cast<uint32_t>(textLength));
    putText(v, 24, p.serial, 32);
    putText(v, 56, p.revision, 4);
    std::copy_n(text.begin(), textLength, v.begin() + kHeader);
    const size_t image = kHeader + textLength + 1;
    Noise n(p.serial, large ? 0x82 : 0xA2);
    n.fill(v, image);
    return v;
}

// The test text: results of the drive's component tests, a text of its own.
std::vector<uint8_t> testText(const DeviceProfile& p, uint32_t size) {
    Noise n(p.serial, 0x84);
    std::string t = "-- component tests --\n";
    static constexpr const char* kTests[] = {"Buffer memory", "Read channel", "Write channel", "Servo loop",
                                             "Reel motors",   "Head cleaner", "Loader",        "SCSI interface"};
    for (const char* name : kTests)
        t += format("%-16s pass  %5u ms\n", name, 20 + n.next() % 900);
    t += "-- calibration --\n";
    for (int i = 0; i < 16; ++i) t += format("Channel %02d\toffset %+4d\tgain %3u\n", i, int(n.next() % 41) - 20, 90 + n.next() % 20);
    std::vector<uint8_t> v(size, 0);
    std::copy_n(t.begin(), std::min<size_t>(t.size(), size - 1), v.begin());
    return v;
}

// Records of `width` bytes: a sequence number then generated words.
std::vector<uint8_t> records(const DeviceProfile& p, uint8_t id, uint32_t size, size_t width) {
    std::vector<uint8_t> v(size, 0);
    Noise n(p.serial, id);
    for (size_t at = 0, i = 0; at + width <= v.size(); at += width, ++i) {
        putBe32(&v[at], static_cast<uint32_t>(i));
        for (size_t k = 4; k + 4 <= width; k += 4) putBe32(&v[at + k], n.next());
    }
    return v;
}

}  // namespace

FaDumpBuffers::FaDumpBuffers(const DeviceProfile& p) {
    if (p.kind != DeviceKind::Tape) return;
    switch (p.faDumpLayout) {
    case FaDumpLayout::Large:
        add(0x80, "DIRECTRY", std::vector<uint8_t>(kDirectorySize, 0));
        add(0x81, "TRACECTL", records(p, 0x81, kDirectorySize, 16));
        add(0x82, "FADUMP", faDump(p, true, kLargeDumpSize));
        add(0x83, "LRAM", records(p, 0x83, 65536, 64));
        add(0x84, "TESTTEXT", testText(p, 4096));
        add(0x85, "TESTREGS", records(p, 0x85, 2048, 8));
        add(0x86, "SERVOTRC", records(p, 0x86, 16384, 32));
        add(0x87, "ERRHIST", records(p, 0x87, 4096, 32));
        break;
    case FaDumpLayout::Small:
        add(0xA0, "DIRECTRY", std::vector<uint8_t>(kSmallDirectorySize, 0));
        add(0xA2, "FADUMP", faDump(p, false, kSmallDumpSize));
        break;
    case FaDumpLayout::None:
        return;
    }
    // The directory: "KVFD", format, layout, entry count, identity, then one 16-byte entry
    // per buffer (ID, three reserved bytes, capacity, name).
    auto& dir = buffers_.front().data;
    putText(dir, 0, "KVFD", 4);
    dir[4] = 1;
    dir[5] = p.faDumpLayout == FaDumpLayout::Large ? 'L' : 'S';
    putBe16(&dir[6], static_cast<uint32_t>(buffers_.size()));
    putText(dir, 8, p.serial, 32);
    putText(dir, 40, p.revision, 4);
    putText(dir, 44, p.product, 16);
    size_t at = 64;
    for (const Buffer& b : buffers_) {
        dir[at] = b.id;
        putBe32(&dir[at + 4], static_cast<uint32_t>(b.data.size()));
        putText(dir, at + 8, b.name, 8);
        at += 16;
    }
}

void FaDumpBuffers::add(uint8_t id, std::string name, std::vector<uint8_t> data) {
    buffers_.push_back({id, std::move(name), std::move(data)});
}

const FaDumpBuffers::Buffer* FaDumpBuffers::find(uint8_t id) const {
    for (const Buffer& b : buffers_)
        if (b.id == id) return &b;
    return nullptr;
}

bool FaDumpBuffers::read(uint8_t m, uint8_t id, uint32_t offset, uint32_t allocation, std::vector<uint8_t>& out,
                         Sense& error) const {
    out.clear();
    const Buffer* b = find(id);
    if (!b) {
        error = invalidCdbField(2);
        return false;
    }
    switch (m) {
    case mode::Data: {
        if (offset >= b->data.size()) {
            error = invalidCdbField(kOffsetByte);
            return false;
        }
        const size_t n = std::min<size_t>(b->data.size() - offset, allocation);
        out.assign(b->data.begin() + offset, b->data.begin() + static_cast<std::ptrdiff_t>(offset + n));
        return true;
    }
    case mode::Descriptor:
        out.assign(4, 0);  // offset boundary 0: any offset
        putBe24(&out[1], static_cast<uint32_t>(b->data.size()));
        return true;
    default:
        error = invalidCdbField(kModeByte, 4);
        return false;
    }
}

}  // namespace vexal::device::virt
