#pragma once
// Which signals an output really depends on, and its truth table over those only.

#include <cstdint>
#include <string>
#include <vector>

#include "compiler/FastEngine.h"

namespace zez {

// Input selections n (ascending) for which flipping bit n changes the output for some word.
std::vector<int> DependentSignals(const OutputBits& bits);

inline constexpr int kTableRowLimit = 1024;

// Rows count up with the rightmost signal fastest; at most 1,024 rows are printed.
std::string TruthTableText(const Config& config, int output);

}  // namespace zez
