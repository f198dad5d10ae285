#include "cli/diag_commands.h"

#include <csignal>
#include <iostream>

#include "cli/cli_session.h"
#include "cli/number_option.h"
#include "cli/json_result.h"
#include "command/data_pattern.h"
#include "command/transfer_limits.h"
#include "diag/canned_tests.h"
#include "diag/debug_trace.h"
#include "diag/side_files.h"
#include "diag/structure_views.h"
#include "diag/tape_log.h"

namespace vexal::cli {
namespace {

namespace code = command::code;

int usage(const char* sentence) {
    std::cerr << sentence << "\n";
    return kExitUsage;
}

}  // namespace

int PrepareCannedTest(const CannedTestOptions& o, command::CommandRequest& r) {
    r.code = diag::CannedTestCode(o.test);
    if (r.code == code::None) return usage("Unknown test: use write-read, 1, 2, 3 or 4.");
    if (!command::parsePatternName(o.pattern, r.dataPattern))
        return usage("Unknown pattern: use incr, word, zeros, random, nocompare or blocknum.");
    // A length given as 0 is refused below as the criteria dialogs refuse it.
    const uint32_t length = o.transferLength.value_or(o.fixed ? 64 : 32768);
    if (r.code == code::CannedTest4) {
        if (o.minBlockSize < 4 || o.minBlockSize > 0xFFFE || o.maxBlockSize < 4 || o.maxBlockSize > 0xFFFE)
            return usage("The minimum and maximum block sizes must be between 4 and 65534.");
        if (o.blockIncrement < 2 || o.blockIncrement > 4096)
            return usage("The block size increment must be between 2 and 4096.");
        if (o.minBlockSize > o.maxBlockSize) return usage("The minimum block size is above the maximum.");
    } else {
        if ((r.code == code::CannedTest2 || r.code == code::CannedTest3) &&
            (o.blockSize < 1 || o.blockSize > 0xFFFF || length < 1 || length > 0xFFFF))
            return usage("The block size and transfer length must be between 1 and 65535.");
        if (length > command::kMaxOperatorTransfer || o.blockSize > command::kMaxOperatorTransfer)
            return usage(command::kTransferTooLargeText);
        const uint64_t total = o.fixed ? uint64_t{length} * o.blockSize : length;
        if (total < 1 || total > command::kMaxOperatorTransfer) return usage(command::kTransferRangeText);
    }
    // Past these the parser has already turned the digits into the type's maximum.
    constexpr long kMaxCount = 2147483647;
    if (o.count < 0 || o.count > kMaxCount) return usage("--count takes 0 (to the end of medium) to 2147483647.");
    if (o.repeat < 1 || o.repeat > kMaxCount) return usage("--repeat takes 1 to 2147483647.");
    r.fixed = o.fixed && r.code != code::CannedTest4;
    r.blockSize = o.blockSize;
    r.transferLength = length;
    r.count = o.count;
    r.repeatCount = o.repeat;
    r.compression = o.compression == "on";
    r.compare = !o.noCompare && r.dataPattern != command::pattern::NoCompare;
    r.minBlockSize = o.minBlockSize;
    r.maxBlockSize = o.maxBlockSize;
    r.blockIncrement = o.blockIncrement;
    return kExitDone;
}

DiagCommands::DiagCommands(CLI::App& app) {
    auto& t = test_;
    testCommand_ = app.add_subcommand("test", "Run a canned test: write-read, 1 (data reliability), 2 (append), "
                                              "3 (locate) or 4 (variable block)");
    testCommand_->add_option("TEST", t.test, "write-read, 1, 2, 3 or 4")->required()->check(CLI::IsMember({"write-read", "1", "2", "3", "4"}));
    testCommand_->add_option("--pattern", t.pattern, "incr, word, zeros, random, nocompare or blocknum");
    testCommand_->add_flag("--fixed", t.fixed, "Fixed-block transfers");
    addNumber(testCommand_, "--block-size", t.blockSize, "Logical block size (default 512)", {0, 0xFFFFFF, true});
    addNumber(testCommand_, "--transfer-length", t.transferLength,
              "Blocks (fixed, default 64) or bytes (variable, default 32768) per command", {0, 0xFFFFFF, true});
    testCommand_->add_option("--compression", t.compression, "Hardware compression on or off (default off)")
        ->check(CLI::IsMember({"on", "off"}));
    addNumber(testCommand_, "--count", t.count, "WRITE or READ commands per pass, 0 to the end of medium (default 100)",
              kAnyNumber);
    addNumber(testCommand_, "--repeat", t.repeat, "Passes (default 1)", kAnyNumber);
    auto* compare = testCommand_->add_flag("--compare", t.compare, "Compare the data read with the pattern (default)");
    testCommand_->add_flag("--no-compare", t.noCompare, "Do not compare")->excludes(compare);
    // Wide ranges here: the checks of the criteria dialogs refuse with their own sentences.
    addNumber(testCommand_, "--min", t.minBlockSize, "Test 4: smallest block size (default 4)", {0, 0xFFFFFF, true});
    addNumber(testCommand_, "--max", t.maxBlockSize, "Test 4: largest block size (default 4096)", {0, 0xFFFFFF, true});
    addNumber(testCommand_, "--step", t.blockIncrement, "Test 4: block size increment (default 4)",
              {0, 0xFFFFFF, true});

    tapeLogCommand_ = app.add_subcommand("tape-log", "Read the tape history log, or write it with a new label");
    tapeLogCommand_->add_option("ACTION", tapeLogAction_, "read or write")->required()->check(CLI::IsMember({"read", "write"}));
    tapeLogCommand_->add_option("--label", tapeLabel_, "write: the tape label (asked for when absent)");
    tapeLogCommand_->add_flag("--fresh", freshRecord_, "write: start a new record instead of the one on the tape");

    structureCommand_ = app.add_subcommand("read-structure", "Read and decode a drive structure");
    std::vector<std::string> kinds;
    for (const auto& s : diag::structureSources()) kinds.emplace_back(s.cliName);
    structureCommand_->add_option("KIND", structure_, "filemarks, header, aux, eod or defects")
        ->required()
        ->check(CLI::IsMember(kinds));

    debugTraceCommand_ = app.add_subcommand("debug-trace", "Write the drive's trace memory to a hex file");
    addNumber(debugTraceCommand_, "--part", part_, "The part number in the file name (default 0)", {0, 9999});
}

bool DiagCommands::run(CliContext& context, int& rc) {
    if (*testCommand_) rc = runTest(context);
    else if (*tapeLogCommand_) rc = runTapeLog(context);
    else if (*structureCommand_) rc = runStructure(context);
    else if (*debugTraceCommand_) rc = runDebugTrace(context);
    else return false;
    return true;
}

int DiagCommands::runTest(CliContext& context) {
    command::CommandRequest request;
    if (const int rc = PrepareCannedTest(test_, request); rc != kExitDone) return rc;
    CliSession session(context);
    if (const int rc = session.open(); rc != kExitDone) return session.finish(rc);
    auto& doc = session.doc();
    doc.request() = request;
    // Ctrl+C during a test aborts the command in progress and stops the test there (the
    // session's abort sets the flag it looks at); a second one (or SIGTERM) ends the program.
    doc.abortRequested = 0;
    doc.device().status.lastStatus.clear();
    doc.device().status.lastSense.clear();
    const command::ScsiResult result = session.run();
    session.recordResult(result);
    JsonResult::run()["test"] = test_.test;
    JsonResult::run()["passed"] = result == 0;
    JsonResult::run()["aborted"] = session.interrupted();
    return session.finish(result == 0 ? kExitDone : kExitFailed);
}

int DiagCommands::runTapeLog(CliContext& context) {
    CliSession session(context);
    if (const int rc = session.open(); rc != kExitDone) return session.finish(rc);
    auto& doc = session.doc();
    auto& device = doc.device();
    doc.idle = 0;
    diag::TapeLog log;
    int rc = kExitDone;
    const diag::TapeLogRead read = log.Read(device);
    if (tapeLogAction_ == "read") {
        if (read == diag::TapeLogRead::Found) log.Show(device);
        rc = read == diag::TapeLogRead::Found ? kExitDone : kExitFailed;
    } else {
        std::optional<std::string> label;
        if (!tapeLabel_.empty()) label = tapeLabel_;
        const auto written = log.Write(device, context.op(), freshRecord_, label);
        if (written == diag::TapeLogWrite::Written) log.Show(device);
        JsonResult::run()["written"] = written == diag::TapeLogWrite::Written;
        rc = written == diag::TapeLogWrite::Written ? kExitDone : kExitFailed;
    }
    doc.idle = 1;
    session.printNewLines();
    JsonResult::run()["action"] = tapeLogAction_;
    JsonResult::run()["record_found"] = read == diag::TapeLogRead::Found;
    if (tapeLogAction_ == "read" && read == diag::TapeLogRead::NotFound)
        std::cerr << "No tape history record was found at the beginning of the tape.\n";
    return session.finish(rc);
}

int DiagCommands::runStructure(CliContext& context) {
    CliSession session(context);
    if (const int rc = session.open(); rc != kExitDone) return session.finish(rc);
    session.doc().idle = 0;
    const auto result = diag::ReadStructure(session.doc().device(), *diag::parseStructureKind(structure_));
    session.doc().idle = 1;
    session.printNewLines();
    session.recordResult(result);
    JsonResult::run()["kind"] = structure_;
    return session.finish(result == 0 ? kExitDone : kExitFailed);
}

int DiagCommands::runDebugTrace(CliContext& context) {
    CliSession session(context);
    if (const int rc = session.open(); rc != kExitDone) return session.finish(rc);
    session.doc().idle = 0;
    const auto path = diag::ReadDebugTrace(session.doc().device(), context.op(), diag::workFolder(), part_);
    session.doc().idle = 1;
    session.printNewLines();
    JsonResult::run()["file"] = path.empty() ? nlohmann::json() : nlohmann::json(path.string());
    return session.finish(path.empty() ? kExitFailed : kExitDone);
}

}  // namespace vexal::cli
