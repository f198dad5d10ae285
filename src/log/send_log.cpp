#include "log/send_log.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <vector>

extern char** environ;

namespace vexal::log {
namespace {

struct OutcomeText {
    int outcome;
    const char* text;
};

constexpr OutcomeText kOutcomes[] = {
    {2, "One or more unspecified errors occurred. No message was sent."},
    {3, "There was no default logon, no default mail client, or the current mail client cannot fulfill the "
        "messageing request. No message was sent."},
    {5, "There was insufficient memory to proceed. No message was sent."},
    {9, "There were too many file attachments. No message was sent."},
    {10, "There were too many recipients. No message was sent."},
    {11, "The specified attachment was not found. No message was sent."},
    {12, "The specified attachment could not be opened. No message was sent."},
    {14, "A recipient did not appear in the address list. No message was sent."},
    {15, "The type of a recipient was not MAPI_TO, MAPI_CC, or MAPI_BCC. No message was sent."},
    {18, "The text in the message was too large. No message was sent."},
    {21, "A recipient matched more than one of the recipient descriptor structures and MAPI_DIALOG was not set. No "
         "message was sent."},
    {25, "One or more recipients were invalid or did not resolve to any address."},
};

}  // namespace

std::optional<std::string_view> mailOutcomeMessage(int outcome) {
    for (const auto& o : kOutcomes)
        if (o.outcome == outcome) return o.text;
    return std::nullopt;
}

int mailOutcomeFromExitStatus(int exitStatus) {
    switch (exitStatus) {
    case 0: return kMailSuccess;
    case 2: return 11;
    case 3: return 3;
    case 5: return 12;
    default: return kMailFailure;
    }
}

MailRun runMailProgram(std::string_view program, std::string_view subject, const std::string& attachment) {
    std::vector<std::string> args = {std::string(program), "--subject", std::string(subject), "--attach", attachment};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    // The mail client starts with every signal unblocked and at its default action: the
    // program that starts it may block SIGINT/SIGTERM (for a watcher thread) and ignores
    // SIGXFSZ.
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int s : {SIGINT, SIGTERM, SIGXFSZ, SIGPIPE}) sigaddset(&defaults, s);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setsigdefault(&attributes, &defaults);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, argv[0], nullptr, &attributes, argv.data(), environ);
    ::posix_spawnattr_destroy(&attributes);
    if (spawned != 0) return {};
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return {true, kMailFailure};
    }
    // 127 is what the spawned child exits with when the program could not be executed.
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127) return {};
    if (!WIFEXITED(status)) return {true, kMailFailure};
    return {true, mailOutcomeFromExitStatus(WEXITSTATUS(status))};
}

int MailFile(ui::Operator& op, const std::string& file, std::string_view program) {
    const MailRun run = runMailProgram(program, kMailSubject, file);
    if (!run.started) return -1;
    if (auto text = mailOutcomeMessage(run.outcome)) op.message(*text, "Vexal", ui::Icon::Exclamation);
    return run.outcome;
}

int SendLog(ui::Operator& op, const std::filesystem::path& logsFolder, std::string_view program) {
    std::string file = logsFolder.string();
    if (!op.chooseFile(ui::FileDialog::Open, kSelectLogFileCaption, kLogFileFilter, file) || file.empty()) return -1;
    return MailFile(op, file, program);
}

}  // namespace vexal::log
