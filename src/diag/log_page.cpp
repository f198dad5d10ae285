#include "diag/log_page.h"

#include <algorithm>
#include <array>

namespace vexal::diag {
namespace {

constexpr std::array<uint8_t, 10> kAcceptedPages{
    page::SupportedPages, page::WriteErrors, page::ReadErrors,   page::Temperature,    page::TapeAlert,
    page::MoveStatistics, page::Capacity,    page::Compression, page::DeviceWellness, page::DeviceStatus,
};

}  // namespace

ParameterFlags ParameterFlags::fromByte(uint8_t control) {
    ParameterFlags f;
    f.lp = control & 0x01;
    f.tmc = static_cast<uint8_t>((control >> 2) & 0x03);
    f.etc = control & 0x10;
    f.tsd = control & 0x20;
    f.ds = control & 0x40;
    f.du = control & 0x80;
    return f;
}

size_t pageEnd(std::span<const uint8_t> bytes) {
    if (bytes.size() < kPageHeaderLength) return 0;
    const size_t declared = kPageHeaderLength + ((size_t{bytes[2]} << 8) | bytes[3]);
    return std::min(declared, bytes.size());
}

std::vector<LogParameter> walkParameters(std::span<const uint8_t> bytes, size_t end, bool& truncated) {
    std::vector<LogParameter> parameters;
    end = std::min(end, bytes.size());
    size_t offset = kPageHeaderLength;
    while (offset < end) {
        if (end - offset < kParameterHeaderLength) {
            truncated = true;
            break;
        }
        LogParameter p;
        p.code = static_cast<uint16_t>((bytes[offset] << 8) | bytes[offset + 1]);
        p.control = bytes[offset + 2];
        p.length = bytes[offset + 3];
        p.offset = offset + kParameterHeaderLength;
        if (end - p.offset < p.length) {
            truncated = true;
            break;
        }
        parameters.push_back(p);
        offset = p.offset + p.length;
    }
    return parameters;
}

uint64_t bigEndian(std::span<const uint8_t> bytes) {
    uint64_t v = 0;
    for (uint8_t b : bytes) v = (v << 8) | b;
    return v;
}

bool LogPage::isAccepted(uint8_t pageCode) {
    return std::find(kAcceptedPages.begin(), kAcceptedPages.end(), pageCode) != kAcceptedPages.end();
}

PageError LogPage::Parse(uint8_t pageCode, std::span<const uint8_t> bytes) {
    *this = LogPage{};
    if (!isAccepted(pageCode)) return PageError::PageNotAccepted;
    if (bytes.size() < kPageHeaderLength) return PageError::HeaderTooShort;
    if (bytes[0] != pageCode) return PageError::PageCodeMismatch;

    pageCode_ = pageCode;
    pageLength_ = static_cast<uint16_t>((bytes[2] << 8) | bytes[3]);
    const size_t end = pageEnd(bytes);
    truncated_ = end < kPageHeaderLength + pageLength_;
    bytes_.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(end));
    // Page 0 is a plain list of page codes, one byte each, not parameters.
    if (pageCode != page::SupportedPages) parameters_ = walkParameters(bytes_, end, truncated_);
    loaded_ = true;
    return PageError::None;
}

size_t LogPage::parameterCount() const {
    if (!loaded_) return 0;
    return pageCode_ == page::SupportedPages ? bytes_.size() - kPageHeaderLength : parameters_.size();
}

const LogParameter* LogPage::find(uint16_t code) const {
    const auto it = std::find_if(parameters_.begin(), parameters_.end(),
                                 [code](const LogParameter& p) { return p.code == code; });
    return it == parameters_.end() ? nullptr : &*it;
}

std::span<const uint8_t> LogPage::value(const LogParameter& parameter) const {
    if (parameter.offset > bytes_.size() || bytes_.size() - parameter.offset < parameter.length) return {};
    return std::span<const uint8_t>(bytes_).subspan(parameter.offset, parameter.length);
}

std::vector<uint8_t> LogPage::supportedPages() const {
    if (!loaded_ || pageCode_ != page::SupportedPages) return {};
    return {bytes_.begin() + kPageHeaderLength, bytes_.end()};
}

FetchError LogPage::FetchSupportedPage(size_t index, uint8_t& code) const {
    if (!loaded_) return FetchError::NotLoaded;
    if (pageCode_ != page::SupportedPages || parameterCount() == 0) return FetchError::NoParameters;
    if (index >= parameterCount()) return FetchError::NoSuchParameter;
    code = bytes_[kPageHeaderLength + index];
    return FetchError::None;
}

FetchError LogPage::fetch(uint16_t code, size_t size, uint64_t& value) const {
    if (!loaded_) return FetchError::NotLoaded;
    if (parameters_.empty()) return FetchError::NoParameters;
    const LogParameter* p = find(code);
    if (!p) return FetchError::NoSuchParameter;
    const bool anySize = size == 0;
    if (anySize ? (p->length < 1 || p->length > 8) : p->length != size) return FetchError::WrongLength;
    value = bigEndian(this->value(*p));
    return FetchError::None;
}

FetchError LogPage::FetchByte(uint16_t code, uint8_t& value) const {
    uint64_t v = 0;
    const FetchError e = fetch(code, 1, v);
    if (e == FetchError::None) value = static_cast<uint8_t>(v);
    return e;
}

FetchError LogPage::FetchWord(uint16_t code, uint16_t& value) const {
    uint64_t v = 0;
    const FetchError e = fetch(code, 2, v);
    if (e == FetchError::None) value = static_cast<uint16_t>(v);
    return e;
}

FetchError LogPage::FetchLong(uint16_t code, uint32_t& value) const {
    uint64_t v = 0;
    const FetchError e = fetch(code, 4, v);
    if (e == FetchError::None) value = static_cast<uint32_t>(v);
    return e;
}

FetchError LogPage::FetchDouble(uint16_t code, double& value) const {
    uint64_t v = 0;
    const FetchError e = fetch(code, 8, v);
    if (e == FetchError::None) value = static_cast<double>(v);
    return e;
}

FetchError LogPage::FetchUnsigned(uint16_t code, uint64_t& value) const {
    return fetch(code, 0, value);
}

}  // namespace vexal::diag
