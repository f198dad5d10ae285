#include "device/virtual/event_history.h"

#include <fstream>
#include <iterator>

namespace vexal::device::virt {
namespace {

constexpr size_t kParameterRoom = 255;

bool startsPacket(const std::string& line) { return line.rfind("Packet #", 0) == 0; }

}  // namespace

std::vector<std::string> defaultEventHistory() {
    return {
        "Packet # 1 - EVENT: 0021 [CARTLOAD 05-17-2024] 012:07:15.250 POH/PC= 12/3",
        "00000021 00000001 0000000C 00000003",
        "Packet # 2 - SENSE: 031100 [READERR 05-18-2024] 040:33:02.125 POH/PC= 40/4",
        "POH/PC/MID/SK/ASC/ASCQ/ADDERR= 40/4/1/3/11/00/0",
        "00000003 00000011 00000000 0000002A",
        "Packet # 3 - EVENT: 0030 [CLEANREQ 05-20-2024] 061:45:40.500 POH/PC= 61/5",
        "00000030 00000000 0000003D 00000005",
    };
}

bool loadEventHistory(const std::filesystem::path& path, std::vector<std::string>& lines, std::string& error) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) {
        error = "cannot be read (" + ec.message() + ")";
        return false;
    }
    if (size > kEventFileSize) {
        error = "is larger than " + std::to_string(kEventFileSize) + " bytes";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    if (!in && !in.eof()) {
        error = "cannot be read";
        return false;
    }
    std::vector<std::string> out;
    size_t at = 0;
    int number = 0;
    while (at < text.size()) {
        ++number;
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == ';' || line[first] == '#') continue;
        for (char c : line) {
            if ((c < 0x20 || c > 0x7E) && c != '\t') {
                error = "has a character that is not printable ASCII on line " + std::to_string(number);
                return false;
            }
        }
        if (line.size() > kEventLineLength) {
            error = "has a line longer than " + std::to_string(kEventLineLength) + " characters (line " +
                    std::to_string(number) + ")";
            return false;
        }
        out.push_back(std::move(line));
    }
    lines = std::move(out);
    return true;
}

std::vector<LogParameter> eventParameters(const std::vector<std::string>& lines) {
    std::vector<LogParameter> params;
    bool open = false;
    for (const std::string& line : lines) {
        const size_t need = line.size() + 2;
        if (!open || startsPacket(line) || params.back().value.size() + need > kParameterRoom) {
            LogParameter p;
            p.code = static_cast<uint16_t>(params.size());
            p.control = log_control::AsciiList;
            params.push_back(std::move(p));
            open = true;
        }
        auto& value = params.back().value;
        value.insert(value.end(), line.begin(), line.end());
        value.push_back('\r');
        value.push_back('\n');
    }
    return params;
}

}  // namespace vexal::device::virt
