#pragma once
// Which signals each output reads: how many contacts it has on each signal, and whether what it
// computes depends on the signal (a contact can be drawn and still have no effect). Answers the
// questions of a wiring change: which outputs does input 3 drive, which inputs are still free.

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "config/Config.h"
#include "config/Rewire.h"

namespace zez {

struct SignalUse {
    // contacts[s][o]: contacts on signal s (I1..I8 are 0..7, P1..P8 are 8..15) in output o.
    std::array<std::array<int, kOutputs>, kSignals> contacts{};
    // Bit s of dependsOn[o]: output o computes something else when signal s alone changes.
    std::array<uint16_t, kOutputs> dependsOn{};
    bool Used(int signal) const;
};

// Without `dependence` only the contacts are counted (no compile).
SignalUse UseOfSignals(const Config& config, bool dependence = true);

// A row per signal that a contact reads, a column per output: its contacts there, "*" after the
// number when the output does not depend on the signal; then the signals no contact reads.
std::string SignalUseTable(const SignalUse& use);

// One line: "I3: 1; P2: 1, 2 | free: I1 I2 ..." (the outputs whose contacts read each signal).
std::string SignalUseLine(const SignalUse& use);

// Where the contacts on signal `sel` are: (output, segment) pairs in that order.
std::vector<std::pair<int, int>> ContactsOn(const Config& config, int sel);

}  // namespace zez
