// The firmware update procedures on the virtual drive: the WRITE BUFFER commands the
// drive received (its CDB trace), the windows and messages, the wait for the drive and
// the rescan, the checks that stop an update before anything is sent.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <algorithm>

#include "device/drive_family.h"
#include "device/transport_device.h"
#include "firmware/firmware_commands.h"
#include "firmware/firmware_messages.h"
#include "firmware_bench.h"

using namespace vexal::firmware;
using vexal::ui::Button;
using vexal::ui::Icon;
using vexal::testing::FirmwareBench;
using vexal::testing::kEmptyQuickDrive;

namespace {

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::vector<std::string> messages(const FirmwareBench& b) { return b.op.messages(); }

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

// The changer and the disk beside the tape drive, so that device indexes are targets.
constexpr const char* kOtherDevices = "[target 1]\ntype = changer\n[target 2]\ntype = disk\n";

Icon lastIcon(const FirmwareBench& b) {
    for (auto it = b.op.calls.rbegin(); it != b.op.calls.rend(); ++it)
        if (it->kind == "message") return it->icon;
    return Icon::None;
}

TEST(FirmwareUpdateTest, Mode5SendsTheImageWaitsForTheDriveAndRescans) {
    FirmwareBench b(kEmptyQuickDrive);
    const std::string image = b.image("V777", 20000);
    auto c = b.context();
    vexal::command::ScsiResult result = -1;
    ASSERT_EQ(DownloadMicrocodeAndSave(c, image, &result), Outcome::Done);
    EXPECT_EQ(result, 0);

    EXPECT_EQ(b.trace("3B"), (std::vector<std::string>{
                                 "3B 04 00 00 00 00 00 20 00 00 -> GOOD 8192 out",
                                 "3B 04 00 00 20 00 00 20 00 00 -> GOOD 8192 out",
                                 "3B 04 00 00 40 00 00 0E 20 00 -> GOOD 3616 out",
                                 "3B 05 00 00 4E 20 00 0E 20 00 -> GOOD 3616 out",
                             }));
    // Three TEST UNIT READY without a cartridge, the image, then the polls until NOT READY.
    const auto tur = b.trace("00");
    ASSERT_GE(tur.size(), 5u);
    EXPECT_EQ(tur[0], "00 00 00 00 00 00 -> CHECK CONDITION 2/3A/00 0 none");
    EXPECT_EQ(tur[3], "00 00 00 00 00 00 -> CHECK CONDITION 6/3F/01 0 none");
    EXPECT_EQ(tur[4], "00 00 00 00 00 00 -> CHECK CONDITION 2/3A/00 0 none");

    const std::vector<std::string> expected{
        "message: " + std::string(kStartWarning),
        "message: " + std::string(kStatusWarning),
        "progressBegin: " + std::string(kLoadingImage),
        "progressSetText: " + std::string(kInProgress),
        "progressSetText: " + std::string(kWaitingForDrive),
        "progressSetText: " + std::string(kComplete),
        "progressEnd: ",
        "message: " + std::string(kUpdateDone),
    };
    const auto calls = b.op.sequence();
    ASSERT_GE(calls.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(expected.size())),
              expected);
    EXPECT_EQ(b.op.calls[7].icon, Icon::Information);
    // The rescan follows, and the device object is the updated drive's.
    EXPECT_TRUE(contains(calls, "progressBegin: Rescanning SCSI bus..."));
    EXPECT_FALSE(contains(messages(b), vexal::device::kSelectionChangedMessage));
    EXPECT_EQ(b.device.revision, "V777");
    EXPECT_EQ(b.device.familyCode, 10);

    // 20 seconds of "in progress", one poll that heard the unit attention, one NOT READY,
    // and the three seconds "FUP complete." stays.
    std::vector<int> sleeps(22, 1000);
    sleeps.push_back(3000);
    EXPECT_EQ(b.sleeps, sleeps);
    // The bar: the image, then 20 steps.
    std::vector<int> positions{8192, 16384, 20000, 20000, 0};
    for (int i = 1; i <= 20; ++i) positions.push_back(i);
    positions.push_back(1);
    EXPECT_EQ(std::vector<int>(b.op.positions.begin(), b.op.positions.begin() + 26), positions);

    // One frame: the name and mode lines, the statuses the polls decoded, no failure status.
    const auto& view = b.output.view;
    EXPECT_TRUE(contains(view, " WriteBuffer"));
    EXPECT_TRUE(contains(view, "  Mode = 0x5 (Download Micro-code and Save)"));
    EXPECT_TRUE(contains(view, " [Vexal_CmdStatus: MICROCODE_HAS_BEEN_CHANGED"));
    EXPECT_TRUE(contains(view, " [Vexal_CmdStatus: MEDIUM_NOT_PRESENT"));
    EXPECT_EQ(std::count_if(view.begin(), view.end(),
                            [](const std::string& l) { return l.rfind("[Vexal_Command_Done", 0) == 0; }),
              1);
}

TEST(FirmwareUpdateTest, WithoutEngineeringModeMode5WritesNoLines) {
    FirmwareBench b(kEmptyQuickDrive, "", false);
    auto c = b.context();
    ASSERT_EQ(DownloadMicrocodeAndSave(c, b.image("V778", 300)), Outcome::Done);
    EXPECT_TRUE(b.output.view.empty());
}

TEST(FirmwareUpdateTest, ImageLengthsOnAFamily10Drive) {
    struct Case {
        size_t length;
        std::vector<std::string> lines;
    } cases[] = {
        {8192, {"3B 04 00 00 00 00 00 20 00 00 -> GOOD 8192 out", "3B 05 00 00 20 00 00 00 00 00 -> GOOD 0 none"}},
        {100, {"3B 04 00 00 00 00 00 00 64 00 -> GOOD 100 out", "3B 05 00 00 00 64 00 00 64 00 -> GOOD 100 out"}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.length);
        FirmwareBench b(kEmptyQuickDrive);
        auto c = b.context();
        ASSERT_EQ(DownloadMicrocode(c, b.image("V800", k.length)), Outcome::Done) << joined(messages(b));
        EXPECT_EQ(b.trace("3B"), k.lines);
        EXPECT_EQ(b.inquiryRevision(), "V800");
    }
}

TEST(FirmwareUpdateTest, AFamily3DriveGetsBuffer3AndTheLastBlockWithTheSave) {
    const std::string family3 = std::string(kEmptyQuickDrive) + "byte36 = 0x31\npage_c1 = no\n";
    struct Case {
        size_t length;
        std::vector<std::string> lines;
    } cases[] = {
        {8192, {"3B 05 03 00 00 00 00 20 00 00 -> GOOD 8192 out"}},
        {16384, {"3B 04 03 00 00 00 00 20 00 00 -> GOOD 8192 out", "3B 05 03 00 20 00 00 20 00 00 -> GOOD 8192 out"}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.length);
        FirmwareBench b(family3);
        ASSERT_EQ(b.device.familyCode, 3);
        auto c = b.context();
        ASSERT_EQ(DownloadMicrocodeAndSave(c, b.image("T300", k.length)), Outcome::Done)
            << joined(messages(b));
        EXPECT_EQ(b.trace("3B"), k.lines);
        EXPECT_EQ(b.device.revision, "T300");
    }
}

TEST(FirmwareUpdateTest, ACartridgeInTheDriveStopsEveryImageProcedureBeforeWriteBuffer) {
    const std::string loaded = "cartridge = yes\nfirmware_offline_seconds = 0\n";
    {
        FirmwareBench b(loaded);
        auto c = b.context();
        vexal::command::ScsiResult result = 0;
        EXPECT_EQ(DownloadMicrocodeAndSave(c, b.image("V900", 20000), &result), Outcome::Failed);
        EXPECT_EQ(result, 255);
        EXPECT_EQ(messages(b), (std::vector<std::string>{std::string(kStartWarning), std::string(kRemoveTape)}));
        EXPECT_EQ(lastIcon(b), Icon::Exclamation);
        EXPECT_EQ(b.trace("00").size(), 3u);
        EXPECT_TRUE(b.trace("3B").empty());
        EXPECT_FALSE(contains(b.op.sequence(), "progressBegin: " + std::string(kLoadingImage)));
    }
    {
        FirmwareBench b(loaded);
        auto c = b.context();
        EXPECT_EQ(DownloadMicrocode(c, b.image("V900", 20000)), Outcome::Failed);
        EXPECT_EQ(messages(b).back(), kRemoveTape);
        EXPECT_TRUE(b.trace("3B").empty());
    }
    {
        FirmwareBench b(loaded);
        auto c = b.context();
        EXPECT_EQ(FupFromScript(c, b.image("V900", 20000)), kScriptUpdateFailed);
        EXPECT_EQ(messages(b).back(), kRemoveTape);
        EXPECT_TRUE(b.trace("3B").empty());
    }
}

TEST(FirmwareUpdateTest, ADriveThatNeverAnswersAgainEndsTheWaitAfter480Seconds) {
    FirmwareBench b("cartridge = no\nfirmware_offline_seconds = 3600\n");
    // The library gives up on a selection time-out at once, without its two resends, so
    // that every poll is one command: every poll fails without sense data.
    vexal::device::TransportDevice::WaitLimits limits;
    limits.maxRetries = 0;
    vexal::device::DevTransportDevice(b.device.handle)->setWaitLimits(limits);
    auto c = b.context();
    vexal::command::ScsiResult result = 0;
    EXPECT_EQ(DownloadMicrocodeAndSave(c, b.image("V901", 20000), &result), Outcome::NotReady);
    EXPECT_EQ(result, 255);

    EXPECT_EQ(b.sleeps, std::vector<int>(20 + kReadyPolls, 1000));
    const auto polls = b.trace("00");
    ASSERT_EQ(polls.size(), 3u + kReadyPolls);
    EXPECT_EQ(polls.back(), "00 00 00 00 00 00 -> HOST STATUS 17 0 none");
    EXPECT_EQ(messages(b).back(), kNotReady);
    EXPECT_EQ(lastIcon(b), Icon::Stop);
    const auto calls = b.op.sequence();
    EXPECT_EQ(calls[calls.size() - 2], "progressEnd: ");  // the window closes before the message
    EXPECT_FALSE(contains(calls, "progressSetText: " + std::string(kComplete)));
    EXPECT_FALSE(contains(calls, "progressBegin: Rescanning SCSI bus..."));
}

TEST(FirmwareUpdateTest, TheDriveIsPolledUntilItIsBackOnTheBus) {
    FirmwareBench b("cartridge = no\nfirmware_offline_seconds = 1\nfirmware_not_ready_seconds = 0\n");
    vexal::device::TransportDevice::WaitLimits limits;
    limits.retrySleepMs = 20;
    vexal::device::DevTransportDevice(b.device.handle)->setWaitLimits(limits);
    auto c = b.context();
    ASSERT_EQ(DownloadMicrocodeAndSave(c, b.image("V902", 1000)), Outcome::Done);
    // Each poll's TEST UNIT READY went out up to three times (two resends) while the drive
    // was off the bus; the polls went on until it answered.
    const auto polls = b.trace("00");
    const std::string offBus = "00 00 00 00 00 00 -> HOST STATUS 17 0 none";
    ASSERT_GE(polls.size(), 6u);
    EXPECT_EQ(polls[3], offBus);
    const auto back = std::find_if(polls.begin() + 3, polls.end(), [&](const std::string& l) { return l != offBus; });
    ASSERT_LT(back + 1, polls.end());
    EXPECT_EQ(*back, "00 00 00 00 00 00 -> CHECK CONDITION 6/3F/01 0 none");
    EXPECT_EQ(*(back + 1), "00 00 00 00 00 00 -> CHECK CONDITION 2/3A/00 0 none");
    const size_t offBusSends = static_cast<size_t>(back - (polls.begin() + 3));
    const size_t pollSleeps = b.sleeps.size() - 20 - 1;  // less the 20 s of progress and the 3 s at the end
    EXPECT_GT(pollSleeps, 2u);
    EXPECT_LE(offBusSends, 3 * pollSleeps);
    EXPECT_GE(offBusSends, pollSleeps - 2);
    EXPECT_EQ(b.device.revision, "V902");
}

TEST(FirmwareUpdateTest, ChecksAndFailuresAndTheirMessages) {
    struct Case {
        const char* name;
        const char* image;  // "good", "missing", "bad magic", "bad length", "" (none chosen)
        std::deque<Button> answers;
        int index;  // 0 the tape drive, 2 the disk
        bool wizard;
        Outcome outcome;
        std::vector<std::string_view> messages;
        Icon icon;
        size_t writeBuffers;
    } cases[] = {
        {"no file chosen", "", {}, 0, false, Outcome::Cancelled, {kFlashCancelled}, Icon::Exclamation, 0},
        {"a file that does not open", "missing", {}, 0, false, Outcome::Cancelled, {kFlashCancelled},
         Icon::Exclamation, 0},
        {"the warning cancelled", "good", {Button::Cancel}, 0, false, Outcome::Cancelled,
         {kStartWarning, kFlashCancelled}, Icon::Exclamation, 0},
        {"a device that is not a supported tape drive", "good", {}, 2, false, Outcome::NotSupported,
         {vexal::device::kNotSupportedMessage}, Icon::Exclamation, 0},
        {"an image the drive refuses at once", "bad magic", {}, 0, false, Outcome::Failed,
         {kStartWarning, kStatusWarning, kErrorWriting}, Icon::Stop, 1},
        {"an image the drive refuses to save", "bad length", {}, 0, false, Outcome::Failed,
         {kStartWarning, kStatusWarning, kErrorSaving}, Icon::Stop, 4},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        FirmwareBench b(kEmptyQuickDrive, kOtherDevices, true, k.index);
        std::string image;
        if (std::string_view(k.image) == "good") image = b.image("VA00", 20000);
        if (std::string_view(k.image) == "missing") image = (b.root.path() / "nothing.img").string();
        if (std::string_view(k.image) == "bad magic") {
            auto bytes = vexal::device::virt::makeFirmwareImage("VA00", 20000);
            bytes[0] = 'X';
            image = b.file("magic.img", bytes);
        }
        if (std::string_view(k.image) == "bad length") {
            auto bytes = vexal::device::virt::makeFirmwareImage("VA00", 20000);
            bytes[14] ^= 0x10;
            image = b.file("length.img", bytes);
        }
        if (!image.empty()) b.op.texts.push_back(image);  // the file dialog's answer
        b.op.buttons = k.answers;
        auto c = b.context(k.wizard);
        vexal::command::ScsiResult result = 0;
        EXPECT_EQ(DownloadMicrocodeAndSave(c, "", &result), k.outcome);
        EXPECT_EQ(result, 255);
        EXPECT_EQ(messages(b), std::vector<std::string>(k.messages.begin(), k.messages.end()));
        EXPECT_EQ(lastIcon(b), k.icon);
        EXPECT_EQ(b.trace("3B").size(), k.writeBuffers);
        // Whatever was opened is closed again, and nothing waits for the drive.
        const auto calls = b.op.sequence();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "progressBegin: " + std::string(kLoadingImage)),
                  std::count(calls.begin(), calls.end(), "progressEnd: "));
        EXPECT_TRUE(b.sleeps.empty());
        EXPECT_EQ(b.device.revision, "V100");
    }
}

TEST(FirmwareUpdateTest, WizardPrivilegesLetAnUnsupportedDeviceThrough) {
    FirmwareBench b(kEmptyQuickDrive, kOtherDevices, true, 2);
    ASSERT_EQ(b.device.familyCode, 255);
    auto c = b.context(true);
    DownloadMicrocode(c);
    EXPECT_EQ(b.op.calls.at(0).kind, "chooseFile");
}

TEST(FirmwareUpdateTest, Mode4TransfersWithoutWindowWaitOrRescan) {
    FirmwareBench customer(kEmptyQuickDrive, "", false);
    auto c = customer.context();
    vexal::command::ScsiResult result = -1;
    ASSERT_EQ(DownloadMicrocode(c, customer.image("V950", 20000), &result), Outcome::Done);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(customer.trace("3B").size(), 4u);
    // The mode line is written in every mode, the name and status only in engineering mode.
    EXPECT_EQ(customer.output.view, (std::vector<std::string>{"  Mode = 0x4 (Download Micro-code)"}));
    EXPECT_EQ(customer.op.sequence(), (std::vector<std::string>{"message: " + std::string(kStartWarning)}));
    EXPECT_TRUE(customer.sleeps.empty());
    EXPECT_EQ(customer.device.revision, "V100");  // no rescan: the object still has the old identity
    EXPECT_EQ(customer.inquiryRevision(), "V950");

    FirmwareBench engineering(kEmptyQuickDrive);
    auto e = engineering.context();
    ASSERT_EQ(DownloadMicrocode(e, engineering.image("V951", 100)), Outcome::Done);
    const auto& view = engineering.output.view;
    ASSERT_GE(view.size(), 6u);
    EXPECT_EQ(view[2], " WriteBuffer");
    EXPECT_EQ(view[3], "  Mode = 0x4 (Download Micro-code)");
    EXPECT_EQ(view[4], " [Vexal_CmdStatus: SCSI_GOOD");
}

TEST(FirmwareUpdateTest, AFailedMode4UpdateLogsTheStatusTheDriveGave) {
    FirmwareBench b(kEmptyQuickDrive);
    auto bytes = vexal::device::virt::makeFirmwareImage("VB00", 300);
    bytes[1] = 'x';
    auto c = b.context();
    vexal::command::ScsiResult result = 0;
    EXPECT_EQ(DownloadMicrocode(c, b.file("bad.img", bytes), &result), Outcome::Failed);
    EXPECT_EQ(result, 255);
    EXPECT_EQ(messages(b).back(), kErrorWriting);
    EXPECT_TRUE(contains(b.output.view, " [Vexal_CmdStatus: INVALID_FIELD_IN_PARAMETER_LIST"));
}

TEST(FirmwareUpdateTest, TheScriptUpdate) {
    const std::string notFound =
        "The update file \"nowhere.img\" was not found, this file must be in the same directory as the Varezavezere "
        "application.\nThe update operation must be aborted.";
    struct Case {
        const char* name;
        std::string file;  // "good", "bad" or a name that does not exist
        std::deque<Button> answers;
        int result;
        std::vector<std::string_view> messages;
        std::vector<int> sleeps;
    } cases[] = {
        {"done", "good", {}, kScriptUpdateDone, {kScriptWarning, kStartWarning}, {20000}},
        {"first warning cancelled", "good", {Button::Cancel}, kScriptUpdateCancelled, {kScriptWarning}, {}},
        {"second warning cancelled", "good", {Button::Ok, Button::Cancel}, kScriptUpdateCancelled,
         {kScriptWarning, kStartWarning}, {}},
        {"file not found", "nowhere.img", {}, kScriptUpdateFailed, {kScriptWarning, kStartWarning, notFound}, {}},
        {"image refused", "bad", {}, kScriptUpdateFailed, {kScriptWarning, kStartWarning, kErrorWriting}, {}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        FirmwareBench b(kEmptyQuickDrive);
        std::string file = k.file;
        if (file == "good") file = b.image("VS01", 9000);
        if (file == "bad") file = b.file("bad.img", std::vector<uint8_t>(9000, 0x55));
        b.op.buttons = k.answers;
        auto c = b.context();
        EXPECT_EQ(FupFromScript(c, file), k.result);
        EXPECT_EQ(messages(b), std::vector<std::string>(k.messages.begin(), k.messages.end()));
        EXPECT_EQ(b.sleeps, k.sleeps);
        EXPECT_EQ(b.inquiryRevision(), k.result == kScriptUpdateDone ? "VS01" : "V100");
    }
    // The message for a missing file is a stop.
    FirmwareBench b(kEmptyQuickDrive);
    auto c = b.context();
    FupFromScript(c, "nowhere.img");
    EXPECT_EQ(lastIcon(b), Icon::Stop);
    // A device that is not supported fails without a question.
    FirmwareBench disk(kEmptyQuickDrive, kOtherDevices, true, 2);
    auto d = disk.context();
    EXPECT_EQ(FupFromScript(d, "nowhere.img"), kScriptUpdateFailed);
    EXPECT_EQ(messages(disk), (std::vector<std::string>{std::string(vexal::device::kNotSupportedMessage)}));
}

TEST(FirmwareCommandTest, ExitStatuses) {
    struct Case {
        const char* name;
        int mode;
        bool goodImage;
        int index;
        int exit;
    } cases[] = {
        {"mode 5 done", 5, true, 0, 0}, {"mode 4 done", 4, true, 0, 0},     {"mode 7", 7, true, 0, 2},
        {"no image", 5, false, 0, 2},   {"a disk", 5, true, 2, 3},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        FirmwareBench b(kEmptyQuickDrive, kOtherDevices, true, k.index);
        auto c = b.context();
        std::ostringstream err;
        const std::string image = k.goodImage ? b.image("VC00", 5000) : (b.root.path() / "none.img").string();
        EXPECT_EQ(FirmwareCommand(c, {image, k.mode}, err), k.exit);
        EXPECT_EQ(err.str().empty(), k.exit != 2) << err.str();
    }
}

}  // namespace
