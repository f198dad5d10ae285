// What the virtual tape drive counts for its log pages while it carries out commands,
// and the log state it starts with.
#include <algorithm>

#include "device/virtual/compression_estimate.h"
#include "device/virtual/event_history.h"
#include "device/virtual/virtual_tape_drive.h"

namespace vexal::device::virt {
namespace {

// Rereads or rewrites the drive tries before it reports an error it cannot recover.
constexpr uint64_t kRetriesBeforeGivingUp = 4;
// The temperature a drive with Tape Alert flag 36 (drive temperature) reports.
constexpr uint64_t kOverTemperature = 62;

}  // namespace

void VirtualTapeDrive::setUpLog(WarningLog& warnings) {
    logFile_ = driveLogPath(profile().serial);
    std::string error;
    if (!loadDriveLog(logFile_, log_, error)) warnings.add(error);
    bool temperatureGiven = false;
    for (const auto& [value, n] : profile().logValues) {
        log_.set(static_cast<LogValue>(value), n);
        temperatureGiven = temperatureGiven || static_cast<LogValue>(value) == LogValue::Temperature;
    }
    const auto& flags = profile().tapeAlerts;
    if (!temperatureGiven && std::find(flags.begin(), flags.end(), 36) != flags.end())
        log_.set(LogValue::Temperature, kOverTemperature);
    log_.markSaved();  // nothing the drive counted yet
    for (uint8_t flag : flags) alerts_.set(flag - 1u);
    events_ = eventParameters(profile().eventHistory ? *profile().eventHistory : defaultEventHistory());
}

void VirtualTapeDrive::noteBlockWritten(const uint8_t* data, uint32_t length) {
    log_.add(LogValue::BlocksWritten);
    log_.add(LogValue::WriteBytes, length);
    log_.add(LogValue::HostBytesWritten, length);
    log_.add(LogValue::TapeBytesWritten, mode_.compression ? compressedLength(data, length) : length);
    mam_.noteWritten(length);
}

void VirtualTapeDrive::noteBlockRead(size_t at, uint32_t toHost) {
    const TapeMedium::Record& r = medium_.record(at);
    uint64_t onTape = r.length;
    if (r.compressed) {
        const uint8_t* bytes = medium_.storedBytes(at);
        onTape = bytes ? compressedLength(bytes, r.length) : compressedUniformLength(r.length);
    }
    log_.add(LogValue::BlocksRead);
    log_.add(LogValue::ReadBytes, r.length);
    log_.add(LogValue::HostBytesRead, toHost);
    log_.add(LogValue::TapeBytesRead, onTape);
    mam_.noteRead(r.length);
}

void VirtualTapeDrive::noteError(const Sense& sense, size_t at, uint8_t operation) {
    const bool writing = operation == 2;
    log_.add(writing ? LogValue::WriteUncorrected : LogValue::ReadUncorrected);
    log_.add(writing ? LogValue::WriteRewrites : LogValue::ReadRereads, kRetriesBeforeGivingUp);
    WellnessEntry e;
    e.powerOnHours = powerOnHours();
    e.object = static_cast<uint32_t>(std::min<size_t>(at, 0xFFFFFFFF));
    e.key = sense.key;
    e.asc = sense.asc;
    e.ascq = sense.ascq;
    e.operation = operation;
    log_.addWellness(e);
    alerts_.set(3 - 1);                                          // hard error
    if (sense.key == sense_key::MediumError) alerts_.set(4 - 1);  // media
}

}  // namespace vexal::device::virt
