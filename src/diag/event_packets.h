#pragma once
// The packets of the drive's event history (log page 7 as text lines): a packet is the
// lines from one that contains "Packet #" up to the next such line. Every read is bounded
// by the text; numbers that overflow saturate.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexal::diag {

// Kinds found in a packet's first line, in the order they are searched for.
inline constexpr int kPacketKindCount = 18;  // 17: none of the words
int packetKindOfLine(std::string_view firstLine);
// The word searched for kind `kind` ("SENSE" ... "EVENT"), "UNKNOWN" for 17.
std::string_view packetKindWord(int kind);

struct PacketRecord {
    size_t firstLine = 0;  // index in the page's lines
    size_t lineCount = 0;
    int kind = 17;
    uint32_t number = 0;
    uint32_t poh = 0, pc = 0;
    uint8_t senseKey = 0, asc = 0, ascq = 0;
};

bool isPacketHeader(std::string_view line);  // begins with "Packet #"
size_t countPacketHeaders(std::span<const std::string> lines);

std::vector<PacketRecord> analysePackets(std::span<const std::string> lines);

// A header line: Packet # number - KIND: code [name MM-DD-YYYY] hhh:mm:ss.sss POH/PC= poh/pc
struct PacketHeader {
    uint32_t number = 0;
    std::string kind;  // upper-cased, colons removed, a leading '-' skipped
    uint32_t code = 0; // the word after the kind, hexadecimal
    std::string name;
    int month = 0, day = 0, year = 0;
    int hours = 0, minutes = 0;
    double seconds = 0;
    uint32_t poh = 0, pc = 0;
    // The header's clock in hours.
    double timeHours() const { return hours + minutes / 60.0 + seconds / 3600.0; }
};
// False when the line is no packet header or has no kind word; missing later parts stay 0.
bool parsePacketHeader(std::string_view line, PacketHeader& out);

enum class DataWordError { None, NoData, NextPacket, EndOfPage, NotHex };
// Data word `index` (0-based) of a packet given the lines after its header: the words of
// the lines whose first word is exactly 8 hexadecimal digits, in order, up to the next line
// that contains "Packet".
DataWordError packetDataWord(std::span<const std::string> after, size_t index, uint32_t& value);

}  // namespace vexal::diag
