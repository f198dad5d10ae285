#pragma once
// The Test Preparation Wizard's logic: its texts, the device choice and the readiness
// check. The pages themselves are drawn by the front ends.
#include <chrono>
#include <functional>

#include "operator/operator.h"

namespace vexal::document { class CFalderDoc; }

namespace vexal::app {

inline constexpr const char* kWizardWelcome =
    "Welcome to the Test Preparation Wizard.  This wizard will help you select a tape drive and prepare it to run "
    "a diagnostic test.";
inline constexpr const char* kWizardContinue = "To continue click 'Next'";
inline constexpr const char* kWizardDontRunAgain = "Don't run the wizard again.";
inline constexpr const char* kWizardSelectDevice = "Select a tape device then click 'Next'";
inline constexpr const char* kWizardReady =
    "Your tape device is ready to run a test.  Select a test then click 'Run' or click 'Cancel' to exit the wizard.";
inline constexpr const char* kWizardNotReady =
    "The wizard was unable to prepare your tape device to run a test.  Click 'View Error' to determine the problem "
    "or 'Finish' to exit the wizard.";
inline constexpr const char* kCheckingReadiness = "Checking unit readiness...";
inline constexpr const char* kComingReady = "Device coming ready...";

// Five rounds of TEST UNIT READY through the document on the calling thread, one second
// apart; a drive that is becoming ready is asked again. Ready when the last status is
// SCSI_GOOD or MEDIUM_NOT_PRESENT. The document's abort flag, when set, ends the rounds
// (the caller clears an old one). `wait` is the pause between commands (a test seam).
bool CheckUnitReadiness(document::CFalderDoc& doc, ui::Operator& op,
                        const std::function<void(std::chrono::milliseconds)>& wait = {});

// "Next" and "Cancel" on the first page write Wizard "0" when the box is ticked, else "1".
void StoreWizardChoice(bool dontRunAgain);

}  // namespace vexal::app
