#pragma once
// Which signals an output really depends on, and its truth table over those only.

#include <cstdint>
#include <string>
#include <vector>

#include "compiler/FastEngine.h"

namespace zez {

// Input selections n (ascending) for which flipping bit n changes the output for some word.
std::vector<int> DependentSignals(const OutputBits& bits);

// The input-state word of truth-table row `row` over the signals `used`: rows count up with the
// rightmost signal fastest, every signal not listed off.
int32_t TableRowWord(const std::vector<int>& used, long row);

inline constexpr int kTableRowLimit = 1024;

// Rows count up with the rightmost signal fastest; at most 1,024 rows are printed.
std::string TruthTableText(const Config& config, int output);

}  // namespace zez
