#include "script/script_text.h"

#include <array>

namespace vexal::script {

std::string_view trimBlanks(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && isBlankOrTab(text[b])) ++b;
    while (e > b && isBlankOrTab(text[e - 1])) --e;
    return text.substr(b, e - b);
}

std::string_view firstWord(std::string_view text) {
    size_t b = 0;
    while (b < text.size() && isBlankOrTab(text[b])) ++b;
    size_t e = b;
    while (e < text.size() && !isBlankOrTab(text[e])) ++e;
    return text.substr(b, e - b);
}

std::string_view afterFirstWord(std::string_view text) {
    size_t b = 0;
    while (b < text.size() && isBlankOrTab(text[b])) ++b;
    while (b < text.size() && !isBlankOrTab(text[b])) ++b;
    while (b < text.size() && isBlankOrTab(text[b])) ++b;
    return text.substr(b);
}

void blankOut(std::string& text, std::string_view from) {
    // Every loaded line passes here: one table look-up a character, not a search.
    std::array<bool, 256> listed{};
    for (char c : from) listed[static_cast<unsigned char>(c)] = true;
    for (char& c : text)
        if (listed[static_cast<unsigned char>(c)]) c = ' ';
}

void blankOutText(std::string& text, std::string_view what) {
    if (what.empty()) return;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        text.replace(at, what.size(), what.size(), ' ');
}

std::string collapseBlanks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool inRun = false;
    for (char c : text) {
        if (isBlankOrTab(c)) {
            if (!inRun) out.push_back(' ');
            inRun = true;
        } else {
            out.push_back(c);
            inRun = false;
        }
    }
    return out;
}

std::vector<std::string_view> splitWords(std::string_view text) {
    std::vector<std::string_view> words;
    WordReader r(text);
    for (auto w = r.next(); !w.empty(); w = r.next()) words.push_back(w);
    return words;
}

std::string_view WordReader::next() {
    while (pos_ < text_.size() && isBlankOrTab(text_[pos_])) ++pos_;
    const size_t b = pos_;
    while (pos_ < text_.size() && !isBlankOrTab(text_[pos_])) ++pos_;
    return text_.substr(b, pos_ - b);
}

bool splitQuotedWords(std::string_view text, std::vector<std::string>& words) {
    words.clear();
    size_t i = 0;
    while (true) {
        while (i < text.size() && isBlankOrTab(text[i])) ++i;
        if (i >= text.size()) return true;
        std::string word;
        bool quoted = false;
        while (i < text.size() && (quoted || !isBlankOrTab(text[i]))) {
            if (text[i] == '"') quoted = !quoted;
            word.push_back(text[i++]);
        }
        if (quoted) return false;
        words.push_back(std::move(word));
    }
}

bool unquote(std::string_view word, std::string& text) {
    if (word.size() < 2 || word.front() != '"' || word.back() != '"') return false;
    const std::string_view inner = word.substr(1, word.size() - 2);
    if (inner.find('"') != std::string_view::npos) return false;
    text = std::string(trimBlanks(inner));
    return true;
}

}  // namespace vexal::script
