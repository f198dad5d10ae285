#pragma once
// A temporary install folder for a benchmark (VEXAL_ROOT), removed at the end.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/paths.h"

namespace vexal::bench {

struct BenchRoot {
    std::filesystem::path root;
    BenchRoot() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "vexal-bench-XXXXXX").string();
        root = mkdtemp(tmpl.data());
        setenv("VEXAL_ROOT", root.c_str(), 1);
        std::filesystem::create_directories(scripts());
    }
    ~BenchRoot() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    BenchRoot(const BenchRoot&) = delete;
    BenchRoot& operator=(const BenchRoot&) = delete;
    std::filesystem::path scripts() const { return platform::installPath() / "Scripts"; }
};

}  // namespace vexal::bench
