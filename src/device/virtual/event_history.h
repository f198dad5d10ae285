#pragma once
// The event history of log page 07h (last n error events): text lines grouped in packets,
// each packet starting with a line "Packet # ...". A profile can give its own history in
// a text file (key event_history); without one the drive reports a few built-in events.
#include <filesystem>
#include <string>
#include <vector>

#include "device/virtual/log_parameter.h"

namespace vexal::device::virt {

inline constexpr size_t kEventLineLength = 200;
inline constexpr size_t kEventFileSize = 16 * 1024;

std::vector<std::string> defaultEventHistory();
// A history with a packet of every kind the event decoders know (profile value every_kind).
std::vector<std::string> everyKindEventHistory();

// Reads an event history file: lines of printable ASCII (tabs allowed) of at most
// kEventLineLength characters, at most kEventFileSize bytes; blank lines and lines
// starting with ';' or '#' are skipped. False with one sentence naming the line.
bool loadEventHistory(const std::filesystem::path& path, std::vector<std::string>& lines, std::string& error);

// Page 07h parameters (codes from 0000h): each packet starts a new parameter; its lines,
// each ended by CR LF, fill parameters of at most 255 bytes without splitting a line.
std::vector<LogParameter> eventParameters(const std::vector<std::string>& lines);

}  // namespace vexal::device::virt
