#pragma once
// A small INI document: "[section]" headers, "key = value" lines, ';' or '#' comments.
// Section and key order is kept so that a file written back reads the same.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexal::platform {

class IniFile {
public:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> values;
    };

    static IniFile parse(std::string_view text);
    // Reads a file; a missing file is an empty document. False when it cannot be read.
    static bool load(const std::filesystem::path& path, IniFile& out);

    std::string serialize() const;
    // Writes through a temporary file in the same folder and a rename, so that a reader
    // never sees a half-written file.
    bool saveAtomically(const std::filesystem::path& path) const;

    std::optional<std::string> get(std::string_view section, std::string_view key) const;
    void set(std::string_view section, std::string_view key, std::string_view value);
    bool remove(std::string_view section, std::string_view key);
    bool hasSection(std::string_view section) const;
    void addSection(std::string_view section);
    const std::vector<Section>& sections() const { return sections_; }

private:
    Section* find(std::string_view section);
    const Section* find(std::string_view section) const;

    std::vector<Section> sections_;
};

// Writes `data` to `path` through a temporary file and rename; false on any failure,
// leaving the previous file as it was.
bool writeFileAtomically(const std::filesystem::path& path, std::string_view data);

}  // namespace vexal::platform
