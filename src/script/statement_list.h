#pragma once
// The statements of a loaded script in source order, and the cursor the executor uses as
// its program counter. Statements refer to each other by index (stable however the list
// grows) and to variables by pointer (variables never move).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vexal::script {

struct ScriptVariable;
class ScriptEngine;

// The operand and target nibbles of an assignment.
namespace assign {
inline constexpr uint16_t kTargetByte = 1, kTargetWord = 2, kTargetLong = 3, kTargetDouble = 4;
inline constexpr uint16_t kFromByteVar = 1, kFromWordVar = 2, kFromLongVar = 3, kFromDoubleVar = 4;
inline constexpr uint16_t kFromByteLiteral = 5, kFromWordLiteral = 6, kFromLongLiteral = 7,
                          kFromDoubleLiteral = 8;
inline constexpr uint16_t target(uint16_t kind) { return kind & 0x0F; }
inline constexpr uint16_t operand(uint16_t kind) { return (kind >> 4) & 0x0F; }
}  // namespace assign

// Assignment operator indexes as stored in a statement.
enum class AssignOp : int32_t {
    None = 0, Set = 1, Add = 2, Sub = 3, Mul = 4, Div = 5, Or = 6, And = 7, Xor = 8, Mod = 9,
    ShiftRight = 10, ShiftLeft = 11
};

// IF and IFSENSE actions.
enum class BranchAction : int32_t { None = 0, Jump = 1, Call = 2, Return = 3 };

inline constexpr int32_t kNoOpcode = -1;
inline constexpr int32_t kNoStatement = -1;

struct StatementRecord {
    std::string text;          // as phase 1 stored it
    int32_t offset = 0;        // of the line in its file
    int32_t line = 0;          // in its file
    int32_t fileId = 0;
    int32_t absoluteLine = 0;  // in the load
    int32_t sequence = 0;      // 1 for the first statement
    int32_t opcode = kNoOpcode;
    AssignOp op = AssignOp::None;
    uint16_t kind = 0;         // assignments: target and operand nibbles
    uint8_t byteLiteral = 0;
    uint16_t wordLiteral = 0;
    uint32_t longLiteral = 0;
    double doubleLiteral = 0;
    BranchAction action = BranchAction::None;
    int32_t vector = kNoStatement;      // the statement a label names (phase 3)
    ScriptVariable* target = nullptr;   // assignments
    ScriptVariable* source = nullptr;   // assignments from a variable
    // The run-time form of an assignment's operand, parsed from the text at its first
    // execution and kept while the text stays as it is (the text never changes in a run).
    enum class RunOperand : uint8_t { Unparsed, Literal, Variable, LogPage, Invalid };
    RunOperand runOperand = RunOperand::Unparsed;
    uint32_t runInteger = 0;  // a literal read for the target's width
    double runDouble = 0;     // a literal read for a DOUBLE target
    // A handler's parsed form of the statement, built at its first execution (the text it
    // came from does not change during a run). Shared so that records stay copyable.
    std::shared_ptr<const void> runForm;
    int32_t argsAt = -1;  // where the text after the first word starts (found once)
    // Set by a handler once the statement's run-time form is complete: runs the statement
    // from that form alone, with the same effects and error codes as the handler.
    using FastRun = int (*)(ScriptEngine&, StatementRecord&);
    FastRun fastRun = nullptr;
};

class StatementList {
public:
    StatementRecord& append(StatementRecord record) {
        record.sequence = static_cast<int32_t>(records_.size() + 1);
        records_.push_back(std::move(record));
        return records_.back();
    }
    void clear() {
        records_.clear();
        cursor_ = 0;
    }
    size_t size() const { return records_.size(); }
    bool empty() const { return records_.empty(); }
    StatementRecord& operator[](size_t i) { return records_[i]; }
    const StatementRecord& operator[](size_t i) const { return records_[i]; }
    auto begin() { return records_.begin(); }
    auto end() { return records_.end(); }
    auto begin() const { return records_.begin(); }
    auto end() const { return records_.end(); }

    // The program counter.
    void rewind() { cursor_ = 0; }
    bool atEnd() const { return cursor_ >= records_.size(); }
    size_t cursor() const { return cursor_; }
    StatementRecord* current() { return atEnd() ? nullptr : &records_[cursor_]; }
    void advance() {
        if (!atEnd()) ++cursor_;
    }
    // False when `index` names no statement.
    bool setCursor(int32_t index) {
        if (index < 0 || static_cast<size_t>(index) >= records_.size()) return false;
        cursor_ = static_cast<size_t>(index);
        return true;
    }

private:
    std::vector<StatementRecord> records_;
    size_t cursor_ = 0;
};

}  // namespace vexal::script
