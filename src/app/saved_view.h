#pragma once
// Showing a view saved earlier (File Save's CR LF lines).
#include <filesystem>
#include <string>

#include "document/falder_doc.h"

namespace vexal::app {

// The document's lines become the file's; false with `error` when it cannot be read (the
// lines stay as they were).
bool OpenSavedView(document::CFalderDoc& doc, const std::filesystem::path& file, std::string& error);

}  // namespace vexal::app
