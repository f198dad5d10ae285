// vexal-cli cdb: the Create CDB command (any CDB, with its data in either direction) through
// the document, so that it writes its frame to the view, the session log and --save as
// every other command does; then its status, sense and data as far as the drive sent them.
#include <algorithm>
#include <iostream>

#include <nlohmann/json.hpp>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/hex_bytes.h"
#include "cli/json_result.h"
#include "command/scsi_result.h"
#include "command/status_names.h"
#include "device/device_library.h"
#include "device/request_block.h"
#include "device/sense_format.h"

namespace vexal::cli {
namespace {

// Large enough for any tape block; a bigger request is almost surely a typing error.
constexpr long long kMaxTransfer = 64LL * 1024 * 1024;

// Checks the options and fills the request; an exit code.
int fillRequest(const CdbOptions& options, command::CommandRequest& request) {
    std::string error;
    if (!parseHexBytes(options.cdb, request.cdb, error)) {
        std::cerr << "Bad CDB: " << error << "\n";
        return kExitUsage;
    }
    if (request.cdb.size() < 6 || request.cdb.size() > 16) {
        std::cerr << "A CDB has 6 to 16 bytes; this one has " << request.cdb.size() << ".\n";
        return kExitUsage;
    }
    if (options.inLength) {
        if (*options.inLength < 0 || *options.inLength > kMaxTransfer) {
            std::cerr << "--in takes a length from 0 to " << kMaxTransfer << " bytes.\n";
            return kExitUsage;
        }
        request.data.assign(static_cast<size_t>(*options.inLength), 0);
    } else if (options.outData) {
        if (!parseHexBytes(*options.outData, request.data, error)) {
            std::cerr << "Bad --out data: " << error << "\n";
            return kExitUsage;
        }
        request.toDevice = true;
    }
    request.code = command::code::CreateCdb;
    return kExitDone;
}

// What the command left in the device library, read after its frame was written.
struct Outcome {
    command::ScsiResult result = 0;  // as the library reported it, before the frame named it
    int lastError = 0;
    int targetStatus = 0;
    bool reached = true;  // a command the pass-through refused never reached the device
    uint8_t sense[device::kMaxSense] = {};
    size_t senseLength = 0;
    device::SenseFields fields;
    int systemError = 0;
    std::string systemText;
    size_t requested = 0;
    size_t transferred = 0;
};

Outcome readOutcome(int handle, command::ScsiResult named, const command::CommandRequest& request,
                    size_t transferred) {
    Outcome o;
    o.lastError = device::DevGetStatus(handle, o.sense, sizeof o.sense);
    o.senseLength = static_cast<size_t>(std::clamp(device::DevGetSenseLength(handle), 0, static_cast<int>(sizeof o.sense)));
    o.targetStatus = device::DevGetTargetStatus(handle);
    // The frame may have named a failure by its ASC/ASCQ; the library's own outcome is
    // what this command reports.
    o.result = named == 0 ? 0 : command::resultFromLibrary(1, o.lastError);
    o.reached = o.result == 0 || !command::isTransportFailure(o.result);
    o.fields = device::parseSense({o.sense, o.senseLength});
    o.systemError = std::max(0, device::DevGetSystemError(handle));
    o.systemText = device::DevSystemErrorText(handle);
    o.requested = request.data.size();
    o.transferred = transferred;
    return o;
}

void printJson(const Outcome& o, const uint8_t* data, size_t shown) {
    nlohmann::json out{{"result", o.result},
                       {"target_status", o.reached ? nlohmann::json(o.targetStatus) : nlohmann::json()},
                       {"last_error", o.lastError},
                       {"errno", o.systemError},
                       {"system_error", o.systemText.empty() ? nlohmann::json() : nlohmann::json(o.systemText)},
                       {"sense", hexString(o.sense, o.senseLength)},
                       {"transferred", o.transferred},
                       {"data", hexString(data, shown)}};
    if (o.fields.present()) {
        out["sense_key"] = o.fields.key;
        out["asc"] = o.fields.asc;
        out["ascq"] = o.fields.ascq;
        out["filemark"] = o.fields.filemark;
        out["eom"] = o.fields.eom;
        out["ili"] = o.fields.ili;
        if (o.fields.informationValid) out["information"] = o.fields.information;
    }
    // Into the run's document, beside the common members.
    for (auto& [name, value] : out.items()) JsonResult::run()[name.c_str()] = value;
}

}  // namespace

int runCdb(CliContext& context, const CdbOptions& options) {
    command::CommandRequest request;
    if (const int rc = fillRequest(options, request); rc != kExitDone) return rc;

    CliSession session(context);
    if (const int rc = session.open(); rc != kExitDone) return session.finish(rc);
    // An engineering command (the access table): its frame shows status, sense and data.
    const GlobalOptions& g = context.options();

    command::CommandRequest& pending = session.doc().request();
    pending = std::move(request);
    session.run();
    const command::ScsiResult named = session.doc().lastResult;

    command::CScsiDevice& device = session.doc().device();
    const Outcome o = readOutcome(device.handle, named, pending, device.transferred());
    // Of data from the device only the bytes it is known to have sent are shown.
    const size_t shown = pending.toDevice ? pending.data.size() : std::min(o.transferred, pending.data.size());
    if (g.json) printJson(o, pending.data.data(), shown);
    session.recordResult(o.result);
    return session.finish(named != 0 ? kExitFailed : kExitDone);
}

}  // namespace vexal::cli
