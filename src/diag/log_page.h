#pragma once
// A LOG SENSE page split into its parameters. Every read is bounds-checked against the
// bytes the device returned: a page whose length field claims more than arrived, or a
// parameter that runs past the end of the page, never reads outside the buffer.
//
// Layout (all numbers big-endian): byte 0 page code, byte 1 reserved, bytes 2-3 page
// length (bytes after the 4-byte header), then parameters: 2 bytes parameter code, 1 byte
// control flags, 1 byte value length n, n bytes value.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vexal::diag {

namespace page {
inline constexpr uint8_t SupportedPages = 0x00;
inline constexpr uint8_t WriteErrors = 0x02;
inline constexpr uint8_t ReadErrors = 0x03;
inline constexpr uint8_t LastErrorEvents = 0x07;
inline constexpr uint8_t Temperature = 0x0D;
inline constexpr uint8_t TapeAlert = 0x2E;
inline constexpr uint8_t MoveStatistics = 0x30;
inline constexpr uint8_t Capacity = 0x31;
inline constexpr uint8_t Compression = 0x32;
inline constexpr uint8_t DeviceWellness = 0x33;
inline constexpr uint8_t DeviceStatus = 0x3E;
}  // namespace page

inline constexpr size_t kPageHeaderLength = 4;
inline constexpr size_t kParameterHeaderLength = 4;

// Why a page was refused.
enum class PageError {
    None,
    HeaderTooShort,    // fewer than 4 bytes
    PageNotAccepted,   // the page code is not one the parser knows
    PageCodeMismatch,  // byte 0 (compared as the whole byte) is not the page asked for
};

// Why a parameter could not be fetched.
enum class FetchError {
    None,
    NotLoaded,        // no page was parsed
    NoParameters,     // the page has no parameters
    NoSuchParameter,  // no parameter has the code
    WrongLength,      // the value is not the size asked for
};

// The control byte of a parameter.
struct ParameterFlags {
    bool lp = false;   // bit 0: list parameter
    uint8_t tmc = 0;   // bits 2-3: threshold met criteria
    bool etc = false;  // bit 4: enable threshold comparison
    bool tsd = false;  // bit 5: target save disable
    bool ds = false;   // bit 6: disable save
    bool du = false;   // bit 7: disable update

    static ParameterFlags fromByte(uint8_t control);
};

// One parameter; its value is `length` bytes at `offset` of the page's bytes.
struct LogParameter {
    uint16_t code = 0;
    uint8_t control = 0;
    uint8_t length = 0;
    size_t offset = 0;  // of the value, from the start of the page

    ParameterFlags flags() const { return ParameterFlags::fromByte(control); }
};

// The parameters of a page body, walked from offset 4 up to `end` (the end of the page,
// already limited to the bytes there are). A parameter whose header or value does not fit
// ends the walk and sets `truncated`; the parameters before it are kept.
std::vector<LogParameter> walkParameters(std::span<const uint8_t> bytes, size_t end, bool& truncated);

// The end of the page: the 4-byte header plus the page length, limited to the bytes there
// are (0 when the header itself is incomplete).
size_t pageEnd(std::span<const uint8_t> bytes);

// Big-endian unsigned value of 1 to 8 bytes (0 for an empty span; only the last 8 bytes
// count for a longer one).
uint64_t bigEndian(std::span<const uint8_t> bytes);

class LogPage {
public:
    // The page codes the parser accepts.
    static bool isAccepted(uint8_t pageCode);

    // Parses `bytes` as page `pageCode`: byte 0 must equal it and it must be an accepted
    // code. On failure the page is left empty (not loaded).
    PageError Parse(uint8_t pageCode, std::span<const uint8_t> bytes);

    bool loaded() const { return loaded_; }
    uint8_t pageCode() const { return pageCode_; }
    // The length field of the header, as the device declared it.
    uint16_t pageLength() const { return pageLength_; }
    // Set when the page claimed more bytes than arrived or a parameter ran past its end.
    bool truncated() const { return truncated_; }
    // The page as kept: the header and the body up to the end of the page.
    std::span<const uint8_t> bytes() const { return bytes_; }

    // The number of parameters; for page 0 the number of supported page codes.
    size_t parameterCount() const;
    const std::vector<LogParameter>& parameters() const { return parameters_; }
    // The first parameter with the code; null when there is none.
    const LogParameter* find(uint16_t code) const;
    std::span<const uint8_t> value(const LogParameter& parameter) const;

    // Page 0: the supported page codes, in the order listed.
    std::vector<uint8_t> supportedPages() const;
    FetchError FetchSupportedPage(size_t index, uint8_t& code) const;

    // A parameter's value as a 1-, 2-, 4- or 8-byte big-endian number. Each fails unless
    // the parameter's length is exactly that size. The 8-byte value is the floating-point
    // number equal to its unsigned value.
    FetchError FetchByte(uint16_t code, uint8_t& value) const;
    FetchError FetchWord(uint16_t code, uint16_t& value) const;
    FetchError FetchLong(uint16_t code, uint32_t& value) const;
    FetchError FetchDouble(uint16_t code, double& value) const;
    // Any length from 1 to 8 bytes, as an unsigned number.
    FetchError FetchUnsigned(uint16_t code, uint64_t& value) const;

private:
    FetchError fetch(uint16_t code, size_t size, uint64_t& value) const;

    bool loaded_ = false;
    bool truncated_ = false;
    uint8_t pageCode_ = 0;
    uint16_t pageLength_ = 0;
    std::vector<uint8_t> bytes_;
    std::vector<LogParameter> parameters_;
};

}  // namespace vexal::diag
