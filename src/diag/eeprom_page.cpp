#include "diag/eeprom_page.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <fstream>
#include <iterator>

#include "platform/file_errors.h"

namespace vexal::diag {
namespace {

constexpr size_t kModeHeader10 = 8;  // the MODE SENSE(10) parameter header
constexpr size_t kPageHeader = 2;    // page code and page length
constexpr int kHeadingLines = 2;

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    size_t at = 0;
    while (at < line.size()) {
        const size_t start = line.find_first_not_of(" \t\r", at);
        if (start == std::string_view::npos) break;
        const size_t end = std::min(line.find_first_of(" \t\r", start), line.size());
        out.push_back(line.substr(start, end - start));
        at = end;
    }
    return out;
}

std::string field(const std::vector<std::string_view>& w, size_t i) {
    if (i >= w.size()) return {};
    return std::string(w[i].substr(0, kEepromFieldChars));
}

// The product identification as a file-name part: no trailing blanks, no '/'.
std::string displayName(const command::CScsiDevice& device) {
    std::string name = device.productTrimmed();
    for (char& c : name)
        if (c == '/' || c == '\0') c = '_';
    return name;
}

}  // namespace

std::array<uint8_t, 10> eepromSenseCdb(uint16_t allocationLength) {
    return {0x5A, 0x00, kEepromPageCode, 0x00, 0x00, 0x00, 0x00,
            static_cast<uint8_t>(allocationLength >> 8), static_cast<uint8_t>(allocationLength), 0x00};
}

bool parseEepromPage(std::span<const uint8_t> page, std::vector<EepromParameter>& out) {
    out.clear();
    // The text starts after the binary headers. They are skipped by their lengths, not by
    // looking for line ends: a length byte of 0Ah would otherwise end a "line" early and
    // turn the column heading into a parameter.
    if (page.size() < kModeHeader10) return false;
    const size_t blockDescriptors = (size_t{page[6]} << 8) | page[7];
    const size_t textStart = kModeHeader10 + blockDescriptors + kPageHeader;
    if (textStart > page.size()) return false;
    std::string_view text(reinterpret_cast<const char*>(page.data()) + textStart, page.size() - textStart);
    int lineNumber = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (++lineNumber <= kHeadingLines) continue;
        // The text is a C string: what follows a zero byte on a line is padding.
        line = line.substr(0, line.find('\0'));
        const auto w = words(line);
        if (w.empty() || w[0] == "*") continue;
        EepromParameter p;
        p.name = field(w, 0);
        size_t next = 1;
        if (next < w.size() && (w[next] == "b" || w[next] == "A")) p.type = field(w, next++);
        else p.type = "d";
        p.current = field(w, next++);
        p.defaultValue = field(w, next++);
        p.minimum = field(w, next++);
        p.maximum = field(w, next++);
        out.push_back(std::move(p));
    }
    return true;
}

long decimalValue(std::string_view text) {
    size_t i = text.find_first_not_of(" \t\r\n\f\v");
    if (i == std::string_view::npos) return 0;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (!negative && value > (LONG_MAX - digit) / 10) return LONG_MAX;
        if (negative && value < (LONG_MIN + digit) / 10) return LONG_MIN;
        value = value * 10 + (negative ? -digit : digit);
    }
    return value;
}

std::string eepromFileErrorText(int error, const std::string& path) {
    return platform::fileErrorText(platform::causeFromErrno(error), path);
}

EepromParameterList::EepromParameterList(command::CScsiDevice& device, ui::Operator& op,
                                         std::filesystem::path installPath)
    : device_(device), op_(op), tempFile_(std::move(installPath) / ("tempEE_" + displayName(device) + ".txt")) {}

EepromParameterList::~EepromParameterList() { Discard(); }

bool EepromParameterList::ReadPage() {
    std::vector<uint8_t> probe(kEepromProbeLength, 0);
    auto cdb = eepromSenseCdb(kEepromProbeLength);
    if (device_.ExecuteCdb(cdb.data(), static_cast<int>(cdb.size()), probe.data(), kEepromProbeLength, false) != 0 ||
        device_.transferred() < 2)
        return false;
    const uint32_t length = ((uint32_t{probe[0]} << 8) | probe[1]) + 2;
    // The allocation length has 16 bits: a longer page cannot be read whole.
    if (length > 0xFFFF) return false;
    std::vector<uint8_t> page(length, 0);
    cdb = eepromSenseCdb(static_cast<uint16_t>(length));
    if (device_.ExecuteCdb(cdb.data(), static_cast<int>(cdb.size()), page.data(), length, false) != 0) return false;
    page.resize(device_.transferred());  // what the drive sent is the page
    raw_ = std::move(page);
    return true;
}

bool EepromParameterList::SavePage() {
    const std::string path = tempFile_.string();
    int error = 0;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = errno;
    } else {
        size_t done = 0;
        while (done < raw_.size()) {
            const ssize_t n = ::write(fd, raw_.data() + done, raw_.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                error = n < 0 ? errno : EIO;
                break;
            }
            done += static_cast<size_t>(n);
        }
        if (::close(fd) != 0 && error == 0) error = errno;
    }
    if (error == 0) return true;
    op_.message(eepromFileErrorText(error, path), "Vexal", ui::Icon::Exclamation);
    return false;
}

bool EepromParameterList::ParsePage() {
    records_.clear();
    std::ifstream in(tempFile_, std::ios::binary);
    if (!in) return false;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return false;
    // A file that is not the page just read (changed or cut on disk) is not trusted.
    if (bytes.size() != raw_.size()) return false;
    std::vector<EepromParameter> parsed;
    if (!parseEepromPage(bytes, parsed)) return false;
    records_ = std::move(parsed);
    return true;
}

const EepromParameter* EepromParameterList::find(std::string_view name) const {
    for (const EepromParameter& p : records_)
        if (p.name == name) return &p;
    return nullptr;
}

bool EepromParameterList::FindValue(std::string_view name, long& value) const {
    const EepromParameter* p = find(name);
    if (!p) return false;
    value = decimalValue(p->current);
    return true;
}

void EepromParameterList::Discard() {
    std::error_code ec;
    std::filesystem::remove(tempFile_, ec);
}

}  // namespace vexal::diag
