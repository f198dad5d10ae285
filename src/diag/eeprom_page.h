#pragma once
// The EEPROM parameter page: vendor mode page 3Eh, whose text lists the drive parameters a
// host may change. The page is read, kept in a temporary file below the install path,
// parsed into one record per parameter and searched by name.
#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "operator/operator.h"
#include "command/scsi_device.h"

namespace vexal::diag {

inline constexpr uint8_t kEepromPageCode = 0x3E;
// Every field holds at most 63 characters (64 with the terminating zero).
inline constexpr size_t kEepromFieldChars = 63;
// The first read asks for this much to learn the page's length.
inline constexpr uint16_t kEepromProbeLength = 1024;

struct EepromParameter {
    std::string name;          // compared exactly
    std::string type;          // "A" text, "b" binary (0 or 1), "d" decimal
    std::string current;
    std::string defaultValue;
    std::string minimum;
    std::string maximum;
};

// MODE SENSE(10) of page 3Eh, current values: 5A 00 3E 00 00 00 00 [length, 2] 00.
std::array<uint8_t, 10> eepromSenseCdb(uint16_t allocationLength);

// The parameter lines of a raw page (mode parameter header, block descriptors, page
// header, then the text). The two heading lines are skipped, as are lines without words and
// lines whose first word is "*". False when the page is too short for its headers.
bool parseEepromPage(std::span<const uint8_t> page, std::vector<EepromParameter>& out);

// The C library's atol: leading blanks, an optional sign, the digits that follow; text
// that is not a number is 0; values beyond the range of long are clamped.
long decimalValue(std::string_view text);

// The message SavePage shows for a file error (errno).
std::string eepromFileErrorText(int error, const std::string& path);

class EepromParameterList {
public:
    // `installPath` is the folder the temporary file goes to (normally platform::installPath()).
    EepromParameterList(command::CScsiDevice& device, ui::Operator& op, std::filesystem::path installPath);
    // Deletes the temporary file.
    ~EepromParameterList();
    EepromParameterList(const EepromParameterList&) = delete;
    EepromParameterList& operator=(const EepromParameterList&) = delete;

    // Reads mode page 3Eh into the raw buffer; a failure leaves the previous buffer as it was.
    bool ReadPage();
    // Writes the raw buffer to the temporary file; a file error is shown to the operator.
    bool SavePage();
    // Reads the temporary file back and builds the records; false when the file cannot be
    // read, its length is not the page's, or the page does not parse.
    bool ParsePage();
    // The current value of the first record of this name as a decimal number.
    bool FindValue(std::string_view name, long& value) const;
    // Deletes the temporary file.
    void Discard();

    // ReadPage, SavePage and ParsePage, stopping at the first that fails.
    bool Load() { return ReadPage() && SavePage() && ParsePage(); }

    const std::vector<uint8_t>& rawPage() const { return raw_; }
    const std::vector<EepromParameter>& parameters() const { return records_; }
    const EepromParameter* find(std::string_view name) const;
    // installPath + "tempEE_" + the device's product identification without trailing
    // blanks + ".txt".
    const std::filesystem::path& tempFile() const { return tempFile_; }

private:
    command::CScsiDevice& device_;
    ui::Operator& op_;
    std::filesystem::path tempFile_;
    std::vector<uint8_t> raw_;
    std::vector<EepromParameter> records_;
};

}  // namespace vexal::diag
