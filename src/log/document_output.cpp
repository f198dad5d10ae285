#include "log/document_output.h"

namespace vexal::log {

void DocumentOutput::addToView(std::string_view line) { lines_.append(std::string(line)); }

void DocumentOutput::writeLog(int level, std::string_view line) { log_.Write(level, level, line); }

bool DocumentOutput::engineeringMode() const { return engineeringMode_ && engineeringMode_(); }

}  // namespace vexal::log
