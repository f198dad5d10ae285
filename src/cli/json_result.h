#pragma once
// The one JSON document a vexal-cli run prints on stdout under --json. Every command fills
// the run's document; main prints it once, whatever way the command ended.
//
// The document is an object with the common members
//   "command"  the command's name            "exit"    the exit status
//   "device"   {index, address ("H:T:L"), hba, target, lun, vendor, product, revision,
//              serial[, node]} or null
//   "status"   the status name of the command that ended the run, or null
//   "result"   that command's result number, or null
//   "sense_key", "asc", "ascq", "filemark", "eom", "ili", "sense_key_name": present when
//              that command ended with sense data (request-sense: the sense it read)
//   "lines"    the lines the view draws, as the terminal would print them
//   "fields"   the "Label: value" lines of "lines" by label (see fieldsOfLines)
// and the command's own members. A command whose result is a list (scan, mam, eeprom)
// prints that list instead, as an array.
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "command/last_sense.h"
#include "command/scsi_result.h"
#include "device/bus_scan.h"

namespace vexal::cli {

class JsonResult {
public:
    // The run's document.
    static JsonResult& run();

    void begin(std::string command, bool enabled);
    bool enabled() const { return enabled_; }

    // The command's own members.
    nlohmann::json& operator[](const char* member) { return own_[member]; }
    void setDevice(const device::DeviceEntry& entry);
    void addLine(std::string line) { lines_.push_back(std::move(line)); }
    void addLines(std::string_view text);
    // The command that ended the run: its status name, result and sense (none when the
    // sense key is LastSense::kNone).
    void setOutcome(std::string status, std::optional<command::ScsiResult> result, const command::LastSense& sense);
    // The whole document is this list (commands whose result is a list).
    void setList(nlohmann::json list);

    // The document as printed with exit status `exitCode`.
    nlohmann::json document(int exitCode) const;
    // Prints the document once; later calls print nothing.
    void print(std::ostream& out, int exitCode);

private:
    bool enabled_ = false;
    bool printed_ = false;
    std::string command_;
    nlohmann::json device_;
    nlohmann::json status_;
    nlohmann::json result_;
    command::LastSense sense_;
    std::vector<std::string> lines_;
    nlohmann::json own_ = nlohmann::json::object();
    std::optional<nlohmann::json> list_;
};

// `text` cut into lines (CR LF or LF), without the line ends.
std::vector<std::string> splitLines(std::string_view text);

// The "Label: value" lines as an object: the label trimmed; a value that is a whole number
// in decimal, "N (0x..)", "N, (0x..)" or "0x.." becomes that number, anything else stays
// text. The sense lines after a status line are left out (the sense members hold them);
// where a label repeats (the frames of a test) the last value holds.
nlohmann::json fieldsOfLines(const std::vector<std::string>& lines);

}  // namespace vexal::cli
