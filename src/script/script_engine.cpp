#include "script/script_engine.h"

#include <new>

#include "platform/paths.h"
#include "script/script_error_codes.h"
#include "script/script_error_table.h"

namespace vexal::script {

void ScriptTables::clear() {
    // Statements refer to variables: drop them first.
    statements.clear();
    variables.clear();
    cdbs.clear();
    logPages.clear();
    buffers.clear();
    senseKeys.clear();
    colors.clear();
    files.clear();
    charts.clear();
    symbols.clear();
}

ScriptEngine::ScriptEngine(ui::Operator* op, ChartOutput* charts)
    // The trail goes to the Work folder beside the log pages' side files rather than to
    // whatever the process's current directory happens to be.
    : op_(op), charts_(charts), trail_(platform::installPath() / "Work" / std::string(kTrailFileName)),
      scriptsFolder_(platform::installPath() / "Scripts") {
    trigger_ = events_.create("KTrigger", platform::Event::Reset::Auto);
    done_ = events_.create("KDone", platform::Event::Reset::Auto);
    events_.create("KSerialDone", platform::Event::Reset::Auto);
}

ScriptEngine::~ScriptEngine() { files_.closeAll(); }

void ScriptEngine::Reset() {
    files_.reset();
    tables_.clear();
    state_ = ScriptState{};
    stopRequested_ = false;
    errors_.clear();
    bufferBytes_ = 0;
    errorCode_ = 0;
    fileId_ = 0;
    line_ = 0;
    loaded_ = false;
}

void ScriptEngine::resetForLoad() { Reset(); }

bool ScriptEngine::Load(const std::string& file) {
    bool ok = false;
    try {
        ok = Phase1(file) && Validate() && Link();
    } catch (const std::bad_alloc&) {
        // Only a script too large for memory gets here: refuse it like a failed append.
        report(err::TEXT_NEW_LINK_ERROR);
        ok = false;
    }
    files_.closeAll();
    trail_.close();
    loaded_ = ok;
    return ok;
}

std::filesystem::path ScriptEngine::statementFile(std::string_view name) const {
    const std::filesystem::path asWritten{std::string(name)};
    std::error_code ec;
    if (std::filesystem::exists(asWritten, ec)) return asWritten;
    return resolveCaseInsensitive(scriptsFolder_ / asWritten);
}

void ScriptEngine::report(int32_t code) { reportAt(code, files_.fileName(fileId_), fileId_, line_); }

void ScriptEngine::reportAt(int32_t code, const std::string& fileName, int32_t fileId, int32_t line) {
    errors_.push_back({code, fileId, line, fileName});
    trail_.append(FormatError(code, fileName, line));
}

}  // namespace vexal::script
