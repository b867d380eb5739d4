#pragma once
// What the device link needs of a serial port and of a clock. The program uses QSerialPort and
// the steady clock (system/Clock.h); tests use an emulated device on a simulated clock.

#include <chrono>
#include <string>
#include <string_view>

#include "config/Result.h"

namespace zez::device {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;
using Millis = std::chrono::milliseconds;

class TimeSource {
  public:
    virtual ~TimeSource() = default;
    virtual TimePoint Now() = 0;
    virtual void SleepUntil(TimePoint t) = 0;
};

class SerialPort {
  public:
    virtual ~SerialPort() = default;
    // Opens `name` with a settings text such as "38400,n,8,1". The error names the port and the
    // system's reason.
    virtual Result<void> Open(const std::string& name, std::string_view settings) = 0;
    virtual void Close() = 0;
    // DTR off; a port without modem lines cannot, which is no error.
    virtual void DtrOff() = 0;
    virtual int Waiting() = 0;
    // Throws away everything waiting, also what the driver still holds: four reads in a row, so
    // the late end of an earlier reply is not taken for the next one. Not for a port to change.
    void Drain() {
        for (int i = 0; i < 4; ++i) ReadAll();
    }
    virtual std::string ReadAll() = 0;
    virtual Result<void> Write(std::string_view text) = 0;
    // Blocks until more characters arrive or `deadline` passes (on the link's time source).
    // An error means the port itself failed (unplugged, hung up).
    virtual Result<void> WaitForData(TimePoint deadline) = 0;
    // Asks the driver to pass short replies on at once (where it can); undone by Close.
    virtual void SetLowLatency() {}
};

}  // namespace zez::device
