#pragma once
// A buffer read and written as text: the bytes up to the first zero byte, bounded by the
// buffer's size when it holds no zero byte.
#include <cstddef>
#include <string>
#include <string_view>

#include "script/script_tables.h"

namespace vexal::script {

size_t textLength(const ScriptBuffer& buffer);
std::string readText(const ScriptBuffer& buffer);

// Writes `text` and its terminating zero byte and marks the buffer primed. Text longer than
// the buffer is cut at the buffer's size; the zero byte is left out when the text fills the
// buffer exactly, so a text read from a full buffer is written back unchanged.
void writeText(ScriptBuffer& buffer, std::string_view text);

}  // namespace vexal::script
