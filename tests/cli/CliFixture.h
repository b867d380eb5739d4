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

inline Outcome Cli(std::vector<std::string> args, const cli::Environment& env = {}) {
    std::ostringstream out, err;
    const int code = cli::Run(args, out, err, env);
    return {code, out.str(), err.str()};
}

// Each command line exits with its status and says what it must on standard error.
struct Failure {
    std::vector<std::string> args;
    int code;
    const char* says;
};
inline void ExpectFailures(const std::vector<Failure>& failures) {
    for (const auto& [args, code, says] : failures) {
        const auto r = Cli(args);
        EXPECT_EQ(r.code, code) << args[0] << " " << args.back();
        EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("LC Input"), std::string::npos) << r.out;  // no work claimed
    }
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
    Outcome Run(std::vector<std::string> args) { return Cli(std::move(args), env); }
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
