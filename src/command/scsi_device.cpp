#include "command/scsi_device.h"

#include <sys/time.h>

#include <algorithm>
#include <array>
#include <ctime>

#include <fmt/format.h>

#include "command/raw_data.h"
#include "command/status_names.h"
#include "device/bus_scan.h"
#include "device/device_library.h"
#include "device/drive_family.h"
#include "platform/named_events.h"
#include "platform/settings_store.h"

namespace vexal::command {
namespace {

struct LocalTime {
    std::tm tm{};
    int millis = 0;
};

LocalTime now() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    LocalTime t;
    const time_t seconds = tv.tv_sec;
    localtime_r(&seconds, &t.tm);
    t.millis = static_cast<int>(tv.tv_usec / 1000);
    return t;
}

}  // namespace

std::string localDateText() {
    const LocalTime t = now();
    return fmt::format("{:02}/{:02}/{:4}", t.tm.tm_mon + 1, t.tm.tm_mday, t.tm.tm_year + 1900);
}

std::string localTimeText() {
    const LocalTime t = now();
    return fmt::format("{:02}:{:02}:{:02}.{:03}", t.tm.tm_hour, t.tm.tm_min, t.tm.tm_sec, t.millis);
}

bool CScsiDevice::Select(int index) {
    if (index < 0 || index >= device::DevCount()) return false;
    const uint8_t* identity = nullptr;
    size_t length = 0;
    if (device::DevGetAddress(index, &address.hostAdapter, &address.target, &address.lun) != 0 ||
        device::DevGetIdentity(index, &identity, &length) != 0)
        return false;
    handle = index;
    labeledIndex = index;
    vendor = device::inquiryField(identity, length, 8, 8);
    product = device::inquiryField(identity, length, 16, 16);
    revision = device::inquiryField(identity, length, 32, 4);
    if (device::DevGetUnitSerial(index, serialNumber) != 0)
        serialNumber = platform::ProfileStore::readString(device::labeledSection(index), "SerialNumber", "          ");
    return true;
}

std::string CScsiDevice::productTrimmed() const {
    std::string p = product;
    while (!p.empty() && p.back() == ' ') p.pop_back();
    return p;
}

void CScsiDevice::Line(std::string_view text, LineRule rule, int level) {
    const bool engineering = out_.engineeringMode();
    switch (rule) {
    case LineRule::Always:
        out_.both(level, text);
        break;
    case LineRule::EngineeringOnly:
        if (engineering) out_.both(level, text);
        break;
    case LineRule::FileAlwaysViewEngineering:
        if (engineering) out_.addToView(text);
        out_.writeLog(level, text);
        break;
    }
}

void CScsiDevice::LogCommandSent() {
    status.timeouts = {};  // a new frame: nothing has timed out yet
    if (out_.engineeringMode()) {
        out_.addToView("");
        out_.both(0, fmt::format("[Vexal_Command_Sent on {} at {} H:{} T:{} L:{} Device:{}]", localDateText(),
                                 localTimeText(), address.hostAdapter, address.target, address.lun,
                                 productTrimmed()));
    }
    if (signals.busy) signals.busy(true);
}

void CScsiDevice::LogCommandDone() {
    if (out_.engineeringMode())
        out_.both(0, fmt::format("[Vexal_Command_Done on {} at {}]", localDateText(), localTimeText()));
    if (signals.events)
        for (const char* name : {"ScriptCmdDone", "WizardCmdDone", "Done"}) signals.events->signal(name);
    if (signals.busy) signals.busy(false);
}

void CScsiDevice::LogRawData(const uint8_t* data, size_t count, LineRule rule) {
    // A dump nobody sees is not formatted (a structure read may be tens of kilobytes).
    if (rule == LineRule::EngineeringOnly && !out_.engineeringMode()) return;
    for (const auto& line : rawDataLines(data, count)) Line(line, rule);
}

void CScsiDevice::LogRawCdb(const uint8_t* cdb, int length, LineRule rule) {
    std::string text = " RAW_CDB:";
    for (int i = 0; i < length; ++i) text += fmt::format(" {:02X}", cdb[i]);
    Line(text, rule);
}

ScsiResult CScsiDevice::LogCommandStatus(ScsiResult result) {
    if (result != 0 && isTransportFailure(result) && device::DevGetSenseLength(handle) <= 0) {
        logFailureWithoutSense(result);
        return result;
    }
    return command::LogCommandStatus(result, handle, out_, status);
}

void CScsiDevice::logFailureWithoutSense(ScsiResult result) {
    status.lastStatus = statusName(result);
    Line(" [Vexal_CmdStatus: " + status.lastStatus, LineRule::EngineeringOnly);
    // What the wait loop did about a time-out (how often it was sent, or why not again).
    if (const auto note = timeoutNote(status.timeouts)) Line(*note, LineRule::EngineeringOnly, 2);
    status.timeouts = {};
    if (const std::string reason = device::DevSystemErrorText(handle); !reason.empty())
        Line(" [Vexal_System_Error: " + reason + "]", LineRule::EngineeringOnly, 2);
}

ScsiResult CScsiDevice::ExecuteCdb(const uint8_t* cdb, int cdbLength, uint8_t* data, uint32_t length,
                                   bool toDevice) {
    int direction = 0xFF;  // no data phase
    if (length != 0 && toDevice) {
        device::DevWriteBuffer(handle, data, 0, length);
        direction = 1;
    } else if (length != 0) {
        std::fill_n(data, length, uint8_t{0});
        direction = 0;
    }
    const int failed = device::DevExecute(handle, cdb, cdbLength, length, direction);
    device::DevGetTimeoutReport(handle, &status.timeouts);
    transferred_ = static_cast<uint32_t>(std::clamp<int64_t>(device::DevGetTransferred(handle), 0, length));
    if (length != 0 && !toDevice) device::DevReadBuffer(handle, data, 0, transferred_);
    if (failed == 0) return 0;
    uint8_t scratch[16];
    return resultFromLibrary(failed, device::DevGetStatus(handle, scratch, sizeof scratch));
}

ScsiResult CScsiDevice::ExecuteInPlace(const uint8_t* cdb, int cdbLength, uint32_t length, bool toDevice) {
    const int direction = length == 0 ? 0xFF : toDevice ? 1 : 0;
    const int failed = device::DevExecute(handle, cdb, cdbLength, length, direction);
    device::DevGetTimeoutReport(handle, &status.timeouts);
    transferred_ = static_cast<uint32_t>(std::clamp<int64_t>(device::DevGetTransferred(handle), 0, length));
    if (failed == 0) return 0;
    uint8_t scratch[16];
    return resultFromLibrary(failed, device::DevGetStatus(handle, scratch, sizeof scratch));
}

ScsiResult CScsiDevice::simpleCommand(std::string_view name, const std::vector<uint8_t>& cdb, LineRule nameRule,
                                      LineRule cdbRule) {
    LogCommandSent();
    Line(name, nameRule);
    LogRawCdb(cdb.data(), static_cast<int>(cdb.size()), cdbRule);
    ScsiResult result = ExecuteCdb(cdb.data(), static_cast<int>(cdb.size()), nullptr, 0, false);
    result = LogCommandStatus(result);
    LogCommandDone();
    return result;
}

ScsiResult CScsiDevice::TestUnitReady() {
    return simpleCommand(" TestUnitReady", {0x00, 0, 0, 0, 0, 0}, LineRule::EngineeringOnly,
                         LineRule::FileAlwaysViewEngineering);
}

ScsiResult CScsiDevice::Rewind(bool immediate) {
    return simpleCommand(" Rewind", {0x01, static_cast<uint8_t>(immediate ? 1 : 0), 0, 0, 0, 0}, LineRule::Always,
                         LineRule::FileAlwaysViewEngineering);
}

ScsiResult CScsiDevice::WriteFilemarks(uint32_t count, bool immediate) {
    const std::vector<uint8_t> cdb{0x10, static_cast<uint8_t>(immediate ? 1 : 0), static_cast<uint8_t>(count >> 16),
                                   static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count), 0};
    LogCommandSent();
    Line(" WriteFilemarks", LineRule::Always);
    Line(fmt::format("  Count = {}", count & 0xFFFFFF), LineRule::Always);
    LogRawCdb(cdb.data(), 6, LineRule::Always);
    ScsiResult result = ExecuteCdb(cdb.data(), 6, nullptr, 0, false);
    result = LogCommandStatus(result);
    LogCommandDone();
    return result;
}

ScsiResult CScsiDevice::ResetBus() {
    LogCommandSent();
    Line(" ResetBus", LineRule::Always);
    // 0 reads "SCSI_GOOD"; a refused reset is named by the library's last error, as a
    // command's transport failure is (its unmapped 1 would read as a filemark).
    const int failed = device::DevResetDevice(handle);
    const ScsiResult result = LogCommandStatus(failed ? resultFromLibrary(failed, device::DevLastError(handle)) : 0);
    LogCommandDone();
    return result;
}

}  // namespace vexal::command
