#pragma once
// vexal-cli test, tape-log, read-structure and debug-trace: the canned tests and the
// drive-structure views.
#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "cli/cli_context.h"
#include "command/command_request.h"

namespace vexal::cli {

struct CannedTestOptions {
    std::string test;  // write-read, 1, 2, 3, 4
    std::string pattern = "incr";
    bool fixed = false;
    uint32_t blockSize = 512;
    std::optional<uint32_t> transferLength;  // none: 64 blocks (fixed) or 32768 bytes (variable)
    std::string compression = "off";
    long count = 100;
    long repeat = 1;
    bool compare = false;  // the default; given to be explicit
    bool noCompare = false;
    uint32_t minBlockSize = 4, maxBlockSize = 4096, blockIncrement = 4;
};

// Checks the options as the test dialogs do and fills the request; 0, or a usage error
// with its sentence on stderr.
int PrepareCannedTest(const CannedTestOptions& options, command::CommandRequest& request);

class DiagCommands {
public:
    explicit DiagCommands(CLI::App& app);
    // True when one of these commands was given; `rc` is then its exit status.
    bool run(CliContext& context, int& rc);

private:
    int runTest(CliContext& context);
    int runTapeLog(CliContext& context);
    int runStructure(CliContext& context);
    int runDebugTrace(CliContext& context);

    CannedTestOptions test_;
    std::string tapeLogAction_, tapeLabel_, structure_;
    bool freshRecord_ = false;
    int part_ = 0;
    CLI::App* testCommand_ = nullptr;
    CLI::App* tapeLogCommand_ = nullptr;
    CLI::App* structureCommand_ = nullptr;
    CLI::App* debugTraceCommand_ = nullptr;
};

}  // namespace vexal::cli
