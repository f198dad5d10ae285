#pragma once
// The line configuration of a serial port with its defaults, the flow-control presets, the
// time-outs, and their translation to termios.
#include <cstdint>

#include <termios.h>

namespace vexal::serial {

enum class Parity { None, Odd, Even, Mark, Space };
enum class StopBits { One, OneAndHalf, Two };
enum class DtrControl { Disable, Enable, Handshake };
enum class RtsControl { Disable, Enable, Handshake, Toggle };
enum class FlowControl { Hardware, Software, None };

// Communication events (the watcher's mask and the bits it reports).
namespace events {
inline constexpr uint32_t kReceived = 0x0001;
inline constexpr uint32_t kTransmitEmpty = 0x0004;
inline constexpr uint32_t kCts = 0x0008;
inline constexpr uint32_t kDsr = 0x0010;
inline constexpr uint32_t kRlsd = 0x0020;
inline constexpr uint32_t kBreak = 0x0040;
inline constexpr uint32_t kError = 0x0080;
inline constexpr uint32_t kRing = 0x0100;
inline constexpr uint32_t kDefaultMask = kReceived | kDsr | kRlsd | kBreak | kError;  // 0xF1
}  // namespace events

struct LineSettings {
    uint32_t baudRate = 9600;
    uint8_t byteSize = 8;  // 4 to 8 accepted; the line takes 5 to 8
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
    DtrControl dtr = DtrControl::Disable;
    RtsControl rts = RtsControl::Enable;
    bool binary = true;
    bool abortOnError = true;
    bool ctsOutFlow = false;
    bool xonXoffOut = false;
    bool xonXoffIn = false;
    uint8_t xonChar = 17;
    uint8_t xoffChar = 19;
    uint16_t xonLimit = 100;
    uint16_t xoffLimit = 100;

    void applyPreset(FlowControl preset);
};

// Milliseconds; kNoInterval (all bits set) in readInterval means "return what is there".
struct Timeouts {
    static constexpr uint32_t kNoInterval = 0xFFFFFFFFu;
    uint32_t readInterval = kNoInterval;
    uint32_t readTotalMultiplier = 0;
    uint32_t readTotalConstant = 1000;
    uint32_t writeTotalMultiplier = 2;
    uint32_t writeTotalConstant = 0;
};

// The termios speed constant of a rate; false for a rate the line cannot take.
bool speedOf(uint32_t baudRate, speed_t& speed);
uint32_t rateOf(speed_t speed);

// Raw byte transport with the settings' speed, size, parity, stop bits and flow control,
// on top of `base` (the port's current attributes). False when a value has no termios form
// (byte size 4, 1.5 stop bits with 8 bits, mark or space parity without CMSPAR, an
// unknown rate); `errorNumber` is then EINVAL.
bool toTermios(const LineSettings& settings, const termios& base, termios& out, int& errorNumber);
// Speed, size, parity, stop bits and flow control as the line has them now; the rest is
// taken from `known`.
LineSettings fromTermios(const termios& t, const LineSettings& known);

}  // namespace vexal::serial
