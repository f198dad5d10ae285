// Logging: lines a second into the line list and the session log (one write to the file
// per line, as the log system does so that a crash loses nothing written), beside a plain
// fputs + fflush loop writing the same lines to a file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_root.h"
#include "log/document_output.h"
#include "log/line_list.h"
#include "log/log_system.h"
#include "null_operator.h"

namespace {

constexpr int kLines = 100000;

std::vector<std::string> sampleLines() {
    // What a run of commands logs: command names, CDBs, status lines, data rows.
    const char* kinds[] = {" Read", " RAW_CDB: 08 00 00 80 00 00", "Status: SCSI_GOOD",
                           "  000000: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F   ................",
                           "  Completed Consecutive Command Count: 100"};
    std::vector<std::string> lines;
    for (int i = 0; i < 64; ++i) lines.emplace_back(kinds[i % 5]);
    return lines;
}

void BM_FputsFflush(benchmark::State& state) {
    vexal::bench::BenchRoot root;
    const auto lines = sampleLines();
    const std::string path = (root.root / "plain.log").string();
    for (auto _ : state) {
        FILE* file = std::fopen(path.c_str(), "wb");
        if (!file) {
            state.SkipWithError("cannot create the file");
            return;
        }
        for (int i = 0; i < kLines; ++i) {
            std::fputs(lines[static_cast<size_t>(i) % lines.size()].c_str(), file);
            std::fputs("\r\n", file);
            std::fflush(file);
        }
        std::fclose(file);
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_FputsFflush)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LineListAndSessionLog(benchmark::State& state) {
    vexal::bench::BenchRoot root;
    const auto lines = sampleLines();
    vexal::bench::NullOperator op;
    std::filesystem::create_directories(root.root / "Logs");
    vexal::log::CLogSystem log(op, {}, [&] {
        return vexal::log::InstallPathLookup{vexal::log::InstallPathStatus::Ok, root.root / ""};
    });
    if (!log.Prepare("BENCH") || !log.Open()) {
        state.SkipWithError("the session log does not open");
        return;
    }
    vexal::log::LineList list;
    vexal::log::DocumentOutput output(list, log, [] { return true; });
    for (auto _ : state) {
        for (int i = 0; i < kLines; ++i) output.both(0, lines[static_cast<size_t>(i) % lines.size()]);
        state.PauseTiming();
        list.clearView();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kLines);
    log.Close(true);
}
BENCHMARK(BM_LineListAndSessionLog)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
