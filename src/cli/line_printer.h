#pragma once
// Prints the document's line list on stdout as the view draws it, each line as soon as it
// is added: a command's first lines show before the drive answers, however long it takes.
// The list calls it on whichever thread adds a line; one lock keeps the lines whole and in
// order.
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>

#include "log/line_list.h"
#include "log/view_colours.h"

namespace vexal::cli {

class LinePrinter {
public:
    // `around(true)` is called before lines are printed and `around(false)` after (a
    // progress bar on the terminal steps aside); may be empty.
    LinePrinter(bool colour, bool silent, std::function<void(bool before)> around = {});

    // From now on `list` prints its new lines through the printer; lines already in it
    // are taken as printed.
    static void attach(const std::shared_ptr<LinePrinter>& printer, log::LineList& list);
    static void detach(log::LineList& list);

    // --quiet: frame markers and raw bytes are left out (see quiet_lines.h).
    void setQuiet(bool quiet) { quiet_ = quiet; }
    // Prints the lines added since the last call.
    void printNew(const log::LineList& list);
    // Prints from line `first` on (the view's last lines), as a fresh start.
    void printFrom(const log::LineList& list, size_t first);

private:
    void printLocked(const log::LineList& list);

    std::mutex mutex_;
    log::ViewColours colours_;
    bool colour_;
    bool silent_;  // --json: stdout is the JSON document's alone
    bool quiet_ = false;
    std::function<void(bool)> around_;
    bool carry_ = false;
    size_t printed_ = 0;
};

}  // namespace vexal::cli
