#include "compiler/TruthTable.h"

namespace zez {
std::vector<int> DependentSignals(const OutputBits& bits) {
    // Signals 0..5 are bit positions inside each 64-bit word, 6..15 bits of the word's index:
    // a signal matters where flipping it changes some word's bit, compared 64 words at a time.
    static constexpr uint64_t kLow[6] = {0x5555555555555555ull, 0x3333333333333333ull,
                                         0x0F0F0F0F0F0F0F0Full, 0x00FF00FF00FF00FFull,
                                         0x0000FFFF0000FFFFull, 0x00000000FFFFFFFFull};
    std::vector<int> used;
    for (int n = 0; n < 16; ++n) {
        bool depends = false;
        for (std::size_t k = 0; k < bits.size() && !depends; ++k) {
            if (n < 6) {
                depends = (((bits[k] >> (1 << n)) ^ bits[k]) & kLow[n]) != 0;
            } else if (!(k & (std::size_t{1} << (n - 6)))) {
                depends = bits[k] != bits[k | (std::size_t{1} << (n - 6))];
            }
        }
        if (depends) used.push_back(n);
    }
    return used;
}

int32_t TableRowWord(const std::vector<int>& signals, long row) {
    const int k = static_cast<int>(signals.size());
    int32_t word = 0;
    for (int i = 0; i < k; ++i)
        if ((row >> (k - 1 - i)) & 1) word |= int32_t{1} << signals[static_cast<std::size_t>(i)];
    return word;
}

std::string TruthTableText(const Config& config, int output) {
    OutputBits bits;
    CompileOutputBits(config, output, bits);
    const auto used = DependentSignals(bits);
    const std::string name = "LC Input " + std::to_string(output + 1);
    if (used.empty())
        return name + " depends on no input or pilot: it is always " +
               (OutputOn(bits, 0) ? "on" : "off") + ".\n";
    std::string out = name + " depends on:";
    for (int n : used) out += " " + SignalName(n);
    out += "\n";
    const int k = static_cast<int>(used.size());
    const long rows = 1L << k;
    if (k > 10)
        out += "It depends on " + std::to_string(k) + " signals (" + std::to_string(rows) +
               " rows); only the first " + std::to_string(kTableRowLimit) + " rows are printed.\n";
    for (int n : used) out += SignalName(n) + " ";
    out += "| " + name + "\n";
    for (long r = 0; r < rows && r < kTableRowLimit; ++r) {
        const int32_t word = TableRowWord(used, r);
        for (int n : used)
            out += std::string(SignalName(n).size() - 1, ' ') +
                   static_cast<char>('0' + ((word >> n) & 1)) + " ";
        out += std::string("| ") + (OutputOn(bits, word) ? "On" : "Off") + "\n";
    }
    return out;
}

}  // namespace zez
