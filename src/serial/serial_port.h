#pragma once
// A serial port on termios: opened exclusively, raw, with a watcher thread that waits in
// poll() for received bytes and line events, keeps them in the receive store and hands
// them to the owner's callback. Every operation returns success or
// failure and leaves its outcome in status(); nothing throws.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "serial/line_settings.h"
#include "serial/receive_store.h"

namespace vexal::serial {

// Bits of the notification flags given to open().
inline constexpr uint32_t kNotifyCallback = 1;

// (event bits, received bytes): called on the watcher thread.
using SerialCallback = std::function<void(uint32_t events, std::span<const uint8_t> data)>;

// The device a port name stands for: a path as given, "COMn" as /dev/ttyS(n-1), any other
// name below /dev ("ttyUSB0"). Empty for an empty name.
std::string portDevicePath(const std::string& name);

class SerialPort {
public:
    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    bool open(const std::string& name, uint32_t notifyFlags = 0, SerialCallback callback = {});
    bool close();
    bool isOpen() const { return fd_ >= 0; }
    const std::string& name() const { return name_; }

    // All bytes, within the write time-out (multiplier × count + constant ms; both zero:
    // at most 30 s). Fewer sent: "Probable write timeout: total of %ld bytes sent".
    bool write(std::span<const uint8_t> bytes);
    // One byte at a time; the receive store is cleared first when notification is off.
    bool writeEachByte(std::span<const uint8_t> bytes);
    // At most `count` of the bytes waiting in the driver queue; never waits. -1 on failure.
    long read(uint8_t* buffer, size_t count);
    // Clears the receive store, holds the line in break for 2 ms.
    bool sendBreak();

    // Setters apply the whole line configuration to an open port and restore the previous
    // value when the system refuses it. Getters on an open port read the line.
    bool setBaudRate(uint32_t rate);
    uint32_t baudRate() const { return current().baudRate; }
    bool setByteSize(uint8_t size);
    uint8_t byteSize() const { return current().byteSize; }
    bool setParity(Parity parity);
    Parity parity() const { return current().parity; }
    bool setStopBits(StopBits bits);
    StopBits stopBits() const { return current().stopBits; }
    bool setDtrControl(DtrControl control);
    DtrControl dtrControl() const { return current().dtr; }
    bool setRtsControl(RtsControl control);
    RtsControl rtsControl() const { return current().rts; }
    bool setXonXoff(bool output, bool input);
    bool setFlowControl(FlowControl preset);
    LineSettings lineSettings() const { return current(); }

    bool setEventMask(uint32_t mask);
    uint32_t eventMask() const { return eventMask_.load(); }
    bool setTimeouts(const Timeouts& timeouts);
    Timeouts timeouts() const;
    bool setCallback(SerialCallback callback);
    // Whether received data are handed on (default on).
    void setNotifyReceived(bool on) { notifyReceived_ = on; }
    bool notifyReceived() const { return notifyReceived_; }

    // Modem lines: 1 or 0, or -1 (status: not connected, or the system's refusal).
    int cts();
    int dsr();
    int ring();
    int rlsd();

    void clearReceiveStore();
    std::vector<uint8_t> receiveStore() const;

    std::string status() const;

private:
    bool setStatus(std::string text, bool ok);
    bool fail(int errorNumber) { return setStatus(statusText(errorNumber), false); }
    static std::string statusText(int errorNumber);
    LineSettings current() const;
    // Applies `next` to the open port (or only keeps it when closed); restores on refusal.
    bool reconfigure(const LineSettings& next);
    bool applyLine(const LineSettings& s, int& errorNumber);
    void applyModemControl(const LineSettings& s);
    int modemBit(int bit);
    void watch();
    void notify(uint32_t events, std::span<const uint8_t> data);

    std::string name_;
    int fd_ = -1;
    int wakeFd_ = -1;
    std::thread watcher_;
    mutable std::mutex mutex_;  // settings, notification targets, status
    LineSettings settings_;
    Timeouts timeouts_;
    std::atomic<uint32_t> eventMask_{events::kDefaultMask};
    std::atomic<bool> notifyReceived_{true};
    SerialCallback callback_;
    std::string status_ = "S_OK";
    mutable std::mutex storeMutex_;
    ReceiveStore store_;
};

}  // namespace vexal::serial
