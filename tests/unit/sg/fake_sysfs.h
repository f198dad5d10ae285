#pragma once
// A sysfs and /dev tree in a temporary folder, laid out as the kernel lays them out:
//   sys/devices/platform/hostH/scsi_host/hostH/scan
//   sys/devices/platform/hostH/targetH:C:T/H:C:T:L/{type,vendor,model}
//   sys/devices/platform/hostH/targetH:C:T/H:C:T:L/scsi_generic/sgN/device -> ../../../H:C:T:L
//   sys/class/scsi_host/hostH -> ../../devices/platform/hostH/scsi_host/hostH
//   sys/class/scsi_generic/sgN -> ../../devices/platform/hostH/targetH:C:T/H:C:T:L/scsi_generic/sgN
// and dev/sgN as a regular file (it opens, but SG_IO on it fails with ENOTTY).
#include <filesystem>
#include <fstream>
#include <string>

#include <fmt/format.h>

#include "device/sg/sg_transport.h"

namespace vexal::testing {

class FakeSysfs {
public:
    // How dev/sgN looks. Tests run as root, where file modes do not stop open(), so a
    // node that cannot be opened is a dangling symlink, a folder, or missing.
    enum class Node { File, DanglingLink, Folder, Missing };

    explicit FakeSysfs(const std::filesystem::path& root) : sys_(root / "sys"), dev_(root / "dev") {
        std::filesystem::create_directories(dev_);
    }

    const std::filesystem::path& sys() const { return sys_; }
    const std::filesystem::path& dev() const { return dev_; }

    device::SgScanOptions options(bool rescan = false) const {
        device::SgScanOptions options;
        options.sysfsRoot = sys_;
        options.devRoot = dev_;
        options.rescan = rescan;
        return options;
    }

    void addHost(uint32_t host, bool withScanFile = true) {
        const auto dir = hostDir(host) / "scsi_host" / hostName(host);
        std::filesystem::create_directories(dir);
        if (withScanFile) write(dir / "scan", "");
        link(fmt::format("../../devices/platform/{}/scsi_host/{}", hostName(host), hostName(host)),
             sys_ / "class" / "scsi_host" / hostName(host));
    }

    // `hctl` as the kernel names the device folder, e.g. "0:0:2:0".
    void addDevice(int sg, const std::string& hctl, int type, const std::string& vendor = "KORVANE",
                   const std::string& model = "TAPE", Node node = Node::File) {
        const std::string host = hctl.substr(0, hctl.find(':'));
        const std::string nexus = hctl.substr(0, hctl.rfind(':'));
        const auto relative = fmt::format("devices/platform/host{}/target{}/{}", host, nexus, hctl);
        const auto dir = sys_ / relative;
        const auto sgName = fmt::format("sg{}", sg);
        std::filesystem::create_directories(dir / "scsi_generic" / sgName);
        write(dir / "type", fmt::format("{}\n", type));
        // The kernel pads vendor to 8 and model to 16 characters.
        write(dir / "vendor", fmt::format("{:<8}\n", vendor));
        write(dir / "model", fmt::format("{:<16}\n", model));
        link("../../../" + hctl, dir / "scsi_generic" / sgName / "device");
        link(fmt::format("../../{}/scsi_generic/{}", relative, sgName), sys_ / "class" / "scsi_generic" / sgName);
        addNode(sgName, node);
    }

    void addNode(const std::string& name, Node node) {
        const auto path = dev_ / name;
        switch (node) {
        case Node::File: write(path, ""); break;
        case Node::DanglingLink: std::filesystem::create_symlink("nowhere/" + name, path); break;
        case Node::Folder: std::filesystem::create_directories(path); break;
        case Node::Missing: break;
        }
    }

    std::string scanContent(uint32_t host) const {
        return read(hostDir(host) / "scsi_host" / hostName(host) / "scan");
    }

    static void write(const std::filesystem::path& file, const std::string& text) {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }
    static std::string read(const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void link(const std::string& target, const std::filesystem::path& at) {
        std::filesystem::create_directories(at.parent_path());
        std::filesystem::create_symlink(target, at);
    }

private:
    static std::string hostName(uint32_t host) { return fmt::format("host{}", host); }
    std::filesystem::path hostDir(uint32_t host) const { return sys_ / "devices" / "platform" / hostName(host); }

    std::filesystem::path sys_;
    std::filesystem::path dev_;
};

}  // namespace vexal::testing
