#pragma once
// The serial ports the system lists, and what identifies the device behind each: its
// /dev/serial/by-id name, or the adapter's serial number, or (a built-in port) its path. A
// choice is kept by that identity, never by a place in a list, so that another adapter plugged
// in, or the system listing them in another order, never turns it into another device.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zez::device {

struct PortInfo {
    std::string path{};          // what a port opens: /dev/ttyUSB0, /dev/cu.usbserial-A1, COM3
    std::string byId{};          // its /dev/serial/by-id name (Linux), when it has one
    std::string serialNumber{};  // the adapter's serial number, when it reports one
    std::string description{};   // what the adapter calls itself ("FT232R USB UART")
    std::string manufacturer{};
    std::uint16_t vendorId = 0, productId = 0;  // 0: not reported
};

// Sets each port's byId from the links in `byIdDir` that lead to its path (no folder: none).
void AttachByIdNames(std::vector<PortInfo>& ports, const std::filesystem::path& byIdDir);

// Adapters (USB, ACM, anything with a vendor) first, then the others, each group by path.
void SortPorts(std::vector<PortInfo>& ports);

// What a choice of `port` is kept by: "by-id:NAME", "serial:NUMBER@PATH" or "path:PATH".
std::string IdentityOf(const PortInfo& port);

// The port that `identity` stands for among `ports`; none when that device is not there now.
// A serial number that two adapters share counts only with the path it was kept with.
const PortInfo* FindIdentity(const std::vector<PortInfo>& ports, const std::string& identity);

// The device an identity stands for, in words, when it may not be there: its by-id name, "the
// adapter with serial number N (last on PATH)", or the path.
std::string IdentityText(const std::string& identity);

// The adapter in words: "FT232R USB UART, FTDI, serial number A1B2C3, USB 0403:6001"; empty
// when the system says nothing about it.
std::string AdapterText(const PortInfo& port);

// The port and its adapter in words, as a question before a transfer names them:
// "/dev/ttyUSB0 (FT232R USB UART, FTDI, serial number A1B2C3)".
std::string PortText(const PortInfo& port);

// The port a name given on the command line means: a /dev/serial/by-id name (whole or as the
// folder lists it), a device path, or a Windows COM name in any case. A name the system does
// not list (a pseudo-terminal, a port it cannot see) is taken as a path as it is.
PortInfo ResolvePortName(const std::vector<PortInfo>& ports, const std::string& name);

}  // namespace zez::device
