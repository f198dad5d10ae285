#pragma once
// Where the command layer writes its lines: the document's line list (the view) and the
// session log file at a level. Levels: 0 command and test lines, 2 error and sense lines,
// 1/3/4 script output.
#include <string>
#include <string_view>
#include <vector>

namespace vexal::command {

class CommandOutput {
public:
    virtual ~CommandOutput() = default;

    // Appends a line to the document's line list only.
    virtual void addToView(std::string_view line) = 0;
    // Writes a line to the session log file only (dropped when logging is off).
    virtual void writeLog(int level, std::string_view line) = 0;
    // Most command and status lines appear only in engineering mode.
    virtual bool engineeringMode() const = 0;
    // Every line of the view, oldest first (the canned tests' backup log); none by default.
    virtual std::vector<std::string> viewLines() const { return {}; }

    void both(int level, std::string_view line) {
        addToView(line);
        writeLog(level, line);
    }
    // Written to the view and the log only in engineering mode.
    void engineering(int level, std::string_view line) {
        if (engineeringMode()) both(level, line);
    }
};

}  // namespace vexal::command
