#pragma once
// The customer information appended to an FA dump: 25 named fields, of which the wizard
// stores the ones the customer enters, the host's and the program's name, each as one
// record (a 32-byte name, type 2, a big-endian length, the value and its zero byte).
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "operator/operator.h"

namespace vexal::fadump {

namespace field {
inline constexpr int Name = 0;
inline constexpr int EmailAddress = 1;
inline constexpr int Phone = 2;
inline constexpr int Company = 3;
inline constexpr int DriveLocation = 4;
inline constexpr int MediaLabel = 5;
inline constexpr int BackupSoftware = 6;
inline constexpr int ProblemDescription = 7;
inline constexpr int HostOs = 17;
inline constexpr int HostOsEdition = 18;
inline constexpr int HostOsVersion = 20;
inline constexpr int MachineName = 21;
inline constexpr int ToolName = 24;
}  // namespace field

inline constexpr int kFieldCount = 25;
inline constexpr size_t kRecordNameSize = 32;
inline constexpr size_t kRecordHeaderSize = 40;  // name, three zero bytes, type, length
inline constexpr uint8_t kRecordType = 2;
inline constexpr std::string_view kToolName = "Korvane Vexal";

// "-Name", "-Email_Address", ... for identifiers 0 to 24; empty for any other.
std::string_view fieldName(int id);
// The identifier of a name, with or without its leading "-"; nullopt when unknown.
std::optional<int> fieldId(std::string_view name);

// The fields the wizard stores, in identifier order: those the customer enters, those of
// the host system, and the program's name.
inline constexpr std::array<int, 6> kCustomerFields = {field::Name,          field::Company,
                                                       field::DriveLocation, field::MediaLabel,
                                                       field::BackupSoftware, field::ProblemDescription};
inline constexpr std::array<int, 11> kStoredFields = {field::Name,          field::Company,     field::DriveLocation,
                                                      field::MediaLabel,    field::BackupSoftware,
                                                      field::ProblemDescription, field::HostOs,
                                                      field::HostOsEdition, field::HostOsVersion,
                                                      field::MachineName,   field::ToolName};

struct CustomerInfo {
    std::array<std::string, kFieldCount> values;  // empty: no record
    std::string& operator[](int id) { return values.at(static_cast<size_t>(id)); }
    const std::string& operator[](int id) const { return values.at(static_cast<size_t>(id)); }
};

// One record: value length + 41 bytes.
std::vector<uint8_t> customerRecord(int id, std::string_view value);
// The records of the stored fields that have a value, in identifier order.
std::vector<uint8_t> customerRecords(const CustomerInfo& info);

// Fills the host fields (operating system, edition, version, machine name) and the tool
// name from this system.
void gatherHostFields(CustomerInfo& info);

// Reads "Field=Value" lines (field names without their leading "-"; blank lines and lines
// starting with '#' or ';' are skipped). False with one sentence naming the line when a
// line is not a known field or the file cannot be read.
bool parseCustomerText(std::string_view text, CustomerInfo& info, std::string& error);
bool loadCustomerFile(const std::string& path, CustomerInfo& info, std::string& error);

// Asks the operator for each field the customer enters; an empty or cancelled answer
// leaves the field empty.
void askCustomerFields(ui::Operator& op, CustomerInfo& info);

}  // namespace vexal::fadump
