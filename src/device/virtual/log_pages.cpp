#include "device/virtual/log_pages.h"

#include <algorithm>
#include <array>

#include "device/virtual/byte_order.h"

namespace vexal::device::virt {
namespace {

using V = LogValue;

class Params {
public:
    explicit Params(LogPageControl control) : control_(control) {}

    bool defaults() const {
        return control_ == LogPageControl::DefaultCumulative || control_ == LogPageControl::DefaultThreshold;
    }

    // A counter: its value, 0 in default cumulative values, all ones in threshold values.
    void counter(uint16_t code, uint64_t value, size_t width) {
        const uint64_t largest = width >= 8 ? ~0ull : (1ull << (8 * width)) - 1;
        switch (control_) {
        case LogPageControl::Cumulative: value = std::min(value, largest); break;
        case LogPageControl::DefaultCumulative: value = 0; break;
        default: value = largest; break;
        }
        status(code, value, width);
    }
    // A value that is the same for every page control.
    void status(uint16_t code, uint64_t value, size_t width, uint8_t control = log_control::Counter) {
        std::vector<uint8_t> bytes(width);
        for (size_t i = 0; i < width; ++i) bytes[width - 1 - i] = static_cast<uint8_t>(value >> (8 * i));
        raw(code, control, std::move(bytes));
    }
    void raw(uint16_t code, uint8_t control, std::vector<uint8_t> value) {
        list_.push_back({code, control, std::move(value)});
    }
    std::vector<LogParameter> take() { return std::move(list_); }

private:
    LogPageControl control_;
    std::vector<LogParameter> list_;
};

// Write (02h) and read (03h) error counters: parameters 0000h..0006h, 0005h in 8 bytes.
void errorCounters(Params& p, const DriveLog& log, LogValue first) {
    for (uint16_t code = 0; code <= 6; ++code)
        p.counter(code, log.get(static_cast<LogValue>(static_cast<uint8_t>(first) + code)), code == 5 ? 8 : 4);
}

void writeErrors(Params& p, const LogSources& s) { errorCounters(p, *s.log, V::WriteCorrectedFast); }
void readErrors(Params& p, const LogSources& s) { errorCounters(p, *s.log, V::ReadCorrectedFast); }

void lastEvents(Params& p, const LogSources& s) {
    for (const LogParameter& e : s.events) p.raw(e.code, e.control, e.value);
}

// Temperature: 0000h the current and 0001h the reference (highest operating) temperature,
// each one reserved byte and the degrees Celsius.
void temperature(Params& p, const LogSources& s) {
    p.status(0, s.log->get(V::Temperature), 2, log_control::BinaryList);
    p.status(1, s.log->get(V::MaxTemperature), 2, log_control::BinaryList);
}

// Self-test results: always 20 entries of 16 bytes, unused ones zero.
void selfTestResults(Params& p, const LogSources& s) {
    for (uint16_t i = 0; i < Diagnostics::kLogEntries; ++i) {
        std::vector<uint8_t> v(16, 0);
        if (s.selfTests && i < s.selfTests->size()) {
            const SelfTestRecord& r = (*s.selfTests)[i];
            v[0] = static_cast<uint8_t>((r.code << 5) | (r.result & 0x0F));
            v[1] = r.segment;
            putBe16(&v[2], std::min<uint32_t>(r.powerOnHours, 0xFFFF));
            std::fill(v.begin() + 4, v.begin() + 12, 0xFF);  // no address of a first failure
            v[12] = r.key;
            v[13] = r.asc;
            v[14] = r.ascq;
        }
        p.raw(static_cast<uint16_t>(i + 1), log_control::SelfTest, std::move(v));
    }
}

// Tape Alert: flags 0001h..0040h, one byte each.
void tapeAlert(Params& p, const LogSources& s) {
    for (uint16_t flag = 1; flag <= 64; ++flag)
        p.status(flag, !p.defaults() && s.alerts.test(flag - 1u) ? 1 : 0, 1);
}

// Move statistics, 32-bit counters: 0000h blocks written, 0001h blocks read, 0002h
// filemarks written, 0003h filemarks read or spaced over, 0004h rewinds, 0005h locates,
// 0006h space commands.
void moveStatistics(Params& p, const LogSources& s) {
    constexpr std::array<LogValue, 7> order = {V::BlocksWritten, V::BlocksRead, V::FilemarksWritten,
                                               V::FilemarksRead, V::Rewinds,    V::Locates,
                                               V::Spaces};
    for (uint16_t code = 0; code < order.size(); ++code) p.counter(code, s.log->get(order[code]), 4);
}

// Capacity in MiB: 0001h main partition remaining, 0002h alternate partition remaining,
// 0003h main partition maximum, 0004h alternate partition maximum.
void capacity(Params& p, const LogSources& s) {
    p.status(1, s.remainingBytes >> 20, 4);
    p.status(2, 0, 4);
    p.status(3, s.capacityBytes >> 20, 4);
    p.status(4, 0, 4);
}

// Compression: 0000h/0001h read and write ratio x 100 (16-bit), then for host reads,
// tape reads, host writes and tape writes the whole MiB and the bytes beyond them.
void compression(Params& p, const LogSources& s) {
    const DriveLog& log = *s.log;
    const auto ratio = [](uint64_t host, uint64_t tape) -> uint64_t {
        return tape == 0 ? 100 : std::min<uint64_t>(host * 100 / tape, 0xFFFF);
    };
    p.status(0, ratio(log.get(V::HostBytesRead), log.get(V::TapeBytesRead)), 2);
    p.status(1, ratio(log.get(V::HostBytesWritten), log.get(V::TapeBytesWritten)), 2);
    constexpr std::array<LogValue, 4> order = {V::HostBytesRead, V::TapeBytesRead, V::HostBytesWritten,
                                               V::TapeBytesWritten};
    uint16_t code = 2;
    for (LogValue v : order) {
        p.counter(code++, log.get(v) >> 20, 4);
        p.counter(code++, log.get(v) & 0xFFFFF, 4);
    }
}

// Device wellness: the medium and hardware errors reported, oldest first, 12 bytes each:
// power-on hours, logical object, sense key, ASC, ASCQ, operation.
void wellness(Params& p, const LogSources& s) {
    uint16_t code = 0;
    for (const WellnessEntry& e : s.log->wellness()) {
        std::vector<uint8_t> v(12, 0);
        putBe32(&v[0], e.powerOnHours);
        putBe32(&v[4], e.object);
        v[8] = e.key;
        v[9] = e.asc;
        v[10] = e.ascq;
        v[11] = e.operation;
        p.raw(code++, log_control::BinaryList, std::move(v));
    }
}

// Device status, 32-bit: 0000h device type (drive family), 0001h cleaning status, 0002h
// loads over the drive's life, 0003h cleaning sessions, 0004h power-on hours, 0005h the
// drive temperature.
void deviceStatus(Params& p, const LogSources& s) {
    p.status(0, s.family, 4);
    p.status(1, s.cleaningStatus, 4);
    p.counter(2, s.log->get(V::Loads), 4);
    p.counter(3, s.log->get(V::Cleanings), 4);
    p.status(4, s.powerOnHours, 4);
    p.status(5, s.log->get(V::Temperature), 4);
}

struct PageEntry {
    uint8_t code;
    void (*build)(Params&, const LogSources&);
};

constexpr PageEntry kPages[] = {
    {0x00, nullptr},         {0x02, writeErrors},    {0x03, readErrors}, {0x07, lastEvents},
    {0x0D, temperature},     {0x10, selfTestResults}, {0x2E, tapeAlert},  {0x30, moveStatistics},
    {0x31, capacity},        {0x32, compression},    {0x33, wellness},   {0x3E, deviceStatus},
};

constexpr std::array<uint8_t, std::size(kPages)> codes() {
    std::array<uint8_t, std::size(kPages)> out{};
    for (size_t i = 0; i < out.size(); ++i) out[i] = kPages[i].code;
    return out;
}
constexpr auto kCodes = codes();

}  // namespace

bool hasLogPage(uint8_t page) { return std::find(kCodes.begin(), kCodes.end(), page) != kCodes.end(); }

std::vector<LogParameter> logParameters(uint8_t page, LogPageControl control, const LogSources& sources) {
    Params p(control);
    for (const PageEntry& e : kPages)
        if (e.code == page && e.build && sources.log) e.build(p, sources);
    return p.take();
}

std::vector<uint8_t> encodeLogPage(uint8_t page, std::span<const LogParameter> params) {
    std::vector<uint8_t> out(4, 0);
    out[0] = page;
    if (page == 0x00) {
        out.resize(4 + kCodes.size());
        std::copy(kCodes.begin(), kCodes.end(), out.begin() + 4);
    } else {
        for (const LogParameter& prm : params) {
            const size_t length = std::min<size_t>(prm.value.size(), 255);
            out.push_back(static_cast<uint8_t>(prm.code >> 8));
            out.push_back(static_cast<uint8_t>(prm.code));
            out.push_back(prm.control);
            out.push_back(static_cast<uint8_t>(length));
            out.insert(out.end(), prm.value.begin(), prm.value.begin() + static_cast<std::ptrdiff_t>(length));
        }
    }
    putBe16(&out[2], static_cast<uint32_t>(std::min<size_t>(out.size() - 4, 0xFFFF)));
    return out;
}

}  // namespace vexal::device::virt
