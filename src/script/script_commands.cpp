#include "script/script_commands.h"

#include <chrono>
#include <thread>

#include "firmware/firmware_update.h"

namespace vexal::script {

bool SendScriptCommand(ScriptEngine& engine, command::CommandRequest request) {
    document::CFalderDoc* doc = engine.document();
    if (!doc) return false;
    auto done = doc->events().find("ScriptCmdDone");
    if (!done) done = doc->events().create("ScriptCmdDone", platform::Event::Reset::Auto);
    doc->request() = std::move(request);
    done->reset();
    doc->StartCommand();
    // No limit of its own: the command layer's time-out bounds every command, and the
    // worker signals the event on every path, a failure included.
    done->waitForever();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    done->reset();
    // The event comes as the command's frame ends; the worker may still be leaving it.
    while (doc->workerBusy.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));

    const command::LastSense& s = doc->device().status.lastSense;
    LastSense& last = engine.lastSense();
    last.senseKey = s.senseKey;
    last.asc = s.asc;
    last.ascq = s.ascq;
    last.ili = s.ili;
    last.eom = s.eom;
    last.fm = s.fm;
    return true;
}

int ScriptEngine::firmwareUpdate(const std::string& imageFile) {
    if (firmwareUpdater_) return firmwareUpdater_(imageFile);
    if (!doc_ || !op_) return firmware::kScriptUpdateFailed;
    firmware::UpdateContext context{doc_->device(), *op_};
    return firmware::FupFromScript(context, imageFile);
}

}  // namespace vexal::script
