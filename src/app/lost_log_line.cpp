#include "app/lost_log_line.h"

#include <system_error>

#include <fmt/format.h>

namespace vexal::app {

std::string LostLogLineText(int error) {
    return fmt::format("[Vexal_ERROR: a line could not be written to the session log file ({}); later lines may "
                       "be missing from it]",
                       std::generic_category().message(error));
}

}  // namespace vexal::app
