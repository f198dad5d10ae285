// A full bus scan of 64 virtual devices (four adapters of sixteen tape drives and
// changers), as the front ends start it, without the desktop's progress pacing: the time
// is what the scan itself costs (enumeration, INQUIRY and VPD pages, naming).
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "bench_root.h"
#include "device/bus_scan.h"
#include "device/device_library.h"
#include "null_operator.h"

namespace {

void BM_ScanSixtyFourVirtualDevices(benchmark::State& state) {
    vexal::bench::BenchRoot root;
    const auto profile = root.root / "bus64.ini";
    {
        std::ofstream out(profile);
        for (int adapter = 0; adapter < 4; ++adapter)
            for (int target = 0; target < 16; ++target)
                out << "[adapter " << adapter << " target " << target << "]\ntype = "
                    << (target % 4 == 3 ? "changer" : "tape") << "\n";
    }
    vexal::bench::NullOperator op;
    vexal::device::ScanConfig config;
    config.kind = vexal::device::TransportKind::Virtual;
    config.virtualProfile = profile.string();
    int found = 0;
    for (auto _ : state) {
        vexal::device::BusScanner scanner(op);
        found = scanner.ScanBuses(config);
        if (found != 64) {
            state.SkipWithError(("the scan found " + std::to_string(found) + " devices").c_str());
            break;
        }
    }
    vexal::device::DevFreeList();
    vexal::device::DevSetTransport(nullptr);
    state.counters["devices"] = found;
    state.SetItemsProcessed(state.iterations() * 64);
}
BENCHMARK(BM_ScanSixtyFourVirtualDevices)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
