// vexal-cli scan and select: the device list.
#include <algorithm>
#include <iostream>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/json_result.h"
#include "device/drive_family.h"

namespace vexal::cli {
namespace {

std::string trimmed(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    while (!s.empty() && s.front() == ' ') s.erase(0, 1);
    return s;
}

void printTable(const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
    }
    for (const auto& row : rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) line.append(widths[i] - row[i].size() + 2, ' ');
        }
        std::cout << trimmed(line) << "\n";
    }
}

}  // namespace

int runScan(CliContext& context, bool rescan) {
    // The session's mode and privileges decide which devices are addressable.
    CliSession session(context);
    if (const int rc = session.open(false); rc != kExitDone) return session.finish(rc);
    if (rescan) context.rescan();
    if (const int rc = context.scan(true); rc != kExitDone) return session.finish(rc);
    auto& scanner = context.scanner();
    const bool nodes = std::any_of(scanner.devices().begin(), scanner.devices().end(),
                                   [](const device::DeviceEntry& d) { return !d.node.empty(); });
    nlohmann::json list = nlohmann::json::array();
    std::vector<std::vector<std::string>> rows{{"Index", "Vendor", "Model", "Product Revision", "Serial Number",
                                                "HBA ID", "Target ID", "LUN ID", "Type", "Family"}};
    if (nodes) rows.front().push_back("Node");
    for (const auto& d : scanner.devices()) {
        const uint8_t family = scanner.DriveFamily(d.index);
        const bool addressable = device::mayAddress(family, context.wizardPrivileges());
        if (context.options().json) {
            nlohmann::json item{{"index", d.index},
                                {"vendor", trimmed(d.vendor)},
                                {"model", trimmed(d.product)},
                                {"revision", trimmed(d.revision)},
                                {"serial", trimmed(d.serialNumber)},
                                {"hba", d.address.hostAdapter},
                                {"target", d.address.target},
                                {"lun", d.address.lun},
                                {"type", std::string(device::deviceTypeName(d.peripheralType))},
                                {"family", family},
                                {"addressable", addressable}};
            if (!d.node.empty()) item["node"] = d.node;
            list.push_back(std::move(item));
        } else {
            auto row = device::deviceListRow(d);
            for (auto& cell : row) cell = trimmed(cell);
            row.insert(row.begin(), std::to_string(d.index));
            row.push_back(std::string(device::deviceTypeName(d.peripheralType)));
            row.push_back(std::to_string(family) + (addressable ? "" : " (not addressable)"));
            if (nodes) row.push_back(d.node);
            rows.push_back(std::move(row));
        }
    }
    if (context.options().json) JsonResult::run().setList(std::move(list));
    else if (scanner.deviceCount() > 0) printTable(rows);
    // Devices that are there but refused to this user: an environment problem, not an
    // empty bus.
    return session.finish(context.accessFailure());
}

int runSelect(CliContext& context, const std::string& deviceText) {
    // The stored choice is an index of the full list.
    if (const int rc = context.scan(true); rc != kExitDone) return rc;
    const int index = context.findDevice(deviceText);
    if (index < 0) {
        if (const int rc = context.accessFailure(); rc != kExitDone) return rc;
        std::cerr << "There is no device " << deviceText << ": run 'vexal-cli scan' to list them.\n";
        return kExitNoDevice;
    }
    device::SelectionContext selection{true, context.wizardPrivileges(), kCliInstance};
    device::ActiveDevice active;
    switch (device::SelectActiveDevice(context.scanner(), index, selection, active, context.op())) {
    case device::SelectResult::Selected:
        JsonResult::run().setDevice(active.entry);
        if (!context.options().quiet && !context.options().json)
            std::cout << fmt::format("Active device {}: {} {} {}\n", index, trimmed(active.entry.vendor),
                                     trimmed(active.entry.product), active.entry.address.text());
        return kExitDone;
    case device::SelectResult::NotIdle:
        return kExitFailed;
    case device::SelectResult::NotAddressable:
    case device::SelectResult::NoSuchDevice:
        break;
    }
    return kExitNoDevice;
}

}  // namespace vexal::cli
