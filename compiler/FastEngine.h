#pragma once
// The fast compile engine. An output is on exactly when the supply rail reaches the output rail
// through segment centres: wires and linked arms join centres for every word, a contact joins
// them while it is closed. The joins that never change are merged, the rest is reduced to
// series/parallel expressions and evaluated 64 input words at a time.

#include <array>
#include <cstdint>

#include "compiler/Compiler.h"

namespace zez {

inline constexpr int kBitWords = kInputWords / 64;
// Bit (w mod 64) of word (w / 64) is the output's state for input-state word w.
using OutputBits = std::array<uint64_t, kBitWords>;

// The output's state for input-state word `word`.
inline bool OutputOn(const OutputBits& bits, int32_t word) {
    return ((bits[static_cast<std::size_t>(word >> 6)] >> (word & 63)) & 1) != 0;
}

// Fills one output's bitmap; returns the bits of the word index (inputs 6..15) it depends on.
int CompileOutputBits(const Config& config, int output, OutputBits& bits);
// Output bytes from the 8 bitmaps. Words that agree on `wordMask` give the same 64 bytes.
// `portable` forces the plain C++ transpose instead of the vector one.
void AssembleControlArray(const std::array<OutputBits, kOutputs>& bits, int wordMask,
                          ControlArray& array, bool portable = false);
void CompileFast(const Config& config, ControlArray& array, const ProgressFn& progress = {});

}  // namespace zez
