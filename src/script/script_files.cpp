#include "script/script_files.h"

#include <fstream>

#include "platform/ini_file.h"
#include "script/fingerprint.h"
#include "script/script_text.h"

namespace vexal::script {
namespace fs = std::filesystem;

bool ScriptFileRecord::readLine(std::string& line, int32_t& offset) {
    if (position >= text.size()) return false;
    offset = static_cast<int32_t>(position);
    line.clear();
    while (position < text.size() && line.size() < kLinePieceLength) {
        const char c = text[position];
        if (c == '\r' && position + 1 < text.size() && text[position + 1] == '\n') {
            position += 2;
            break;
        }
        ++position;
        if (c == '\n') break;
        line.push_back(c);
    }
    if (const size_t nul = line.find('\0'); nul != std::string::npos) line.resize(nul);
    return true;
}

fs::path resolveCaseInsensitive(const fs::path& path) {
    std::error_code ec;
    if (fs::exists(path, ec)) return path;
    const fs::path parent = path.has_parent_path() ? path.parent_path() : fs::path(".");
    const std::string wanted = upperCopy(path.filename().string());
    for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec))
        if (upperCopy(it->path().filename().string()) == wanted)
            return path.has_parent_path() ? parent / it->path().filename() : it->path().filename();
    return path;
}

bool readWholeFile(const fs::path& path, std::string& out, uintmax_t limit) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return false;
    const uintmax_t size = fs::file_size(path, ec);
    if (ec || size > limit) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(static_cast<size_t>(size), '\0');
    in.read(out.data(), static_cast<std::streamsize>(size));
    out.resize(static_cast<size_t>(in.gcount()));
    return !in.bad();
}

bool replaceFileAtomically(const fs::path& path, std::string_view data) {
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (!platform::writeFileAtomically(path, data)) return false;
    if (!ec && fs::exists(status)) fs::permissions(path, status.permissions(), ec);
    return true;
}

void ScriptFileStack::reset() {
    closeAll();
    opened_.clear();
    keys_.clear();
    resolved_.clear();
}

int ScriptFileStack::open(const fs::path& requested, bool demandFingerprint, int32_t savedOffset,
                          int32_t savedLine) {
    auto found = resolved_.find(requested.native());
    if (found == resolved_.end()) {
        fs::path path = resolveCaseInsensitive(requested);
        std::error_code ec;
        const fs::path canonical = fs::weakly_canonical(fs::absolute(path, ec), ec);
        std::string key = ec ? path.string() : canonical.string();
        found = resolved_.emplace(requested.native(), Resolved{std::move(path), std::move(key)}).first;
    }
    const fs::path& path = found->second.path;
    const std::string& key = found->second.key;
    if (keys_.count(key)) {
        for (const ScriptFileRecord* open : stack_)
            if (open->key == key) return kOpenCycle;
        return kOpenDuplicate;
    }
    if (stack_.size() >= kMaxIncludeDepth) return kOpenTooDeep;

    auto file = std::make_unique<ScriptFileRecord>();
    std::string bytes;
    if (!readWholeFile(path, bytes)) return kOpenFailed;
    file->mode = RecogniseLockMode(bytes);
    if (file->mode == LockMode::NotText) return kOpenNotText;
    file->text = file->mode == LockMode::Plain ? std::move(bytes) : Unscramble(bytes, file->mode);
    file->relock = file->mode != LockMode::Plain;

    if (demandFingerprint) {
        std::string fingerprint;
        if (!readWholeFile(resolveCaseInsensitive(FingerprintPath(path)), fingerprint, kFingerprintSize + 1) ||
            !FingerprintMatches(file->text, fingerprint))
            return kOpenFingerprint;
    }

    file->id = static_cast<int32_t>(opened_.size() + 1);
    file->path = path;
    file->key = key;
    file->savedOffset = savedOffset;
    file->savedLine = savedLine;
    keys_.insert(key);
    stack_.push_back(file.get());
    opened_.push_back(std::move(file));
    return opened_.back()->id;
}

int ScriptFileStack::leave(int32_t& savedOffset, int32_t& savedLine) {
    if (stack_.empty()) return -1;
    ScriptFileRecord* file = stack_.back();
    stack_.pop_back();
    relock(*file);
    file->text.clear();
    file->text.shrink_to_fit();
    savedOffset = file->savedOffset;
    savedLine = file->savedLine;
    return stack_.empty() ? 1 : 0;
}

void ScriptFileStack::closeAll() {
    int32_t offset = 0, line = 0;
    while (!stack_.empty()) leave(offset, line);
}

std::string ScriptFileStack::fileName(int32_t id) const {
    if (id < 1 || static_cast<size_t>(id) > opened_.size()) return {};
    return opened_[static_cast<size_t>(id - 1)]->path.string();
}

void ScriptFileStack::relock(ScriptFileRecord& file) {
    // A file already in the rotated form would be written back byte for byte the same.
    if (!file.relock || file.mode == LockMode::Rotated) return;
    file.relock = false;
    // When this fails the file simply keeps its old scrambled form: nothing is lost.
    replaceFileAtomically(file.path, Scramble(file.text, LockMode::Rotated));
}

}  // namespace vexal::script
