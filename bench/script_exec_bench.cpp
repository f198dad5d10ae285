// Script execution speed: a loop of assignments, IF, JUMP and CALL, counted in statements
// per second. bench/script_exec_compare.sh runs the same loop in CPython beside it.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/paths.h"
#include "script/script_engine.h"

namespace {

namespace fs = std::filesystem;

// Per pass: three assignments, a CALL, an assignment and a RETURN in the subroutine, an IF
// that jumps back: seven statements.
constexpr long kPasses = 200000;
constexpr long kStatementsPerPass = 7;

std::string loopScript() {
    return "DESCRIPTION execution benchmark\nLONG i = 0\nLONG x = 0\nLONG y = 0\nStart:\nLoop:\n"
           "i += 1\nx += 3\nx ^= i\nCALL Sub\nIF i < " +
           std::to_string(kPasses) + " JUMP Loop\nEXIT 0\nSub:\ny += x\nRETURN\n";
}

struct Fixture {
    fs::path root;
    fs::path script;
    Fixture() {
        std::string tmpl = (fs::temp_directory_path() / "vexal-bench-XXXXXX").string();
        root = mkdtemp(tmpl.data());
        setenv("VEXAL_ROOT", root.c_str(), 1);
        script = vexal::platform::installPath() / "Scripts" / "LOOP.SCS";
        fs::create_directories(script.parent_path());
        std::ofstream(script) << loopScript();
    }
    ~Fixture() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

void BM_ExecuteLoop(benchmark::State& state) {
    static Fixture fixture;
    vexal::script::ScriptEngine engine;
    if (!engine.Load(fixture.script.string())) {
        state.SkipWithError("the loop script does not load");
        return;
    }
    for (auto _ : state) {
        if (engine.Run() != 0) {
            state.SkipWithError("the loop script failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * kPasses * kStatementsPerPass);
}
BENCHMARK(BM_ExecuteLoop)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
