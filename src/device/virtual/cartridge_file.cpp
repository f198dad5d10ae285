#include "device/virtual/cartridge_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "device/virtual/byte_order.h"
#include "platform/paths.h"

namespace vexal::device::virt {
namespace {

constexpr char kMagic[8] = {'K', 'V', 'X', 'T', 'A', 'P', 'E', '\x1A'};
constexpr uint32_t kVersion = 1;
constexpr size_t kHeaderSize = 64;
constexpr size_t kRecordSize = 16;
constexpr size_t kChecksumAt = 56;

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

struct Fnv {
    uint64_t hash = 0xcbf29ce484222325ull;
    void add(const uint8_t* p, size_t n) {
        for (size_t i = 0; i < n; ++i) hash = (hash ^ p[i]) * 0x100000001b3ull;
    }
};

void encodeRecord(const TapeMedium::Record& r, uint8_t* out) {
    std::memset(out, 0, kRecordSize);
    out[0] = static_cast<uint8_t>(r.kind);
    out[1] = r.fill;
    out[2] = r.compressed ? 1 : 0;
    putLe32(out + 4, r.length);
    putLe64(out + 8, r.offset);
}

std::vector<uint8_t> encodeTable(const TapeMedium& medium) {
    std::vector<uint8_t> table(medium.records().size() * kRecordSize);
    for (size_t i = 0; i < medium.records().size(); ++i) encodeRecord(medium.records()[i], &table[i * kRecordSize]);
    return table;
}

std::array<uint8_t, kHeaderSize> encodeHeader(const TapeMedium& medium, const DriveState& state,
                                              const std::vector<uint8_t>& table) {
    std::array<uint8_t, kHeaderSize> h{};
    std::memcpy(h.data(), kMagic, sizeof kMagic);
    putLe32(&h[8], kVersion);
    putLe32(&h[12], kHeaderSize);
    putLe64(&h[16], medium.objectCount());
    putLe64(&h[24], medium.arena().size());
    putLe64(&h[32], medium.capacity());
    putLe64(&h[40], state.position);
    putLe32(&h[48], state.blockLength);
    h[52] = static_cast<uint8_t>((state.loaded ? 1 : 0) | (state.compression ? 2 : 0));
    Fnv fnv;
    fnv.add(h.data(), kChecksumAt);
    fnv.add(table.data(), table.size());
    putLe64(&h[kChecksumAt], fnv.hash);
    return h;
}

bool writeAll(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

bool readAll(int fd, uint8_t* p, size_t n) {
    while (n > 0) {
        const ssize_t r = ::read(fd, p, n);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        p += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

std::string refuse(const std::filesystem::path& path, const std::string& why) {
    return "The virtual cartridge file " + path.string() + " is refused (" + why + ")";
}

}  // namespace

std::filesystem::path cartridgePath(const std::string& serial) {
    std::string name;
    for (char c : serial) {
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                          c == '-' || c == '_';
        name += keep ? c : '_';
    }
    while (!name.empty() && name.back() == '_') name.pop_back();  // serial padding
    if (name.empty() || name.front() == '.') name.insert(name.begin(), '_');
    return platform::installPath() / "Virtual" / (name + ".vtape");
}

CartridgeLoad loadCartridge(const std::filesystem::path& path, TapeMedium& medium, DriveState& state,
                            std::string& error) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT) return CartridgeLoad::Missing;
        error = refuse(path, std::string("cannot be opened: ") + std::strerror(errno));
        return CartridgeLoad::Refused;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = refuse(path, "not a regular file");
        return CartridgeLoad::Refused;
    }
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    std::array<uint8_t, kHeaderSize> h{};
    if (size < kHeaderSize || !readAll(fd.get(), h.data(), h.size())) {
        error = refuse(path, "shorter than its header");
        return CartridgeLoad::Refused;
    }
    if (std::memcmp(h.data(), kMagic, sizeof kMagic) != 0) {
        error = refuse(path, "not a virtual cartridge: bad magic");
        return CartridgeLoad::Refused;
    }
    if (getLe32(&h[8]) != kVersion || getLe32(&h[12]) != kHeaderSize) {
        error = refuse(path, "version " + std::to_string(getLe32(&h[8])) + " is not supported");
        return CartridgeLoad::Refused;
    }
    const uint64_t count = getLe64(&h[16]);
    const uint64_t arenaSize = getLe64(&h[24]);
    const uint64_t room = size - kHeaderSize;
    if (count > room / kRecordSize || arenaSize != room - count * kRecordSize) {
        error = refuse(path, "its size does not match its header: truncated or damaged");
        return CartridgeLoad::Refused;
    }
    std::vector<uint8_t> table(static_cast<size_t>(count * kRecordSize));
    if (!readAll(fd.get(), table.data(), table.size())) {
        error = refuse(path, "cannot read its object table");
        return CartridgeLoad::Refused;
    }
    Fnv fnv;
    fnv.add(h.data(), kChecksumAt);
    fnv.add(table.data(), table.size());
    if (fnv.hash != getLe64(&h[kChecksumAt])) {
        error = refuse(path, "checksum mismatch: damaged");
        return CartridgeLoad::Refused;
    }
    std::vector<TapeMedium::Record> records(static_cast<size_t>(count));
    for (size_t i = 0; i < records.size(); ++i) {
        const uint8_t* p = &table[i * kRecordSize];
        records[i].kind = static_cast<TapeMedium::Kind>(p[0]);
        records[i].fill = p[1];
        records[i].compressed = p[2] & 1;
        records[i].length = getLe32(p + 4);
        records[i].offset = getLe64(p + 8);
    }
    std::vector<uint8_t> arena;
    try {
        arena.resize(static_cast<size_t>(arenaSize));
    } catch (const std::bad_alloc&) {
        error = refuse(path, "too large to hold in memory");
        return CartridgeLoad::Refused;
    }
    if (!readAll(fd.get(), arena.data(), arena.size())) {
        error = refuse(path, "cannot read its data");
        return CartridgeLoad::Refused;
    }
    std::string problem;
    TapeMedium loaded;
    if (!TapeMedium::fromParts(std::move(records), std::move(arena), medium.capacity(), loaded, problem)) {
        error = refuse(path, problem);
        return CartridgeLoad::Refused;
    }
    medium = std::move(loaded);
    state.position = std::min<uint64_t>(getLe64(&h[40]), medium.objectCount());
    state.blockLength = std::min<uint32_t>(getLe32(&h[48]), TapeMedium::kMaxBlockLength);
    state.loaded = h[52] & 1;
    state.compression = h[52] & 2;
    return CartridgeLoad::Loaded;
}

bool saveCartridge(const std::filesystem::path& path, const TapeMedium& medium, const DriveState& state,
                   std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    std::string tmpl = path.string() + ".XXXXXX";
    Fd fd(::mkstemp(tmpl.data()));
    if (fd.get() < 0) {
        error = "The virtual cartridge cannot be saved to " + path.string() + ": " + std::strerror(errno) + ".";
        return false;
    }
    const std::vector<uint8_t> table = encodeTable(medium);
    const auto header = encodeHeader(medium, state, table);
    bool ok = writeAll(fd.get(), header.data(), header.size()) && writeAll(fd.get(), table.data(), table.size()) &&
              writeAll(fd.get(), medium.arena().data(), medium.arena().size()) && ::fsync(fd.get()) == 0;
    ok = ::close(fd.release()) == 0 && ok;
    ok = ok && ::rename(tmpl.c_str(), path.c_str()) == 0;
    if (!ok) {
        error = "The virtual cartridge cannot be saved to " + path.string() + ": " + std::strerror(errno) + ".";
        ::unlink(tmpl.c_str());
        return false;
    }
    // Make the rename itself durable.
    Fd dir(::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());
    return true;
}

bool saveDriveState(const std::filesystem::path& path, const TapeMedium& medium, const DriveState& state,
                    std::string& error) {
    Fd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC));
    struct stat st {};
    const uint64_t expected = kHeaderSize + medium.objectCount() * kRecordSize + medium.arena().size();
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || static_cast<uint64_t>(st.st_size) != expected) {
        error = "The virtual cartridge file " + path.string() + " does not hold this tape.";
        return false;
    }
    const auto header = encodeHeader(medium, state, encodeTable(medium));
    if (::pwrite(fd.get(), header.data(), header.size(), 0) != static_cast<ssize_t>(header.size())) {
        error = "The virtual cartridge cannot be saved to " + path.string() + ": " + std::strerror(errno) + ".";
        return false;
    }
    return true;
}

}  // namespace vexal::device::virt
