#pragma once
// Which contacts of an output matter: a contact has an effect when the output, with the contact
// forced closed, differs from the output with it forced open for some input-state word.

#include <array>
#include <cstdint>

#include "config/Config.h"

namespace zez {

enum class Effect : int8_t { Unknown = -1, None = 0, Some = 1 };

// Decided per contact segment without compiling: `Some` where a sampled word shows a
// difference, `None` where forcing cannot change anything (the contact's two sides are already
// one, or its left side touches nothing); `Unknown` for the rest. Other segments: `None`.
std::array<Effect, kSegments> SampleContactEffects(const Config& config, int output);

// The exact answer for one contact: two compiles, forced closed and forced open.
Effect CompiledContactEffect(const Config& config, int output, int segment);

}  // namespace zez
