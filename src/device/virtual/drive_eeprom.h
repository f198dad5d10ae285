#pragma once
// The drive's host-settable EEPROM parameters and vendor mode page 3Eh, which lists them
// as text: a title line, a column heading, then one line per parameter ("name [type]
// current default minimum maximum"; the type letter is left out for decimal parameters).
// MODE SELECT of the page with the text "name value" changes one parameter. The values are
// kept in installPath()/Virtual/<serial>.veeprom.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "device/virtual/sense_builder.h"

namespace vexal::device::virt {

struct EepromSetting {
    std::string_view name;
    char type;  // 'd' decimal, 'b' binary, 'A' text
    std::string current;
    std::string_view defaultValue;
    long minimum;  // decimal parameters; text parameters: the longest text
    long maximum;
};

class DriveEeprom {
public:
    static constexpr uint8_t kPageCode = 0x3E;
    static constexpr std::string_view kLoadCountThreshold = "KorvLoadCountThresh";

    DriveEeprom();

    // The page (code, length, text and its terminating zero), with the defaults in the
    // current column when `defaults` is set.
    std::vector<uint8_t> page(bool defaults) const;
    // MODE SELECT's page at `offset` of the parameter list: its text names a parameter and
    // its new value. False with the sense pointing into the list.
    bool select(const uint8_t* page, size_t length, size_t offset, Sense& error);

    // Hundreds of loads before the load-count Tape Alert.
    long loadCountThreshold() const;

    bool load(const std::filesystem::path& path, std::string& error);
    bool save(const std::filesystem::path& path, std::string& error) const;
    bool changed() const { return changed_; }
    void markSaved() { changed_ = false; }

    const std::vector<EepromSetting>& settings() const { return settings_; }

private:
    EepromSetting* find(std::string_view name);
    static bool valid(const EepromSetting& s, std::string_view value);

    std::vector<EepromSetting> settings_;
    bool changed_ = false;
};

// installPath()/Virtual/<serial>.veeprom
std::filesystem::path driveEepromPath(const std::string& serial);

}  // namespace vexal::device::virt
