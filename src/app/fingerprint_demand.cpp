#include "app/fingerprint_demand.h"

#include "app/falder_app.h"
#include "script/fingerprint.h"
#include "script/script_engine.h"

namespace vexal::app {

void SetUpFingerprintDemand(script::ScriptEngine& engine, const CFalderApp& app) {
    engine.setFingerprintDemand(
        script::FingerprintDemanded(app.engineeringMode, app.customerMode, app.settings.passwordSet != 0));
}

}  // namespace vexal::app
