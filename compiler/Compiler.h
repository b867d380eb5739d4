#pragma once
// The control array: for each of the 65,536 input-state words, the output byte whose bit m is
// output m+1's state.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "config/Config.h"
#include "config/Result.h"

namespace zez {

inline constexpr int kInputWords = 65536;
inline constexpr int kProgressSteps = 256;  // 32 per output

// Elements are output bytes, 0..255.
using ControlArray = std::array<uint8_t, kInputWords>;

enum class Engine { Fast, Reference };

// Called with 1..256; step 32(o+1) once output o is complete.
using ProgressFn = std::function<void(int step)>;

// Compiles all 8 outputs into `array` (cleared first).
void Compile(const Config& config, ControlArray& array, Engine engine = Engine::Fast,
             const ProgressFn& progress = {});

// The oracle: a load and an evaluation on the memory grid for every output and word.
void CompileReference(const Config& config, ControlArray& array, const ProgressFn& progress = {});

}  // namespace zez
