#pragma once
// The settings stores: the user store (Corvine/Mendra.ini), the machine store holding
// InstallPath, and the framework profile (Mendra/Vexal.ini). Values are decimal text.
// Every change re-reads the file under an exclusive lock and replaces it atomically, so
// two processes changing settings at once lose nothing and never leave a torn file.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ini_file.h"

namespace vexal::platform {

// Applies `change` to the INI file at `path` under an exclusive lock (a "<file>.lock"
// beside it). False when the file cannot be read, locked or written.
bool updateIniFile(const std::filesystem::path& path, const std::function<void(IniFile&)>& change);

// Reads a settings value as decimal text: non-numeric text reads as 0.
long decimalValue(std::string_view text);

// A key of a settings store: a base path and an open sub-key (an INI section).
class SettingsKey {
public:
    enum class Root { User, Machine };
    static constexpr size_t kValueBuffer = 100;  // values are read into 100 bytes

    explicit SettingsKey(Root root = Root::User);

    // 1 created, 2 already existed, 0 failure.
    int CreateOrOpen(std::string_view subKey);
    bool Open(std::string_view subKey);
    // 0 and the value; non-zero and "" when the value cannot be read.
    int ReadString(std::string_view name, std::string& value) const;
    // 0 on success.
    int WriteString(std::string_view name, std::string_view value);
    int WriteDword(std::string_view name, uint32_t value);
    bool isOpen() const { return !section_.empty(); }

private:
    std::filesystem::path file_;
    std::string section_;
};

// The framework profile: instance count, selected devices, labelled devices.
class ProfileStore {
public:
    static long readInt(std::string_view section, std::string_view key, long fallback);
    static std::string readString(std::string_view section, std::string_view key, std::string_view fallback);
    static bool writeInt(std::string_view section, std::string_view key, long value);
    static bool writeString(std::string_view section, std::string_view key, std::string_view value);
    // Adds `delta` to "Instance Count" of "Mendra Globals" under the lock; returns the
    // new count, or -1 when the profile cannot be written.
    static long changeInstanceCount(long delta);
};

}  // namespace vexal::platform
