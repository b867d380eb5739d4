#pragma once
// The fast compile engine. An output is on exactly when the supply rail reaches the output rail
// through segment centres: wires and linked arms join centres for every word, a contact joins
// them while it is closed. The joins that never change are merged, the rest is reduced to
// series/parallel expressions and evaluated 64 input words at a time.

#include <array>
#include <cstdint>
#include <vector>

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
// How the bitmaps are turned into output bytes: plain C++, or the processor's vector units.
enum class AssemblyKernel { Portable, Sse2, Avx2 };
// The kernels this build and processor can run, fastest last.
std::vector<AssemblyKernel> AssemblyKernels();
// Output bytes from the 8 bitmaps. Output o's bitmap is read at word w & masks[o] only: it
// depends on no other bits of the word index.
void AssembleControlArray(const std::array<OutputBits, kOutputs>& bits,
                          const std::array<int, kOutputs>& masks, ControlArray& array,
                          AssemblyKernel kernel);
void CompileFast(const Config& config, ControlArray& array, const ProgressFn& progress = {});

}  // namespace zez
