#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "cli/cli_context.h"

namespace vexal::cli {

int runScan(CliContext& context);
int runSelect(CliContext& context, const std::string& device);

struct CdbOptions {
    std::string cdb;
    std::optional<long long> inLength;
    std::optional<std::string> outData;
};
int runCdb(CliContext& context, const CdbOptions& options);

struct TransferOptions {
    bool fixed = false;
    bool sili = false;
    uint32_t blockSize = 0;
    uint32_t transferLength = 0;
    long count = 1;
    std::string pattern = "incr";
    bool compare = false;
};

// A single command run through the document (inquiry, tur, rewind, read, ...).
struct DeviceCommand {
    int code = 0;
    bool vpd = false;
    bool immediate = false;
    uint32_t filemarks = 0;
    TransferOptions transfer;
};
int runDeviceCommand(CliContext& context, const DeviceCommand& command);

int runMode(CliContext& context, const std::string& mode);
int runSettings(CliContext& context, const std::string& action);

}  // namespace vexal::cli
