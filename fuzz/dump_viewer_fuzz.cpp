// libFuzzer target: opening a compressed FA dump (.dmz) in the viewer: the archive checks,
// the expansion, the text scan and the section list. The input is the .dmz file. Checked:
// a refused file says why and leaves no expanded dump, an expanded dump stays under the cap,
// and nothing is written outside the dump's folder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "fadump/dump_viewer.h"
#include "fadump/zip_archive.h"
#include "fuzz_drive.h"

namespace {

using namespace vexal;
using namespace vexal::fadump;

void check(bool ok) {
    if (!ok) std::abort();
}

size_t entriesBelow(const fuzz::fs::path& folder) {
    std::error_code ec;
    size_t n = 0;
    for (auto it = fuzz::fs::recursive_directory_iterator(folder, ec); !ec && it != fuzz::fs::recursive_directory_iterator();
         it.increment(ec))
        ++n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto root = fuzz::fuzzRoot();
    const auto folder = root / "viewer";
    std::error_code ec;
    fuzz::fs::remove_all(folder, ec);
    fuzz::fs::create_directories(folder);
    const auto dmz = folder / "dump.dmz";
    fuzz::writeBytes(dmz, std::span<const uint8_t>(data, size));
    const size_t before = entriesBelow(root) - entriesBelow(folder);

    static testing::FakeOperator op;
    op.calls.clear();
    ExtractLimits limits;
    limits.maxExpanded = 4u << 20;  // keeps every run short; the cap's check is the same
    const ViewerResult r = OpenDumpFile(op, dmz, limits);
    if (!r.expanded) {
        check(!r.refusal.empty() && !r.controlsEnabled);
        check(!fuzz::fs::exists(r.dmp, ec));
    } else {
        check(fuzz::fs::file_size(r.dmp, ec) <= limits.maxExpanded);
        check(r.controlsEnabled == (r.scanError == scan_error::None));
        if (r.controlsEnabled) {
            const auto textSize = fuzz::fs::file_size(r.ptf, ec);
            for (const Section& s : r.sections) check(s.offset < textSize);
        }
    }
    check(r.dmp.parent_path() == folder && r.ptf.parent_path() == folder && r.sectionFile.parent_path() == folder);
    check(entriesBelow(root) - entriesBelow(folder) == before);
    return 0;
}
