#pragma once
// Ctrl+C during a command on the terminal: the Aborting line, the document's abort flag
// (a run, a test or a series of READs stops at its next look), and the command in
// progress aborted at the device on a thread of its own, so that the signal watcher stays
// free for a second Ctrl+C that ends the program at once.
#include <atomic>
#include <functional>
#include <thread>

#include "document/falder_doc.h"

namespace vexal::cli {

class CommandAbort {
public:
    explicit CommandAbort(document::CFalderDoc& doc) : doc_(doc) {}
    ~CommandAbort() { wait(); }
    CommandAbort(const CommandAbort&) = delete;
    CommandAbort& operator=(const CommandAbort&) = delete;

    // Starts the abort; `also` runs first (a run stops its script). Returns at once.
    void start(const std::function<void()>& also);
    bool requested() const { return requested_.load(); }
    // Until the device abort has done what it can.
    void wait();

private:
    document::CFalderDoc& doc_;
    std::atomic<bool> requested_{false};
    std::thread thread_;
};

}  // namespace vexal::cli
