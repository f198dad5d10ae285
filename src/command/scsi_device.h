#pragma once
// The application's object for the selected device: its identity and one method per
// interactive command. Every command goes through ExecuteCdb and leaves one frame of
// tagged lines: Command_Sent, name, parameters, RAW_CDB, data and results, status and
// sense, Command_Done.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include <atomic>

#include "command/command_output.h"
#include "command/command_request.h"
#include "command/scsi_result.h"
#include "command/sense_decoder.h"
#include "device/device_address.h"

namespace vexal::platform { class NamedEvents; }

namespace vexal::command {

// Who hears that a command is done, and the busy animation.
struct CompletionSignals {
    // "ScriptCmdDone", "WizardCmdDone" and "Done" are signalled when they exist.
    const platform::NamedEvents* events = nullptr;
    std::function<void(bool busy)> busy;
    // Called after each READ or WRITE of a consecutive run that ended GOOD, with the count.
    std::function<void(long done)> transferred;
};

// Where a line goes depending on the mode.
enum class LineRule {
    Always,                     // written in every mode
    EngineeringOnly,            // view and log file only in engineering mode
    FileAlwaysViewEngineering,  // log file always, view only in engineering mode
};

class CScsiDevice {
public:
    explicit CScsiDevice(CommandOutput& out) : out_(out) {}

    // Fills the fields from device `index` of the library and its serial number (the one
    // the device gave the scan, else the stored one); false when the library does not know it.
    bool Select(int index);

    int handle = -1;
    // The "Labeled Device" section of the profile that belongs to this device; -1 when the
    // device list was not the full scan's, whose indices the profile uses.
    int labeledIndex = -1;
    device::DeviceAddress address;
    std::string vendor, product, revision, serialNumber;
    DeviceStatusState status;  // last status name and LastSense
    // The drive family found by the scan; INQUIRY's vendor block is shown for supported
    // families only. Whoever selects the device sets it.
    uint8_t familyCode = 254;
    CompletionSignals signals;

    // The only path to the device. `length` 0 means no data phase. Of the data from the
    // device only the bytes it is known to have sent (transferred()) are copied into
    // `data`; the rest reads as zeros, whether the command succeeded or not.
    ScsiResult ExecuteCdb(const uint8_t* cdb, int cdbLength, uint8_t* data, uint32_t length, bool toDevice);
    // The same with the data in the device library's channel buffer (DevBufferData): what
    // is sent is taken from there and what comes back stays there.
    ScsiResult ExecuteInPlace(const uint8_t* cdb, int cdbLength, uint32_t length, bool toDevice);
    // Bytes of the last ExecuteCdb or ExecuteInPlace that the device is known to have
    // sent: the only ones to decode, show, compare or hand on.
    uint32_t transferred() const { return transferred_; }

    void LogCommandSent();
    void LogCommandDone();
    void LogRawData(const uint8_t* data, size_t count, LineRule rule = LineRule::EngineeringOnly);
    void LogRawCdb(const uint8_t* cdb, int length, LineRule rule);
    void Line(std::string_view text, LineRule rule, int level = 0);
    // Names the result and writes the status and sense lines.
    ScsiResult LogCommandStatus(ScsiResult result);

    // Product identification without trailing blanks, as every line prints it.
    std::string productTrimmed() const;
    CommandOutput& output() { return out_; }

    // Interactive commands.
    ScsiResult TestUnitReady();
    ScsiResult Inquiry(bool vpdSerialNumber = false);
    ScsiResult InquiryFirmwareBuild();
    ScsiResult RequestSense();
    ScsiResult Rewind(bool immediate = false);
    ScsiResult WriteFilemarks(uint32_t count, bool immediate = false);
    ScsiResult ResetBus();
    // READ and WRITE, `request.count` times (0: to the end of medium); the counter counts
    // the commands done; `abort` stops between commands.
    ScsiResult Read(const CommandRequest& request, std::atomic<long>& counter, const std::atomic<int>& abort);
    ScsiResult Write(const CommandRequest& request, std::atomic<long>& counter, const std::atomic<int>& abort);
    // The other single commands of the Commands menu.
    ScsiResult LoadUnload(int loadCode, bool immediate);  // 1 load, 0 unload, 3 retension
    ScsiResult Space(int spaceCode, int32_t count);
    ScsiResult Locate(const CommandRequest& request);
    ScsiResult ReadBlockLimits();
    ScsiResult ReadPosition(bool blockAddressType);
    ScsiResult Verify(const CommandRequest& request);
    ScsiResult Erase(bool longErase);
    ScsiResult ModeSense(const CommandRequest& request, std::vector<uint8_t>* buffer = nullptr);
    ScsiResult ModeSelect(const CommandRequest& request, std::vector<uint8_t>& buffer,
                          const std::vector<std::string>& extraLines = {});
    ScsiResult SetBlockSize(uint32_t blockSize);
    ScsiResult Compression(bool enable);
    ScsiResult ReadBuffer(const CommandRequest& request, std::vector<uint8_t>* out = nullptr);
    ScsiResult WriteBuffer(const CommandRequest& request);
    ScsiResult SendDiagnostic(uint8_t selfTestCode);
    ScsiResult ReceiveDiagnostic(uint16_t length, std::vector<uint8_t>* out = nullptr);
    ScsiResult PreventAllow(bool prevent);
    ScsiResult ReserveRelease(bool reserve);
    ScsiResult InitElementStatus();
    ScsiResult LogSelectReset();
    ScsiResult Format(bool immediate, uint8_t formatCode);

    // One frame: name and parameter lines, RAW_CDB, the command, result lines, status.
    struct Frame {
        std::string_view name;
        std::vector<std::string> parameters;
        LineRule nameRule = LineRule::Always;
        LineRule cdbRule = LineRule::Always;
        bool rawCdb = true;
    };
    ScsiResult RunFrame(const Frame& frame, const std::vector<uint8_t>& cdb, uint8_t* data, uint32_t length,
                        bool toDevice, const std::function<void(ScsiResult)>& results = {});

    // A script's READ or WRITE CDB sent `request.count` times with the script's buffer (see
    // script_transfer.cpp for the comparison rule); fills `*request.scriptResult`.
    ScsiResult ScriptTransfer(bool write, const CommandRequest& request, std::atomic<long>& counter,
                              const std::atomic<int>& abort);
    // The custom CDB of the request, with its data in either direction.
    ScsiResult CustomCdb(CommandRequest& request);
    // Commands that ended GOOD in the last Read or Write, and its compare errors.
    long completedCommands = 0;
    long compareErrors = 0;
    // The standard INQUIRY data of the last Inquiry (64 bytes).
    const std::vector<uint8_t>& inquiryData() const { return inquiryData_; }

private:
    // Runs one simple command frame: name line, RAW_CDB, execute, status, done.
    ScsiResult simpleCommand(std::string_view name, const std::vector<uint8_t>& cdb, LineRule nameRule,
                             LineRule cdbRule);

    ScsiResult transfer(bool write, const CommandRequest& request, std::atomic<long>& counter,
                        const std::atomic<int>& abort);
    void logCompareError(std::span<const uint8_t> got, long long offset, const CommandRequest& request,
                         uint64_t commandIndex);

    // After a failed command without sense: the status line, and the system error that
    // made the pass-through fail, which the sense lines cannot say.
    void logFailureWithoutSense(ScsiResult result);
    // Mode data shorter than a change to it needs: says so and returns kShortData.
    ScsiResult shortModeData(size_t got, size_t needed);
    static constexpr ScsiResult kShortData = 0xA9FF;  // UNKNOWN_ERROR

    CommandOutput& out_;
    std::vector<uint8_t> inquiryData_;
    uint32_t transferred_ = 0;
};

// "[Vexal_..." time stamps: "%02i/%02i/%4i" and "%02i:%02i:%02i.%03i" of the local time.
std::string localDateText();
std::string localTimeText();

}  // namespace vexal::command
