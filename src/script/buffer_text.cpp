#include "script/buffer_text.h"

#include <algorithm>
#include <cstring>

namespace vexal::script {

size_t textLength(const ScriptBuffer& buffer) {
    const auto end = std::find(buffer.storage.begin(), buffer.storage.end(), uint8_t{0});
    return static_cast<size_t>(end - buffer.storage.begin());
}

std::string readText(const ScriptBuffer& buffer) {
    return std::string(reinterpret_cast<const char*>(buffer.storage.data()), textLength(buffer));
}

void writeText(ScriptBuffer& buffer, std::string_view text) {
    const size_t size = buffer.storage.size();
    const size_t length = std::min(text.size(), size);
    if (length > 0) std::memcpy(buffer.storage.data(), text.data(), length);
    if (length < size) buffer.storage[length] = 0;
    buffer.primed = true;
}

}  // namespace vexal::script
