// Script execution speed: a loop of assignments, IF, JUMP and CALL, counted in statements
// per second. bench/script_exec_compare.sh runs the same loop in CPython beside it.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench_root.h"
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
    vexal::bench::BenchRoot root;
    fs::path script = root.scripts() / "LOOP.SCS";
    Fixture() { std::ofstream(script) << loopScript(); }
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
