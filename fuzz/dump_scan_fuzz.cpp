// libFuzzer target: the FA dump text scan and section list, and the dump buffer reads. The
// input is scanned directly as a .dmp file, and then serves as a drive's replies while the
// dump source is checked and the dump buffer read chunk by chunk. Checked: the text file is
// exactly the dump's text part (from the first "-- c" to the first byte that is not text,
// tabs as blanks), every section points at a heading line of it, and a chunk plan covers
// its size once.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "fadump/dump_reader.h"
#include "fadump/dump_viewer.h"
#include "fadump/zip_archive.h"
#include "fuzz_drive.h"

namespace {

using namespace vexal;
using namespace vexal::fadump;

void check(bool ok) {
    if (!ok) std::abort();
}

std::string readAll(const fuzz::fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The text part as the scan defines it, written the plain way.
bool expectedText(std::span<const uint8_t> bytes, std::string& text) {
    const std::string_view start = kTextStart;
    const auto at = std::search(bytes.begin(), bytes.end(), start.begin(), start.end());
    if (at == bytes.end()) return false;
    text.assign(start);
    for (auto it = at + static_cast<std::ptrdiff_t>(start.size()); it != bytes.end() && *it != 0 && *it <= 126; ++it)
        text += *it == '\t' ? ' ' : static_cast<char>(*it);
    return true;
}

void direct(std::span<const uint8_t> bytes) {
    const auto folder = fuzz::fuzzRoot() / "scan";
    fuzz::fs::create_directories(folder);
    const auto dmp = folder / "dump.dmp", ptf = folder / "dump.ptf";
    std::error_code ec;
    fuzz::fs::remove(ptf, ec);
    fuzz::writeBytes(dmp, bytes);
    const int error = scanDump(dmp, ptf);
    std::string expected;
    if (bytes.size() < kMinimumDumpSize) {
        check(error == scan_error::TooShort);
    } else if (!expectedText(bytes, expected)) {
        check(error == scan_error::NoText);
    } else {
        check(error == scan_error::None);
        const std::string text = readAll(ptf);
        check(text == expected);
        std::vector<Section> sections;
        check(readSections(ptf, sections) == scan_error::None);
        for (const Section& s : sections) {
            check(!s.name.empty() && s.offset < text.size());
            check(text.compare(s.offset, 3, "-- ") == 0 && (s.offset == 0 || text[s.offset - 1] == '\n'));
            (void)sectionLine(s);
        }
        check(writeSectionFile(folder / "BW.txt", sections) == scan_error::None);
    }
    const std::string_view name(reinterpret_cast<const char*>(bytes.data()), std::min<size_t>(bytes.size(), 300));
    if (safeMemberName(name)) {
        check(!name.empty() && name[0] != '/' && name[0] != '\\');
        check(name.find("../") != 0 && name != "..");
    }
}

void exerciseDrive(fuzz::FuzzDrive& drive) {
    DumpReader reader(drive.device);
    Layout layout = Layout::Large;
    std::string why;
    if (!reader.checkSource(layout, why)) {
        check(!why.empty());
        return;
    }
    uint32_t size = 0;
    if (!reader.capacity(dumpBuffer(layout), size)) return;
    const auto plan = chunkPlan(size);
    uint64_t covered = 0;
    for (const Chunk& c : plan) {
        check(c.offset == covered && c.length > 0 && c.length <= kChunkSize);
        covered += c.length;
    }
    check(covered == size);
    // Read as the wizard does, chunk by chunk, up to the first failure (a short input
    // ends after a few chunks).
    std::vector<uint8_t> chunk;
    for (const Chunk& c : plan) {
        if (!reader.data(dumpBuffer(layout), c.offset, c.length, chunk)) break;
        check(chunk.size() == c.length);
    }
}

}  // namespace

VEXAL_FUZZ_DRIVE_TARGET(direct, exerciseDrive, false, true)
