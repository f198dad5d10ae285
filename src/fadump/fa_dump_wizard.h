#pragma once
// The FA dump wizard: its setup (where the dump goes, which items a custom dump holds)
// and the run on Start: read the drive's dump buffers into the .dmp, append the customer
// information, compress it into the read-only .dmz, and report the outcome.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "operator/operator.h"
#include "command/scsi_device.h"
#include "fadump/customer_info.h"
#include "fadump/dump_reader.h"

namespace vexal::fadump {

inline constexpr std::string_view kWizardCaption = "FA Dump Wizard";
inline constexpr std::string_view kReadyText =
    "The FA Dump Wizard is ready to generate the dump.  Click 'Start' when ready...";
inline constexpr std::string_view kSuccessText =
    "The requested dump has successfully completed.  Click 'Back' to generate another dump file or 'Cancel' to exit.";
inline constexpr std::string_view kFailureText =
    "Dump failed.  Click 'Back' to try again.  If this continues verify your SCSI cabling, termination, and firmware "
    "version for your product.";

// The setup pages.
inline constexpr std::string_view kFullSetupTitle = "FA Full Dump Setup";
inline constexpr std::string_view kFullSetupText = "Settings for full FA dump.";
inline constexpr std::string_view kCustomSetupTitle = "FA Custom Dump Setup";
inline constexpr std::string_view kCustomSetupText = "Select which items to use for the custom FA dump.";
inline constexpr std::string_view kDumpFileItem = "Dump File";
inline constexpr std::string_view kDumpFileHelp = "Dump file location.";
inline constexpr std::string_view kFileLocationItem = "File Location";
inline constexpr std::string_view kFileLocationHelp = "Set the location of the dump file.";
inline constexpr std::string_view kDumpFileFilter = "Dump files (*.dmz)|*.dmz||";
inline constexpr std::string_view kDumpFileDefaultExtension = "dmz";
inline constexpr std::string_view kChecked = "Checked";
inline constexpr std::string_view kUnchecked = "UnChecked";

// The check boxes of the custom setup page and the buffers they read. The FA dump item
// reads the layout's dump buffer (82h or 0A2h); the others exist in the large layout only.
struct CustomItem {
    std::string_view name;
    std::string_view help;
    uint8_t buffer;  // 0: the layout's dump buffer
};
inline constexpr std::array<CustomItem, 4> kCustomItems = {{
    {"LRAM", "Generate LRAM dump data.", buffer_id::Lram},
    {"Test Text", "Generate Test Text dump data.", buffer_id::TestText},
    {"Test Registers", "Generate Test Registers dump data.", buffer_id::TestRegisters},
    {"FA Dump", "Generate FA Dump data.", 0},
}};

struct DumpSetup {
    std::filesystem::path file;  // the .dmz
    bool custom = false;
    // The custom page's check boxes, in the order of kCustomItems.
    std::array<bool, kCustomItems.size()> items = {false, false, false, true};
};

// The buffers a dump reads, in the order they are read: the dump buffer for a full dump;
// for a custom dump the checked items by buffer ID, those of the large layout only there.
std::vector<uint8_t> dumpBuffers(const DumpSetup& setup, Layout layout);

// The File Location item: a save dialog starting at the current file; a name without an
// extension gets ".dmz". False when the operator cancelled.
bool chooseDumpFile(ui::Operator& op, DumpSetup& setup);

struct WizardResult {
    bool ok = false;
    std::filesystem::path file;  // the .dmz
    Layout layout = Layout::Large;
    uint64_t dumpBytes = 0;      // bytes read from the drive
    std::string failure;         // one sentence; empty on success
    bool failureShown = false;   // the sentence was a file error shown to the operator
};

// Start: the whole dump. File errors are shown with their texts; the wizard's outcome page
// is shown as a message at the end.
WizardResult RunDumpWizard(command::CScsiDevice& device, ui::Operator& op, const DumpSetup& setup,
                           const CustomerInfo& info);

}  // namespace vexal::fadump
