#pragma once
// What every vexal-cli command shares: the global options, the terminal operator, the
// bus scan and finding the device a command is for.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_access.h"
#include "cli/exit_codes.h"
#include "cli/terminal_operator.h"
#include "device/bus_scan.h"
#include "device/device_selection.h"

namespace vexal::cli {

struct GlobalOptions {
    std::string transport;             // empty: the Transport setting
    std::vector<std::string> portals;  // --portal
    bool useVirtual = false;
    std::string virtualProfile;
    std::string device;                // --device N | H:T:L | /dev/sgN
    int timeoutSeconds = 0;            // --timeout: the device's command time-out for this run; 0: as it is
    bool engineering = false;
    bool json = false;
    bool quiet = false;
    bool yes = false;
    bool no = false;
    std::string answersFile;
    std::string color = "auto";
    bool log = false;
    std::string saveFile;
};

// The CLI's selection is kept in the profile as instance 1, the one a single desktop
// console uses, so that a choice made in either is seen by the other.
inline constexpr int kCliInstance = 1;

class CliContext {
public:
    explicit CliContext(const GlobalOptions& options);

    // Builds the scan configuration from the options and the settings; false with a
    // message on stderr when they are inconsistent (exit 2).
    bool prepare();
    // Runs the bus scan; returns an exit code (0; 4 when the transport failed, 2 when it was
    // the virtual drive's profile). On SCSI
    // generic a --device of H:T:L or /dev/sgN makes it read and open that device alone,
    // unless `wholeBus` asks for every device (the list, the stored selection).
    int scan(bool wholeBus = false);
    // Asks the kernel to probe the buses again before the next scan (scan --rescan).
    void rescan();
    // 4, with a sentence on stderr, when an iSCSI portal did not answer or refused, or when
    // devices were found but none could be opened for lack of permission; else 0.
    int accessFailure() const;
    // Finds the device a command is for: --device, else the stored selection. Prints why
    // and returns 3 when there is none or it may not be addressed (4 when the devices there
    // are refused to this user).
    int resolveDevice(device::DeviceEntry& entry, bool requireAddressable = true);
    // Parses "N", "H:T:L" or "/dev/sgN" into a device index of the current array; -1 when
    // unknown.
    int findDevice(const std::string& text) const;

    const GlobalOptions& options() const { return options_; }
    TerminalOperator& op() { return *operator_; }
    device::BusScanner& scanner() { return scanner_; }
    const device::ScanConfig& config() const { return config_; }
    bool wizardPrivileges() const { return wizard_; }
    void setWizardPrivileges(bool wizard) { wizard_ = wizard; }
    // The mode the command line needs; the session's start checks it.
    const RequiredAccess& required() const { return required_; }
    void setRequired(RequiredAccess required) { required_ = std::move(required); }

private:
    GlobalOptions options_;
    std::unique_ptr<TerminalOperator> operator_;
    device::BusScanner scanner_;
    device::ScanConfig config_;
    // The device --device names, when the transport can reach it without a scan of the rest.
    std::optional<device::DeviceSelector> only_;
    // --device as the errors name it: as given, and the device it stands for when that reads
    // differently (the node a link points at, "7" for "007").
    std::string deviceName_;
    bool wizard_ = false;
    RequiredAccess required_;
};

// Reads a value of the user settings ("Mendra"); `fallback` when absent.
std::string readUserSetting(const char* name, const std::string& fallback);

}  // namespace vexal::cli
