#include "cli/line_printer.h"
#include "cli/quiet_lines.h"

#include <algorithm>
#include <iostream>
#include <utility>

#include "cli/json_result.h"
#include "log/line_style.h"

namespace vexal::cli {

LinePrinter::LinePrinter(bool colour, bool silent, std::function<void(bool)> around)
    : colour_(colour), silent_(silent), around_(std::move(around)) {
    colours_.load();
}

void LinePrinter::attach(const std::shared_ptr<LinePrinter>& printer, log::LineList& list) {
    {
        const std::lock_guard lock(printer->mutex_);
        printer->printed_ = list.size();  // the view's header line is not printed
    }
    // The callback runs inside the list's own change, so the list outlives each call; the
    // printer is shared so that a call still running when the session ends finds it.
    list.setChangeCallback([printer, &list] { printer->printNew(list); });
}

void LinePrinter::detach(log::LineList& list) { list.setChangeCallback({}); }

void LinePrinter::printNew(const log::LineList& list) {
    const std::lock_guard lock(mutex_);
    printLocked(list);
}

void LinePrinter::printFrom(const log::LineList& list, size_t first) {
    const std::lock_guard lock(mutex_);
    printed_ = first;
    carry_ = false;
    printLocked(list);
}

void LinePrinter::printLocked(const log::LineList& list) {
    const size_t count = list.size();
    // Clear View leaves the header line alone, which is not printed.
    if (count < printed_) printed_ = std::min<size_t>(count, 1);
    if (count <= printed_) return;
    if (silent_) {
        // --json: the lines go into the run's document, as the terminal would show them.
        for (const std::string& line : list.range(printed_, count - printed_)) {
            const log::LineStyle style = log::classifyLine(line, carry_, colours_);
            JsonResult::run().addLine(line.substr(std::min(style.skip, line.size())));
        }
        printed_ = count;
        return;
    }
    if (around_) around_(true);
    for (const std::string& line : list.range(printed_, count - printed_)) {
        const log::LineStyle style = log::classifyLine(line, carry_, colours_);
        if (quiet_ && !shownWhenQuiet(line)) continue;
        const std::string_view shown = std::string_view(line).substr(std::min(style.skip, line.size()));
        if (colour_) std::cout << log::ansiForeground(style.colour) << shown << log::kAnsiReset << "\n";
        else std::cout << shown << "\n";
    }
    std::cout.flush();
    printed_ = count;
    if (around_) around_(false);
}

}  // namespace vexal::cli
