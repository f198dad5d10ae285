#include "device/iscsi/session.h"

#include <iscsi/iscsi.h>

namespace vexal::device::iscsi {

Command* Session::findCommand(uint64_t id) {
    for (Command& command : commands)
        if (command.id == id && !command.finished) return &command;
    return nullptr;
}

Command* Session::findCommand(const RequestBlock* srb) {
    for (Command& command : commands)
        if (command.job && command.job->srb == srb && !command.finished) return &command;
    return nullptr;
}

void onConnected(iscsi_context* context, int status, void*, void* privateData) {
    auto* session = static_cast<Session*>(privateData);
    // libiscsi may report a second time when the connection ends later.
    if (session->state != Session::State::Connecting) return;
    if (status != SCSI_STATUS_GOOD) {
        session->broken = true;
        return;
    }
    session->state = Session::State::LoggingIn;
    if (iscsi_login_async(context, onLoggedIn, session) != 0) session->broken = true;
}

void onLoggedIn(iscsi_context*, int status, void*, void* privateData) {
    auto* session = static_cast<Session*>(privateData);
    if (session->state != Session::State::LoggingIn) return;
    if (status == SCSI_STATUS_GOOD) session->state = Session::State::Ready;
    else session->broken = true;
}

void onCommandDone(iscsi_context*, int status, void*, void* privateData) {
    auto* command = static_cast<Command*>(privateData);
    if (command->finished) return;
    command->finished = true;
    command->scsiStatus = status;
}

void onManagementDone(iscsi_context*, int status, void* data, void* privateData) {
    auto* request = static_cast<TaskManagement*>(privateData);
    if (request->answered) return;
    request->answered = true;
    if (status != SCSI_STATUS_GOOD || !data) return;
    const uint32_t response = *static_cast<const uint32_t*>(data);
    if (request->kind == TaskManagement::Kind::Abort)
        request->good = response == ISCSI_TMR_FUNC_COMPLETE || response == ISCSI_TMR_TASK_DOES_NOT_EXIST;
    else
        request->good = response == ISCSI_TMR_FUNC_COMPLETE;
}

void onIgnored(iscsi_context*, int, void*, void*) {}

}  // namespace vexal::device::iscsi
