#include "log/log_system.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include <fmt/printf.h>

#include "log/file_errors.h"
#include "log/log_text.h"
#include "log/send_log.h"

namespace vexal::log {
namespace fs = std::filesystem;

void ignoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

CLogSystem::CLogSystem(ui::Operator& op, platform::SystemInformation system, InstallPathSource installPath)
    : op_(op),
      system_(std::move(system)),
      installPath_(std::move(installPath)),
      clock_([] { return std::time(nullptr); }) {}

CLogSystem::~CLogSystem() {
    if (!open_.load()) return;
    closeFile(true);
    makeReadOnly(filePath());
}

bool CLogSystem::Prepare(std::string_view serialNumber) {
    const InstallPathLookup lookup = installPath_();
    if (lookup.status != InstallPathStatus::Ok) {
        op_.message(installPathMessage(lookup.status), kErrorCaption, ui::Icon::Exclamation);
        std::lock_guard guard(lock_);
        prepared_ = false;
        return false;
    }
    const std::time_t now = clock_();
    std::tm local{};
    localtime_r(&now, &local);

    std::lock_guard guard(lock_);
    std::string folder = lookup.path.string();
    if (!folder.empty() && folder.back() != '/') folder += '/';
    folder_ = folder + "Logs/";
    baseName_ = logBaseName(local, serialNumber);
    // Walk the levels, moving on to the next file while there is one.
    int file = 0;
    for (int level = 0; level < kLevelCount; ++level) {
        levelMap_[level] = file;
        if (file < kFileCount - 1) ++file;
    }
    prepared_ = true;
    return true;
}

bool CLogSystem::Open() {
    if (open_.load()) {  // each open starts a new file: finish the old one first
        closeFile(true);
        makeReadOnly(filePath());
    }

    std::string path;
    int error = 0;
    bool prepared = false;
    {
        std::lock_guard guard(lock_);
        prepared = prepared_;
        if (prepared) {
            // A log never replaces or reuses a file: the first free name of the base name,
            // then "-2", "-3", ... (two sessions started within one second). The file is
            // created here or not at all, so nothing another writer holds is touched.
            int fd = -1;
            for (int n = 1; n <= kMaxNameTries; ++n) {
                currentName_ = n == 1 ? baseName_ : baseName_ + "-" + std::to_string(n);
                filePath_ = folder_ / (currentName_ + ".txt");
                path = filePath_.string();
                fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC | O_NOCTTY, 0644);
                if (fd >= 0 || errno != EEXIST) break;
            }
            if (fd < 0) {
                error = errno;
            } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                error = errno;
                ::close(fd);
                ::unlink(path.c_str());
                fd = -1;
            }
            if (fd >= 0) {
                lastWriteError_ = 0;
                lossReported_ = false;
                const std::string header = withCrLf(logHeader(logTimeText(clock_()), system_));
                if (!writeAll(fd, header)) {
                    error = lastWriteError_.load();
                    ::close(fd);
                    fd = -1;
                }
            }
            files_[0] = fd;
            open_ = fd >= 0;
        }
    }
    if (open_.load()) {
        setFlags(true);
        return true;
    }
    if (prepared) {
        if (auto text = openFailureMessage(platform::causeFromErrno(error), path))
            op_.message(*text, kLogCaption, ui::Icon::Exclamation);
    }
    op_.message(kCouldNotInitialize, kErrorCaption, ui::Icon::Stop);
    return false;
}

void CLogSystem::Write(int /*kind: all five entry points write the same*/, int level, std::string_view text) {
    if (!open_.load() || level < 0 || level > kHighestLevel) return;
    if (!enabled_.load()) return;
    std::string line = withCrLf(text);  // room for the line end is already reserved
    line += "\r\n";
    bool lost = false;
    {
        std::lock_guard guard(lock_);
        const int fd = files_[levelMap_[std::min(level, kLevelCount - 1)]];
        lost = fd >= 0 && !writeAll(fd, line);
    }
    // Only the first loss is told: a full disk would otherwise report every line.
    if (lost && !lossReported_.exchange(true)) {
        std::function<void(int)> handler;
        {
            std::lock_guard guard(handlerLock_);
            handler = lostLine_;
        }
        if (handler) handler(lastWriteError_.load());
    }
}

void CLogSystem::setLostLineHandler(std::function<void(int error)> handler) {
    std::lock_guard guard(handlerLock_);
    lostLine_ = std::move(handler);
}

bool CLogSystem::writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // Disk full or past the size limit: give up on this line; the next one tries again.
            lastWriteError_ = n < 0 ? errno : EIO;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

void CLogSystem::closeFile(bool writeTrailer) {
    std::lock_guard guard(lock_);
    for (int& fd : files_) {
        if (fd < 0) continue;
        if (writeTrailer) writeAll(fd, withCrLf(logTrailer(logTimeText(clock_()))));
        ::close(fd);  // also releases the writer's lock
        fd = -1;
    }
    open_ = false;
}

void CLogSystem::Close(bool suppressDialogs) {
    if (!open_.load()) {
        if (enabled_.load()) setFlags(false);
        return;
    }
    closeFile(true);
    if (suppressDialogs) makeReadOnly(filePath());
    else offerRename();
    setFlags(false);
}

void CLogSystem::offerRename() {
    const fs::path current = filePath();
    std::string name;
    {
        std::lock_guard guard(lock_);
        name = currentName_;
    }
    const std::string question = fmt::sprintf(std::string(kRenameQuestion), name + ".txt");
    if (op_.message(question, kLogCaption, ui::Icon::Question, ui::Buttons::YesNo, ui::Button::Yes) !=
        ui::Button::Yes) {
        makeReadOnly(current);
        return;
    }
    const InstallPathLookup lookup = installPath_();
    if (lookup.status != InstallPathStatus::Ok) {
        op_.message(installPathMessage(lookup.status), kErrorCaption, ui::Icon::Exclamation);
        return;
    }
    std::string chosen = (lookup.path / "Logs" / name).string();
    if (!op_.chooseFile(ui::FileDialog::Save, kSaveAsCaption, kLogFileFilter, chosen) || chosen.empty()) return;
    fs::path target = chosen;
    if (target.extension().empty() || target.filename() == name) target += ".txt";

    std::error_code ec;
    if (!fs::equivalent(current, target, ec)) {
        fs::remove(target, ec);  // the dialog already asked before overwriting
        int error = ::rename(current.c_str(), target.c_str()) == 0 ? 0 : errno;
        if (error == EXDEV) {  // another file system: copy, then drop the original
            error = 0;
            if (!fs::copy_file(current, target, ec)) error = ec.value() ? ec.value() : EIO;
            else fs::remove(current, ec);
        }
        if (error != 0) {
            op_.message("Error renaming: " + current.string() + std::string(renameCauseText(platform::causeFromErrno(error))),
                        kErrorCaption, ui::Icon::Exclamation);
            return;
        }
    }
    {
        std::lock_guard guard(lock_);
        filePath_ = target;
    }
    makeReadOnly(target);
}

void CLogSystem::makeReadOnly(const fs::path& path) { ::chmod(path.c_str(), 0444); }

void CLogSystem::setFlags(bool enabled) {
    enabled_ = enabled;
    disabled_ = !enabled;
}

bool CLogSystem::Enable(std::string_view serialNumber) {
    op_.progressBegin(kEnablingText, 0, 0);
    op_.pace(std::chrono::seconds(2));
    op_.progressEnd();
    if (Prepare(serialNumber) && Open()) return true;
    setFlags(false);
    return false;
}

bool CLogSystem::Disable() {
    if (op_.message(kCloseQuestion, kLogCaption, ui::Icon::Question, ui::Buttons::YesNo, ui::Button::No) !=
        ui::Button::Yes)
        return false;
    Close(false);
    return true;
}

std::string CLogSystem::baseName() const {
    std::lock_guard guard(lock_);
    return baseName_;
}

fs::path CLogSystem::folder() const {
    std::lock_guard guard(lock_);
    return folder_;
}

fs::path CLogSystem::filePath() const {
    std::lock_guard guard(lock_);
    return filePath_;
}

}  // namespace vexal::log
