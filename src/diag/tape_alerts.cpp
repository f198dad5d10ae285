#include "diag/tape_alerts.h"

#include <algorithm>
#include <vector>

#include <fmt/printf.h>

#include "device/device_library.h"
#include "diag/side_files.h"

namespace vexal::diag {

const std::array<TapeAlertDefinition, kTapeAlertCount> kTapeAlerts{{
    {1, "Read Warning", Severity::Warning,
     "Problems reading data.  There is no loss of data, but the tape drive's performance is reduced."},
    {2, "Write Warning", Severity::Warning,
     "Problems writing data.  There is no loss of data, but the capacity of the tape is reduced."},
    {3, "Hard Error", Severity::Warning,
     "An error has occurred during a read or write operation that the tape drive cannot correct: operation has "
     "stopped."},
    {4, "Media", Severity::Critical,
     "Your data is at risk.  Copy all important data from this tape cartridge.  Do not use the tape cartridge "
     "again.  Restart the operation using a different tape cartridge."},
    {5, "Read Failure", Severity::Critical,
     "The tape medium or the tape drive is damaged.  Contact a service representative."},
    {6, "Write Failure", Severity::Critical,
     "The tape medium is faulty or the tape drive is damaged.  Test the tape drive using a known-good tape "
     "cartridge.  If the problem persists, contact a service representative."},
    {7, "Media Life", Severity::Warning,
     "The tape cartridge has reached the end of its useful life.  Copy all important data to another tape "
     "cartridge and discard the old tape cartridge."},
    {9, "Write Protect", Severity::Critical,
     "The tape cartridge is write protected.  Set the write protection switch to enable writing, or use a "
     "different tape cartridge."},
    {10, "No Removal", Severity::Informational,
     "The tape drive is busy and the tape cartridge cannot be ejected.  Wait for the operation to complete before "
     "attempting to eject the tape cartridge."},
    {11, "Cleaning Media", Severity::Informational,
     "The tape cartridge in the tape drive is a cleaning cartridge.  For normal tape drive data-related "
     "operations, replace the cleaning cartridge with a data tape cartridge."},
    {17, "Read Only Format", Severity::Warning,
     "The type of tape currently loaded into the drive is Read Only on the SKTX tape drive."},
    {19, "Nearing Media Life", Severity::Warning,
     "The tape cartridge is nearing the end of its useful life.  You should use another tape cartridge for your "
     "next backup.  Store this tape cartridge in a safe place in case you need to restore data from it."},
    {20, "Clean Now", Severity::Critical,
     "The tape drive needs to be cleaned.  Make sure that all tape operations have completed, eject the data tape "
     "cartridge and follow the appropriate steps to use a cleaning cartridge."},
    {21, "Clean Periodic", Severity::Warning,
     "The tape drive is due for routine cleaing.  Wait for the current operation to finish then use a cleaning "
     "cartridge.  Check the tape drive users manual for device specific cleaning instructions."},
    {22, "Expired Cleaning Media", Severity::Critical,
     "The cleaning cartridge that was used has expired.  Wait for all tape drive operations to complete, then use "
     "a valid cleaning cartridge for cleaning."},
    {23, "Invalid Cleaning Tape", Severity::Critical,
     "The last cleaning cartridge used in the tape drive was an invalid type.  Use a valid cleaning cartridge."},
    {29, "Drive Maintenance", Severity::Warning,
     "Preventive maintenance of the tape drive is required.  Check the tape drive users manual for device "
     "specific preventive maintenance tasks or call the tape drive supplier help line."},
    {31, "Hardware B", Severity::Critical,
     "The tape drive may have a hardware fault.  Contact a service representative."},
    {32, "Interface", Severity::Warning,
     "The drive has identified a problem with the interface to/from the host."},
    {34, "Download Fail", Severity::Warning, "The attempted firmware download has failed."},
    {36, "Drive Temperature", Severity::Warning,
     "Temperature within the tape drive is exceeding the allowable specifications."},
    {38, "Predictive Failure", Severity::Critical,
     "A hardware failure of the drive is predicted.  Call the tape supplier help line to arrange for a "
     "replacement."},
    {51, "Tape Directory Invalid at Unload", Severity::Warning,
     "A WRITE error prevented the directory from being from being updated when the drive unloaded the tape."},
}};

std::string_view severityWord(Severity severity) {
    switch (severity) {
    case Severity::Informational: return "Informational";
    case Severity::Warning: return "Warning";
    case Severity::Critical: return "Critical";
    }
    return "";
}

bool TapeAlertResult::highest(Severity& severity) const {
    if (!critical.empty()) severity = Severity::Critical;
    else if (!warning.empty()) severity = Severity::Warning;
    else if (!informational.empty()) severity = Severity::Informational;
    else return false;
    return true;
}

bool reportsTapeAlerts(uint8_t familyCode) { return familyCode >= 10 && familyCode <= 12; }

std::string tapeAlertLogLine(const TapeAlertDefinition& alert) {
    return fmt::sprintf("Tape Alert:%s Severity:%s", std::string(alert.name), std::string(severityWord(alert.severity)));
}

void ApplyTapeAlertPage(const LogPage& page, uint8_t familyCode, TapeAlertTable& table, TapeAlertResult& result,
                        command::CommandOutput& out) {
    if (!reportsTapeAlerts(familyCode)) return;
    for (size_t i = 0; i < kTapeAlerts.size(); ++i) {
        const TapeAlertDefinition& alert = kTapeAlerts[i];
        uint8_t value = 0;
        if (page.FetchByte(alert.flag, value) != FetchError::None) continue;
        if (value == 0) {
            table.active[i] = false;
            result.flagClear = true;
        } else if (value == 1) {
            table.active[i] = true;
            result.alertActive = true;
            out.writeLog(0, tapeAlertLogLine(alert));
            const std::string word(severityWord(alert.severity));
            switch (alert.severity) {
            case Severity::Informational:
                result.informational = word;
                break;
            case Severity::Warning:
                result.warning = word;
                result.informational.clear();
                break;
            case Severity::Critical:
                result.critical = word;
                result.warning.clear();
                result.informational.clear();
                break;
            }
        } else {
            result.flagClear = true;
        }
    }
}

TapeAlertCheckStatus CheckTapeAlerts(int handle, uint8_t familyCode, TapeAlertTable& table, TapeAlertResult& result,
                                     command::CommandOutput& out, const std::filesystem::path& folder) {
    result = TapeAlertResult{};
    const std::array<uint8_t, 10> cdb{0x4D, 0x00, page::TapeAlert, 0x00, 0x00, 0x00, 0x00,
                                      static_cast<uint8_t>(kTapeAlertReadLength >> 8),
                                      static_cast<uint8_t>(kTapeAlertReadLength & 0xFF), 0x00};
    std::vector<uint8_t> data(kTapeAlertReadLength, 0);
    if (device::DevExecute(handle, cdb.data(), static_cast<int>(cdb.size()), kTapeAlertReadLength, 0) != 0)
        return TapeAlertCheckStatus::CommandFailed;
    // Only the bytes the drive sent are the page.
    data.resize(static_cast<size_t>(std::clamp<int64_t>(device::DevGetTransferred(handle), 0, kTapeAlertReadLength)));
    if (device::DevReadBuffer(handle, data.data(), 0, data.size()) != 0) return TapeAlertCheckStatus::CommandFailed;
    LogPage page;
    if (LoadLogPage(page::TapeAlert, data, folder, page) != PageError::None) return TapeAlertCheckStatus::PageRefused;
    ApplyTapeAlertPage(page, familyCode, table, result, out);
    return TapeAlertCheckStatus::Done;
}

}  // namespace vexal::diag
