#pragma once
// vexal-cli mam, eeprom and load-count-threshold: the cartridge memory, the drive's EEPROM
// parameter page and the load-count threshold kept there.
#include <string>

#include <CLI/CLI.hpp>

#include "cli/cli_context.h"

namespace vexal::cli {

class CartridgeCommands {
public:
    explicit CartridgeCommands(CLI::App& app);
    // True when one of these commands was given; `rc` is then its exit status.
    bool run(CliContext& context, int& rc);

private:
    int runMam(CliContext& context);
    int runEeprom(CliContext& context);
    int runThreshold(CliContext& context);

    CLI::App* mam_ = nullptr;
    CLI::App* eeprom_ = nullptr;
    CLI::App* threshold_ = nullptr;
    std::string group_;
    std::string eepromSet_;
    long thresholdSet_ = 0;
};

}  // namespace vexal::cli
