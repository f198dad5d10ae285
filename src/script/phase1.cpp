// Phase 1: reading the script and its includes line by line and routing each line to a
// declaration handler, the label handler or the statement list.
#include <array>
#include <unordered_map>

#include "script/declarations.h"
#include "script/script_engine.h"
#include "script/script_error_codes.h"
#include "script/script_text.h"

namespace vexal::script {
namespace fs = std::filesystem;
namespace {

enum class Declaration { Double, Long, Word, Byte, Cdb, Buffer, LogPage, SenseKeys, Include, Star, Color, File, Chart };

struct DeclarationKeyword {
    std::string_view keyword;
    Declaration kind;
};

constexpr std::array<DeclarationKeyword, 13> kDeclarations{{
    {"DOUBLE", Declaration::Double}, {"LONG", Declaration::Long},       {"WORD", Declaration::Word},
    {"BYTE", Declaration::Byte},     {"CDB", Declaration::Cdb},         {"BUFFER", Declaration::Buffer},
    {"LOGPAGE", Declaration::LogPage}, {"SENSEKEYS", Declaration::SenseKeys}, {"#INCLUDE", Declaration::Include},
    {"*", Declaration::Star},        {"COLOR", Declaration::Color},     {"FILE", Declaration::File},
    {"CHART", Declaration::Chart},
}};

const DeclarationKeyword* findDeclaration(std::string_view word) {
    for (const auto& d : kDeclarations)
        if (equalsUpper(word, d.keyword)) return &d;
    return nullptr;
}

int32_t openErrorCode(int result) {
    switch (result) {
        case kOpenDuplicate:
        case kOpenCycle: return err::K_PHASE1_FILE_DUPLICATION_ERROR;
        case kOpenNotText: return err::K_PHASE1_FILE_UNLOCK_ERROR;
        case kOpenFingerprint: return err::K_PHASE1_FILE_FINGERPRINT_ERROR;
        default: return err::K_PHASE1_FILE_OPEN_ERROR;
    }
}

}  // namespace

// The reading loop of one load, with the line counters it keeps.
class Phase1Reader {
public:
    explicit Phase1Reader(ScriptEngine& engine) : e_(engine) {}

    bool run(const std::string& file) {
        const int opened = e_.files_.open(file, e_.demandFingerprint_, 0, 0);
        if (opened < 0) {
            e_.reportAt(openErrorCode(opened), file, 0, 0);
            e_.trail_.append("Phase 1 Complete.");
            return false;
        }
        e_.fileId_ = opened;
        e_.line_ = 0;
        std::string raw;
        while (true) {
            ScriptFileRecord* file = e_.files_.current();
            int32_t offset = 0;
            if (!file->readLine(raw, offset)) {
                int32_t savedOffset = 0, savedLine = 0;
                const int left = e_.files_.leave(savedOffset, savedLine);
                if (left == 0) {
                    e_.fileId_ = e_.files_.current()->id;
                    e_.line_ = savedLine;
                    continue;
                }
                if (left == 1) {
                    e_.trail_.append("Phase 1 Completed.");
                    return !failed_;
                }
                e_.report(err::K_EXECUTE_POP_INDEX_FAILED);
                return false;
            }
            ++e_.line_;
            ++absoluteLine_;
            offset_ = offset;
            offsetAfter_ = static_cast<int32_t>(file->position);
            if (!route(raw)) return false;
        }
    }

private:
    // False when the line ends phase 1 at once.
    bool route(std::string& line) {
        if (const size_t comment = line.find("//"); comment != std::string::npos) line.resize(comment);
        blankOut(line, "();");
        const std::string_view text = trimBlanks(line);
        if (text.size() < 2) return true;

        if (text.back() == ':') {
            ScriptSymbol position;
            position.offsetAfter = offsetAfter_;
            position.line = e_.line_;
            position.absoluteLine = absoluteLine_;
            position.fileId = e_.fileId_;
            return check(declareLabel(e_, text.substr(0, text.size() - 1), position));
        }

        const std::string_view first = firstWord(text);
        const DeclarationKeyword* declaration = findDeclaration(first);
        if (!declaration) return check(storeStatement(text));

        const std::string_view rest = afterFirstWord(text);
        const SourcePosition at{offset_, e_.line_, e_.fileId_};
        switch (declaration->kind) {
            case Declaration::Double: return scalar(VarType::Double, rest, at);
            case Declaration::Long: return scalar(VarType::Long, rest, at);
            case Declaration::Word: return scalar(VarType::Word, rest, at);
            case Declaration::Byte: return scalar(VarType::Byte, rest, at);
            case Declaration::Cdb: return check(declareCdb(e_, rest, at));
            case Declaration::Buffer: return check(declareBuffer(e_, rest, at));
            case Declaration::LogPage: return check(declareLogPage(e_, rest, at));
            case Declaration::SenseKeys: return check(declareSenseKeys(e_, rest, at));
            case Declaration::Color: return check(declareColor(e_, rest, at));
            case Declaration::File: return check(declareFile(e_, rest, at));
            case Declaration::Chart: return check(declareChart(e_, rest, at));
            case Declaration::Include: return include(rest);
            case Declaration::Star:
                if (checkInternalSenseLine(e_, text) != 0) {
                    e_.report(e_.errorCode_);
                    failed_ = true;
                    return false;
                }
                return check(storeStatement(text));
        }
        return true;
    }

    // Reports a handler's failure; phase 1 goes on.
    bool check(int result) {
        if (result != 0) {
            e_.report(e_.errorCode_);
            failed_ = true;
        }
        return true;
    }

    // A scalar declaration is also stored as a statement, so that its initial value is
    // assigned again every time the script runs.
    bool scalar(VarType type, std::string_view rest, const SourcePosition& at) {
        if (declareVariable(e_, type, rest, at) != 0) return check(1);
        return check(storeStatement(rest));
    }

    int storeStatement(std::string_view text) {
        std::string stored(text);
        blankOut(stored, ",");
        const std::string first = upperCopy(firstWord(stored));
        if (first != "PRINT" && first != "LOG" && first != "MSG") stored = collapseBlanks(stored);
        StatementRecord record;
        record.text = std::move(stored);
        record.offset = offset_;
        record.line = e_.line_;
        record.fileId = e_.fileId_;
        record.absoluteLine = absoluteLine_;
        e_.tables_.statements.append(std::move(record));
        return 0;
    }

    bool include(std::string_view rest) {
        std::string name(rest);
        blankOut(name, "\"");
        const std::string_view trimmed = trimBlanks(name);
        const fs::path path = includePath(trimmed);
        const int opened = trimmed.empty() ? kOpenFailed
                                           : e_.files_.open(path, e_.demandFingerprint_, offset_, e_.line_);
        if (opened == kOpenDuplicate) return true;  // included before: read once only
        if (opened < 0) {
            e_.report(opened == kOpenCycle ? err::K_PHASE1_FILE_DUPLICATION_ERROR
                                           : err::K_PHASE1_INCLUDE_SEQ_FILE_ERROR);
            failed_ = true;
            return false;
        }
        e_.fileId_ = opened;
        e_.line_ = 0;
        return true;
    }

    // The Scripts folder first; then the folder of the including file, so that a script
    // kept elsewhere finds the files beside it.
    // Found on disk once per name and including folder in a load.
    fs::path includePath(std::string_view name) {
        const ScriptFileRecord* including = e_.files_.current();
        std::string key(name);
        key += '\0';
        if (including) key += including->path.parent_path().native();
        if (const auto it = includePaths_.find(key); it != includePaths_.end()) return it->second;
        return includePaths_.emplace(std::move(key), findInclude(name, including)).first->second;
    }

    fs::path findInclude(std::string_view name, const ScriptFileRecord* including) const {
        const fs::path inScripts = resolveCaseInsensitive(e_.scriptsFolder_ / fs::path(name));
        std::error_code ec;
        if (fs::exists(inScripts, ec)) return inScripts;
        if (including) {
            const fs::path beside = resolveCaseInsensitive(including->path.parent_path() / fs::path(name));
            if (fs::exists(beside, ec)) return beside;
        }
        return inScripts;
    }

    std::unordered_map<std::string, fs::path> includePaths_;

    ScriptEngine& e_;
    int32_t absoluteLine_ = 0;
    int32_t offset_ = 0;
    int32_t offsetAfter_ = 0;
    bool failed_ = false;
};

bool ScriptEngine::Phase1(const std::string& file) {
    trail_.clear();
    resetForLoad();
    trail_.append("Phase 1 : Collection...");
    Phase1Reader reader(*this);
    return reader.run(file);
}

}  // namespace vexal::script
