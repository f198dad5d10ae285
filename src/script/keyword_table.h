#pragma once
// The statement keywords: 132 entries, each a keyword, its opcode and its handler. The
// opcode is the entry's position in the table.
#include <cstdint>
#include <span>
#include <string_view>

#include "script/statement_context.h"

namespace vexal::script {

inline constexpr size_t kKeywordCount = 132;
inline constexpr int32_t kOpcodeInclude = 78;

struct KeywordEntry {
    std::string_view keyword;
    int32_t opcode;
    StatementHandler handler;  // null for #INCLUDE, which phase 1 handles
};

std::span<const KeywordEntry> keywordTable();

// The entry of an upper-cased keyword, or null.
const KeywordEntry* findKeyword(std::string_view upperKeyword);

}  // namespace vexal::script
