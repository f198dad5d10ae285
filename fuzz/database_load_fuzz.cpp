// libFuzzer target: the results-database loader on arbitrary bytes. A refused image leaves
// the database empty; an accepted one serializes to an image that loads back to the same
// bytes (bytes after a text's terminating zero are not kept, so the first image may differ).
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
    const auto first = db.serialize();
    if (first.size() != size) std::abort();
    vexal::script::ResultsDatabase back;
    if (back.load(first) != vexal::script::DbLoadError::None || back.serialize() != first) std::abort();
    return 0;
}
