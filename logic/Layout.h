#pragma once
// Drawing a Boolean function as a ladder diagram: the function is minimised, written as a flat
// sum of products, as a factored form and as a product of sums (from its complement's minimal
// cover), and each form is drawn series side by side and parallel one above the other (joined by
// links), padded with wire to the output rail; a product of sums is drawn as columns of contacts
// joined by their own links (the contact-and-link pictures). The
// drawing with the fewest rows, then the fewest segments, is kept, and only after it has been
// compiled and found equal to the function on all 65,536 words.

#include <string>

#include "compiler/FastEngine.h"
#include "config/Config.h"
#include "config/Result.h"
#include "logic/Expression.h"

namespace zez {

// The function's drawing, or "does not fit in 16 x 16: needs 23 rows" (or columns), of the kind
// Data.
Result<OutputSegments> DrawFunction(const OutputBits& bits);
// The same, given the function's minimal cover (Minimise(bits)) when the caller has it already.
Result<OutputSegments> DrawFunction(const OutputBits& bits, const SumOfProducts& minimal);

// The formula's drawing; a formula that does not parse gives the parser's error (kind Usage).
// Besides the forms above, the formula as written is drawn when it is made of signals, negated
// signals, &, | and parentheses alone: any sum of products or product of sums that fits in
// 16 x 16 as written is drawn.
Result<OutputSegments> DrawFormula(const std::string& formula);

// Segments that hold anything (a code other than 0).
int SegmentCount(const std::array<int16_t, kSegments>& types);

}  // namespace zez
