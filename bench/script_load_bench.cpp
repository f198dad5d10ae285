// Loading a generated 100 000-line script, phases 1 to 3: the load must stay well under a
// second, so nothing in it may search the tables or the statement list line by line.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench_root.h"
#include "script/script_engine.h"

namespace {

namespace fs = std::filesystem;

// A script of `lines` lines using every kind of declaration and the common statements,
// with a label every 25 lines and jumps and calls to the labels.
std::string generateScript(int lines) {
    std::string s = "DESCRIPTION Generated load benchmark\nVERSION 1.0\n";
    s += "SENSEKEYS Medium 03 11H XX Medium error\nCOLOR Red 255 0 0\nFILE Out\nCHART Plot\n";
    s += "BUFFER PB [ 4096 ]\nLOGPAGE Errs { 2 PB }\nLOGPAGE Events { 7 PB }\nStart:\n";
    for (int i = 0; i < lines; ++i) {
        const std::string k = std::to_string(i);
        switch (i % 25) {
            case 0: s += "L" + k + ":\n"; break;
            case 1: s += "BYTE b" + k + " = 5\n"; break;
            case 2: s += "WORD w" + k + " = 1234H\n"; break;
            case 3: s += "LONG l" + k + " = 70000\n"; break;
            case 4: s += "BUFFER B" + k + " [ 64 ]\n"; break;
            case 5: s += "CDB C" + k + " { 6 , TOHOST , B" + std::to_string(i - 1) + " , SCSI_INQUIRY , 0 , 0 , 0 , 64 , 0 }\n"; break;
            case 6: s += "b" + std::to_string(i - 5) + " += w" + std::to_string(i - 4) + "\n"; break;
            case 7: s += "IF b" + std::to_string(i - 6) + " == 1 AND l" + std::to_string(i - 4) + " > 5 JUMP L" + std::to_string(i - 7) + "\n"; break;
            case 8: s += "SETBUFFER ( B" + std::to_string(i - 4) + " [ 5 ] , 1 );  // a comment\n"; break;
            case 9: s += "PRINT 'value %d and %x' w" + std::to_string(i - 7) + " b" + std::to_string(i - 8) + "\n"; break;
            case 10: s += "SCSI C" + std::to_string(i - 5) + "\n"; break;
            case 11: s += "IFSENSE Medium CALL L" + std::to_string(i - 11) + "\n"; break;
            case 12: s += "MSG   step " + k + "\n"; break;
            case 13: s += "GETSENSE b" + std::to_string(i - 12) + " b" + std::to_string(i - 12) + " b" + std::to_string(i - 12) + "\n"; break;
            case 14: s += "PEEKW B" + std::to_string(i - 10) + " [ 2 ] w" + std::to_string(i - 12) + "\n"; break;
            case 15: s += "READNOCOMPARE C" + std::to_string(i - 10) + " 10 l" + std::to_string(i - 12) + "\n"; break;
            case 16: s += "Errs->0001 += 5\n"; break;
            case 17: s += "Events->CREATELIST BUGCHECK 10 TO 20 w" + std::to_string(i - 15) + "\n"; break;
            case 18: s += "DOUBLE d" + k + " = 1.5\n"; break;
            case 19: s += "d" + std::to_string(i - 1) + " *= 2.5\n"; break;
            case 20: s += "FILLBUFFER B" + std::to_string(i - 16) + " RAND 7\n"; break;
            case 21: s += "* SK 03\n"; break;
            case 22: s += "IFNOSENSE JUMP L" + std::to_string(i - 22) + "\n"; break;
            case 23: s += "#INCLUDE \"COMMON.SCS\"\n"; break;
            default: s += "CALL L" + std::to_string(i - 24) + "\n"; break;
        }
    }
    s += "EXIT 0\n";
    return s;
}

struct Fixture {
    vexal::bench::BenchRoot root;
    fs::path script = root.scripts() / "GENERATED.SCS";
    Fixture() {
        std::ofstream(script) << generateScript(100000);
        std::ofstream(root.scripts() / "COMMON.SCS") << "MSG common\n";
    }
};

void BM_Load100000Lines(benchmark::State& state) {
    static Fixture fixture;
    vexal::script::ScriptEngine engine;
    for (auto _ : state) {
        if (!engine.Load(fixture.script.string())) {
            state.SkipWithError("the generated script does not load");
            break;
        }
        benchmark::DoNotOptimize(engine.tables().statements.size());
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_Load100000Lines)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
