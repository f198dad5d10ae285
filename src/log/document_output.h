#pragma once
// The document's side of the command output seam: view lines go to the line list, log
// lines to the session log file at their level.
#include <functional>

#include "command/command_output.h"
#include "log/line_list.h"
#include "log/log_system.h"

namespace vexal::log {

class DocumentOutput : public command::CommandOutput {
public:
    // `engineeringMode` is asked each time (the mode changes while the program runs).
    DocumentOutput(LineList& lines, CLogSystem& log, std::function<bool()> engineeringMode)
        : lines_(lines), log_(log), engineeringMode_(std::move(engineeringMode)) {}

    void addToView(std::string_view line) override;
    void writeLog(int level, std::string_view line) override;
    bool engineeringMode() const override;
    std::vector<std::string> viewLines() const override { return lines_.snapshot(); }

private:
    LineList& lines_;
    CLogSystem& log_;
    std::function<bool()> engineeringMode_;
};

}  // namespace vexal::log
