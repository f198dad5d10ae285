// FA dump compression: a 64 MiB dump file compressed into its zip archive, beside
// `gzip -6` compressing the same file in the same run. The data mixes what drive memory
// holds: text, counters and tables, zero-filled areas and noise.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench_root.h"
#include "fadump/zip_archive.h"

namespace {

constexpr size_t kDumpBytes = 64u << 20;

struct DumpFile {
    vexal::bench::BenchRoot root;
    std::filesystem::path path = root.root / "FADUMP.BIN";
    DumpFile() {
        std::vector<uint8_t> data(kDumpBytes);
        uint64_t state = 0x9E3779B97F4A7C15ULL;
        auto next = [&] {
            state ^= state >> 12;
            state ^= state << 25;
            state ^= state >> 27;
            return state * 0x2545F4914F6CDD1DULL;
        };
        constexpr size_t kRegion = 64 * 1024;
        for (size_t at = 0; at < data.size(); at += kRegion) {
            uint8_t* region = data.data() + at;
            switch ((at / kRegion) % 4) {
                case 0:  // trace text
                    for (size_t i = 0; i < kRegion;) {
                        char line[64];
                        const int n = std::snprintf(line, sizeof line, "%08zx CMD %02X LBA %08llX ST %02X\n", at + i,
                                                    unsigned(next() & 0xFF), static_cast<unsigned long long>(next() & 0xFFFFF),
                                                    unsigned(next() & 3));
                        for (int k = 0; k < n && i < kRegion; ++k) region[i++] = static_cast<uint8_t>(line[k]);
                    }
                    break;
                case 1:  // counters and tables
                    for (size_t i = 0; i + 4 <= kRegion; i += 4) {
                        const uint32_t v = static_cast<uint32_t>(i / 16 + (next() & 7));
                        std::memcpy(region + i, &v, 4);
                    }
                    break;
                case 2:  // erased memory
                    break;
                default:  // noise
                    for (size_t i = 0; i + 8 <= kRegion; i += 8) {
                        const uint64_t v = next();
                        std::memcpy(region + i, &v, 8);
                    }
            }
        }
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                                    static_cast<std::streamsize>(data.size()));
    }
};

DumpFile& dump() {
    static DumpFile file;
    return file;
}

void BM_CompressDump64MiB(benchmark::State& state) {
    const auto archive = dump().root.root / "FADUMP.ZIP";
    for (auto _ : state) {
        int error = 0;
        if (!vexal::fadump::compressFile(dump().path, archive, 0644, error)) {
            state.SkipWithError("compression failed");
            return;
        }
    }
    struct stat info{};
    ::stat(archive.c_str(), &info);
    state.counters["compressed_mib"] = static_cast<double>(info.st_size) / (1 << 20);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kDumpBytes));
}
BENCHMARK(BM_CompressDump64MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Gzip6Dump64MiB(benchmark::State& state) {
    const auto out = dump().root.root / "FADUMP.BIN.gz";
    const std::string command = "gzip -6 -c '" + dump().path.string() + "' > '" + out.string() + "'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("gzip failed");
            return;
        }
    }
    struct stat info{};
    ::stat(out.c_str(), &info);
    state.counters["compressed_mib"] = static_cast<double>(info.st_size) / (1 << 20);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kDumpBytes));
}
BENCHMARK(BM_Gzip6Dump64MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
