#include "device/iscsi/discovery.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>

#include <iscsi/iscsi.h>

#include "device/iscsi/iscsi_context.h"

namespace vexal::device::iscsi {
namespace {

using Clock = std::chrono::steady_clock;

struct Discovery {
    enum class Step { Connecting, LoggingIn, Listing, Done, Failed };
    Step step = Step::Connecting;
    std::vector<std::string> targets;
    std::string error;

    void fail(iscsi_context* context, const char* what) {
        step = Step::Failed;
        error = what;
        const char* detail = context ? iscsi_get_error(context) : nullptr;
        if (detail && *detail) error += std::string(": ") + detail;
    }
};

void onList(iscsi_context* context, int status, void* data, void* privateData) {
    auto* state = static_cast<Discovery*>(privateData);
    if (state->step != Discovery::Step::Listing) return;
    if (status != SCSI_STATUS_GOOD) return state->fail(context, "SendTargets failed");
    // libiscsi frees the list when this callback returns: copy the names.
    for (auto* address = static_cast<iscsi_discovery_address*>(data); address; address = address->next)
        if (address->target_name && *address->target_name) state->targets.emplace_back(address->target_name);
    state->step = Discovery::Step::Done;
}

void onLogin(iscsi_context* context, int status, void*, void* privateData) {
    auto* state = static_cast<Discovery*>(privateData);
    if (state->step != Discovery::Step::LoggingIn) return;
    if (status != SCSI_STATUS_GOOD) return state->fail(context, "discovery login refused");
    state->step = Discovery::Step::Listing;
    if (iscsi_discovery_async(context, onList, state) != 0) state->fail(context, "SendTargets failed");
}

void onConnect(iscsi_context* context, int status, void*, void* privateData) {
    auto* state = static_cast<Discovery*>(privateData);
    if (state->step != Discovery::Step::Connecting) return;  // a second report at tear-down
    if (status != SCSI_STATUS_GOOD) return state->fail(context, "connection failed");
    state->step = Discovery::Step::LoggingIn;
    if (iscsi_login_async(context, onLogin, state) != 0) state->fail(context, "discovery login failed");
}

}  // namespace

bool discoverTargets(const std::string& portal, const std::string& initiator,
                     std::chrono::milliseconds limit, std::vector<std::string>& targets,
                     std::string& error) {
    // Declared before the context so that it outlives the callbacks of its destruction.
    Discovery state;
    ContextPtr context = makeContext(initiator, "");
    if (!context) {
        error = "cannot create an iSCSI context";
        return false;
    }
    if (iscsi_connect_async(context.get(), portal.c_str(), onConnect, &state) != 0) {
        state.fail(context.get(), "connection failed");
        error = state.error;
        return false;
    }
    const auto deadline = Clock::now() + limit;
    while (state.step != Discovery::Step::Done && state.step != Discovery::Step::Failed) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            state.step = Discovery::Step::Failed;
            state.error = "no answer within " + std::to_string(limit.count() / 1000) + " s";
            break;
        }
        pollfd descriptor{iscsi_get_fd(context.get()), static_cast<short>(iscsi_which_events(context.get())), 0};
        if (descriptor.fd < 0) {
            state.fail(context.get(), "connection lost");
            break;
        }
        const int ready = ::poll(&descriptor, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR) {
            state.fail(nullptr, "poll failed");
            break;
        }
        if (iscsi_service(context.get(), ready > 0 ? descriptor.revents : 0) < 0 &&
            state.step != Discovery::Step::Failed && state.step != Discovery::Step::Done)
            state.fail(context.get(), "connection lost");
    }
    if (state.step != Discovery::Step::Done) {
        error = state.error;
        return false;
    }
    targets = std::move(state.targets);
    return true;
}

}  // namespace vexal::device::iscsi
