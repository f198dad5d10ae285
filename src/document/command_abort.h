#pragma once
// Stopping the command another thread is waiting for (the terminal's Ctrl+C): the device
// is asked to abort it, and when it does not answer within a few seconds the command is
// given up, so that the waiting thread gets it back either way.
namespace vexal::document {

enum class AbortOutcome {
    Ended,     // the device aborted it, it ended meanwhile, or none was in progress
    GivenUp,   // the device did not answer the abort: the wait was ended without it
    Running,   // neither worked: the command still holds its thread
};

// `handle` is the device library's handle of the device the command went to.
AbortOutcome AbortCommandInProgress(int handle);

}  // namespace vexal::document
