// libFuzzer target: the LOG SENSE page parser and what reads its parameters. The input is
// parsed directly as a page (its first byte taken as the page asked for), and then serves as
// a drive's replies to the Log Sense command (probe and read) and to the Tape Alert check.
// Checked: a parsed page keeps no more than arrived, every parameter lies inside it, and a
// fetched value has the size asked for.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "diag/log_page.h"
#include "diag/log_page_lines.h"
#include "diag/log_sense.h"
#include "diag/tape_alerts.h"
#include "fuzz_drive.h"

namespace {

using namespace vexal;
using namespace vexal::diag;

void check(bool ok) {
    if (!ok) std::abort();
}

void direct(std::span<const uint8_t> bytes) {
    if (bytes.empty()) return;
    LogPage page;
    const PageError error = page.Parse(bytes[0], bytes);
    if (error != PageError::None) {
        check(!page.loaded() && page.parameters().empty() && page.parameterCount() == 0);
        return;
    }
    check(page.loaded() && page.bytes().size() == pageEnd(bytes) && page.bytes().size() <= bytes.size());
    for (const LogParameter& p : page.parameters()) {
        check(p.offset >= kPageHeaderLength + kParameterHeaderLength);
        check(p.offset + p.length <= page.bytes().size());
        check(page.value(p).size() == p.length);
        const LogParameter* first = page.find(p.code);
        check(first && first->code == p.code);
        uint64_t any = 0;
        if (page.FetchUnsigned(p.code, any) == FetchError::None) check(first->length >= 1 && first->length <= 8);
        uint8_t b = 0;
        if (page.FetchByte(p.code, b) == FetchError::None) check(first->length == 1);
        uint16_t w = 0;
        if (page.FetchWord(p.code, w) == FetchError::None) check(first->length == 2);
        uint32_t l = 0;
        if (page.FetchLong(p.code, l) == FetchError::None) check(first->length == 4);
        double d = 0;
        if (page.FetchDouble(p.code, d) == FetchError::None) check(first->length == 8);
        (void)p.flags();
    }
    if (page.pageCode() == page::SupportedPages) {
        check(page.supportedPages().size() == page.parameterCount());
        uint8_t code = 0;
        for (size_t i = 0; i <= page.parameterCount(); ++i)
            check((page.FetchSupportedPage(i, code) == FetchError::None) == (i < page.parameterCount()));
    }
    for (const DecodedLine& line : counterLines(page)) check(!line.text.empty());
    fuzz::NullOutput out;
    TapeAlertTable table;
    TapeAlertResult result;
    ApplyTapeAlertPage(page, 10, table, result, out);
}

// The page asked for is the first data byte of the first reply, as in a real page.
void exerciseDrive(fuzz::FuzzDrive& drive, uint8_t pageCode) {
    const auto folder = fuzz::fuzzRoot() / "work";
    LogSenseRequest request;
    request.pageCode = pageCode & 0x3F;
    request.pageControl = page_control::Cumulative;
    const LogSenseOutcome outcome = LogSenseWithProbe(drive.device, request, drive.op, folder);
    check(outcome.data.size() <= outcome.allocationLength);
    TapeAlertTable table;
    TapeAlertResult result;
    (void)CheckTapeAlerts(drive.device.handle, 10, table, result, drive.out, folder);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* page = std::getenv("VEXAL_FUZZ_PAGE");
    const uint8_t code = page ? static_cast<uint8_t>(std::strtoul(page, nullptr, 16)) : page::WriteErrors;
    fuzz::FuzzDrive::captureIfAsked(false, [code](fuzz::FuzzDrive& d) { exerciseDrive(d, code); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> input(data, size);
    direct(input);
    static fuzz::FuzzDrive drive;
    drive.run(input, [&](fuzz::FuzzDrive& d) { exerciseDrive(d, size > 3 ? data[3] : 0); });
    return 0;
}
