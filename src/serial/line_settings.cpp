#include "serial/line_settings.h"

#include <array>
#include <cerrno>
#include <utility>

namespace vexal::serial {
namespace {

constexpr std::array<std::pair<uint32_t, speed_t>, 25> kSpeeds{{
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {2000000, B2000000}, {4000000, B4000000},
}};

}  // namespace

void LineSettings::applyPreset(FlowControl preset) {
    switch (preset) {
    case FlowControl::Hardware:
        ctsOutFlow = true;
        rts = RtsControl::Handshake;
        xonXoffOut = xonXoffIn = false;
        break;
    case FlowControl::Software:
        ctsOutFlow = false;
        rts = RtsControl::Disable;
        xonXoffOut = xonXoffIn = true;
        break;
    case FlowControl::None:
        ctsOutFlow = false;
        rts = RtsControl::Enable;
        xonXoffOut = xonXoffIn = false;
        break;
    }
}

bool speedOf(uint32_t baudRate, speed_t& speed) {
    for (const auto& [rate, s] : kSpeeds)
        if (rate == baudRate) {
            speed = s;
            return true;
        }
    return false;
}

uint32_t rateOf(speed_t speed) {
    for (const auto& [rate, s] : kSpeeds)
        if (s == speed) return rate;
    return 0;
}

bool toTermios(const LineSettings& s, const termios& base, termios& t, int& errorNumber) {
    errorNumber = EINVAL;
    speed_t speed = 0;
    if (!speedOf(s.baudRate, speed)) return false;
    t = base;
    // Binary: no translation, no echo, no signals; reads return what is there.
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CREAD | CLOCAL;
    switch (s.byteSize) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    case 8: t.c_cflag |= CS8; break;
    default: return false;
    }
    switch (s.parity) {
    case Parity::None: break;
    case Parity::Odd: t.c_cflag |= PARENB | PARODD; break;
    case Parity::Even: t.c_cflag |= PARENB; break;
    case Parity::Mark: t.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case Parity::Space: t.c_cflag |= PARENB | CMSPAR; break;
    }
    if (s.parity != Parity::None) t.c_iflag |= INPCK;
    switch (s.stopBits) {
    case StopBits::One: break;
    case StopBits::Two: t.c_cflag |= CSTOPB; break;
    // A UART sends 1.5 stop bits only with 5 data bits, where CSTOPB means exactly that.
    case StopBits::OneAndHalf:
        if (s.byteSize != 5) return false;
        t.c_cflag |= CSTOPB;
        break;
    }
    if (s.ctsOutFlow || s.rts == RtsControl::Handshake) t.c_cflag |= CRTSCTS;
    if (s.xonXoffOut) t.c_iflag |= IXON;
    if (s.xonXoffIn) t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = s.xonChar;
    t.c_cc[VSTOP] = s.xoffChar;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    errorNumber = 0;
    return true;
}

LineSettings fromTermios(const termios& t, const LineSettings& known) {
    LineSettings s = known;
    if (const uint32_t rate = rateOf(cfgetospeed(&t))) s.baudRate = rate;
    switch (t.c_cflag & CSIZE) {
    case CS5: s.byteSize = 5; break;
    case CS6: s.byteSize = 6; break;
    case CS7: s.byteSize = 7; break;
    default: s.byteSize = 8; break;
    }
    if (!(t.c_cflag & PARENB)) s.parity = Parity::None;
    else if (t.c_cflag & CMSPAR) s.parity = (t.c_cflag & PARODD) ? Parity::Mark : Parity::Space;
    else s.parity = (t.c_cflag & PARODD) ? Parity::Odd : Parity::Even;
    if (!(t.c_cflag & CSTOPB)) s.stopBits = StopBits::One;
    else s.stopBits = s.byteSize == 5 ? StopBits::OneAndHalf : StopBits::Two;
    s.ctsOutFlow = (t.c_cflag & CRTSCTS) != 0;
    s.xonXoffOut = (t.c_iflag & IXON) != 0;
    s.xonXoffIn = (t.c_iflag & IXOFF) != 0;
    s.xonChar = t.c_cc[VSTART];
    s.xoffChar = t.c_cc[VSTOP];
    return s;
}

}  // namespace vexal::serial
