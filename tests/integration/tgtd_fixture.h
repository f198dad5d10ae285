#pragma once
// A private tgtd (Linux SCSI target daemon) serving virtual tape drives and a medium
// changer over iSCSI on 127.0.0.1, for tests that need a real target.
//
// Layout (SendTargets lists the targets in this order, so they are target IDs 0 and 1
// of the portal's host adapter):
//   target 0  kTapeTarget    LUN 0 controller (type 0Ch), LUN 1 tape (type 1, blank
//                            128 MB medium "VXL001"), LUN 2 medium changer (type 8)
//   target 1  kSecondTarget  LUN 0 controller, LUN 1 tape (blank medium "VXL002")
// Target IDs 2 to 15 have no target behind them.
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace vexal::testing {

class TgtdServer {
public:
    static constexpr const char* kTapeTarget = "iqn.2026-12.com.korvane:vtape";
    static constexpr const char* kSecondTarget = "iqn.2026-12.com.korvane:vtape2";

    TgtdServer() = default;
    ~TgtdServer();
    TgtdServer(const TgtdServer&) = delete;
    TgtdServer& operator=(const TgtdServer&) = delete;

    // Starts tgtd on a free loopback port with its own control port and temporary
    // folder, waits until it accepts connections, then sets up the layout above. On
    // failure everything started is stopped again and `error` says what went wrong.
    bool start(std::string& error);
    // Stops tgtd and starts a fresh one with the same layout on the same portal: a target
    // that restarted.
    bool restart(std::string& error);
    // SIGTERM, then SIGKILL when it has not ended soon after; removes its files.
    void stop();
    // SIGKILL at once (the connections drop), keeping the files for inspection.
    void kill();
    // SIGSTOP / SIGCONT: a target that accepts TCP connections but never answers.
    void suspend();
    void resume();

    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    int port() const { return port_; }
    std::string portal() const { return "127.0.0.1:" + std::to_string(port_); }
    const std::filesystem::path& folder() const { return folder_; }
    // tgtd's own output, for failure messages.
    std::string log() const;

    // Runs "tgtadm --lld iscsi -C <control port> <arguments>"; false with its output in
    // `error` when it fails.
    bool admin(const std::vector<std::string>& arguments, std::string& error) const;

    // A loopback TCP port that nothing listens on at the moment of the call.
    static int freeLoopbackPort();
    // SIGKILL to every tgtd this process started, for a watchdog about to abort.
    static void killAll();

private:
    // start() on `port`, or on a free port when it is not above 0.
    bool startOn(int port, std::string& error);
    bool launch(std::string& error);
    bool waitUntilListening(std::string& error);
    bool configure(std::string& error);
    void reap(int milliseconds);
    void removeControlFiles() const;
    void forget();

    pid_t pid_ = -1;
    int port_ = 0;
    int controlPort_ = 0;
    bool ownsControlPort_ = false;  // our tgtd got it: its files are ours to remove
    std::filesystem::path folder_;
};

}  // namespace vexal::testing
