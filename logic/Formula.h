#pragma once
// A Boolean function of the 16 signals written as a formula, as the expressions are printed and
// with any nesting:
//   formula := term ('|' term)* ; term := factor ('&' factor)*
//   factor  := '!' factor | '(' formula ')' | I1..I8 | P1..P8 | '0' | '1'
// Spaces may stand anywhere between symbols; signal names may be lower case.

#include <string>

#include "compiler/FastEngine.h"
#include "config/Result.h"

namespace zez {

// The function's on-words, or an error that names the column (from 1) and what was expected
// there, e.g. "column 7: expected a signal (I1..I8, P1..P8), 0, 1, ! or (", of the kind Usage
// (the formula is what was asked for).
Result<OutputBits> ParseFormula(const std::string& text);

}  // namespace zez
