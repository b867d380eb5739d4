#pragma once
// zezudi-cli run in the test's process, with an emulated device behind its port.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/Cli.h"
#include "device/Emulator.h"

namespace zez::test {

constexpr auto npos = std::string::npos;

struct Outcome {
    int code;
    std::string out, err;
};

inline Outcome Cli(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int code = cli::Run(args, out, err);
    return {code, out.str(), err.str()};
}

inline std::string Example(const char* name) {
    return std::string(ZEZ_EXAMPLES_DIR) + "/" + name;
}

struct TransferCli {
    explicit TransferCli(device::Faults f = {}) : device(f) {
        env.makePort = [this] { return std::make_unique<device::EmulatedPort>(device, time); };
        env.time = &time;
        env.in = &in;
    }
    Outcome Run(std::vector<std::string> args) {
        std::ostringstream out, err;
        const int code = cli::Run(args, out, err, env);
        return {code, out.str(), err.str()};
    }
    // The corridor example downloaded, or `cmd` run on it, with the question answered.
    Outcome Corridor(const char* cmd = "download", const char* extra = nullptr) {
        std::vector<std::string> args = {cmd, Example("corridor.CDF"), "--port", "sim", "--yes"};
        if (extra) args.push_back(extra);
        return Run(args);
    }
    device::DeviceEmulator device;
    device::SimTime time;
    std::istringstream in;
    cli::Environment env;
};

}  // namespace zez::test
