#pragma once
// The data that lives as long as the program, and how the editor reaches the device.

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "compiler/Compiler.h"
#include "config/Config.h"
#include "system/Ports.h"
#include "device/SerialPort.h"

namespace zez {

// The record and the state beside it. Only the document writes the record, the flag and the
// array; only the port choice writes the port number.
struct ProgramState {
    Config record;
    bool ConfigChanged = false;
    int ComPortNumber = 1;
    ControlArray controlArray{};
};

// A fresh port for each transfer (used on the transfer's own thread), a clock, and the ports
// the Connect menu offers.
struct DeviceAccess {
    std::function<std::unique_ptr<device::SerialPort>()> makePort;
    device::TimeSource* time = nullptr;
    // Every port the system lists now (on Windows also COM9 and above), with its adapter.
    std::function<std::vector<device::PortInfo>()> listPorts;
    // The system itself names its ports COM1, COM2, ... (Windows): the menu's COM items are
    // those names. Elsewhere each item stands for a device by what identifies it.
    bool comNames = false;
};

}  // namespace zez
