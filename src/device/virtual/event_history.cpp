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

std::vector<std::string> everyKindEventHistory() {
    return {
        "Packet # 1 - SENSE: 031100 [READERR 01-02-2024] 010:15:00.000 POH/PC= 10/1",
        "POH/PC/MID/SK/ASC/ASCQ/ADDERR= 10/1/1/3/11/00/0",
        "00000003 00000011 00000000 0000002A",
        "Packet # 2 - SCSI: 052400 [BADCDB 01-03-2024] 020:30:00.000 POH/PC= 20/2",
        "00000005 00000024 00000000 00000000",
        "Packet # 3 - CUP: 0001 [FWUPDATE 01-04-2024] 030:00:00.000 POH/PC= 30/3",
        "Packet # 4 - CODEUPDATE: 0002 [FWIMAGE 01-04-2024] 030:05:00.000 POH/PC= 30/3",
        "Packet # 5 - BUGCHECK: 1234 [ASSERT 01-05-2024] 040:00:00.000 POH/PC= 40/4",
        "00001234 DEADBEEF 00000007 000000FF",
        "12345678 9ABCDEF0",
        "Packet # 6 - DIAG ILOG: 0010 [ILOG 01-06-2024] 050:00:00.000 POH/PC= 50/5",
        "Packet # 7 - DIAG 4 CH WRITE: 0011 [WRCHAN 01-06-2024] 050:10:00.000 POH/PC= 50/5",
        "Packet # 8 - DIAG 4 CH READ: 0012 [RDCHAN 01-06-2024] 050:20:00.000 POH/PC= 50/5",
        "Packet # 9 - DIAG TEST: 0013 [SELFTEST 01-06-2024] 050:30:00.000 POH/PC= 50/5",
        "Packet # 10 - PO/ST: 0000 [POWERON 01-07-2024] 060:00:00.000 POH/PC= 60/6",
        "Packet # 11 - LOADER ERROR: 0020 [LOADER 01-08-2024] 070:00:00.000 POH/PC= 70/7",
        "Packet # 12 - DRIVE ERROR: 0021 [DRIVE 01-08-2024] 070:10:00.000 POH/PC= 70/7",
        "Packet # 13 - DIR RD ERROR: 0022 [DIRRD 01-08-2024] 070:20:00.000 POH/PC= 70/7",
        "Packet # 14 - DIR WR ERROR: 0023 [DIRWR 01-08-2024] 070:30:00.000 POH/PC= 70/7",
        "Packet # 15 - CAL ERROR: 0024 [CALIB 01-08-2024] 070:40:00.000 POH/PC= 70/7",
        "Packet # 16 - OVERTEMP: 0050 [HOT 01-09-2024] 080:00:00.000 POH/PC= 80/8",
        "TIMEPOH= 80:00:00",
        "Packet # 17 - EVENT: 0021 [CARTLOAD 01-10-2024] 090:00:00.000 POH/PC= 90/9",
        "00000021 00000001 0000000C 00000003",
        "Packet # 18 - EVENT: 0030 [CLEANREQ 01-11-2024] 095:30:00.000 POH/PC= 95/10",
        "POH: 95 PCYC: 10",
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
