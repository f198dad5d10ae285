#include "document/command_dispatch.h"

#include <algorithm>
#include <array>

#include "diag/canned_tests.h"
#include "diag/log_sense.h"
#include "diag/side_files.h"
#include "platform/named_events.h"

namespace vexal::document {

using namespace command;
namespace {

struct Context {
    CScsiDevice& device;
    CommandRequest& request;
    std::atomic<long>& counter;
    std::atomic<int>& abort;  // the canned tests clear it when they start
    ui::Operator& op;
};

ScsiResult logSense(Context& c) {
    const auto outcome = diag::LogSenseWithProbe(c.device, {c.request.pageControl, c.request.pageCode}, c.op,
                                                 diag::workFolder());
    // An unsupported page sends nothing and writes no frame: release a synchronous caller.
    if (!outcome.sent && c.device.signals.events) c.device.signals.events->signal("Done");
    return outcome.result;
}

// A canned test: 0 when it passed.
ScsiResult cannedTest(Context& c) {
    diag::CannedTestRun run{c.device, c.request, c.counter, c.abort, c.op, diag::workFolder()};
    return diag::CannedTestResult(diag::RunCannedTest(c.request.code, run));
}

using Handler = ScsiResult (*)(Context&);

struct Entry {
    int code;
    Handler handler;
};

// The command of each code; codes without an entry do nothing.
constexpr std::array<Entry, 43> kCommands{{
    {code::TestUnitReady, [](Context& c) { return c.device.TestUnitReady(); }},
    {code::Inquiry, [](Context& c) { return c.device.Inquiry(c.request.vpd); }},
    {code::FirmwareBuild, [](Context& c) { return c.device.InquiryFirmwareBuild(); }},
    {code::RequestSense, [](Context& c) { return c.device.RequestSense(); }},
    {code::Rewind, [](Context& c) { return c.device.Rewind(c.request.immediate); }},
    {code::WriteFilemarks, [](Context& c) { return c.device.WriteFilemarks(c.request.filemarks, c.request.immediate); }},
    {code::BusReset, [](Context& c) { return c.device.ResetBus(); }},
    {code::Read, [](Context& c) { return c.device.Read(c.request, c.counter, c.abort); }},
    {code::ScriptRead, [](Context& c) { return c.device.ScriptTransfer(false, c.request, c.counter, c.abort); }},
    {code::Write, [](Context& c) { return c.device.Write(c.request, c.counter, c.abort); }},
    {code::ScriptWrite, [](Context& c) { return c.device.ScriptTransfer(true, c.request, c.counter, c.abort); }},
    {code::CreateCdb, [](Context& c) { return c.device.CustomCdb(c.request); }},
    {code::Load, [](Context& c) { return c.device.LoadUnload(1, c.request.immediate); }},
    {code::Unload, [](Context& c) { return c.device.LoadUnload(0, c.request.immediate); }},
    {code::Retension, [](Context& c) { return c.device.LoadUnload(3, c.request.immediate); }},
    {code::Space, [](Context& c) { return c.device.Space(c.request.spaceCode, c.request.spaceCount); }},
    {code::Locate, [](Context& c) { return c.device.Locate(c.request); }},
    {code::ReadBlockLimits, [](Context& c) { return c.device.ReadBlockLimits(); }},
    {code::ReadPosition, [](Context& c) { return c.device.ReadPosition(c.request.blockAddressType); }},
    {code::Verify, [](Context& c) { return c.device.Verify(c.request); }},
    {code::EraseLong, [](Context& c) { return c.device.Erase(true); }},
    {code::EraseShort, [](Context& c) { return c.device.Erase(false); }},
    {code::Format, [](Context& c) { return c.device.Format(c.request.immediate, c.request.formatCode); }},
    {code::ModeSense, [](Context& c) { return c.device.ModeSense(c.request); }},
    {code::ModeSelect, [](Context& c) { return c.device.ModeSelect(c.request, c.request.data); }},
    {code::SetBlockSize, [](Context& c) { return c.device.SetBlockSize(c.request.newBlockSize); }},
    {code::CompressionOn, [](Context& c) { return c.device.Compression(true); }},
    {code::CompressionOff, [](Context& c) { return c.device.Compression(false); }},
    {code::ReadBuffer, [](Context& c) { return c.device.ReadBuffer(c.request); }},
    {code::WriteBuffer, [](Context& c) { return c.device.WriteBuffer(c.request); }},
    {code::SendDiagnostic, [](Context& c) { return c.device.SendDiagnostic(c.request.selfTestCode); }},
    {code::ReceiveDiagnostic, [](Context& c) { return c.device.ReceiveDiagnostic(c.request.allocationLength); }},
    {code::PreventAllow, [](Context& c) { return c.device.PreventAllow(c.request.prevent); }},
    {code::Reserve, [](Context& c) { return c.device.ReserveRelease(true); }},
    {code::Release, [](Context& c) { return c.device.ReserveRelease(false); }},
    {code::InitElementStatus, [](Context& c) { return c.device.InitElementStatus(); }},
    {code::LogSelect, [](Context& c) { return c.device.LogSelectReset(); }},
    {code::LogSense, logSense},
    {code::WriteReadTest, cannedTest},
    {code::CannedTest1, cannedTest},
    {code::CannedTest2, cannedTest},
    {code::CannedTest3, cannedTest},
    {code::CannedTest4, cannedTest},
}};
static_assert(std::all_of(kCommands.begin(), kCommands.end(), [](const Entry& e) { return e.handler != nullptr; }),
              "every row of the command table has its command");

}  // namespace

std::optional<ScsiResult> DispatchCommand(CScsiDevice& device, CommandRequest& request, std::atomic<long>& counter,
                                          std::atomic<int>& abort, ui::Operator& op) {
    const auto it = std::find_if(kCommands.begin(), kCommands.end(),
                                 [&](const Entry& e) { return e.code == request.code; });
    if (it == kCommands.end()) return std::nullopt;
    Context context{device, request, counter, abort, op};
    return it->handler(context);
}

}  // namespace vexal::document
