#include "command/command_dispatch.h"

#include <algorithm>
#include <array>

namespace vexal::command {
namespace {

struct Context {
    CScsiDevice& device;
    CommandRequest& request;
    std::atomic<long>& counter;
    const std::atomic<int>& abort;
};

using Handler = ScsiResult (*)(Context&);

struct Entry {
    int code;
    Handler handler;
};

// The command of each code; codes without an entry do nothing.
constexpr std::array<Entry, 12> kCommands{{
    {code::TestUnitReady, [](Context& c) { return c.device.TestUnitReady(); }},
    {code::Inquiry, [](Context& c) { return c.device.Inquiry(c.request.vpd); }},
    {code::FirmwareBuild, [](Context& c) { return c.device.InquiryFirmwareBuild(); }},
    {code::RequestSense, [](Context& c) { return c.device.RequestSense(); }},
    {code::Rewind, [](Context& c) { return c.device.Rewind(c.request.immediate); }},
    {code::WriteFilemarks, [](Context& c) { return c.device.WriteFilemarks(c.request.filemarks, c.request.immediate); }},
    {code::BusReset, [](Context& c) { return c.device.ResetBus(); }},
    {code::Read, [](Context& c) { return c.device.Read(c.request, c.counter, c.abort); }},
    {code::ScriptRead, [](Context& c) { return c.device.Read(c.request, c.counter, c.abort); }},
    {code::Write, [](Context& c) { return c.device.Write(c.request, c.counter, c.abort); }},
    {code::ScriptWrite, [](Context& c) { return c.device.Write(c.request, c.counter, c.abort); }},
    {code::CreateCdb, [](Context& c) { return c.device.CustomCdb(c.request); }},
}};

}  // namespace

std::optional<ScsiResult> DispatchCommand(CScsiDevice& device, CommandRequest& request, std::atomic<long>& counter,
                                          const std::atomic<int>& abort) {
    const auto it = std::find_if(kCommands.begin(), kCommands.end(),
                                 [&](const Entry& e) { return e.code == request.code; });
    if (it == kCommands.end()) return std::nullopt;
    Context context{device, request, counter, abort};
    return it->handler(context);
}

}  // namespace vexal::command
