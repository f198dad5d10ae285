// libFuzzer target: the results-database loader on arbitrary bytes. A refused image leaves
// the database empty; an accepted one must serialize back to the same bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "script/results_database.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vexal::script::ResultsDatabase db;
    const std::span<const uint8_t> image(data, size);
    if (db.load(image) != vexal::script::DbLoadError::None) {
        if (!db.folders().empty() || db.totalEvents() != 0) std::abort();
        return 0;
    }
    // Report text of every folder is bounded by the folder's fields.
    (void)db.databaseReport();
    for (const auto& f : db.folders()) (void)vexal::script::ResultsDatabase::passPercentage(f);
    const auto again = db.serialize();
    if (again.size() != size || !std::equal(again.begin(), again.end(), data)) std::abort();
    return 0;
}
