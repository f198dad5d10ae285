#include "fadump/dump_viewer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>
#include <fmt/printf.h>

#include <array>
#include <cerrno>

#include "fadump/atomic_file.h"
#include "fadump/dump_files.h"
#include "platform/ini_file.h"

namespace vexal::fadump {
namespace {

constexpr size_t kReadBlock = 64 * 1024;
constexpr size_t kMaxSectionLine = 4096;  // a heading longer than this is cut for its name
// More headings than any dump has: the text is not a dump's, and the list would only eat
// memory.
constexpr size_t kMaxSections = 100000;

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Reads up to `length` bytes; -1 on an error.
ssize_t readSome(int fd, uint8_t* data, size_t length) {
    for (;;) {
        const ssize_t n = ::read(fd, data, length);
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

std::string_view trimBlanks(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// The name of a heading line that begins with "-- ": the text after the first word up to
// the next "--".
std::string sectionName(std::string_view line) {
    std::string_view rest = line.substr(line.find(' '));
    const auto end = rest.find("--");
    if (end != std::string_view::npos) rest = rest.substr(0, end);
    return std::string(trimBlanks(rest));
}

}  // namespace

std::string viewerTitle(std::string_view fileName) { return fmt::sprintf("FA Dump: %s", std::string(fileName)); }

std::string scanErrorText(int error) { return fmt::sprintf("Scan detected an error. EC# %d", error); }

std::string sectionLine(const Section& s) {
    return fmt::sprintf("%s , %d , %08X", s.name, static_cast<long long>(s.offset), static_cast<unsigned long long>(s.offset));
}

int scanDump(const std::filesystem::path& dmp, const std::filesystem::path& ptf) {
    const Descriptor fd(::open(dmp.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return scan_error::CannotOpen;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return scan_error::CannotOpen;
    if (static_cast<uint64_t>(st.st_size) < kMinimumDumpSize) return scan_error::TooShort;

    AtomicFile out(ptf);
    std::string text;  // collected text not yet written
    size_t matched = 0;  // bytes of "-- c" matched so far
    bool found = false, ended = false;
    std::vector<uint8_t> block(kReadBlock);
    while (!ended) {
        const ssize_t n = readSome(fd.get(), block.data(), block.size());
        if (n < 0) return scan_error::CannotOpen;
        if (n == 0) break;
        for (ssize_t i = 0; i < n && !ended; ++i) {
            const uint8_t b = block[static_cast<size_t>(i)];
            if (!found) {
                // A mismatch keeps what still matches: "---" is still "--", a '-' starts anew.
                if (b == static_cast<uint8_t>(kTextStart[matched])) ++matched;
                else if (b == '-' && matched == 2) matched = 2;  // "---": still two dashes
                else matched = b == '-' ? 1 : 0;
                if (matched == kTextStart.size()) {
                    found = true;
                    text = kTextStart;
                }
                continue;
            }
            if (b == 0 || b > 126) {
                ended = true;
                break;
            }
            text += b == '\t' ? ' ' : static_cast<char>(b);
        }
        if (found && text.size() >= kReadBlock) {
            if (!out.write(text.data(), text.size())) return scan_error::NoText;
            text.clear();
        }
    }
    if (!found) return scan_error::NoText;
    if (!out.write(text.data(), text.size()) || !out.commit()) return scan_error::NoText;
    return scan_error::None;
}

int readSections(const std::filesystem::path& ptf, std::vector<Section>& sections) {
    sections.clear();
    const Descriptor fd(::open(ptf.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return scan_error::SectionsUnreadable;
    std::string line;      // the start of the current line, up to kMaxSectionLine bytes
    uint64_t offset = 0;   // of the next byte
    uint64_t lineStart = 0;
    auto finish = [&] {
        if (line.rfind("-- ", 0) == 0) {
            std::string name = sectionName(line);
            if (!name.empty() && sections.size() <= kMaxSections) sections.push_back({std::move(name), lineStart});
        }
        line.clear();
    };
    std::vector<uint8_t> block(kReadBlock);
    for (;;) {
        const ssize_t n = readSome(fd.get(), block.data(), block.size());
        if (n < 0) return scan_error::SectionsUnreadable;
        if (n == 0) break;
        for (ssize_t i = 0; i < n; ++i, ++offset) {
            const char c = static_cast<char>(block[static_cast<size_t>(i)]);
            if (c == '\n') {
                finish();
                lineStart = offset + 1;
            } else if (line.size() < kMaxSectionLine) {
                line += c;
            }
        }
    }
    if (offset > lineStart) finish();
    if (sections.size() > kMaxSections) {
        sections.clear();
        return scan_error::SectionsUnreadable;
    }
    return scan_error::None;
}

int writeSectionFile(const std::filesystem::path& file, const std::vector<Section>& sections) {
    std::string text;
    for (const auto& s : sections) text += sectionLine(s) + "\n";
    return platform::writeFileAtomically(file, text) ? scan_error::None : scan_error::SectionFileFailed;
}

ViewerResult OpenDumpFile(ui::Operator& op, const std::filesystem::path& dmz, const ExtractLimits& limits) {
    ViewerResult r;
    r.dmp = withExtension(dmz, kRawExtension);
    r.ptf = withExtension(dmz, kTextExtension);
    // A chosen file that already has one of those extensions must not be overwritten.
    if (r.dmp == dmz || r.ptf == dmz) {
        r.dmp = dmz.string() + std::string(kRawExtension);
        r.ptf = dmz.string() + std::string(kTextExtension);
    }
    r.sectionFile = dmz.parent_path() / kSectionFileName;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(dmz, ec)) {
        r.refusal = "The file " + dmz.string() + " does not exist.";
    } else {
        const ExtractResult x = extractFirstMember(dmz, r.dmp, limits);
        if (x.error != ExtractError::None) r.refusal = extractErrorText(x, dmz, limits);
    }
    if (!r.refusal.empty()) {
        op.message(r.refusal, kViewerCaption, ui::Icon::Stop);
        return r;
    }
    r.expanded = true;
    r.title = viewerTitle(dmz.filename().string());

    r.scanError = scanDump(r.dmp, r.ptf);
    if (r.scanError == scan_error::None) r.scanError = readSections(r.ptf, r.sections);
    if (r.scanError == scan_error::None) r.scanError = writeSectionFile(r.sectionFile, r.sections);
    if (r.scanError != scan_error::None) {
        op.message(scanErrorText(r.scanError), kScanErrorCaption, ui::Icon::Stop);
        return r;
    }
    r.controlsEnabled = true;
    return r;
}

bool ChooseDumpToView(ui::Operator& op, const std::filesystem::path& startFolder, std::filesystem::path& chosen) {
    std::string file = startFolder.string();
    if (!op.chooseFile(ui::FileDialog::Open, kSelectDumpCaption, kViewerFilter, file) || file.empty()) return false;
    chosen = file;
    return true;
}

bool ConfirmViewerExit(ui::Operator& op, bool reportSaved) {
    if (reportSaved) return true;
    return op.message(kExitQuestion, kExitCaption, ui::Icon::Question, ui::Buttons::YesNo, ui::Button::No) ==
           ui::Button::Yes;
}

}  // namespace vexal::fadump
