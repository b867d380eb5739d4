#pragma once
// zezudi-cli: headless commands on CDF files. Exit codes: 0 success, 1 failed operation,
// 2 bad usage or input.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/Config.h"
#include "config/Result.h"
#include "system/Ports.h"
#include "device/SerialPort.h"

namespace zez::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitDiffers = 3;  // verify: the device holds something else

// "3" -> output index 2; 1..8 only.
std::optional<int> ParseOutput(const std::string& text);
// "I1,P2" -> input-state word with bits 0 and 9; "none" -> 0. Names are case-insensitive.
std::optional<int32_t> ParseSignalList(const std::string& text);

// What `export` asks of the drawing code, which needs Qt's painting.
struct ExportJob {
    Config config;
    std::string file;  // the CDF file, named in the footer
    std::string out;
    bool pdf = true;  // else SVG of `output`
    int output = 0;
    bool letter = false;  // US Letter instead of A4
};

// What the transfer commands need from outside: a serial port, a clock and the terminal; and
// the drawing code for export.
struct Environment {
    std::function<Result<int>(const ExportJob&)> exportFile;  // pages written; none: no export
    std::function<std::unique_ptr<device::SerialPort>()> makePort;  // none: no transfers
    device::TimeSource* time = nullptr;
    // The serial ports the system lists now, with their adapters; none: no ports listed.
    std::function<std::vector<device::PortInfo>()> listPorts;
    std::istream* in = nullptr;  // answers to the power-cycle question
    // Whether standard error is a terminal: transfers then show their progress there as one
    // line that updates itself.
    bool errIsTerminal = false;
    // Where earlier versions of replaced configuration files are kept; none: not kept.
    std::filesystem::path versionsDir;
    // The transfer log the device commands add to and `log` shows; none: no log.
    std::filesystem::path transferLog;
    // The date reports are dated with (the local date); none: today's date in UTC.
    std::string today;
};

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const Environment& env = {});

}  // namespace zez::cli
