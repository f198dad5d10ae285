// The iSCSI path: the Write/Read canned test writing and reading back with compare 64 MiB
// in 64 KiB blocks on a tgtd tape drive, beside a minimal libiscsi loop that sends the
// same REWIND, WRITE(6) and READ(6) commands over one session and compares the same way.
// Both run against the same private tgtd in the same run; tgtd's own time is in both.
#include <benchmark/benchmark.h>
#include <iscsi/iscsi.h>
#include <iscsi/scsi-lowlevel.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "bench_root.h"
#include "command/data_pattern.h"
#include "command/falder_doc.h"
#include "device/device_library.h"
#include "device/iscsi/iscsi_transport.h"
#include "integration/tgtd_fixture.h"
#include "log/log_system.h"
#include "null_operator.h"

namespace {

constexpr uint32_t kBlock = 64 * 1024;
constexpr long kCommands = 1024;  // 64 MiB: the target's cartridge holds 128 MB
constexpr uint64_t kBytes = uint64_t{kBlock} * kCommands;

vexal::testing::TgtdServer* server(std::string& error) {
    static std::string startError;
    static std::unique_ptr<vexal::testing::TgtdServer> instance = [] {
        auto s = std::make_unique<vexal::testing::TgtdServer>();
        if (!s->start(startError)) s.reset();
        return s;
    }();
    error = startError;
    return instance.get();
}

// The index of the device at adapter 0, target 0, LUN 1 (the tape drive), or -1.
int tapeIndex() {
    int handle = 0;
    const uint8_t* identity = nullptr;
    size_t length = 0;
    int index = 0;
    for (int rc = vexal::device::DevFirst(&handle, &identity, &length); rc == 0;
         rc = vexal::device::DevNext(&handle, &identity, &length), ++index) {
        uint8_t adapter = 0, target = 0, lun = 0;
        vexal::device::DevGetAddress(handle, &adapter, &target, &lun);
        if (adapter == 0 && target == 0 && lun == 1) return index;
    }
    return -1;
}

void BM_ConsoleWriteReadCompare64MiB(benchmark::State& state) {
    std::string error;
    vexal::testing::TgtdServer* target = server(error);
    if (!target) {
        state.SkipWithError(("tgtd: " + error).c_str());
        return;
    }
    vexal::bench::BenchRoot root;
    auto transport = vexal::device::makeIscsiTransport({target->portal()}, error);
    vexal::device::DevSetTransport(transport);
    vexal::device::DevEnumerate();
    vexal::bench::NullOperator op;
    {
        vexal::log::CLogSystem log{op, {}};
        vexal::command::CFalderDoc doc(op, log, [] { return true; });
        if (!doc.device().Select(tapeIndex())) {
            state.SkipWithError("no tape drive on the target");
            return;
        }
        doc.device().TestUnitReady();  // the new session's unit attention
        for (auto _ : state) {
            vexal::command::CommandRequest r;
            r.code = vexal::command::code::WriteReadTest;
            r.blockSize = 512;
            r.transferLength = kBlock;
            r.count = kCommands;
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
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
}
BENCHMARK(BM_ConsoleWriteReadCompare64MiB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

struct Context {
    iscsi_context* iscsi = nullptr;
    ~Context() {
        if (!iscsi) return;
        iscsi_logout_sync(iscsi);
        iscsi_destroy_context(iscsi);
    }
};

// One command, synchronously; true when it ended GOOD (a unit attention is retried once).
bool command(iscsi_context* iscsi, const uint8_t* cdb, int cdbLength, uint8_t* data, uint32_t length, bool write,
             const std::vector<uint8_t>* expected) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        scsi_task* task = static_cast<scsi_task*>(std::calloc(1, sizeof(scsi_task)));
        if (!task) return false;
        std::memcpy(task->cdb, cdb, static_cast<size_t>(cdbLength));
        task->cdb_size = cdbLength;
        task->xfer_dir = length == 0 ? SCSI_XFER_NONE : write ? SCSI_XFER_WRITE : SCSI_XFER_READ;
        task->expxferlen = static_cast<int>(length);
        iscsi_data out{};
        if (write) {
            out.size = length;
            out.data = data;
        }
        scsi_task* done = iscsi_scsi_command_sync(iscsi, 1, task, write ? &out : nullptr);
        bool good = done && done->status == SCSI_STATUS_GOOD;
        const bool attention = done && done->status == SCSI_STATUS_CHECK_CONDITION &&
                               done->sense.key == SCSI_SENSE_UNIT_ATTENTION;
        if (good && !write && length > 0) {
            good = done->datain.size == static_cast<int>(length) &&
                   (!expected || std::memcmp(done->datain.data, expected->data(), length) == 0);
        }
        scsi_free_scsi_task(done ? done : task);
        if (good) return true;
        if (!attention) return false;
    }
    return false;
}

void BM_LibiscsiWriteReadCompare64MiB(benchmark::State& state) {
    std::string error;
    vexal::testing::TgtdServer* target = server(error);
    if (!target) {
        state.SkipWithError(("tgtd: " + error).c_str());
        return;
    }
    Context c;
    c.iscsi = iscsi_create_context("iqn.2026-12.com.korvane:bench");
    iscsi_set_targetname(c.iscsi, vexal::testing::TgtdServer::kTapeTarget);
    iscsi_set_session_type(c.iscsi, ISCSI_SESSION_NORMAL);
    iscsi_set_header_digest(c.iscsi, ISCSI_HEADER_DIGEST_NONE);
    if (iscsi_full_connect_sync(c.iscsi, target->portal().c_str(), 1) != 0) {
        state.SkipWithError("libiscsi cannot log in");
        return;
    }
    std::vector<uint8_t> data(kBlock);
    vexal::command::fillPattern(vexal::command::pattern::IncrementalByte, 0, 0, data);
    const std::vector<uint8_t> expected = data;
    std::vector<uint8_t> in(kBlock);
    const uint8_t rewind[6] = {0x01, 0, 0, 0, 0, 0};
    const uint8_t write6[6] = {0x0A, 0, uint8_t(kBlock >> 16), uint8_t(kBlock >> 8), uint8_t(kBlock), 0};
    const uint8_t read6[6] = {0x08, 0, uint8_t(kBlock >> 16), uint8_t(kBlock >> 8), uint8_t(kBlock), 0};
    for (auto _ : state) {
        bool ok = command(c.iscsi, rewind, 6, nullptr, 0, false, nullptr);
        for (long i = 0; ok && i < kCommands; ++i) ok = command(c.iscsi, write6, 6, data.data(), kBlock, true, nullptr);
        ok = ok && command(c.iscsi, rewind, 6, nullptr, 0, false, nullptr);
        for (long i = 0; ok && i < kCommands; ++i) ok = command(c.iscsi, read6, 6, in.data(), kBlock, false, &expected);
        if (!ok) {
            state.SkipWithError(iscsi_get_error(c.iscsi));
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
}
BENCHMARK(BM_LibiscsiWriteReadCompare64MiB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
