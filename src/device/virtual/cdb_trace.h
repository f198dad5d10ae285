#pragma once
// One line per CDB a virtual device received, appended to a file:
//   "12 00 00 00 38 00 -> GOOD 56 in"
//   "08 00 00 02 00 00 -> CHECK CONDITION 8/00/05 0 in"
//   "00 00 00 00 00 00 -> HOST STATUS 11 0 none"
// Lines are written with O_APPEND, one write each, so that runs and devices add up.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "device/virtual/sense_builder.h"

namespace vexal::device::virt {

enum class TraceDirection { None, In, Out };

struct TraceOutcome {
    uint8_t hostStatus = 0;           // non-zero: the command ended at the host adapter
    const Sense* sense = nullptr;     // set: CHECK CONDITION
    uint32_t length = 0;              // data bytes that moved
    TraceDirection direction = TraceDirection::None;
};

std::string formatTraceLine(const uint8_t* cdb, size_t cdbLength, const TraceOutcome& outcome);

class CdbTrace {
public:
    // Opens (creating) the file for appending; null with the system's reason when it cannot.
    static std::shared_ptr<CdbTrace> open(const std::string& path, std::string& reason);

private:
    struct OpenToken {};  // only open() can name it

public:
    CdbTrace(OpenToken, int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~CdbTrace();
    CdbTrace(const CdbTrace&) = delete;
    CdbTrace& operator=(const CdbTrace&) = delete;

    void record(const uint8_t* cdb, size_t cdbLength, const TraceOutcome& outcome);
    const std::string& path() const { return path_; }

private:
    std::mutex mutex_;
    int fd_;
    std::string path_;
};

}  // namespace vexal::device::virt
