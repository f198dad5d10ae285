#pragma once
// The declaration tables of a loaded script. Phase 1 fills them; phases 2 and 3 and the
// executor read them, and run-time statements change record contents but never add or
// remove records.
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "script/chart_model.h"
#include "script/named_table.h"

namespace vexal::script {

// Where a declaration stands: file offset and line number in its file.
struct SourcePosition {
    int32_t offset = 0;
    int32_t line = 0;
    int32_t fileId = 0;
};

enum class VarType : int32_t { Byte = 0, Word = 1, Long = 2, Double = 3 };

struct ScriptVariable {
    std::string name;
    VarType type = VarType::Byte;
    double doubleSlot = 0;
    uint32_t longSlot = 0;
    uint16_t wordSlot = 0;
    uint8_t byteSlot = 0;
    bool set = false;  // false at declaration; set by every store
    SourcePosition at;
};
using VariableTable = NamedTable<ScriptVariable>;

struct ScriptBuffer {
    std::string name;
    std::vector<uint8_t> storage;  // zero-filled at declaration
    bool primed = false;           // the script has put data into it
    SourcePosition at;
    uint32_t size() const { return static_cast<uint32_t>(storage.size()); }
};
using BufferTable = NamedTable<ScriptBuffer>;

enum class CdbAction { None, Data, Check };

struct ScriptCdb {
    std::string name;
    uint8_t length = 6;              // 6, 10 or 12
    std::array<uint8_t, 16> bytes{};
    bool dataOut = false;            // FROMHOST: data go from the host to the device
    std::string bufferName;          // empty for none
    ScriptBuffer* buffer = nullptr;  // the buffer the name named at declaration
    uint32_t bufferSize = 0;         // its size then (DIMENSION updates it)
    uint32_t transferLength = 0;
    CdbAction action = CdbAction::None;
    std::array<uint8_t, 4> actionValues{};  // DATA: four values, CHECK: three
    SourcePosition at;
};
using CdbTable = NamedTable<ScriptCdb>;

struct SenseKeyEntry {
    std::string tag;  // may be empty
    uint8_t senseKey = 0;
    uint8_t asc = 0;   // 0 for the wildcard
    uint8_t ascq = 0;  // 0 for the wildcard
    bool everyAsc = false;
    bool everyAscq = false;
    std::string text;
    SourcePosition at;

    // The entry's rule: the sense key equals and either both wildcards are set or the ASC
    // and ASCQ both equal (so "03 11 XX" matches only ASCQ 00h).
    bool matches(uint8_t sk, uint8_t ascValue, uint8_t ascqValue) const {
        return senseKey == sk && ((everyAsc && everyAscq) || (asc == ascValue && ascq == ascqValue));
    }
};

class SenseKeyTable {
public:
    // Null when an entry matching the new entry's values (0 for a wildcard) exists.
    SenseKeyEntry* add(std::unique_ptr<SenseKeyEntry> entry);
    bool hasTag(std::string_view tag) const { return tags_.count(std::string(tag)) != 0; }
    const SenseKeyEntry* findTag(std::string_view tag) const;
    // The first entry (declaration order) matching the triple, or null.
    const SenseKeyEntry* match(uint8_t sk, uint8_t asc, uint8_t ascq) const;
    bool matchesAny(uint8_t sk, uint8_t asc, uint8_t ascq) const;
    void clear();
    size_t size() const { return entries_.size(); }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

private:
    static uint32_t key(uint8_t sk, uint8_t asc, uint8_t ascq) { return (uint32_t(sk) << 16) | (uint32_t(asc) << 8) | ascq; }
    std::vector<std::unique_ptr<SenseKeyEntry>> entries_;
    std::unordered_map<std::string, SenseKeyEntry*> tags_;
    std::unordered_set<uint32_t> exact_;       // sense key, ASC, ASCQ as stored
    std::unordered_set<uint8_t> everything_;   // sense keys with both wildcards
};

// Which decoder a log page object gets from its page code.
enum class LogPageKind { None, Parameters, Packets };
LogPageKind logPageKindOf(uint16_t pageCode);

struct LogPageObject {
    std::string name;
    uint16_t pageCode = 0;
    LogPageKind kind = LogPageKind::None;
    ScriptBuffer* buffer = nullptr;
    uint32_t bufferSize = 0;
    SourcePosition at;
};
using LogPageTable = NamedTable<LogPageObject>;

struct ColorEntry {
    std::string name;
    uint8_t red = 0, green = 0, blue = 0;
    SourcePosition at;
    uint32_t colorRef() const { return uint32_t(red) | (uint32_t(green) << 8) | (uint32_t(blue) << 16); }
};
using ColorTable = NamedTable<ColorEntry>;

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};

struct FileEntry {
    std::string name;  // the tag
    int mode = -1;     // -1 not open; bits: 1 write, 2 binary, 4 append (OPENFILE)
    std::unique_ptr<std::FILE, FileCloser> stream;  // open while mode >= 0
    uint32_t length = 0;                             // at opening (0 in write mode)
    SourcePosition at;
};
using FileTable = NamedTable<FileEntry>;

struct ChartEntry {
    std::string name;                   // the tag
    std::vector<std::string> extra;     // the words given after the tag in the declaration
    bool open = false;
    ChartModel model;              // what the chart statements set and add
    SourcePosition at;
};
using ChartTable = NamedTable<ChartEntry>;

struct ScriptSymbol {
    std::string name;
    bool published = false;     // EXTERNAL
    int32_t offsetAfter = 0;    // file offset just after the label line
    int32_t line = 0;           // in its file; phase 3 replaces it by the target's line
    int32_t absoluteLine = 0;
    int32_t fileId = 0;
    int32_t target = -1;        // index of the statement it names (phase 3)
};
using SymbolTable = NamedTable<ScriptSymbol>;

}  // namespace vexal::script
