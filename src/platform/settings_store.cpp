#include "platform/settings_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <charconv>

#include "platform/paths.h"

namespace vexal::platform {
namespace fs = std::filesystem;
namespace {

// An exclusive flock on a lock file, released when the object goes.
class FileLock {
public:
    explicit FileLock(const fs::path& path) {
        std::error_code ec;
        if (path.has_parent_path()) fs::create_directories(path.parent_path(), ec);
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~FileLock() {
        if (fd_ >= 0) {
            ::flock(fd_, LOCK_UN);
            ::close(fd_);
        }
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

fs::path rootFile(SettingsKey::Root root) {
    return root == SettingsKey::Root::User ? userSettingsFile() : machineSettingsFile();
}

}  // namespace

bool updateIniFile(const fs::path& path, const std::function<void(IniFile&)>& change) {
    FileLock lock(fs::path(path.string() + ".lock"));
    if (!lock.held()) return false;
    IniFile ini;
    if (!IniFile::load(path, ini)) return false;
    change(ini);
    return ini.saveAtomically(path);
}

long decimalValue(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    long value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() ? value : 0;
}

SettingsKey::SettingsKey(Root root) : file_(rootFile(root)) {}

int SettingsKey::CreateOrOpen(std::string_view subKey) {
    IniFile ini;
    if (!IniFile::load(file_, ini)) return 0;
    if (ini.hasSection(subKey)) {
        section_ = std::string(subKey);
        return 2;
    }
    bool created = false;
    const bool ok = updateIniFile(file_, [&](IniFile& f) {
        if (!f.hasSection(subKey)) {
            f.addSection(subKey);
            created = true;
        }
    });
    if (!ok) return 0;
    section_ = std::string(subKey);
    return created ? 1 : 2;
}

bool SettingsKey::Open(std::string_view subKey) {
    IniFile ini;
    if (!IniFile::load(file_, ini) || !ini.hasSection(subKey)) return false;
    section_ = std::string(subKey);
    return true;
}

int SettingsKey::ReadString(std::string_view name, std::string& value) const {
    value.clear();
    if (section_.empty()) return 1;
    IniFile ini;
    if (!IniFile::load(file_, ini)) return 1;
    auto v = ini.get(section_, name);
    if (!v) return 1;
    value = v->substr(0, kValueBuffer - 1);
    return 0;
}

int SettingsKey::WriteString(std::string_view name, std::string_view value) {
    if (section_.empty()) return 1;
    return updateIniFile(file_, [&](IniFile& f) { f.set(section_, name, value); }) ? 0 : 1;
}

int SettingsKey::WriteDword(std::string_view name, uint32_t value) {
    return WriteString(name, std::to_string(value));
}

long ProfileStore::readInt(std::string_view section, std::string_view key, long fallback) {
    IniFile ini;
    if (!IniFile::load(profileFile(), ini)) return fallback;
    auto v = ini.get(section, key);
    return v ? decimalValue(*v) : fallback;
}

std::string ProfileStore::readString(std::string_view section, std::string_view key, std::string_view fallback) {
    IniFile ini;
    if (!IniFile::load(profileFile(), ini)) return std::string(fallback);
    auto v = ini.get(section, key);
    return v ? *v : std::string(fallback);
}

bool ProfileStore::writeInt(std::string_view section, std::string_view key, long value) {
    return writeString(section, key, std::to_string(value));
}

bool ProfileStore::writeString(std::string_view section, std::string_view key, std::string_view value) {
    return updateIniFile(profileFile(), [&](IniFile& f) { f.set(section, key, value); });
}

long ProfileStore::changeInstanceCount(long delta) {
    long result = -1;
    const bool ok = updateIniFile(profileFile(), [&](IniFile& f) {
        auto v = f.get("Mendra Globals", "Instance Count");
        long count = v ? decimalValue(*v) : (delta < 0 ? 1 : 0);
        count += delta;
        if (count < 0) count = 0;
        f.set("Mendra Globals", "Instance Count", std::to_string(count));
        result = count;
    });
    return ok ? result : -1;
}

}  // namespace vexal::platform
