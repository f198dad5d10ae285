#pragma once
// Chart objects outside their statements: the declarations listing and closing every
// chart a run left open.
#include <string>

#include "script/script_engine.h"

namespace vexal::script {

// Every chart with its settings and lines, or "*** No Charts Listed ***".
std::string ListCharts(const ChartTable& charts);

// Closes each open chart as CLOSECHART does (its window too), ignoring window failures.
void CloseOpenCharts(ScriptEngine& engine);

}  // namespace vexal::script
