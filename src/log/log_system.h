#pragma once
// CLogSystem: the session log file. While logging is on, every line the program logs is
// appended to a time-stamped file in the Logs folder and is on disk as soon as Write
// returns (one write(2) per line, no user-space buffering), so a crash of the program
// loses nothing already written. Closing writes the stop time, offers a rename and makes
// the file read-only.
//
// Front ends must ignore SIGXFSZ (call ignoreFileSizeSignal() at start-up): a write past
// RLIMIT_FSIZE then fails with EFBIG, which the log system survives, instead of killing
// the process.
#include <array>
#include <atomic>
#include <ctime>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "operator/operator.h"
#include "log/install_folder.h"
#include "log/send_log.h"
#include "platform/system_info.h"

namespace vexal::log {

inline constexpr std::string_view kLogCaption = "Vexal";
inline constexpr std::string_view kErrorCaption = "Vexal Error";
inline constexpr std::string_view kCouldNotInitialize =
    "Couldn't intialize log system.\n\nLogging for this session will be disabled!";
inline constexpr std::string_view kRenameQuestion = "Do you want to change the current name of the log file %s ?";
inline constexpr std::string_view kCloseQuestion = "Are you sure you want to close the log file?";
inline constexpr std::string_view kEnablingText = "Enabling logging system...";
inline constexpr std::string_view kSaveAsCaption = "Save As";

// Sets SIGXFSZ to be ignored for the whole process (see above).
void ignoreFileSizeSignal();

class CLogSystem {
public:
    static constexpr int kLevelCount = 5;
    static constexpr int kHighestLevel = 5;
    static constexpr int kFileCount = 1;
    // How many names Open tries ("-2", "-3", ... after the first) before it gives up.
    static constexpr int kMaxNameTries = 1000;

    // `system` is what start-up recorded about the machine; `installPath` where the
    // installation folder comes from (tests give their own).
    CLogSystem(ui::Operator& op, platform::SystemInformation system,
               InstallPathSource installPath = lookUpInstallPath);
    // Closes an open log without asking anything; the file is made read-only.
    ~CLogSystem();
    CLogSystem(const CLogSystem&) = delete;
    CLogSystem& operator=(const CLogSystem&) = delete;

    // Folder and time-stamped base name for the next file; creates nothing. False (after
    // the registry message) when the installation folder cannot be found.
    bool Prepare(std::string_view serialNumber);
    // Creates a new file and writes the header; an existing file of that name is never
    // replaced or appended to: the next free name is taken ("<base>-2.txt", ...). False
    // after the operator was told why.
    bool Open();
    // Appends one line (a line end is added). Dropped when no file is open, the level is
    // outside 0..5 or the log-enabled flag is clear. Safe from any thread. A failed write
    // (disk full, file size limit) loses that line only.
    void Write(int kind, int level, std::string_view text);
    // Writes the stop time and closes; unless `suppressDialogs` (a test running with
    // dialogs suppressed) offers to rename the file; makes it read-only.
    void Close(bool suppressDialogs);

    // The "Enable Log" menu command: the short status window, then Prepare and Open. On
    // failure the flags go back to log disabled, so the command can be tried again.
    bool Enable(std::string_view serialNumber);
    // The "Disable Log" menu command: asks, and on Yes closes. True when closed.
    bool Disable();

    bool isOpen() const { return open_.load(); }
    // The two flags the main window's menus and the status bar read: exactly one is set
    // once logging was switched on the first time, both are clear before.
    bool logEnabled() const { return enabled_.load(); }
    bool logDisabled() const { return disabled_.load(); }

    std::string baseName() const;
    std::filesystem::path folder() const;
    // The current (or last) file: after a rename, the new path.
    std::filesystem::path filePath() const;
    // errno of the last failed line write, 0 when none failed since Open.
    int lastWriteError() const { return lastWriteError_.load(); }
    // Called with the errno of the first line lost in each opened file (later losses of the
    // same file are not reported again), on the writing thread, outside the log's lock.
    void setLostLineHandler(std::function<void(int error)> handler);

    // The clock for file names and time stamps (tests fix it).
    void setClock(std::function<std::time_t()> clock) { clock_ = std::move(clock); }

private:
    bool writeAll(int fd, std::string_view data);
    void closeFile(bool writeTrailer);
    void offerRename();
    void makeReadOnly(const std::filesystem::path& path);
    void setFlags(bool enabled);

    ui::Operator& op_;
    platform::SystemInformation system_;
    InstallPathSource installPath_;
    std::function<std::time_t()> clock_;

    mutable std::mutex lock_;  // serialises writes and guards the fields below
    std::filesystem::path folder_;
    std::string baseName_;
    std::string currentName_;
    std::filesystem::path filePath_;
    std::array<int, kLevelCount> levelMap_{};
    std::array<int, kFileCount> files_{-1};
    bool prepared_ = false;

    std::atomic<bool> open_{false};
    std::atomic<bool> enabled_{false};
    std::atomic<bool> disabled_{false};
    std::atomic<int> lastWriteError_{0};
    std::atomic<bool> lossReported_{false};
    std::mutex handlerLock_;
    std::function<void(int)> lostLine_;
};

}  // namespace vexal::log
