#include "app/test_preparation.h"

#include <thread>

#include "app/user_settings.h"
#include "document/falder_doc.h"

namespace vexal::app {
namespace {

bool startsWith(const std::string& text, std::string_view prefix) { return text.rfind(prefix, 0) == 0; }

// A drive that stays "becoming ready" must not keep the wizard asking for ever.
constexpr int kMaxComingReadyRetries = 300;

}  // namespace

bool CheckUnitReadiness(document::CFalderDoc& doc, ui::Operator& op,
                        const std::function<void(std::chrono::milliseconds)>& wait) {
    auto pause = [&](std::chrono::milliseconds d) {
        if (wait) wait(d);
        else std::this_thread::sleep_for(d);
    };
    auto testUnitReady = [&] {
        doc.request().code = command::code::TestUnitReady;
        doc.RunCommandSync();
        return doc.device().status.lastStatus;
    };
    op.progressBegin(kCheckingReadiness, 0, 5);
    std::string status;
    for (int round = 0; round < 5; ++round) {
        status = testUnitReady();
        // An abort (Ctrl+C, Abort Test) ends the check after the command in progress: the
        // rounds left would only wait on a device that may have stopped answering.
        if (doc.abortRequested) break;
        for (int retry = 0;
             startsWith(status, "LOGICAL_UNIT_IS_IN_PROCESS_OF_BECOMING_READY") && retry < kMaxComingReadyRetries;
             ++retry) {
            op.progressSetText(kComingReady);
            pause(std::chrono::milliseconds(1000));
            status = testUnitReady();
        }
        op.progressStep();
        pause(std::chrono::milliseconds(1000));
    }
    op.progressEnd();
    return startsWith(status, "SCSI_GOOD") || startsWith(status, "MEDIUM_NOT_PRESENT");
}

void StoreWizardChoice(bool dontRunAgain) { WriteSetting("Wizard", dontRunAgain ? 0 : 1); }

}  // namespace vexal::app
