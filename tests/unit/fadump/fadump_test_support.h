#pragma once
// Helpers of the FA dump tests: files, zip archives built and read with minizip, an
// operator that keeps the progress window's range and positions, environment guards, and
// a selected virtual drive whose CDBs are traced.
#include <gtest/gtest.h>
#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "command/scsi_device.h"
#include "device/device_library.h"
#include "device/virtual/virtual_transport.h"
#include "support/fake_operator.h"
#include "support/test_root.h"
#include "support/recording_output.h"

namespace vexal::fadump_test {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

inline Bytes readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}
inline std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}
inline void writeBytes(const fs::path& path, const Bytes& data) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                                static_cast<std::streamsize>(data.size()));
}
inline void writeText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
inline Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline mode_t permissions(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

class EnvGuard {
public:
    EnvGuard(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) previous_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~EnvGuard() {
        if (previous_) ::setenv(name_.c_str(), previous_->c_str(), 1);
        else ::unsetenv(name_.c_str());
    }
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

// A zip archive with these members, deflated (or stored with `level` 0).
inline void makeZip(const fs::path& path, const std::vector<std::pair<std::string, Bytes>>& members,
                    int level = Z_DEFAULT_COMPRESSION) {
    zipFile z = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(z, nullptr);
    for (const auto& [name, data] : members) {
        zip_fileinfo info{};
        ASSERT_EQ(zipOpenNewFileInZip64(z, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                        level == 0 ? 0 : Z_DEFLATED, level, 0),
                  ZIP_OK);
        if (!data.empty()) {
            ASSERT_EQ(zipWriteInFileInZip(z, data.data(), static_cast<unsigned>(data.size())), ZIP_OK);
        }
        ASSERT_EQ(zipCloseFileInZip(z), ZIP_OK);
    }
    ASSERT_EQ(zipClose(z, nullptr), ZIP_OK);
}

struct Member {
    std::string name;
    unsigned long method = 0;
    Bytes data;
};

// Every member of a zip archive, read straight through minizip.
inline std::vector<Member> readZip(const fs::path& path) {
    std::vector<Member> out;
    unzFile u = unzOpen64(path.c_str());
    if (!u) return out;
    for (int rc = unzGoToFirstFile(u); rc == UNZ_OK; rc = unzGoToNextFile(u)) {
        unz_file_info64 info{};
        char name[512] = {};
        unzGetCurrentFileInfo64(u, &info, name, sizeof name, nullptr, 0, nullptr, 0);
        Member m{name, info.compression_method, {}};
        if (unzOpenCurrentFile(u) == UNZ_OK) {
            char chunk[8192];
            int n = 0;
            while ((n = unzReadCurrentFile(u, chunk, sizeof chunk)) > 0) m.data.insert(m.data.end(), chunk, chunk + n);
            unzCloseCurrentFile(u);
        }
        out.push_back(std::move(m));
    }
    unzClose(u);
    return out;
}

// A FakeOperator that also keeps the progress range and every position set.
class ProgressOperator : public testing::FakeOperator {
public:
    int rangeMaximum = -1;
    std::vector<int> positions;
    void progressSetRange(int, int maximum) override { rangeMaximum = maximum; }
    void progressSetPosition(int position) override { positions.push_back(position); }
};

// The virtual bus from a profile (its tape drive traced to a file), device 0 selected.
class VirtualDriveFixture : public ::testing::Test {
protected:
    void startDrive(const std::string& profileBody = "") {
        const fs::path profile = root.path() / "profile.ini";
        writeText(profile, "[target 0]\ntype = tape\ntrace = " + trace.string() + "\n" + profileBody);
        std::string error;
        auto transport = device::makeVirtualTransport(profile.string(), error);
        ASSERT_TRUE(transport) << error;
        device::DevSetTransport(transport);
        ASSERT_EQ(device::DevEnumerate(), 0);
        device = std::make_unique<command::CScsiDevice>(output);
        ASSERT_TRUE(device->Select(0));
        device->serialNumber = "VD00000001";
    }
    void TearDown() override {
        device.reset();
        device::DevFreeList();
        device::DevSetTransport(nullptr);
    }
    // The READ BUFFER lines of the CDB trace.
    std::vector<std::string> readBufferTrace() const {
        std::vector<std::string> lines;
        std::istringstream in(readText(trace));
        for (std::string line; std::getline(in, line);)
            if (line.rfind("3C ", 0) == 0) lines.push_back(line);
        return lines;
    }

    testing::TempRoot root;
    fs::path trace = root.path() / "trace.txt";
    testing::RecordingOutput output{true};
    std::unique_ptr<command::CScsiDevice> device;
};

}  // namespace vexal::fadump_test
