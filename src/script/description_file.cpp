#include "script/description_file.h"

#include <algorithm>
#include <vector>

#include "platform/ini_file.h"
#include "script/scramble.h"
#include "script/script_files.h"
#include "script/script_text.h"

namespace vexal::script {
namespace fs = std::filesystem;
namespace {

// Reads `text` in pieces as fgets with a buffer of `pieceLength` + 1 bytes would.
class PieceReader {
public:
    PieceReader(std::string_view text, size_t pieceLength) : text_(text), piece_(pieceLength) {}
    bool next(std::string& line) {
        if (pos_ >= text_.size()) return false;
        line.clear();
        while (pos_ < text_.size() && line.size() < piece_) {
            const char c = text_[pos_++];
            if (c == '\n') break;
            line.push_back(c);
        }
        while (!line.empty() && line.back() == '\r') line.pop_back();
        if (const size_t nul = line.find('\0'); nul != std::string::npos) line.resize(nul);
        return true;
    }

private:
    std::string_view text_;
    size_t piece_;
    size_t pos_ = 0;
};

std::string_view trimLeft(std::string_view s) {
    while (!s.empty() && isBlankOrTab(s.front())) s.remove_prefix(1);
    return s;
}

bool descriptionOf(std::string_view plain, std::string& description) {
    PieceReader reader(plain, kLinePieceLength);
    std::string line;
    while (reader.next(line)) {
        if (const size_t c = line.find("//"); c != std::string::npos) line.resize(c);
        std::string cleaned(trimLeft(line));
        blankOut(cleaned, "();\"");
        const std::string_view text = trimLeft(cleaned);
        if (!equalsUpper(firstWord(text), "DESCRIPTION")) continue;
        std::string_view rest = afterFirstWord(text);
        while (!rest.empty() && isBlankOrTab(rest.back())) rest.remove_suffix(1);
        description = std::string(rest);
        return true;
    }
    return false;
}

}  // namespace

bool BuildDescriptionFile(const fs::path& folder, const fs::path& sdPath) {
    std::vector<fs::path> scripts;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec) && upperCopy(it->path().extension().string()) == ".SCS")
            scripts.push_back(it->path());
    std::sort(scripts.begin(), scripts.end());

    std::string sd;
    for (const auto& script : scripts) {
        std::string bytes;
        if (!readWholeFile(script, bytes)) continue;
        const LockMode mode = RecogniseLockMode(bytes);
        if (mode == LockMode::NotText) continue;
        const std::string plain = mode == LockMode::Plain ? bytes : Unscramble(bytes, mode);
        if (mode != LockMode::Plain && mode != LockMode::HighBit)
            replaceFileAtomically(script, Scramble(plain, LockMode::HighBit));
        std::string description;
        if (descriptionOf(plain, description))
            sd += upperCopy(script.filename().string()) + " " + description + "\n";
    }
    return platform::writeFileAtomically(sdPath, sd);
}

DescriptionLookup LookUpDescription(const fs::path& sdPath, const std::string& fileName, std::string& description) {
    std::string text;
    std::error_code ec;
    if (!fs::exists(sdPath, ec) || !readWholeFile(sdPath, text)) return DescriptionLookup::FileMissing;
    if (text.empty()) return DescriptionLookup::EmptyFile;
    const std::string wanted = upperCopy(fileName);
    PieceReader reader(text, 511);
    std::string line;
    while (reader.next(line)) {
        if (firstWord(line) != wanted) continue;
        description = std::string(afterFirstWord(line));
        return DescriptionLookup::Found;
    }
    return DescriptionLookup::NotFound;
}

}  // namespace vexal::script
