#pragma once
// What the log-page, packet and database statements keep while a script runs: the decoded
// state of each LOGPAGE object, the packet hit list, the reference hours and the results
// database. Held by the engine's state and created when a statement first needs it.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "diag/log_page.h"
#include "script/results_database.h"
#include "script/script_engine.h"

namespace vexal::script {

struct DecodedPage {
    // Parameter pages.
    diag::LogPage parameters;
    // Event pages: the text lines.
    bool eventLoaded = false;
    uint8_t eventPageCode = 0;
    uint16_t eventPageLength = 0;
    std::vector<std::string> lines;
};

// One hit of a packet query (CREATELIST, IFTRUE).
struct PacketHit {
    uint32_t number = 0;
    int kind = 0;  // the query kind (PacketKind)
    uint32_t code = 0;
    std::string name;
    int month = 0, day = 0, year = 0;
    int hours = 0, minutes = 0;
    double seconds = 0;
    uint32_t poh = 0, pc = 0;
    double timeHours = 0;
    uint8_t senseKey = 0, asc = 0, ascq = 0;
    std::vector<std::string> after;  // the packet's lines after its header
};

struct ScriptRunData {
    std::map<const LogPageObject*, DecodedPage> pages;
    std::vector<PacketHit> hits;
    double referenceHours = 0;
    ResultsDatabase database;
};

inline ScriptRunData& runData(ScriptEngine& engine) {
    auto& data = engine.state().runData;
    if (!data) data = std::make_shared<ScriptRunData>();
    return *data;
}

}  // namespace vexal::script
