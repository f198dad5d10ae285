#include "serial/serial_session.h"

#include "serial/line_choice.h"
#include "serial/port_setting.h"

namespace vexal::serial {

SerialSession::SerialSession(std::string setting, platform::Event* done)
    : setting_(std::move(setting)), transaction_(*this, done) {}

// The watcher feeds the transaction, which as the later member would go first: close the
// port (ending the watcher) before either is destroyed.
SerialSession::~SerialSession() {
    if (port_.isOpen()) port_.close();
}

bool SerialSession::ensureOpen() {
    if (port_.isOpen()) return true;
    // The line format of the SerialLine setting, read at each opening.
    applyLineChoice(port_, serialLineSetting());
    return port_.open(resolveSerialPort(setting_), kNotifyCallback,
                      [this](uint32_t bits, std::span<const uint8_t> data) {
                          if (bits & events::kReceived) transaction_.onBytes(data);
                      });
}

SerialOutcome SerialSession::transact(const SerialRequest& request) {
    if (!port_.isOpen()) return {kSerialTimedOut, 0};
    return transaction_.run(request);
}

bool SerialSession::setBaudRate(uint32_t rate) {
    port_.clearReceiveStore();
    const bool ok = port_.setBaudRate(rate);
    port_.clearReceiveStore();
    return ok;
}

bool SerialSession::sendByte(uint8_t byte) { return port_.write({&byte, 1}); }

}  // namespace vexal::serial
