#pragma once
// The script engine's serial port object: the port named by a setting, opened when a
// script first needs it and kept open, with the SERIAL transaction its received bytes feed.
#include <memory>
#include <string>

#include "serial/serial_port.h"
#include "serial/serial_transaction.h"

namespace vexal::serial {

class SerialSession : private SerialLine {
public:
    // `setting`: the SerialPort setting's value (see port_setting.h). Nothing is opened yet.
    explicit SerialSession(std::string setting, platform::Event* done = nullptr);
    ~SerialSession() override;
    SerialSession(const SerialSession&) = delete;
    SerialSession& operator=(const SerialSession&) = delete;

    // Opens the port, with the line format of the SerialLine setting, when it is not open;
    // false when it cannot be (see status()).
    bool ensureOpen();
    bool connected() const { return port_.isOpen(); }
    const std::string& setting() const { return setting_; }

    // One SERIAL transaction; a port that is not open gives status 4 at once.
    SerialOutcome transact(const SerialRequest& request);
    // BAUD: the receive store is cleared, the rate applied and the store cleared again.
    bool setBaudRate(uint32_t rate);

    SerialPort& port() { return port_; }
    std::string status() const { return port_.status(); }

private:
    bool sendByte(uint8_t byte) override;
    bool sendBreak() override { return port_.sendBreak(); }

    std::string setting_;
    SerialPort port_;
    SerialTransaction transaction_;
};

}  // namespace vexal::serial
