#include "app/script_setup.h"

#include <memory>

#include "app/fingerprint_demand.h"
#include "serial/port_setting.h"
#include "serial/serial_session.h"

namespace vexal::app {

void PrepareScriptEngine(script::ScriptEngine& engine, Session& session, const ScriptRunSetup& setup) {
    document::CFalderDoc& doc = session.doc();
    engine.setDocument(&doc);
    engine.setSerialSession(std::make_shared<serial::SerialSession>(serial::serialPortSetting(),
                                                                    engine.events().find("KSerialDone").get()));
    CFalderApp& app = session.app();
    ui::Operator& op = session.op();
    engine.setFirmwareUpdater([&doc, &app, &op, setup](const std::string& image) {
        firmware::UpdateContext update{doc.device(), op, app.wizardPrivileges, {}, setup.sleep, setup.refreshView};
        update.rescan.scanner = setup.scanner;
        update.rescan.config = setup.config;
        update.rescan.instance = setup.instance;
        update.rescan.active = setup.active;
        return firmware::FupFromScript(update, image);
    });
    engine.setStepMode(setup.step);
    engine.setSuppressDialogs(setup.suppressDialogs);
    doc.suppressDialogs = setup.suppressDialogs;
    SetUpFingerprintDemand(engine, app);
}

bool EngineTestScript::Load(const std::string& file) {
    if (loading_) loading_();
    const bool ok = engine_.Load(file);
    if (!ok) failed = true;
    return ok;
}

bool EngineTestScript::Execute() {
    const bool ok = engine_.Execute();
    engine_.closeScriptFiles();
    const script::ScriptState& state = engine_.state();
    if (!ok || state.failStatements > 0 || state.exitValue != 0) failed = true;
    return ok;
}

}  // namespace vexal::app
