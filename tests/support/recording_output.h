#pragma once
// A CommandOutput that keeps what was written, for checking line texts and log levels.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "command/command_output.h"

namespace vexal::testing {

class RecordingOutput : public command::CommandOutput {
public:
    explicit RecordingOutput(bool engineering = true) : engineering_(engineering) {}

    void addToView(std::string_view line) override { view.emplace_back(line); }
    void writeLog(int level, std::string_view line) override { log.emplace_back(level, std::string(line)); }
    bool engineeringMode() const override { return engineering_; }

    std::vector<std::string> view;
    std::vector<std::pair<int, std::string>> log;

private:
    bool engineering_;
};

}  // namespace vexal::testing
