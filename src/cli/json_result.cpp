#include "cli/json_result.h"

#include <cctype>
#include <charconv>

#include <fmt/format.h>

#include "command/sense_decoder.h"

namespace vexal::cli {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

std::string trimmedText(std::string_view s) { return std::string(trim(s)); }

// The whole of `text` as a number in base `base`; nothing when any character is left over.
std::optional<long long> wholeNumber(std::string_view text, int base) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (error != std::errc() || stop != end || text.empty()) return std::nullopt;
    return value;
}

bool startsWithHexPrefix(std::string_view s) { return s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'); }

// "12", "0x1F", "12 (0x0C)" and "12, (0x0C)" as numbers; anything else as text.
nlohmann::json fieldValue(std::string_view text) {
    const std::string_view v = trim(text);
    if (startsWithHexPrefix(v)) {
        if (const auto n = wholeNumber(v.substr(2), 16)) return *n;
        return std::string(v);
    }
    std::string_view number = v;
    if (const auto open = v.find('('); open != std::string_view::npos && v.back() == ')') {
        std::string_view head = trim(v.substr(0, open));
        if (!head.empty() && head.back() == ',') head.remove_suffix(1);
        const std::string_view inner = v.substr(open + 1, v.size() - open - 2);
        if (!startsWithHexPrefix(inner) || !wholeNumber(inner.substr(2), 16)) return std::string(v);
        number = head;
    }
    if (const auto n = wholeNumber(number, 10)) return *n;
    return std::string(v);
}

}  // namespace

JsonResult& JsonResult::run() {
    static JsonResult result;
    return result;
}

void JsonResult::begin(std::string command, bool enabled) {
    *this = JsonResult{};
    command_ = std::move(command);
    enabled_ = enabled;
}

void JsonResult::setDevice(const device::DeviceEntry& d) {
    device_ = {{"index", d.index},
               {"address", fmt::format("{}:{}:{}", d.address.hostAdapter, d.address.target, d.address.lun)},
               {"hba", d.address.hostAdapter},
               {"target", d.address.target},
               {"lun", d.address.lun},
               {"vendor", trimmedText(d.vendor)},
               {"product", trimmedText(d.product)},
               {"revision", trimmedText(d.revision)},
               {"serial", trimmedText(d.serialNumber)}};
    if (!d.node.empty()) device_["node"] = d.node;
}

void JsonResult::addLines(std::string_view text) {
    for (std::string& line : splitLines(text)) lines_.push_back(std::move(line));
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

void JsonResult::setOutcome(std::string status, std::optional<command::ScsiResult> result, const command::LastSense& sense) {
    status_ = status.empty() ? nlohmann::json() : nlohmann::json(std::move(status));
    result_ = result ? nlohmann::json(*result) : nlohmann::json();
    sense_ = sense;
}

void JsonResult::setList(nlohmann::json list) { list_ = std::move(list); }

nlohmann::json JsonResult::document(int exitCode) const {
    if (list_) return *list_;
    nlohmann::json out{{"command", command_}, {"exit", exitCode}, {"device", device_},
                       {"status", status_},   {"result", result_}};
    if (sense_.senseKey != command::LastSense::kNone) {
        out["sense_key"] = sense_.senseKey;
        out["sense_key_name"] = std::string(command::senseKeyWord(sense_.senseKey));
        out["asc"] = sense_.asc;
        out["ascq"] = sense_.ascq;
        out["filemark"] = sense_.fm == 1;
        out["eom"] = sense_.eom == 1;
        out["ili"] = sense_.ili == 1;
    }
    out["lines"] = lines_;
    out["fields"] = fieldsOfLines(lines_);
    // The command's own members are added, never replace the common ones.
    for (const auto& [name, value] : own_.items())
        if (!out.contains(name)) out[name] = value;
    return out;
}

void JsonResult::print(std::ostream& out, int exitCode) {
    if (!enabled_ || printed_) return;
    printed_ = true;
    out << document(exitCode).dump(2) << "\n";
    out.flush();
}

nlohmann::json fieldsOfLines(const std::vector<std::string>& lines) {
    nlohmann::json fields = nlohmann::json::object();
    bool afterStatus = false;
    for (const std::string& line : lines) {
        const std::string_view text = trim(line);
        if (text.starts_with("[Vexal_CmdStatus")) afterStatus = true;
        if (text.starts_with("[Vexal_Command_")) afterStatus = false;
        if (afterStatus || text.empty() || !std::isalpha(static_cast<unsigned char>(text.front()))) continue;
        const size_t colon = text.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view label = trim(text.substr(0, colon));
        if (label.empty()) continue;
        fields[std::string(label)] = fieldValue(text.substr(colon + 1));
    }
    return fields;
}

}  // namespace vexal::cli
