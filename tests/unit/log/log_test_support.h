#pragma once
// Helpers shared by the logging tests.
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/system_info.h"
#include "support/fake_operator.h"

namespace vexal::testing {

// A FakeOperator that also records captions and what a file dialog was offered.
class RecordingOperator : public FakeOperator {
public:
    struct FileRequest {
        ui::FileDialog kind;
        std::string caption;
        std::string filter;
        std::string proposed;
    };
    std::vector<std::string> captions;  // one per message, in order
    std::vector<FileRequest> fileRequests;

    ui::Button message(std::string_view text, std::string_view caption, ui::Icon icon, ui::Buttons buttons,
                        ui::Button defaultButton) override {
        captions.emplace_back(caption);
        return FakeOperator::message(text, caption, icon, buttons, defaultButton);
    }
    bool chooseFile(ui::FileDialog kind, std::string_view caption, std::string_view filter,
                    std::string& path) override {
        fileRequests.push_back({kind, std::string(caption), std::string(filter), path});
        return FakeOperator::chooseFile(kind, caption, filter, path);
    }
};

// Sets an environment variable for the lifetime of the object.
class EnvGuard {
public:
    EnvGuard(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) previous_ = old;
        setenv(name, value.c_str(), 1);
        if (name_ == "TZ") tzset();
    }
    ~EnvGuard() {
        if (previous_) setenv(name_.c_str(), previous_->c_str(), 1);
        else unsetenv(name_.c_str());
        if (name_ == "TZ") tzset();
    }
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline bool isReadOnly(const std::filesystem::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) == 0;
}

// What start-up would have recorded about the machine, fixed for the tests.
inline platform::SystemInformation testSystem() {
    platform::SystemInformation s;
    s.computerName = "bench-07";
    s.osName = "Debian GNU/Linux 12 (bookworm)";
    s.versionText = "Version 6.1 0-18-amd64 (Build 0)";
    s.text = "[SystemInfo] " + s.osName + " " + s.versionText + "\n\n";
    return s;
}

// 2004-03-14 09:26:53 UTC.
inline constexpr std::time_t kMorning = 1079256413;

}  // namespace vexal::testing
