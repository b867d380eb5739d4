#pragma once
// The serial port and the clock of a JavaScript host: the module's `host` object (see api.js)
// performs the reads, writes and waits; the transfer sequence awaits it where the desktop blocks.

#include <string>

#include "device/SerialPort.h"

namespace zez::wasm {

class HostPort final : public device::SerialPort {
  public:
    Result<void> Open(const std::string& name, std::string_view settings) override;
    void Close() override;
    void DtrOff() override;
    int Waiting() override;
    std::string ReadAll() override;
    Result<void> Write(std::string_view text) override;
    Result<void> WaitForData(device::TimePoint deadline) override;
};

// The steady clock; sleeping hands control back to the host until the time has come.
class HostTime final : public device::TimeSource {
  public:
    device::TimePoint Now() override { return device::Clock::now(); }
    void SleepUntil(device::TimePoint t) override;
};

// A caption for the host's progress display.
void HostCaption(const std::string& text);

}  // namespace zez::wasm
