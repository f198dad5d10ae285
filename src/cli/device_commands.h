#pragma once
// The vexal-cli commands that send one command through the document: their options, the
// checks the command dialogs make, and the run.
#include <deque>
#include <functional>
#include <string>

#include <CLI/CLI.hpp>

#include "cli/cli_context.h"
#include "cli/cli_session.h"
#include "command/command_request.h"

namespace vexal::cli {

struct TransferOptions {
    bool fixed = false;
    bool sili = false;
    uint32_t blockSize = 0;
    uint32_t transferLength = 0;
    long count = 1;
    std::string pattern = "incr";
    bool compare = false;
};

class DeviceCommands {
public:
    explicit DeviceCommands(CLI::App& app);
    // True when one of these commands was given; `rc` is then its exit status.
    bool run(CliContext& context, int& rc);

private:
    struct Entry {
        CLI::App* sub = nullptr;
        command::CommandRequest request;
        TransferOptions transfer;
        std::string text;
        // Checks the options and finishes the request; an exit code other than 0 stops.
        std::function<int(Entry&, CliSession&)> prepare;
    };
    Entry& add(CLI::App& app, const char* name, const char* help, int code,
               std::function<int(Entry&, CliSession&)> prepare = {});
    void addTransfer(CLI::App& app, const char* name, const char* help, int code, bool isRead);

    std::deque<Entry> entries_;  // options bind to entries: they must not move
    uint32_t timeoutSeconds_ = 0;
    CLI::App* timeout_ = nullptr;
};

}  // namespace vexal::cli
