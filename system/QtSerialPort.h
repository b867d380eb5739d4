#pragma once
// The serial-port interface on QSerialPort, used blocking from one thread (no event loop).

#include <QSerialPort>
#include <memory>

#include "device/SerialPort.h"

namespace zez::device {

class QtSerialPort final : public SerialPort {
  public:
    QtSerialPort();
    ~QtSerialPort() override;

    Result<void> Open(const std::string& name, std::string_view settings) override;
    void Close() override;
    void DtrOff() override;
    int Waiting() override;
    std::string ReadAll() override;
    Result<void> Write(std::string_view text) override;
    Result<void> WaitForData(TimePoint deadline) override;
    void SetLowLatency() override;

  private:
    Result<void> Failed(const char* what);
    void Pull();
    std::unique_ptr<QSerialPort> port_;
    std::string name_;
    bool failed_ = false;
    bool lowLatencySet_ = false;
    int savedSerialFlags_ = 0;
};

// What the system calls its serial ports, for the Connect menu: USB and ACM adapters first, then
// the others, each by name. On Windows the eight entries are COM1..COM8.
struct PortChoice {
    std::string path;         // what Open takes
    std::string description;  // the device behind it, for the menu
};
std::vector<PortChoice> ListPorts();
// Every serial port the system lists, adapters first.
std::vector<PortChoice> SystemPorts();

}  // namespace zez::device
