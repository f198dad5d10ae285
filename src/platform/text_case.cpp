#include "platform/text_case.h"

namespace vexal::platform {

std::string upperCopy(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = upperChar(c);
    return out;
}

bool equalsUpper(std::string_view word, std::string_view upperKeyword) {
    if (word.size() != upperKeyword.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (upperChar(word[i]) != upperKeyword[i]) return false;
    return true;
}

}  // namespace vexal::platform
