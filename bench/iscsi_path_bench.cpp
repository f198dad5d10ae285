// The iSCSI path: the Write/Read canned test writing and reading back with compare 64 MiB
// in 64 KiB blocks on a tgtd tape drive, beside a minimal libiscsi loop that sends the
// same REWIND, WRITE(6) and READ(6) commands over one session and compares the same way.
// Both run against the same private tgtd, one pass of each in turn, so that both meet the
// same state of the target and the machine; tgtd's own time is in both. The counters give
// each side's rate and the median of the per-round ratios.
#include <benchmark/benchmark.h>
#include <iscsi/iscsi.h>
#include <iscsi/scsi-lowlevel.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "bench_root.h"
#include "command/data_pattern.h"
#include "document/falder_doc.h"
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

// One pass of the console: the Write/Read canned test through the document's worker.
class ConsolePass {
public:
    bool open(const std::string& portal, std::string& error) {
        transport_ = vexal::device::makeIscsiTransport({portal}, error);
        vexal::device::DevSetTransport(transport_);
        vexal::device::DevEnumerate();
        log_ = std::make_unique<vexal::log::CLogSystem>(op_, vexal::platform::SystemInformation{});
        doc_ = std::make_unique<vexal::document::CFalderDoc>(op_, *log_, [] { return true; });
        if (!doc_->device().Select(tapeIndex())) {
            error = "no tape drive on the target";
            return false;
        }
        doc_->device().TestUnitReady();  // the new session's unit attention
        return true;
    }
    ~ConsolePass() {
        doc_.reset();
        log_.reset();
        vexal::device::DevFreeList();
        vexal::device::DevSetTransport(nullptr);
    }
    bool run() {
        vexal::command::CommandRequest r;
        r.code = vexal::command::code::WriteReadTest;
        r.blockSize = 512;
        r.transferLength = kBlock;
        r.count = kCommands;
        r.repeatCount = 1;
        r.compare = true;
        doc_->request() = r;
        doc_->StartCommand();
        // Looked at every millisecond: a finer watch takes CPU from the drive's thread
        // and tgtd on a small machine, and the last millisecond counts against the console.
        while (doc_->idle.load() == 0 || doc_->request().code != vexal::command::code::None)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return doc_->lastResult == 0;
    }

private:
    vexal::bench::BenchRoot root_;
    vexal::bench::NullOperator op_;
    std::shared_ptr<vexal::device::Transport> transport_;
    std::unique_ptr<vexal::log::CLogSystem> log_;
    std::unique_ptr<vexal::document::CFalderDoc> doc_;
};

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

// One pass of the plain loop: REWIND, the WRITEs, REWIND, the READs with compare.
class LibiscsiPass {
public:
    bool open(const std::string& portal, std::string& error) {
        c_.iscsi = iscsi_create_context("iqn.2026-12.com.korvane:bench");
        iscsi_set_targetname(c_.iscsi, vexal::testing::TgtdServer::kTapeTarget);
        iscsi_set_session_type(c_.iscsi, ISCSI_SESSION_NORMAL);
        iscsi_set_header_digest(c_.iscsi, ISCSI_HEADER_DIGEST_NONE);
        if (iscsi_full_connect_sync(c_.iscsi, portal.c_str(), 1) != 0) {
            error = "libiscsi cannot log in";
            return false;
        }
        data_.resize(kBlock);
        vexal::command::fillPattern(vexal::command::pattern::IncrementalByte, 0, 0, data_);
        expected_ = data_;
        in_.resize(kBlock);
        return true;
    }
    bool run() {
        const uint8_t rewind[6] = {0x01, 0, 0, 0, 0, 0};
        const uint8_t write6[6] = {0x0A, 0, uint8_t(kBlock >> 16), uint8_t(kBlock >> 8), uint8_t(kBlock), 0};
        const uint8_t read6[6] = {0x08, 0, uint8_t(kBlock >> 16), uint8_t(kBlock >> 8), uint8_t(kBlock), 0};
        bool ok = command(c_.iscsi, rewind, 6, nullptr, 0, false, nullptr);
        for (long i = 0; ok && i < kCommands; ++i) ok = command(c_.iscsi, write6, 6, data_.data(), kBlock, true, nullptr);
        ok = ok && command(c_.iscsi, rewind, 6, nullptr, 0, false, nullptr);
        for (long i = 0; ok && i < kCommands; ++i) ok = command(c_.iscsi, read6, 6, in_.data(), kBlock, false, &expected_);
        return ok;
    }
    const char* error() const { return iscsi_get_error(c_.iscsi); }

private:
    Context c_;
    std::vector<uint8_t> data_, expected_, in_;
};

void BM_IscsiWriteReadCompare64MiB(benchmark::State& state) {
    std::string error;
    vexal::testing::TgtdServer* target = server(error);
    if (!target) {
        state.SkipWithError(("tgtd: " + error).c_str());
        return;
    }
    ConsolePass console;
    LibiscsiPass plain;
    if (!console.open(target->portal(), error) || !plain.open(target->portal(), error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    using Clock = std::chrono::steady_clock;
    double consoleSeconds = 0, plainSeconds = 0;
    std::vector<double> ratios;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const bool a = console.run();
        const auto t1 = Clock::now();
        const bool b = plain.run();
        const auto t2 = Clock::now();
        if (!a || !b) {
            state.SkipWithError(a ? plain.error() : "the write/read test failed");
            return;
        }
        const double c = std::chrono::duration<double>(t1 - t0).count();
        const double p = std::chrono::duration<double>(t2 - t1).count();
        consoleSeconds += c;
        plainSeconds += p;
        ratios.push_back(p / c);  // the console's rate over the plain loop's
    }
    std::sort(ratios.begin(), ratios.end());
    const double mib = static_cast<double>(kBytes) / (1 << 20) * static_cast<double>(ratios.size());
    state.counters["console_mib_s"] = mib / consoleSeconds;
    state.counters["libiscsi_mib_s"] = mib / plainSeconds;
    state.counters["median_ratio"] = ratios[ratios.size() / 2];
}
BENCHMARK(BM_IscsiWriteReadCompare64MiB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(15);

}  // namespace

BENCHMARK_MAIN();
