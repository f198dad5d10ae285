#include "diag/event_packets.h"

#include <algorithm>
#include <array>

namespace vexal::diag {
namespace {

constexpr std::array<std::string_view, kPacketKindCount> kKindWords{
    "SENSE",          "SCSI",          "CUP",          "CODEUPDATE",   "BUGCHECK", "DIAG ILOG",
    "DIAG 4 CH WRITE", "DIAG 4 CH READ", "DIAG TEST",    "PO/ST",        "LOADER ERROR", "DRIVE ERROR",
    "DIR RD ERROR",   "DIR WR ERROR",  "CAL ERROR",    "OVERTEMP",     "EVENT",    "UNKNOWN"};

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::vector<std::string_view> words(std::string_view s) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && isBlank(s[i])) ++i;
        const size_t start = i;
        while (i < s.size() && !isBlank(s[i])) ++i;
        if (i > start) out.push_back(s.substr(start, i - start));
    }
    return out;
}

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 99;
}

// The leading digits of `s` in `base`, saturating at 32 bits; `used` counts them.
uint32_t number(std::string_view s, int base, size_t* used = nullptr) {
    uint64_t v = 0;
    size_t i = 0;
    for (; i < s.size() && digitValue(s[i]) < base; ++i) v = std::min<uint64_t>(v * static_cast<uint64_t>(base) + static_cast<uint64_t>(digitValue(s[i])), UINT32_MAX);
    if (used) *used = i;
    return static_cast<uint32_t>(v);
}

// "a/b": both decimal.
void pair(std::string_view s, uint32_t& a, uint32_t& b) {
    size_t used = 0;
    a = number(s, 10, &used);
    s.remove_prefix(used);
    b = (!s.empty() && s.front() == '/') ? number(s.substr(1), 10) : 0;
}

// The text after `key` in `line`, blanks skipped.
std::string_view after(std::string_view line, size_t pos, size_t keyLength) {
    std::string_view rest = line.substr(pos + keyLength);
    while (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);
    return rest;
}

void readPohLine(std::string_view line, PacketRecord& p) {
    if (size_t pos = line.find("POH/PC="); pos != std::string_view::npos) {
        pair(after(line, pos, 7), p.poh, p.pc);
        return;
    }
    if (size_t pos = line.find("POH/PC/MID/SK/ASC/ASCQ/ADDERR="); pos != std::string_view::npos) {
        std::string_view rest = after(line, pos, 30);
        std::array<uint32_t, 6> v{};
        for (size_t i = 0; i < v.size(); ++i) {
            size_t used = 0;
            v[i] = number(rest, i < 3 ? 10 : 16, &used);
            rest.remove_prefix(used);
            if (rest.empty() || rest.front() != '/') break;
            rest.remove_prefix(1);
        }
        p.poh = v[0];
        p.pc = v[1];
        p.senseKey = static_cast<uint8_t>(v[3]);
        p.asc = static_cast<uint8_t>(v[4]);
        p.ascq = static_cast<uint8_t>(v[5]);
        return;
    }
    if (size_t pos = line.find("TIMEPOH="); pos != std::string_view::npos) {
        p.poh = number(after(line, pos, 8), 10);
        return;
    }
    const size_t poh = line.find("POH:"), pcyc = line.find("PCYC:");
    if (poh != std::string_view::npos && pcyc != std::string_view::npos) {
        p.poh = number(after(line, poh, 4), 10);
        p.pc = number(after(line, pcyc, 5), 10);
    }
}

uint32_t packetNumber(std::string_view first) {
    const auto w = words(first);
    if (w.empty()) return 0;
    std::string_view rest = first.substr(static_cast<size_t>(w[0].data() + w[0].size() - first.data()));
    while (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);
    if (rest.starts_with("# ")) {
        const auto next = words(rest.substr(2));
        return next.empty() ? 0 : number(next[0], 10);
    }
    std::string blanked(rest);
    for (char& c : blanked)
        if (c == '#' || c == ',') c = ' ';
    const auto next = words(blanked);
    return next.empty() ? 0 : number(next[0], 16);
}

bool isHexWord(std::string_view w) {
    return w.size() == 8 && std::all_of(w.begin(), w.end(), [](char c) { return digitValue(c) < 16; });
}

}  // namespace

int packetKindOfLine(std::string_view firstLine) {
    const std::string u = upper(firstLine);
    for (int k = 0; k < kPacketKindCount - 1; ++k)
        if (u.find(kKindWords[static_cast<size_t>(k)]) != std::string::npos) return k;
    return kPacketKindCount - 1;
}

std::string_view packetKindWord(int kind) {
    return kind >= 0 && kind < kPacketKindCount ? kKindWords[static_cast<size_t>(kind)] : kKindWords.back();
}

bool isPacketHeader(std::string_view line) { return line.starts_with("Packet #"); }

size_t countPacketHeaders(std::span<const std::string> lines) {
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return isPacketHeader(l); }));
}

std::vector<PacketRecord> analysePackets(std::span<const std::string> lines) {
    std::vector<PacketRecord> packets;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find("Packet #") == std::string::npos) {
            if (!packets.empty()) {
                ++packets.back().lineCount;
                readPohLine(upper(lines[i]), packets.back());
            }
            continue;
        }
        PacketRecord p;
        p.firstLine = i;
        p.lineCount = 1;
        p.kind = packetKindOfLine(lines[i]);
        p.number = packetNumber(lines[i]);
        readPohLine(upper(lines[i]), p);
        packets.push_back(p);
    }
    return packets;
}

bool parsePacketHeader(std::string_view line, PacketHeader& out) {
    out = PacketHeader{};
    if (!isPacketHeader(line)) return false;
    const auto w = words(line.substr(8));
    size_t i = 0;
    if (i < w.size()) out.number = number(w[i++], 10);
    if (i < w.size() && w[i] == "-") ++i;
    if (i >= w.size()) return false;
    std::string_view kind = w[i++];
    if (kind.starts_with('-')) kind.remove_prefix(1);
    for (char c : upper(kind))
        if (c != ':') out.kind.push_back(c);
    if (out.kind.empty()) return false;
    if (i < w.size()) out.code = number(w[i++], 16);
    if (i < w.size() && w[i].starts_with('[')) {
        std::string_view name = w[i++].substr(1);
        if (name.ends_with(']')) name.remove_suffix(1);
        out.name = std::string(name);
        if (i < w.size() && !w[i - 1].ends_with(']')) {
            std::string_view date = w[i++];
            size_t used = 0;
            out.month = static_cast<int>(number(date, 10, &used));
            date.remove_prefix(std::min(date.size(), used + 1));
            out.day = static_cast<int>(number(date, 10, &used));
            date.remove_prefix(std::min(date.size(), used + 1));
            out.year = static_cast<int>(number(date, 10));
        }
    }
    if (i < w.size() && w[i].find(':') != std::string_view::npos) {
        std::string_view t = w[i++];
        size_t used = 0;
        out.hours = static_cast<int>(std::min<uint32_t>(number(t, 10, &used), 9999999));
        t.remove_prefix(std::min(t.size(), used + 1));
        out.minutes = static_cast<int>(std::min<uint32_t>(number(t, 10, &used), 9999));
        t.remove_prefix(std::min(t.size(), used + 1));
        const uint32_t whole = std::min<uint32_t>(number(t, 10, &used), 9999);
        t.remove_prefix(used);
        double fraction = 0;
        if (!t.empty() && t.front() == '.') {
            double scale = 0.1;
            for (size_t k = 1; k < t.size() && k < 10 && digitValue(t[k]) < 10; ++k, scale /= 10) fraction += digitValue(t[k]) * scale;
        }
        out.seconds = whole + fraction;
    }
    for (; i + 1 < w.size(); ++i)
        if (upper(w[i]) == "POH/PC=") {
            pair(w[i + 1], out.poh, out.pc);
            break;
        }
    return true;
}

DataWordError packetDataWord(std::span<const std::string> after, size_t index, uint32_t& value) {
    size_t seen = 0;
    for (const std::string& line : after) {
        if (line.find("Packet") != std::string::npos) return seen == 0 ? DataWordError::NoData : DataWordError::NextPacket;
        const auto w = words(line);
        if (w.empty() || !isHexWord(w[0])) continue;
        if (index < seen + w.size()) {
            const std::string_view word = w[index - seen];
            if (!isHexWord(word)) return DataWordError::NotHex;
            value = number(word, 16);
            return DataWordError::None;
        }
        seen += w.size();
    }
    return seen == 0 ? DataWordError::NoData : DataWordError::EndOfPage;
}

}  // namespace vexal::diag
