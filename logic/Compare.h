#pragma once
// What differs between two configurations: per output whether its function or only its drawing
// differs, and the note.

#include <array>
#include <cstdint>
#include <string>

#include "config/Config.h"

namespace zez {

struct OutputComparison {
    int segments = 0;   // segments whose type or input differ
    int64_t words = 0;  // input words on which the output differs
    std::string a, b;   // the expressions, when the function differs
};

struct Comparison {
    std::array<OutputComparison, kOutputs> outputs;
    bool noteDiffers = false;
    int noteLine = 0;          // the first differing line (from 1); 0: only bytes after the end
    std::string noteA, noteB;  // that line in each
    bool Same() const;
};

Comparison CompareConfigs(const Config& a, const Config& b);

// Whether segment `s` of output `o` has another type or input in `a` than in `b`.
bool SegmentDiffers(const Config& a, const Config& b, int o, int s);

// "LC Input 1: same", "LC Input 2: same function, diagram differs in 3 segments",
// "LC Input 3: function differs in 1024 of 65,536 words" with both expressions, then the note.
std::string ComparisonText(const Comparison& c);

}  // namespace zez
