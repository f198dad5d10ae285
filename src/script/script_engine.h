#pragma once
// The script engine: loads a test script in three phases (collection, validation,
// linking) into its tables, reporting every error to the trail file by code, file and
// line. The executor that runs a loaded script builds on the same tables and handlers.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "command/command_output.h"
#include "document/falder_doc.h"
#include "platform/named_events.h"
#include "script/call_stack.h"
#include "script/script_files.h"
#include "script/script_tables.h"
#include "script/statement_list.h"
#include "script/trail_file.h"

namespace vexal::ui {
class Operator;
}
namespace vexal::serial {
class SerialSession;
}

namespace vexal::script {

class ChartOutput;

// The tag of the lines a script shows in the log view (MSG and the like).
inline constexpr std::string_view kScriptMessagePrefix = "[Vexal_Script_Message: ";

// Everything a load builds; emptied at the start of each load and by Reset.
struct ScriptTables {
    VariableTable variables;
    BufferTable buffers;
    CdbTable cdbs;
    SenseKeyTable senseKeys;
    LogPageTable logPages;
    ColorTable colors;
    FileTable files;
    ChartTable charts;
    SymbolTable symbols;
    StatementList statements;
    void clear();
};

// Decoded log pages, the packet hit list and the results database (script/run_data.h).
struct ScriptRunData;

// The engine's flags and the values statements keep between phases and runs.
struct ScriptState {
    bool executing = false;       // false in phase 2: handlers check without acting
    bool jumpTaken = false;
    bool holdStatement = false;
    bool verbose = false;
    int onErrorCount = 0;
    int onCancelCount = 0;
    bool fupSeen = false;
    bool descriptionSeen = false;
    std::string description;
    float version = 0;
    uint16_t exitValue = 0;
    int failStatements = 0;       // FAIL statements run in this run
    uint32_t penColor = 0;        // 0x00BBGGRR of the last PENCOLOR
    std::string errorVector;      // label names set by ONERROR and ONCANCEL when they run
    std::string cancelVector;
    CallStack calls;
    std::shared_ptr<ScriptRunData> runData;  // created when a statement first needs it
};

// Bounds on what one script may ask for while loading; larger requests are refused as
// allocation failures rather than exhausting memory.
struct LoadLimits {
    uint64_t maxBufferBytes = 256ull * 1024 * 1024;
    uint64_t maxTotalBufferBytes = 1024ull * 1024 * 1024;
};

// One reported error of the last load or run.
struct ScriptError {
    int32_t code = 0;
    int32_t fileId = 0;
    int32_t line = 0;
    std::string fileName;
};

class ScriptEngine : public document::TestScript {
public:
    // `op` may be null while the engine only loads; the executor talks to people through it.
    // `charts` shows the script's charts; null shows none.
    explicit ScriptEngine(ui::Operator* op = nullptr, ChartOutput* charts = nullptr);
    ~ScriptEngine() override;
    ScriptEngine(const ScriptEngine&) = delete;
    ScriptEngine& operator=(const ScriptEngine&) = delete;

    // Phases 1 to 3. True when the script is ready to run; false when there were load
    // errors, which are then in the trail file. Every file is closed (and scrambled files
    // written back) before it returns.
    bool Load(const std::string& file) override;
    // Runs the loaded script: 0 when it ended normally (end of the list, EXIT, abort or a
    // stop request), 1 when a run-time error ended it (the error line is in the trail).
    int Run();
    // Run() == 0.
    bool Execute() override { return Run() == 0; }
    // The trail file's text, as the Script Errors window shows it.
    std::string ErrorText() override { return TrailText(); }
    std::string TrailText() const { return trail_.text(); }

    // Empties every table and the list of opened files.
    void Reset();

    // Settings of the next load.
    void setFingerprintDemand(bool demand) { demandFingerprint_ = demand; }
    bool fingerprintDemand() const { return demandFingerprint_; }
    // Where "KTrail.Txt" is written: the Work folder below the install path.
    const std::filesystem::path& trailPath() const { return trail_.path(); }
    // Where #INCLUDE looks first (default: the Scripts folder below the install path).
    void setScriptsFolder(std::filesystem::path folder) { scriptsFolder_ = std::move(folder); }
    const std::filesystem::path& scriptsFolder() const { return scriptsFolder_; }
    // A file a statement names: as written when it exists, else in the Scripts folder.
    std::filesystem::path statementFile(std::string_view name) const;
    void setLimits(LoadLimits limits) { limits_ = limits; }
    // SERIAL and BAUD are refused while no serial port object is connected.
    void setSerialPortConnected(bool connected) { serialConnected_ = connected; }
    bool serialPortConnected() const { return serialConnected_; }
    // The serial port object SERIAL and BAUD use; it opens its port when a script first
    // needs it (serial/serial_session.h). May be null.
    void setSerialSession(std::shared_ptr<serial::SerialSession> session) { serial_ = std::move(session); }
    serial::SerialSession* serialSession() const { return serial_.get(); }

    // Who the engine talks to (may be null).
    ui::Operator* op() const { return op_; }
    // Where the script's charts are shown (may be null).
    ChartOutput* chartOutput() const { return charts_; }
    // The document whose command machinery sends the script's commands and whose abort
    // flag ends a run; its output also becomes the engine's output. May be null.
    void setDocument(document::CFalderDoc* doc);
    document::CFalderDoc* document() const { return doc_; }
    // Where MSG and LOG lines go (the document's output, or a stand-in); may be null.
    void setOutput(command::CommandOutput* out) { out_ = out; }
    command::CommandOutput* output() const { return out_; }

    // Set from any thread: the run ends before its next statement. EXIT sets it too.
    void requestStop() { stopRequested_ = true; }
    bool stopRequested() const { return stopRequested_; }
    // Step mode: before each statement the run shows it, signals "KDone" and waits for
    // "KTrigger" (see events()).
    void setStepMode(bool on) { stepMode_ = on; }
    bool stepMode() const { return stepMode_; }
    // "KTrigger", "KDone" and "KSerialDone", created with the engine (auto reset).
    platform::NamedEvents& events() { return events_; }
    // Releases the next statement in step mode.
    void trigger() { trigger_->set(); }

    // Program-counter operations for handlers. A jump sets the cursor and `jumpTaken`.
    void jumpTo(int32_t statement);
    // Pushes the current statement, then jumps; false when 99 calls are pending.
    bool callTo(int32_t statement);
    // Continues after the last pending CALL; 0, or the error code.
    int32_t returnFromCall();
    // Jumps to the statement `label` names (the error and cancel vectors); false when the
    // label names none.
    bool jumpToLabel(std::string_view label);
    // Index of the statement being executed.
    int32_t currentStatement() const { return static_cast<int32_t>(tables_.statements.cursor()); }
    // Whether the current run's test was started with dialogs suppressed.
    void setSuppressDialogs(bool on) { suppressDialogs_ = on; }
    bool suppressDialogs() const { return suppressDialogs_; }
    // FUP's firmware update from an image file: 1 done, 0 failed, 255 cancelled. By default
    // the document's device is updated through the operator, without a rescan; a front end
    // that can rescan sets its own.
    using FirmwareUpdater = std::function<int(const std::string& imageFile)>;
    void setFirmwareUpdater(FirmwareUpdater updater) { firmwareUpdater_ = std::move(updater); }
    int firmwareUpdate(const std::string& imageFile);
    // Closes every script file and chart the last run left open.
    void closeScriptFiles();

    // The result of the last load.
    bool loaded() const { return loaded_; }
    const std::vector<ScriptError>& errors() const { return errors_; }
    ScriptTables& tables() { return tables_; }
    const ScriptTables& tables() const { return tables_; }
    ScriptState& state() { return state_; }
    const ScriptState& state() const { return state_; }
    // Kept from run to run and across loads; filled after every command.
    LastSense& lastSense() { return lastSense_; }
    // The path of the file with that id in the last load ("" when none).
    std::string FileName(int32_t id) const { return files_.fileName(id); }

    // For statement handlers: the current error code, set by a handler that refuses.
    int32_t errorCode() const { return errorCode_; }
    int setError(int32_t code) {
        errorCode_ = code;
        return 1;
    }
    const LoadLimits& limits() const { return limits_; }
    // Buffer bytes declared so far in this load.
    uint64_t& bufferBytes() { return bufferBytes_; }
    // Appends an error line for `code` at the current file and line.
    void report(int32_t code);

private:
    friend class Phase1Reader;
    bool Phase1(const std::string& file);
    bool Validate();
    bool Link();
    void validateStatement(StatementRecord& record);
    void validateOther(StatementRecord& record);
    void reportAt(int32_t code, const std::string& fileName, int32_t fileId, int32_t line);
    void resetForLoad();
    int executeRecord(StatementRecord& record);
    std::string_view argumentsOf(StatementRecord& record);
    int executeOther(StatementRecord& record);
    int executeInternalSense(const StatementRecord& record);
    bool waitForTrigger();
    int finishRun(int result);

    ui::Operator* op_;
    ChartOutput* charts_;
    document::CFalderDoc* doc_ = nullptr;
    command::CommandOutput* out_ = nullptr;
    platform::NamedEvents events_;
    std::shared_ptr<platform::Event> trigger_, done_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> stepMode_{false};
    bool suppressDialogs_ = false;
    FirmwareUpdater firmwareUpdater_;
    TrailFile trail_;
    std::filesystem::path scriptsFolder_;
    ScriptFileStack files_;
    ScriptTables tables_;
    ScriptState state_;
    LastSense lastSense_;
    LoadLimits limits_;
    std::vector<ScriptError> errors_;
    uint64_t bufferBytes_ = 0;
    int32_t errorCode_ = 0;
    // The line being processed: for error messages and for every record phase 1 stores.
    int32_t fileId_ = 0;
    int32_t line_ = 0;
    bool demandFingerprint_ = false;
    bool serialConnected_ = false;
    std::shared_ptr<serial::SerialSession> serial_;
    bool loaded_ = false;
};

}  // namespace vexal::script
