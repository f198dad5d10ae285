#include "app/saved_view.h"

namespace vexal::app {

bool OpenSavedView(document::CFalderDoc& doc, const std::filesystem::path& file, std::string& error) {
    return doc.lines().open(file, error);
}

}  // namespace vexal::app
