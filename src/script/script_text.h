#pragma once
// Small text tools shared by the loader and the statement handlers. A word is a run of
// characters up to a blank or a tab; nothing here allocates more than the text it returns.
#include <string>
#include <string_view>
#include <vector>

#include "platform/text_case.h"

namespace vexal::script {

inline bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }
// Keywords are matched in any case; the serial port setting shares the helpers.
using platform::equalsUpper;
using platform::upperChar;
using platform::upperCopy;

// Blanks and tabs removed at both ends.
std::string_view trimBlanks(std::string_view text);

// The first word and the text after it with its leading blanks removed.
std::string_view firstWord(std::string_view text);
std::string_view afterFirstWord(std::string_view text);

// Every character of `from` replaced by a blank.
void blankOut(std::string& text, std::string_view from);
// Every occurrence of `what` replaced by a blank of the same length.
void blankOutText(std::string& text, std::string_view what);
// Runs of blanks and tabs reduced to one blank.
std::string collapseBlanks(std::string_view text);

// Every word of the text, in order.
std::vector<std::string_view> splitWords(std::string_view text);

// Reads words one at a time from the left.
class WordReader {
public:
    explicit WordReader(std::string_view text) : text_(text) {}
    // The next word, or empty when none is left.
    std::string_view next();
    // The text not read yet, without its leading and trailing blanks.
    std::string_view rest() const { return trimBlanks(text_.substr(pos_)); }
    bool atEnd() const { return rest().empty(); }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

// Words where a double-quoted part keeps its blanks (the file and chart statements). A
// quote that is never closed makes the split fail.
bool splitQuotedWords(std::string_view text, std::vector<std::string>& words);

// A word of exactly two double quotes, one at each end: the text between them, trimmed.
bool unquote(std::string_view word, std::string& text);

}  // namespace vexal::script
