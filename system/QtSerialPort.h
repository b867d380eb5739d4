#pragma once
// The serial-port interface on QSerialPort, used blocking from one thread (no event loop).

#include <QSerialPort>
#include <memory>
#include <vector>

#include "system/Ports.h"
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

// Every serial port the system lists, adapters first, each with what identifies its device
// (on Linux its /dev/serial/by-id name). On Windows the names are COM1, COM2, ...
std::vector<PortInfo> SystemPorts();

}  // namespace zez::device
