#pragma once
// A virtual drive's serial diagnostic console on a pseudo-terminal: it echoes every
// character, answers each line ended by a carriage return with a few lines of text and
// the prompt "SKTX>", and talks at its own line speed: at another speed both directions
// turn to garbage, as on a real line. docs/virtual-drive.md lists its commands.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "device/virtual/virtual_profile.h"

namespace vexal::device::virt {

class SerialConsole {
public:
    static constexpr std::string_view kPrompt = "SKTX>";
    static constexpr uint32_t kStartRate = 9600;

    // Opens a pseudo-terminal and starts answering on it; null with the reason when the
    // system gives none.
    static std::unique_ptr<SerialConsole> start(const DeviceProfile& profile, std::string& error);
    ~SerialConsole();
    SerialConsole(const SerialConsole&) = delete;
    SerialConsole& operator=(const SerialConsole&) = delete;

    // The terminal a serial port opens to talk to the console (/dev/pts/N).
    const std::string& path() const { return path_; }

private:
    SerialConsole(const DeviceProfile& profile, int master, int slave, int wake, std::string path);
    void serve();
    void take(uint8_t byte);
    // The answer to one command line: its lines, without line ends.
    std::vector<std::string> answer(const std::string& line);
    // Sends bytes paced as the line speed would (so answers arrive in pieces); garbled
    // when the port's speed is not the console's.
    void send(std::string_view text);
    // Waits up to `ms`; false when the console is closing.
    bool pause(int ms);
    uint32_t lineRate() const;
    static uint8_t garble(uint8_t byte) { return static_cast<uint8_t>((byte * 7 + 0x35) | 0x80); }

    std::string revision_, serial_, product_;
    int master_, slave_, wake_;
    std::string path_;
    std::string line_;
    uint32_t rate_ = kStartRate;
    uint32_t nextRate_ = 0;  // a speed change takes effect after its answer
    bool closing_ = false;
    std::thread thread_;
};

}  // namespace vexal::device::virt
