#pragma once
// Wiring checks on one output's diagram: a constant output, segments that can never carry the
// supply to the output, and contacts whose state never matters.

#include <string>
#include <vector>

#include "compiler/FastEngine.h"
#include "config/Config.h"

namespace zez {

enum class FindingKind { AlwaysOn, AlwaysOff, NotConnected, NoEffect };

struct Finding {
    int output = 0;    // 0..7
    int segment = -1;  // 0..255, -1 for the output as a whole
    FindingKind kind = FindingKind::AlwaysOff;
    bool operator==(const Finding&) const = default;
};

// How "no effect" is decided: Fast looks for a word that shows an effect first and compiles
// only for the contacts it cannot settle; Compiles compiles twice for every contact. Both give
// the same findings.
enum class CheckMethod { Fast, Compiles };

// Findings for one output, the output's own first, then by segment. An empty output (no segment
// with a code 1..15) has none.
std::vector<Finding> CheckOutput(const Config& config, int output);
// The same, given the output's compiled bits.
std::vector<Finding> CheckOutput(const Config& config, int output, const OutputBits& bits,
                                 CheckMethod method = CheckMethod::Fast);
// Every output's, in output order.
std::vector<Finding> CheckConfig(const Config& config, CheckMethod method = CheckMethod::Fast);

// "LC Input 3: segment 17: not connected", "LC Input 1: always on".
std::string FindingText(const Finding& f);
// "not connected", "no effect", "always on", "always off": what a tooltip says.
std::string FindingReason(FindingKind kind);

}  // namespace zez
