#pragma once
// What an output computes, written as a minimal sum of products over I1..I8 and P1..P8:
//   expr := term ('|' term)* ; term := factor ('&' factor)* ; factor := '!' factor | I1..P8 | 0 | 1
// Exact (fewest terms, then fewest literals) when the output depends on at most 8 signals; an
// expand-and-drop cover beyond that, which is still exactly the same function.

#include <cstdint>
#include <string>
#include <vector>

#include "compiler/FastEngine.h"
#include "config/Config.h"

namespace zez {

// A product term: the signals in `care` (bit n = selection n) must equal their bit in `value`.
struct Cube {
    uint16_t care = 0;
    uint16_t value = 0;
    bool operator==(const Cube&) const = default;
};

inline constexpr int kExactSignalLimit = 8;

struct SumOfProducts {
    std::vector<Cube> terms;     // none: constant 0; one with care 0: constant 1
    std::vector<int> dependsOn;  // the selections the function depends on, ascending
    bool exact = false;          // proven minimal
    int Literals() const;
};

// Minimises the function whose on-words are set in `bits`.
SumOfProducts Minimise(const OutputBits& bits);

// The output's compiled function, minimised.
SumOfProducts ExpressOutput(const Config& config, int output);

// "I1&!P2|I3", "0" or "1".
std::string FormatExpression(const SumOfProducts& sop);

// Whether any segment of the output holds a piece of diagram (a code 1..15).
bool OutputHasDiagram(const Config& config, int output);

}  // namespace zez
