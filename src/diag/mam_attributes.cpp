#include "diag/mam_attributes.h"

#include <array>

namespace vexal::diag {
namespace {

constexpr MamAttributeDef kDeviceRows[] = {
    {0, "Remaining Capacity In Partition", 0x0000, 8, MamFormat::Binary, MamShow::Mebibytes,
     "These are native capacities, assuming no data compression for the specified medium partition, "
     "expressed in increments of 1,048,576 bytes, that is, a value of 1 means 1,048,576 bytes, 2 means "
     "2,097,152 bytes, and so on."},
    {1, "Maximum Capacity In Partition", 0x0001, 8, MamFormat::Binary, MamShow::Mebibytes,
     "These are native capacities, assuming no data compression for the specified medium partition, "
     "expressed in increments of 1,048,576 bytes, that is, a value of 1 means 1,048,576 bytes, 2 means "
     "2,097,152 bytes, and so on."},
    {2, "Tape Alert Flags", 0x0002, 8, MamFormat::Binary, MamShow::TapeAlertFlags,
     "Provides a means of reporting the state of the Tape Alert flags for the previous load of the "
     "medium.  Each Tape Alert flag occupies one bit (Flag 1=MSB byte 1; Flag 64=LSB, byte 8)."},
    {3, "Load Count", 0x0003, 8, MamFormat::Binary, MamShow::Number,
     "Indicates how many times this medium has been fully loaded.  The drive does not reset this "
     "attribute."},
    {4, "MAM Space Remaining", 0x0004, 8, MamFormat::Binary, MamShow::Number,
     "Indicates the space currently free in the medium auxiliary memory.  The total medium auxiliary "
     "memory capacity is reported in the MAM Capacity attribute."},
    {5, "Assigning Organization", 0x0005, 100, MamFormat::Ascii, MamShow::Text,
     ""},
    {6, "Formatted Density Code", 0x0006, 1, MamFormat::Binary, MamShow::DensityCode,
     "If the drive formats the medium using a format other than the one specified in the MEDIUM DENSITY "
     "CODE attribute this field will specify the DENSITY CODE of the format chosen."},
    {7, "Initialization Count", 0x0007, 2, MamFormat::Binary, MamShow::Number,
     "Indicates the number of times that a drive has logically formatted the medium.  This figure is "
     "cumulative over the life of the medium and is never reset."},
    {8, "Device Make Serial Number At Last Load", 0x020A, 40, MamFormat::Ascii, MamShow::Text,
     "Give a rolling history of the last four drives in which the medium has been loaded."},
    {9, "Device Make Serial Number At Load1", 0x020B, 40, MamFormat::Ascii, MamShow::Text,
     "Give a rolling history of the last four drives in which the medium has been loaded."},
    {10, "Device Make Serial Number At Load2", 0x020C, 40, MamFormat::Ascii, MamShow::Text,
     "Give a rolling history of the last four drives in which the medium has been loaded."},
    {11, "Device Make Serial Number At Load3", 0x020D, 40, MamFormat::Ascii, MamShow::Text,
     "Give a rolling history of the last four drives in which the medium has been loaded."},
    {12, "Total Mbytes Written In Medium Life", 0x0220, 8, MamFormat::Binary, MamShow::Mebibytes,
     "Total number of data bytes transferred to/from the medium surface, after any data compression has "
     "been applied, over the entire medium life.  These values are cumulative and are never reset."},
    {13, "Total Mbytes Read In Medium Life", 0x0221, 8, MamFormat::Binary, MamShow::Mebibytes,
     "Total number of data bytes transferred to/from the medium surface, after any data compression has "
     "been applied, over the entire medium life.  These values are cumulative and are never reset."},
    {14, "Total Mbytes Written In Current Last Load", 0x0222, 8, MamFormat::Binary, MamShow::Mebibytes,
     "Total number of data bytes transferred to/from the medium surface, after any data compression has "
     "been applied, during the current load if the medium is currently loaded or the last load if the "
     "medium is currently unloaded."},
    {15, "Total Mbytes Read In Current Last Load", 0x0223, 8, MamFormat::Binary, MamShow::Mebibytes,
     "Total number of data bytes transferred to/from the medium surface, after any data compression has "
     "been applied, during the current load if the medium is currently loaded or the last load if the "
     "medium is currently unloaded."},
    {16, "Medium Usage History", 0x0340, 90, MamFormat::Binary, MamShow::MediumUsageHistory,
     "Provides statistics for the entire medium.  If a field is not used, it is set to 0."},
    {17, "Partition Usage History", 0x0341, 60, MamFormat::Binary, MamShow::PartitionUsageHistory,
     "Provides statistics for the partition specified by the Partition Number field in the CDB.  If a "
     "field is not used, it is set to 0."},
};

constexpr MamAttributeDef kMediumRows[] = {
    {0, "Medium Manufacturer", 0x0400, 8, MamFormat::Ascii, MamShow::Text,
     "Contains 8 bytes of ASCII data identifying the vendor of the media."},
    {1, "Medium Serial Number", 0x0401, 32, MamFormat::Ascii, MamShow::Text,
     "Identifies the manufacturer's serial number for the medium."},
    {2, "Medium Length", 0x0402, 4, MamFormat::Binary, MamShow::Number,
     "Specifies the length of the medium in meters.  A value of 00h specifies that the length of the "
     "medium is undefined."},
    {3, "Medium Width", 0x0403, 4, MamFormat::Binary, MamShow::Number,
     "Specifies the width of the medium supported by this density.  The value is expressed in units of "
     "tenths of millimeters.  A value of 00h specifies the width of the tape is undefined."},
    {4, "Assigning Organization", 0x0404, 8, MamFormat::Ascii, MamShow::Text,
     "Identifies the organization responsible for the specifications defining the values in the MEDIUM "
     "DENSITY CODE attribute."},
    {5, "Medium Density Code", 0x0405, 1, MamFormat::Binary, MamShow::DensityCode,
     "Contains the actual density of the tape. (See product SCSI specification for more information.)"},
    {6, "Medium Manufacture Date", 0x0406, 8, MamFormat::Ascii, MamShow::Text,
     "Identifies the date of manufacture of the medium.  The format is YYYYMMDD."},
    {7, "MAM Capacity", 0x0407, 8, MamFormat::Binary, MamShow::Number,
     "The total capacity of the medium auxiliary memory, in bytes, at manufacture time."},
    {8, "Medium Type", 0x0408, 1, MamFormat::Binary, MamShow::MediumType,
     "Indicates the type of media on which the MAM chip resides.  At this time, SKTX tape media only "
     "supports the Data Medium type."},
    {9, "Medium Type Information", 0x0409, 2, MamFormat::Binary, MamShow::Number,
     "This attribute is interpreted according to the type of medium indicated by the MEDIUM TYPE "
     "attribute."},
};

constexpr MamAttributeDef kHostRows[] = {
    {0, "Application Vendor", 0x0800, 8, MamFormat::Ascii, MamShow::Text,
     "Contains 8 bytes of ASCII data identifying the manufacturer of the application client that most "
     "recently sent a WRITE ATTRIBUTE command to the drive the MAM was accessible."},
    {1, "Application Name", 0x0801, 32, MamFormat::Ascii, MamShow::Text,
     "The name of the application client."},
    {2, "Application Version", 0x0802, 8, MamFormat::Ascii, MamShow::Text,
     "The version of the application client."},
    {3, "User Medium Text Label", 0x0803, 160, MamFormat::Text, MamShow::Text,
     "The user level identifier for the medium."},
    {4, "Date and Time Last Written", 0x0804, 12, MamFormat::Ascii, MamShow::Text,
     "Contains when the application client last wrote to the medium auxiliary memory.  The format is "
     "YYYMMDDHHMM."},
    {5, "Text Localization Identifier", 0x0805, 2, MamFormat::Binary, MamShow::TextLocalization,
     "Defines the character set used for attributes with a TEXT format.  At this time, SKTX tape only "
     "supports the ASCII character set."},
    {6, "Barcode", 0x0806, 32, MamFormat::Ascii, MamShow::Text,
     "The contents of a barcode associated with the medium auxiliary memory."},
    {7, "Owning Host Textual Name", 0x0807, 80, MamFormat::Text, MamShow::Text,
     "Indicates the host from which the USER MEDIUM TEXT LABEL originates."},
    {8, "Media Pool", 0x0808, 160, MamFormat::Text, MamShow::Text,
     "Indicates the media pool to which this medium belongs."},
    {9, "Partition User Text Label", 0x0809, 16, MamFormat::Ascii, MamShow::Text,
     "A user-level identifier for the partition specified by the Partition Number field in the CDB."},
    {10, "Load Unload At Partition", 0x080A, 2, MamFormat::Binary, MamShow::Number,
     "Indicates whether the media can be loaded or unloaded at the partition specified by the Partition "
     "Number field in the CDB."},
};

// Control Data rows are vendor specific: binary, without descriptions.
constexpr MamAttributeDef kControlRows[] = {
    {0, "Critical Control Data", 0x0C00, 100, MamFormat::Binary, MamShow::CriticalControlData,
     ""},
    {1, "Control Flags", 0x0C04, 1, MamFormat::Binary, MamShow::ControlFlags,
     ""},
};

constexpr std::array<MamGroupDef, 4> kGroups{{
    {MamGroupId::Device, "device", "Device Data", "Standard Device Type Attributes",
     "The drive maintains and updates device type attributes when the medium and associated medium auxiliary "
     "memory are present.",
     false, kDeviceRows},
    {MamGroupId::Medium, "medium", "Medium Data", "Standard Medium Type Attributes",
     "Medium type attributes are hard-coded into the medium auxiliary memory at the time of manufacture.  All "
     "supported medium type attributes have a status of read only.",
     false, kMediumRows},
    {MamGroupId::Host, "host", "Host Data", "Standard Host Type Attributes",
     "Application clients use the WRITE/READ ATTRIBUTES commands to maintain the attributes listed.  All host "
     "type attributes have a status of read/write.",
     false, kHostRows},
    {MamGroupId::Control, "control", "Control Data", "Control Type Attributes", "", true, kControlRows},
}};

constexpr std::array<std::string_view, 15> kUsageCounters{
    "Current Amount of Data Written", "Current Write Retries Count", "Current Amount of Data Read",
    "Current Read Retries Count",     "Previous Amount of Data Written", "Previous Write Retries Count",
    "Previous Amount of Data Read",   "Previous Read Retries Count",  "Total Amount of Data Written",
    "Total Write Retries Count",      "Total Amount of Data Read",    "Total Read Retries Count",
    "Load Count",                     "Total Change Partition Count", "Total Partition Initialize Count",
};

constexpr std::array<std::string_view, 7> kCriticalControl{
    "Version",          "PreviousVersion",          "PassCountTotal",   "PassCountThisVersion",
    "DownVerUpdatesTotal", "DownVerUpdatesThisVersion", "SizeOfThisVersion",
};

constexpr std::array<std::string_view, 6> kControlFlags{
    "Software Write Protect", "Permanent Write Protect", "Persistent Write Protect",
    "Associated Write Protect", "Archive Tape",          "Read Only MAM",
};

}  // namespace

bool hasSpecialDisplay(MamShow show) {
    return show != MamShow::Number && show != MamShow::Mebibytes && show != MamShow::Text;
}

std::span<const MamGroupDef> mamGroups() { return kGroups; }

const MamGroupDef& mamGroup(MamGroupId id) {
    for (const MamGroupDef& g : kGroups)
        if (g.id == id) return g;
    return kGroups[0];
}

bool parseMamGroupName(std::string_view name, MamGroupId& id) {
    for (const MamGroupDef& g : kGroups)
        if (g.key == name) {
            id = g.id;
            return true;
        }
    return false;
}

std::vector<MamGroupId> visibleMamGroups(bool engineeringMode) {
    std::vector<MamGroupId> out;
    for (const MamGroupDef& g : kGroups)
        if (!g.engineeringOnly || engineeringMode) out.push_back(g.id);
    return out;
}

std::span<const std::string_view> usageHistoryCounterNames() { return kUsageCounters; }
std::span<const std::string_view> criticalControlNames() { return kCriticalControl; }
std::span<const std::string_view> controlFlagNames() { return kControlFlags; }

}  // namespace vexal::diag
