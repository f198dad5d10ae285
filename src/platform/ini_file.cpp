#include "platform/ini_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace vexal::platform {
namespace {

std::string_view trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

}  // namespace

IniFile IniFile::parse(std::string_view text) {
    IniFile ini;
    Section* current = nullptr;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            const auto close = line.find(']');
            if (close == std::string_view::npos) continue;
            const std::string_view name = trim(line.substr(1, close - 1));
            current = ini.find(name);
            if (!current) {
                ini.sections_.push_back({std::string(name), {}});
                current = &ini.sections_.back();
            }
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        if (!current) {
            ini.sections_.push_back({"", {}});
            current = &ini.sections_.back();
        }
        const std::string key(trim(line.substr(0, eq)));
        const std::string value(trim(line.substr(eq + 1)));
        bool replaced = false;
        for (auto& kv : current->values) {
            if (kv.first == key) {
                kv.second = value;
                replaced = true;
            }
        }
        if (!replaced) current->values.emplace_back(key, value);
    }
    return ini;
}

bool IniFile::load(const std::filesystem::path& path, IniFile& out) {
    // "Missing" is decided by the open itself: a writer renames its new file into place at
    // any moment, and a later existence check would call a failed read of the old name an
    // error though the file is there.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) return false;
        out = IniFile{};
        return true;
    }
    std::string text;
    char chunk[16384];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        text.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    if (!ok) return false;
    out = parse(text);
    return true;
}

std::string IniFile::serialize() const {
    std::string out;
    for (const auto& section : sections_) {
        if (!section.name.empty()) out += "[" + section.name + "]\n";
        for (const auto& [key, value] : section.values) out += key + "=" + value + "\n";
        out += "\n";
    }
    return out;
}

bool IniFile::saveAtomically(const std::filesystem::path& path) const {
    return writeFileAtomically(path, serialize());
}

IniFile::Section* IniFile::find(std::string_view section) {
    for (auto& s : sections_)
        if (s.name == section) return &s;
    return nullptr;
}

const IniFile::Section* IniFile::find(std::string_view section) const {
    for (const auto& s : sections_)
        if (s.name == section) return &s;
    return nullptr;
}

std::optional<std::string> IniFile::get(std::string_view section, std::string_view key) const {
    if (const Section* s = find(section))
        for (const auto& [k, v] : s->values)
            if (k == key) return v;
    return std::nullopt;
}

void IniFile::set(std::string_view section, std::string_view key, std::string_view value) {
    Section* s = find(section);
    if (!s) {
        sections_.push_back({std::string(section), {}});
        s = &sections_.back();
    }
    for (auto& kv : s->values) {
        if (kv.first == key) {
            kv.second = std::string(value);
            return;
        }
    }
    s->values.emplace_back(std::string(key), std::string(value));
}

bool IniFile::remove(std::string_view section, std::string_view key) {
    Section* s = find(section);
    if (!s) return false;
    for (auto it = s->values.begin(); it != s->values.end(); ++it) {
        if (it->first == key) {
            s->values.erase(it);
            return true;
        }
    }
    return false;
}

bool IniFile::hasSection(std::string_view section) const { return find(section) != nullptr; }

void IniFile::addSection(std::string_view section) {
    if (!find(section)) sections_.push_back({std::string(section), {}});
}

bool writeFileAtomically(const std::filesystem::path& path, std::string_view data) {
    std::error_code ec;
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
    std::string tmpl = path.string() + ".XXXXXX";
    const int fd = mkstemp(tmpl.data());
    if (fd < 0) return false;
    bool ok = true;
    const char* p = data.data();
    size_t left = data.size();
    while (ok && left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else {
            p += n;
            left -= static_cast<size_t>(n);
        }
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(tmpl.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) ::unlink(tmpl.c_str());
    return ok;
}

}  // namespace vexal::platform
