// libFuzzer target: the decoders of the drive's tape structures (filemark table, header
// frame, AUX data, EOD frame, defect map), the tape history record and the trace dump. The
// input is decoded directly as each structure, and then serves as a drive's replies while
// every structure and the tape log are read. Checked: the views stay bounded, and a history
// record survives its block and a field write unchanged elsewhere.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "diag/debug_trace.h"
#include "diag/structure_views.h"
#include "diag/tape_history.h"
#include "diag/tape_log.h"
#include "diag/tape_structures.h"
#include "fuzz_drive.h"

namespace {

using namespace vexal;
using namespace vexal::diag;

void check(bool ok) {
    if (!ok) std::abort();
}

constexpr StructureKind kKinds[] = {StructureKind::FilemarkTable, StructureKind::HeaderFrame, StructureKind::Aux,
                                    StructureKind::EodFrame, StructureKind::DefectMap};

void checkLines(const std::vector<std::string>& lines) {
    check(lines.size() <= 2 * kMaxDefectEntries + 4096);
    for (const std::string& line : lines) check(line.size() <= 1024);
}

void history(std::span<const uint8_t> bytes) {
    if (!TapeHistoryRecord::isRecord(bytes)) return;
    TapeHistoryRecord record = TapeHistoryRecord::fromBlock(bytes);
    check(std::equal(record.bytes().begin(), record.bytes().end(), bytes.begin()));
    check(record.label().size() <= 16 && record.driveLabel().size() <= 20);
    checkLines(record.lines());
    const std::vector<uint8_t> block = record.block();
    check(block.size() == kTapeLogBlockSize);
    check(TapeHistoryRecord::fromBlock(block).bytes() == record.bytes());
    const auto before = record.bytes();
    const uint32_t v = record.value(history_field::LifePasses) ^ 0x5A5A5A5A;
    record.setValue(history_field::LifePasses, v);
    check(record.value(history_field::LifePasses) == v);
    for (size_t i = 0; i < kTapeHistorySize; ++i)
        if (i < history_field::LifePasses || i >= history_field::LifePasses + 4) check(record.bytes()[i] == before[i]);
}

void direct(std::span<const uint8_t> bytes) {
    for (StructureKind kind : kKinds) checkLines(structureLines(kind, bytes));
    checkLines(trackTableLines(bytes));
    if (!bytes.empty()) (void)datFlagNames(bytes[0]);
    history(bytes);
    const std::string trace = debugTraceText(bytes);
    check(trace.size() == debugTraceText({}).size());
}

void exerciseDrive(fuzz::FuzzDrive& drive) {
    for (StructureKind kind : kKinds) (void)ReadStructure(drive.device, kind);
    TapeLog log;
    if (log.Read(drive.device) == TapeLogRead::Found) {
        check(log.hasRecord());
        log.Show(drive.device);
    }
}

}  // namespace

VEXAL_FUZZ_DRIVE_TARGET(direct, exerciseDrive, false, false)
