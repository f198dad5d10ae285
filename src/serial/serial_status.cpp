#include "serial/serial_status.h"

#include <cstring>

#include <fmt/printf.h>

namespace vexal::serial::status {

std::string writeTimeout(long bytesSent) { return fmt::sprintf("Probable write timeout: total of %ld bytes sent", bytesSent); }

std::string systemError(int error) {
    char buffer[256];
    // GNU strerror_r returns the text (maybe not in `buffer`); it is thread safe.
    return ::strerror_r(error, buffer, sizeof buffer);
}

}  // namespace vexal::serial::status
