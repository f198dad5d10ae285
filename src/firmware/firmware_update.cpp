#include "firmware/firmware_update.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <system_error>
#include <thread>

#include <fmt/format.h>

#include "device/device_library.h"
#include "device/drive_family.h"
#include "device/sense_format.h"
#include "firmware/firmware_messages.h"
#include "firmware/image_file.h"
#include "firmware/image_transfer.h"

namespace vexal::firmware {
namespace {

using ui::Icon;
using command::LineRule;
using std::chrono::milliseconds;

constexpr command::ScsiResult kFailedResult = 255;
constexpr int kInProgressSeconds = 20;
constexpr uint8_t kSenseKeyNotReady = 2;

// The file dialog may change the working folder; the procedure puts it back.
class WorkingFolderGuard {
public:
    WorkingFolderGuard() { saved_ = std::filesystem::current_path(error_); }
    ~WorkingFolderGuard() {
        if (error_) return;
        std::error_code ignored;
        std::filesystem::current_path(saved_, ignored);
    }
    WorkingFolderGuard(const WorkingFolderGuard&) = delete;
    WorkingFolderGuard& operator=(const WorkingFolderGuard&) = delete;

private:
    std::error_code error_;
    std::filesystem::path saved_;
};

// The FUP Status window: shown after the checks, closed on every way out.
class StatusWindow {
public:
    explicit StatusWindow(ui::Operator& op) : op_(op) {}
    ~StatusWindow() { close(); }
    StatusWindow(const StatusWindow&) = delete;
    StatusWindow& operator=(const StatusWindow&) = delete;

    void show(uint64_t imageLength) {
        op_.message(kStatusWarning, kWarningHeading, Icon::Exclamation);
        op_.progressBegin(kLoadingImage, 0, static_cast<int>(imageLength));
        open_ = true;
    }
    void close() {
        if (open_) op_.progressEnd();
        open_ = false;
    }

private:
    ui::Operator& op_;
    bool open_ = false;
};

std::string modeLine(uint8_t mode) {
    return fmt::format("  Mode = 0x{:1X}{}", mode,
                       mode == kModeDownloadAndSave ? " (Download Micro-code and Save)" : " (Download Micro-code)");
}

bool familyAllowed(UpdateContext& c) {
    if (device::mayAddress(c.device.familyCode, c.wizardPrivileges)) return true;
    c.op.message(device::kNotSupportedMessage, kCaption, Icon::Exclamation);
    return false;
}

// The FUP Warning dialog with this text; false when cancelled.
bool warningAccepted(ui::Operator& op, std::string_view text) {
    return op.hazardQuestion(text, kWarningHeading, Icon::Exclamation, ui::Buttons::OkCancel, ui::Button::Ok) ==
           ui::Button::Ok;
}

// Three TEST UNIT READY commands; a drive without a cartridge fails them, so a third one
// that succeeds means a cartridge is loaded.
bool cartridgeLoaded(UpdateContext& c) {
    int last = 1;
    for (int i = 0; i < 3; ++i) last = device::DevTestUnitReady(c.device.handle);
    if (last != 0) return false;
    c.op.message(kRemoveTape, kCaption, Icon::Exclamation);
    return true;
}

Outcome cancelled(UpdateContext& c) {
    c.op.message(kFlashCancelled, kCaption, Icon::Exclamation);
    return Outcome::Cancelled;
}

// The checks of the interactive procedures, in order; Done with `file` open when all passed.
Outcome interactiveChecks(UpdateContext& c, const std::string& imagePath, ImageFile& file) {
    if (!familyAllowed(c)) return Outcome::NotSupported;
    std::string path = imagePath;
    if (path.empty() && !c.op.chooseFile(ui::FileDialog::Open, kImageDialogCaption, kImageFilter, path))
        return cancelled(c);
    if (!file.open(path)) return cancelled(c);
    if (!warningAccepted(c.op, kStartWarning)) return cancelled(c);
    if (cartridgeLoaded(c)) return Outcome::Failed;
    return Outcome::Done;
}

// Sends the image; a failure is shown with its message.
bool transfer(UpdateContext& c, ImageFile& file, ui::Operator* bar) {
    const WriteBufferSend send = [&c](const WriteBufferCdb& cdb, uint8_t* data, uint32_t length) {
        return c.device.ExecuteCdb(cdb.data(), static_cast<int>(cdb.size()), data, length, true) == 0;
    };
    switch (TransferImage(file, c.device.familyCode, send, bar)) {
    case TransferResult::Done: return true;
    case TransferResult::WriteFailed: c.op.message(kErrorWriting, kCaption, Icon::Stop); return false;
    case TransferResult::SaveFailed: c.op.message(kErrorSaving, kCaption, Icon::Stop); return false;
    }
    return false;
}

// RescanBus, then RescanAndReselect, and the device object bound to the active device again.
void rescan(UpdateContext& c) {
    RescanTarget& r = c.rescan;
    if (!r.scanner) return;
    device::ActiveDevice own;
    device::ActiveDevice& active = r.active ? *r.active : own;
    if (!r.active) own.bound = r.scanner->BindDevice(c.device.handle, own.entry);
    r.scanner->RescanBus(r.config);
    device::RescanAndReselect(*r.scanner, r.config, r.instance, active, c.op);
    if (active.bound && c.device.Select(active.index())) c.device.familyCode = r.scanner->DriveFamily(active.index());
}

// The drive reprograms itself, leaves the bus and comes back: NOT READY (it has no
// cartridge) is the sign that it answers again.
Outcome waitForDrive(UpdateContext& c, StatusWindow& window) {
    c.op.progressSetText(kInProgress);
    c.op.progressSetRange(0, kInProgressSeconds);
    c.op.progressSetPosition(0);
    for (int second = 1; second <= kInProgressSeconds; ++second) {
        c.sleep(milliseconds(1000));
        c.op.progressSetPosition(second);
    }
    c.op.progressSetRange(0, 0);  // the bar gives way to the busy animation
    c.op.progressSetText(kWaitingForDrive);

    static constexpr std::array<uint8_t, 6> kTestUnitReady{0x00, 0, 0, 0, 0, 0};
    for (int poll = 0; poll < kReadyPolls; ++poll) {
        c.sleep(milliseconds(1000));
        const command::ScsiResult result = c.device.ExecuteCdb(kTestUnitReady.data(), 6, nullptr, 0, false);
        if (result != 0) c.device.LogCommandStatus(result);
        if (c.refreshView) c.refreshView();
        std::array<uint8_t, command::kStatusSenseLength> sense{};
        device::DevGetStatus(c.device.handle, sense.data(), sense.size());
        const size_t received = std::min<size_t>(std::max(device::DevGetSenseLength(c.device.handle), 0), sense.size());
        const device::SenseFields fields = device::parseSense({sense.data(), received});
        if (!fields.present() || fields.key != kSenseKeyNotReady) continue;
        c.op.progressSetRange(0, 1);
        c.op.progressSetPosition(1);
        c.op.progressSetText(kComplete);
        c.sleep(milliseconds(3000));
        window.close();
        c.op.message(kUpdateDone, kCaption, Icon::Information);
        rescan(c);
        return Outcome::Done;
    }
    window.close();
    c.op.message(kNotReady, kCaption, Icon::Stop);
    return Outcome::NotReady;
}

}  // namespace

void realSleep(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

Outcome DownloadMicrocodeAndSave(UpdateContext& c, const std::string& imagePath, command::ScsiResult* result) {
    WorkingFolderGuard folder;
    command::CScsiDevice& d = c.device;
    d.LogCommandSent();
    d.Line(" WriteBuffer", LineRule::EngineeringOnly);
    d.Line(modeLine(kModeDownloadAndSave), LineRule::EngineeringOnly);
    ImageFile file;
    Outcome outcome = interactiveChecks(c, imagePath, file);
    if (outcome == Outcome::Done) {
        StatusWindow window(c.op);
        window.show(file.length());
        outcome = transfer(c, file, &c.op) ? waitForDrive(c, window) : Outcome::Failed;
    }
    // The drive that did not come ready took the image: no failed status for it.
    if (outcome != Outcome::Done && outcome != Outcome::NotReady) d.LogCommandStatus(kFailedResult);
    d.LogCommandDone();
    if (result) *result = outcome == Outcome::Done ? 0 : kFailedResult;
    return outcome;
}

Outcome DownloadMicrocode(UpdateContext& c, const std::string& imagePath, command::ScsiResult* result) {
    WorkingFolderGuard folder;
    command::CScsiDevice& d = c.device;
    d.LogCommandSent();
    d.Line(" WriteBuffer", LineRule::EngineeringOnly);
    d.Line(modeLine(kModeDownload), LineRule::Always);
    ImageFile file;
    Outcome outcome = interactiveChecks(c, imagePath, file);
    if (outcome == Outcome::Done && !transfer(c, file, nullptr)) outcome = Outcome::Failed;
    d.LogCommandStatus(outcome == Outcome::Done ? 0 : kFailedResult);
    d.LogCommandDone();
    if (result) *result = outcome == Outcome::Done ? 0 : kFailedResult;
    return outcome;
}

int FupFromScript(UpdateContext& c, const std::string& fileName) {
    WorkingFolderGuard folder;
    if (!familyAllowed(c)) return kScriptUpdateFailed;
    if (!warningAccepted(c.op, kScriptWarning) || !warningAccepted(c.op, kStartWarning)) return kScriptUpdateCancelled;
    if (cartridgeLoaded(c)) return kScriptUpdateFailed;
    ImageFile file;
    if (!file.open(fileName)) {
        std::string text(kUpdateFileNotFound);
        text.replace(text.find("%1"), 2, fileName);
        c.op.message(text, kCaption, Icon::Stop);
        return kScriptUpdateFailed;
    }
    if (!transfer(c, file, nullptr)) return kScriptUpdateFailed;
    c.sleep(milliseconds(20000));
    return kScriptUpdateDone;
}

}  // namespace vexal::firmware
