// libFuzzer target: the whole script load (phases 1 to 3) on arbitrary bytes. The input is
// split at lines "=====" into up to four files, T.SCS then A.SCS, B.SCS and C.SCS, so that
// includes between them are exercised too. Any crash, hang or sanitizer report is a fault:
// bad input must only ever produce error lines.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/paths.h"
#include "script/script_engine.h"

namespace {

namespace fs = std::filesystem;

const fs::path& root() {
    static const fs::path path = [] {
        std::string tmpl = (fs::temp_directory_path() / "vexal-fuzz-XXXXXX").string();
        const char* made = mkdtemp(tmpl.data());
        fs::path p = made ? fs::path(made) : fs::temp_directory_path() / "vexal-fuzz";
        setenv("VEXAL_ROOT", p.c_str(), 1);
        return p;
    }();
    return path;
}

void writeFile(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    root();
    static const fs::path scripts = vexal::platform::installPath() / "Scripts";
    static const char* kNames[] = {"T.SCS", "A.SCS", "B.SCS", "C.SCS"};

    const std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    for (size_t file = 0; file < 4; ++file) {
        const size_t cut = file < 3 ? input.find("\n=====\n", start) : std::string_view::npos;
        const std::string_view part = input.substr(start, cut == std::string_view::npos ? std::string_view::npos : cut - start);
        writeFile(scripts / kNames[file], part);
        if (cut == std::string_view::npos) {
            for (size_t rest = file + 1; rest < 4; ++rest) fs::remove(scripts / kNames[rest]);
            break;
        }
        start = cut + 7;
    }

    vexal::script::ScriptEngine engine;
    engine.setLimits({16u * 1024 * 1024, 64u * 1024 * 1024});
    engine.setFingerprintDemand(size > 0 && data[0] == 'F');
    engine.Load((scripts / "T.SCS").string());
    return 0;
}
