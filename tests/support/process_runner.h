#pragma once
// Runs a program with arguments, capturing stdout and stderr; for tests of the CLI.
#include <string>
#include <vector>

namespace vexal::testing {

struct ProcessResult {
    int exitCode = -1;  // -1 when the program could not be run or was killed
    std::string out;
    std::string err;
};

// `timeoutSeconds` bounds the run: past it the program is killed and exitCode is -1.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         int timeoutSeconds = 120, const std::string& stdinText = "");

}  // namespace vexal::testing
