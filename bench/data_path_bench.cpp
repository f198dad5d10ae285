// The data path: the Write/Read canned test writing then reading back with compare 1 GiB in
// 64 KiB blocks on the virtual drive, run through the document's worker as the front ends
// run it; beside it single-threaded memcpy of the same amount in the same block size.
// Counters: bytes_per_second counts the 1 GiB of test data once; peak_rss_mib is the
// process's peak resident size after the run.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "bench_root.h"
#include "document/falder_doc.h"
#include "device/device_library.h"
#include "device/virtual/virtual_transport.h"
#include "log/log_system.h"
#include "null_operator.h"

namespace {

constexpr uint64_t kTotal = 1ull << 30;
constexpr uint32_t kBlock = 64 * 1024;

double peakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_Memcpy1GiB(benchmark::State& state) {
    // Source and destination larger than the caches, walked in 64 KiB blocks.
    constexpr size_t kSpan = 64u << 20;
    std::vector<uint8_t> from(kSpan, 0x5A), to(kSpan, 0);
    for (auto _ : state) {
        for (uint64_t done = 0; done < kTotal; done += kBlock) {
            const size_t at = done % kSpan;
            std::memcpy(to.data() + at, from.data() + at, kBlock);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_Memcpy1GiB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WriteReadCompare1GiB(benchmark::State& state) {
    vexal::bench::BenchRoot root;
    const auto profile = root.root / "bus.ini";
    std::ofstream(profile) << "[target 0]\ntype = tape\ncapacity_mib = 2048\n";
    std::string error;
    auto transport = vexal::device::makeVirtualTransport(profile.string(), error);
    if (!transport) {
        state.SkipWithError(error.c_str());
        return;
    }
    vexal::device::DevSetTransport(transport);
    vexal::device::DevEnumerate();
    vexal::bench::NullOperator op;
    {
        vexal::log::CLogSystem log{op, {}};
        vexal::document::CFalderDoc doc(op, log, [] { return true; });
        if (!doc.device().Select(0)) {
            state.SkipWithError("no virtual tape drive");
            return;
        }
        for (auto _ : state) {
            vexal::command::CommandRequest r;
            r.code = vexal::command::code::WriteReadTest;
            r.blockSize = 512;
            r.transferLength = kBlock;
            r.count = static_cast<long>(kTotal / kBlock);
            r.repeatCount = 1;
            r.compare = true;
            doc.request() = r;
            doc.StartCommand();
            while (doc.idle.load() == 0 || doc.request().code != vexal::command::code::None)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            if (doc.lastResult != 0) {
                state.SkipWithError("the write/read test failed");
                break;
            }
        }
    }
    vexal::device::DevFreeList();
    vexal::device::DevSetTransport(nullptr);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
    state.counters["peak_rss_mib"] = peakRssMiB();
}
BENCHMARK(BM_WriteReadCompare1GiB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
