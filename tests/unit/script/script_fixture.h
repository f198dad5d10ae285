#pragma once
// Scripts written into a fresh install folder and loaded by a fresh engine.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "script/script_engine.h"
#include "script/script_error_table.h"
#include "support/fake_chart_output.h"
#include "support/fake_operator.h"
#include "support/recording_output.h"
#include "support/test_root.h"

namespace vexal::script::testing {

namespace fs = std::filesystem;

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void writeFile(const fs::path& path, std::string_view bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The lines every successful load leaves in the trail file.
inline const std::vector<std::string>& successTrail() {
    static const std::vector<std::string> lines = {
        "Phase 1 : Collection...",   "Phase 1 Completed.",
        "Phase 2 : Validation...",   "Phase 2 Complete.",
        "Phase 3 : Linking...",      "   Symbols Link Complete...",
        "   Uninitialized Variable Scan Complete...", "   Vector Linking Complete...",
        "Phase 3 Complete.",
    };
    return lines;
}

struct ScriptTest : ::testing::Test {
    vexal::testing::TempRoot root;
    fs::path scripts = platform::installPath() / "Scripts";
    vexal::testing::FakeOperator op;
    vexal::testing::FakeChartOutput charts;
    vexal::testing::RecordingOutput out;
    ScriptEngine engine{&op, &charts};

    ScriptTest() { engine.setOutput(&out); }

    fs::path write(const std::string& name, std::string_view text) {
        const fs::path path = scripts / name;
        writeFile(path, text);
        return path;
    }
    // Loads `text` as T.SCS.
    bool load(std::string_view text) { return engine.Load(write("T.SCS", text).string()); }
    // Loads a body with the DESCRIPTION and label every script needs around it.
    bool loadBody(const std::string& body) { return load("DESCRIPTION test\nStart:\n" + body + "\nEXIT 0\n"); }

    std::vector<std::string> trail() const {
        std::vector<std::string> lines;
        std::istringstream in(engine.TrailText());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    std::vector<int32_t> codes() const {
        std::vector<int32_t> out;
        for (const auto& e : engine.errors()) out.push_back(e.code);
        return out;
    }
    // The one code the load reported, or 0.
    int32_t onlyCode() const {
        const auto c = codes();
        return c.size() == 1 ? c.front() : (c.empty() ? 0 : -999999);
    }
    std::string errorLine(int32_t code, const fs::path& file, int line) const {
        return FormatError(code, file.string(), line);
    }
};

}  // namespace vexal::script::testing
