#include "fadump/customer_info.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/system_info.h"

namespace vexal::fadump {
namespace {

constexpr std::array<std::string_view, kFieldCount> kNames = {
    "-Name",
    "-Email_Address",
    "-Phone",
    "-Company",
    "-Drive_Location",
    "-Media_Label",
    "-Backup_Software",
    "-Problem_Description",
    "-Driver_Date",
    "-Driver_File_Name",
    "-Driver_Platform",
    "-Driver_Product_Name",
    "-Driver_Version",
    "-Host_Adapter_Id",
    "-Host_Adapter_SCSI_Id",
    "-Host_Adapter_Description",
    "-Host_CPU_Architecture",
    "-Host_OS",
    "-Host_OS_Edition",
    "-Host_OS_Service_Pack",
    "-Host_OS_Version",
    "-Machine_Name",
    "-Tape_Drive_SCSI_Id",
    "-Timestamp",
    "-Tool_Name",
};

// What the operator is asked for each field the customer enters.
struct Prompt {
    int id;
    const char* text;
};
constexpr Prompt kPrompts[] = {
    {field::Name, "Name:"},
    {field::Company, "Company:"},
    {field::DriveLocation, "Drive location:"},
    {field::MediaLabel, "Media label:"},
    {field::BackupSoftware, "Backup software:"},
    {field::ProblemDescription, "Problem description:"},
};
constexpr const char* kCustomerCaption = "FA Dump Customer Information";

std::string_view trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

std::string_view fieldName(int id) {
    return id >= 0 && id < kFieldCount ? kNames[static_cast<size_t>(id)] : std::string_view{};
}

std::optional<int> fieldId(std::string_view name) {
    if (!name.empty() && name.front() == '-') name.remove_prefix(1);
    for (int i = 0; i < kFieldCount; ++i)
        if (kNames[static_cast<size_t>(i)].substr(1) == name) return i;
    return std::nullopt;
}

std::vector<uint8_t> customerRecord(int id, std::string_view value) {
    std::vector<uint8_t> r(kRecordHeaderSize + value.size() + 1, 0);
    const std::string_view name = fieldName(id);
    std::copy_n(name.begin(), std::min(name.size(), kRecordNameSize), r.begin());
    r[35] = kRecordType;
    const auto length = static_cast<uint32_t>(value.size() + 1);
    for (int i = 0; i < 4; ++i) r[36 + static_cast<size_t>(i)] = static_cast<uint8_t>(length >> (24 - 8 * i));
    std::copy(value.begin(), value.end(), r.begin() + kRecordHeaderSize);
    return r;
}

std::vector<uint8_t> customerRecords(const CustomerInfo& info) {
    std::vector<uint8_t> out;
    for (int id : kStoredFields) {
        if (info[id].empty()) continue;
        const auto r = customerRecord(id, info[id]);
        out.insert(out.end(), r.begin(), r.end());
    }
    return out;
}

void gatherHostFields(CustomerInfo& info) {
    platform::SystemInformation s;
    platform::SystemInfo(s);
    info[field::HostOs] = s.platformWord;
    info[field::HostOsEdition] = s.osName;
    info[field::HostOsVersion] = s.versionText;
    info[field::MachineName] = s.computerName;
    info[field::ToolName] = std::string(kToolName);
}

bool parseCustomerText(std::string_view text, CustomerInfo& info, std::string& error) {
    int number = 0;
    while (!text.empty()) {
        ++number;
        const auto end = text.find('\n');
        const std::string_view line = trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty() || line.front() == '#' || line.front() == ';') continue;
        const auto eq = line.find('=');
        const std::string_view name = trim(line.substr(0, eq));
        const auto id = eq == std::string_view::npos ? std::nullopt : fieldId(name);
        if (!id || *id > field::ProblemDescription) {
            error = "Line " + std::to_string(number) +
                    " of the customer file is not \"Field=Value\" with one of the fields Name, Email_Address, "
                    "Phone, Company, Drive_Location, Media_Label, Backup_Software, Problem_Description.";
            return false;
        }
        info[*id] = std::string(trim(line.substr(eq + 1)));
    }
    return true;
}

bool loadCustomerFile(const std::string& path, CustomerInfo& info, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "The customer file " + path + " cannot be read.";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        error = "The customer file " + path + " cannot be read.";
        return false;
    }
    return parseCustomerText(text.str(), info, error);
}

void askCustomerFields(ui::Operator& op, CustomerInfo& info) {
    for (const Prompt& p : kPrompts) {
        std::string answer = info[p.id];
        if (op.askText(p.text, kCustomerCaption, answer)) info[p.id] = std::string(trim(answer));
    }
}

}  // namespace vexal::fadump
