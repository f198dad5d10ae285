// vexal-cli cdb: any CDB to the device, with its status, sense and data.
#include <algorithm>
#include <iostream>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/hex_bytes.h"
#include "cli/json_result.h"
#include "command/raw_data.h"
#include "command/scsi_result.h"
#include "command/status_names.h"
#include "device/device_library.h"
#include "device/request_block.h"
#include "device/sense_format.h"

namespace vexal::cli {
namespace {

// Large enough for any tape block; a bigger request is almost surely a typing error.
constexpr long long kMaxTransfer = 64LL * 1024 * 1024;

std::string targetStatusName(int status) {
    switch (status) {
    case 0x00: return "GOOD";
    case 0x02: return "CHECK CONDITION";
    case 0x04: return "CONDITION MET";
    case 0x08: return "BUSY";
    case 0x18: return "RESERVATION CONFLICT";
    case 0x28: return "TASK SET FULL";
    case 0x30: return "ACA ACTIVE";
    case 0x40: return "TASK ABORTED";
    default: return "UNKNOWN";
    }
}

}  // namespace

int runCdb(CliContext& context, const CdbOptions& options) {
    std::vector<uint8_t> cdb;
    std::string error;
    if (!parseHexBytes(options.cdb, cdb, error)) {
        std::cerr << "Bad CDB: " << error << "\n";
        return kExitUsage;
    }
    if (cdb.size() < 6 || cdb.size() > 16) {
        std::cerr << "A CDB has 6 to 16 bytes; this one has " << cdb.size() << ".\n";
        return kExitUsage;
    }
    std::vector<uint8_t> data;
    size_t requested = 0;
    bool toDevice = false;
    if (options.inLength) {
        if (*options.inLength < 0 || *options.inLength > kMaxTransfer) {
            std::cerr << "--in takes a length from 0 to " << kMaxTransfer << " bytes.\n";
            return kExitUsage;
        }
        data.resize(static_cast<size_t>(*options.inLength));
    } else if (options.outData) {
        if (!parseHexBytes(*options.outData, data, error)) {
            std::cerr << "Bad --out data: " << error << "\n";
            return kExitUsage;
        }
        toDevice = true;
    }

    requested = data.size();
    if (const int rc = context.scan(); rc != kExitDone) return rc;
    device::DeviceEntry entry;
    if (const int rc = context.resolveDevice(entry); rc != kExitDone) return rc;
    const int handle = entry.index;

    if (toDevice && !data.empty()) device::DevWriteBuffer(handle, data.data(), 0, data.size());
    const int failed = device::DevExecute(handle, cdb.data(), static_cast<int>(cdb.size()),
                                          static_cast<uint32_t>(data.size()), toDevice ? 1 : 0);
    // Of data from the device only the bytes it is known to have sent are shown.
    const auto transferred = static_cast<size_t>(std::max<int64_t>(device::DevGetTransferred(handle), 0));
    if (!toDevice) {
        data.resize(std::min(transferred, data.size()));
        if (!data.empty()) device::DevReadBuffer(handle, data.data(), 0, data.size());
    }
    uint8_t sense[device::kMaxSense] = {};
    const int lastError = device::DevGetStatus(handle, sense, sizeof sense);
    const int senseLength = std::clamp(device::DevGetSenseLength(handle), 0, static_cast<int>(sizeof sense));
    const int targetStatus = device::DevGetTargetStatus(handle);
    const command::ScsiResult result = command::resultFromLibrary(failed, lastError);
    const device::SenseFields fields = device::parseSense({sense, static_cast<size_t>(senseLength)});
    const int systemError = std::max(0, device::DevGetSystemError(handle));
    const std::string systemText = device::DevSystemErrorText(handle);
    // A command the pass-through refused never reached the device: it has no status.
    const bool reached = !failed || !command::isTransportFailure(result);

    if (context.options().json) {
        nlohmann::json out{{"result", result},
                           {"target_status", reached ? nlohmann::json(targetStatus) : nlohmann::json()},
                           {"last_error", lastError},
                           {"errno", systemError},
                           {"system_error", systemText.empty() ? nlohmann::json() : nlohmann::json(systemText)},
                           {"sense", hexString(sense, static_cast<size_t>(senseLength))},
                           {"transferred", transferred},
                           {"data", hexString(data.data(), data.size())}};
        if (fields.present()) {
            out["sense_key"] = fields.key;
            out["asc"] = fields.asc;
            out["ascq"] = fields.ascq;
            out["filemark"] = fields.filemark;
            out["eom"] = fields.eom;
            out["ili"] = fields.ili;
            if (fields.informationValid) out["information"] = fields.information;
        }
        // Into the run's document, beside the common members.
        JsonResult::run().setOutcome(command::statusName(result), result, {});
        for (auto& [name, value] : out.items()) JsonResult::run()[name.c_str()] = value;
    } else {
        std::cout << fmt::format("Device {} {} {} {}\n", handle, entry.address.text(), entry.vendor, entry.product);
        std::cout << "CDB: " << hexString(cdb.data(), cdb.size()) << "\n";
        if (reached)
            std::cout << fmt::format("Status: {} (0x{:02X}), result 0x{:X}", targetStatusName(targetStatus),
                                     targetStatus, result);
        else
            std::cout << fmt::format("Status: none, the command did not reach the device ({}), result 0x{:X}",
                                     command::statusName(result), result);
        if (lastError != 0) std::cout << fmt::format(", transport error {}", lastError);
        std::cout << "\n";
        if (!systemText.empty()) std::cout << "System error: " << systemText << "\n";
        if (options.inLength || options.outData)
            std::cout << fmt::format("Transferred: {} of {} bytes\n", transferred, requested);
        if (senseLength > 0) {
            std::cout << "Sense: " << hexString(sense, static_cast<size_t>(senseLength)) << "\n";
            if (fields.present())
                std::cout << fmt::format("Sense key {:X}h, ASC {:02X}h, ASCQ {:02X}h{}{}{}\n", fields.key, fields.asc,
                                         fields.ascq, fields.filemark ? ", FILEMARK" : "", fields.eom ? ", EOM" : "",
                                         fields.ili ? ", ILI" : "");
        }
        if (!data.empty())
            for (const auto& line : command::rawDataLines(data.data(), data.size())) std::cout << line << "\n";
    }
    return failed ? kExitFailed : kExitDone;
}

}  // namespace vexal::cli
