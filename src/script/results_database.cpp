#include "script/results_database.h"

#include <fmt/printf.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <ctime>
#include <fstream>
#include <iterator>

#include "platform/ini_file.h"

namespace vexal::script {
namespace {

// Bounds-checked little-endian reader over the file image.
struct Reader {
    std::span<const uint8_t> bytes;
    size_t at = 0;
    bool has(size_t n) const { return n <= bytes.size() - at; }
    uint8_t u8() { return bytes[at++]; }
    uint16_t u16() {
        const uint16_t v = static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
        at += 2;
        return v;
    }
    double f64() {
        uint64_t v = 0;
        for (int i = 7; i >= 0; --i) v = (v << 8) | bytes[at + static_cast<size_t>(i)];
        at += 8;
        return std::bit_cast<double>(v);
    }
    // A zero-terminated text in a field of `size` bytes; false when no zero ends it.
    bool text(size_t size, std::string& out) {
        const auto field = bytes.subspan(at, size);
        at += size;
        const auto zero = std::find(field.begin(), field.end(), uint8_t{0});
        if (zero == field.end()) return false;
        out.assign(field.begin(), zero);
        return true;
    }
};

struct Writer {
    std::vector<uint8_t> out;
    void u8(uint8_t v) { out.push_back(v); }
    void u16(uint16_t v) {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    }
    void f64(double d) {
        const uint64_t v = std::bit_cast<uint64_t>(d);
        for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void text(std::string_view s, size_t size) {
        for (size_t i = 0; i < size; ++i) out.push_back(i < s.size() && i + 1 < size ? static_cast<uint8_t>(s[i]) : 0);
    }
    void stamp(const DbTimeStamp& t) {
        u8(t.hour);
        u8(t.minute);
        f64(t.seconds);
        u8(t.month);
        u8(t.day);
        u16(t.year);
    }
};

DbTimeStamp readStamp(Reader& r) {
    DbTimeStamp t;
    t.hour = r.u8();
    t.minute = r.u8();
    t.seconds = r.f64();
    t.month = r.u8();
    t.day = r.u8();
    t.year = r.u16();
    return t;
}

const char* resultWord(uint16_t result) {
    switch (result) {
        case 0: return "N/A";
        case 1: return "PASS";
        case 2: return "FAIL";
        default: return "????";
    }
}

}  // namespace

DbTimeStamp localTimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &now);
#else
    localtime_r(&now, &tm);
#endif
    DbTimeStamp t;
    t.hour = static_cast<uint8_t>(tm.tm_hour);
    t.minute = static_cast<uint8_t>(tm.tm_min);
    t.seconds = tm.tm_sec;
    t.month = static_cast<uint8_t>(tm.tm_mon + 1);
    t.day = static_cast<uint8_t>(tm.tm_mday);
    t.year = static_cast<uint16_t>(tm.tm_year + 1900);
    return t;
}

void ResultsDatabase::clear() {
    folders_.clear();
    totalEvents_ = 0;
    modified_ = false;
}

DbLoadError ResultsDatabase::load(std::span<const uint8_t> image) {
    clear();
    Reader r{image};
    if (!r.has(kDbHeaderSize)) return DbLoadError::Truncated;
    const uint16_t version = r.u16();
    const uint16_t folderCount = r.u16();
    const uint16_t totalEvents = r.u16();
    if (version != kDbVersion) return DbLoadError::BadVersion;
    std::vector<DbFolder> folders;
    size_t events = 0;
    for (uint16_t f = 0; f < folderCount; ++f) {
        if (!r.has(kDbFolderSize)) return DbLoadError::Truncated;
        DbFolder folder;
        if (!r.text(kDbMediaIdField, folder.mediaId) || folder.mediaId.empty()) return DbLoadError::Inconsistent;
        folder.created = readStamp(r);
        folder.runs = r.u16();
        folder.passes = r.u16();
        folder.fails = r.u16();
        if (folder.passes + folder.fails != folder.runs) return DbLoadError::Inconsistent;
        // Check the whole run before reserving anything for it.
        if (!r.has(size_t{folder.runs} * kDbEventSize)) return DbLoadError::Truncated;
        folder.events.reserve(folder.runs);
        for (uint16_t e = 0; e < folder.runs; ++e) {
            DbEvent event;
            event.time = readStamp(r);
            event.result = r.u16();
            std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(r.at), kDbFailureData, event.failureData.begin());
            r.at += kDbFailureData;
            if (!r.text(kDbSerialField, event.driveSerial)) return DbLoadError::Inconsistent;
            folder.events.push_back(std::move(event));
        }
        events += folder.runs;
        folders.push_back(std::move(folder));
    }
    if (r.at != image.size()) return DbLoadError::Inconsistent;  // trailing bytes
    if (events != totalEvents) return DbLoadError::Inconsistent;
    folders_ = std::move(folders);
    totalEvents_ = totalEvents;
    return DbLoadError::None;
}

DbLoadError ResultsDatabase::open(const std::filesystem::path& file) {
    clear();
    file_ = file;
    std::ifstream in(file, std::ios::binary);
    if (!in) return DbLoadError::CannotRead;
    const std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return DbLoadError::CannotRead;
    return load(image);
}

std::vector<uint8_t> ResultsDatabase::serialize() const {
    Writer w;
    w.u16(kDbVersion);
    w.u16(static_cast<uint16_t>(folders_.size()));
    w.u16(totalEvents_);
    for (const DbFolder& f : folders_) {
        w.text(f.mediaId, kDbMediaIdField);
        w.stamp(f.created);
        w.u16(f.runs);
        w.u16(f.passes);
        w.u16(f.fails);
        for (const DbEvent& e : f.events) {
            w.stamp(e.time);
            w.u16(e.result);
            w.out.insert(w.out.end(), e.failureData.begin(), e.failureData.end());
            w.text(e.driveSerial, kDbSerialField);
        }
    }
    return std::move(w.out);
}

bool ResultsDatabase::save() const {
    if (folders_.empty() || file_.empty()) return false;
    const std::vector<uint8_t> image = serialize();
    return platform::writeFileAtomically(file_, std::string_view(reinterpret_cast<const char*>(image.data()), image.size()));
}

const DbFolder* ResultsDatabase::find(std::string_view mediaId) const {
    for (const DbFolder& f : folders_)
        if (f.mediaId == mediaId) return &f;
    return nullptr;
}

bool ResultsDatabase::addEvent(std::string_view mediaId, std::string_view driveSerial, DbResult result,
                               std::span<const uint8_t> failureData, const DbTimeStamp& now) {
    // Cutting a media identifier could merge two media into one folder: refuse it instead.
    if (mediaId.empty() || mediaId.size() >= kDbMediaIdField) return false;
    if (totalEvents_ == UINT16_MAX) return false;
    auto it = std::find_if(folders_.begin(), folders_.end(), [&](const DbFolder& f) { return f.mediaId == mediaId; });
    if (it == folders_.end()) {
        if (folders_.size() >= UINT16_MAX) return false;
        DbFolder folder;
        folder.mediaId = std::string(mediaId);
        folder.created = now;
        folders_.push_back(std::move(folder));
        it = folders_.end() - 1;
    }
    DbFolder& f = *it;
    if (f.runs == UINT16_MAX) return false;
    DbEvent event;
    event.time = now;
    event.result = static_cast<uint16_t>(result);
    event.driveSerial = std::string(driveSerial.substr(0, kDbSerialField - 1));
    if (result == DbResult::Fail)
        std::copy_n(failureData.begin(), std::min(failureData.size(), kDbFailureData), event.failureData.begin());
    ++f.runs;
    if (result == DbResult::Pass) ++f.passes;
    else ++f.fails;
    f.events.push_back(std::move(event));
    ++totalEvents_;
    modified_ = true;
    return true;
}

bool ResultsDatabase::removeFolder(std::string_view mediaId) {
    auto it = std::find_if(folders_.begin(), folders_.end(), [&](const DbFolder& f) { return f.mediaId == mediaId; });
    if (it == folders_.end()) return false;
    totalEvents_ = static_cast<uint16_t>(totalEvents_ - it->events.size());
    folders_.erase(it);
    modified_ = true;
    return true;
}

double ResultsDatabase::passPercentage(const DbFolder& f) {
    if (f.runs == 0) return 0;
    return 100.0 - (static_cast<double>(f.runs) - f.passes) / f.runs * 100.0;
}

std::string ResultsDatabase::folderReport(const DbFolder& f) {
    std::string out = fmt::sprintf("MediaId: %s\n", f.mediaId);
    out += fmt::sprintf("Runs / Passes / Fails: %d / %d / %d\n", f.runs, f.passes, f.fails);
    for (const DbEvent& e : f.events)
        out += fmt::sprintf("  %s: %02d:%02d:%2.3f  %02d/%02d/%04d   %s\n", resultWord(e.result), e.time.hour, e.time.minute,
                            e.time.seconds, e.time.month, e.time.day, e.time.year, e.driveSerial);
    return out;
}

std::string ResultsDatabase::databaseReport() const {
    const std::string stars = std::string(79, '*') + "\n";
    std::string out;
    for (const DbFolder& f : folders_) out += stars + folderReport(f);
    if (!folders_.empty()) out += stars;
    return out;
}

}  // namespace vexal::script
