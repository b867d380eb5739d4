// The expression of an output: minimal on known functions, and always exactly the function the
// engine compiles; formulas read and drawn.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <functional>
#include <optional>
#include <random>

#include "compiler/Compiler.h"
#include "logic/Expression.h"
#include "logic/Formula.h"
#include "logic/Layout.h"
#include "support/SampleConfigs.h"

namespace zez {
namespace {

OutputBits BitsOf(const std::function<bool(int)>& f) {
    OutputBits bits{};
    for (int w = 0; w < kInputWords; ++w)
        if (f(w)) bits[static_cast<std::size_t>(w >> 6)] |= uint64_t{1} << (w & 63);
    return bits;
}

bool In(int w, int sel) {
    return ((w >> sel) & 1) != 0;
}

std::optional<OutputBits> Parsed(const std::string& text) {
    auto r = ParseFormula(text);
    return r ? std::optional(r.value()) : std::nullopt;
}

// Formulas are read with any nesting and spacing; what cannot be read names its column and what
// was expected there. The printed expressions are read back below.
TEST(Formula, ReadsAnyNestingAndNamesWhereItStops) {
    const std::pair<const char*, std::function<bool(int)>> good[] = {
        {"I1", [](int w) { return In(w, 0); }},
        {" !( i1 | P8 ) & (I2|!(I3&P1)) ",
         [](int w) { return !(In(w, 0) || In(w, 15)) && (In(w, 1) || !(In(w, 2) && In(w, 8))); }},
        {"!!0|0", [](int) { return false; }},
        {"1&I4", [](int w) { return In(w, 3); }},
        {"I1|I2&I3", [](int w) { return In(w, 0) || (In(w, 1) && In(w, 2)); }},  // & binds first
    };
    for (const auto& [text, f] : good) EXPECT_EQ(Parsed(text), BitsOf(f)) << text;
    const std::pair<std::string, const char*> bad[] = {
        {"", "the formula is empty"},
        {"I1 &", "column 5: expected a signal (I1..I8, P1..P8), 0, 1, ! or ("},
        {"I9", "column 2: expected a number 1..8 after I"},
        {"P12", "column 2: expected a number 1..8 after P"},
        {"(I1|I2", "column 7: expected ) to close the ( at column 1"},
        {"I1)", "column 3: expected a ( before this )"},
        {"I1 I2", "column 4: expected &, | or the end of the formula"},
        {"I1+I2", "column 3: expected &, | or the end of the formula"},
        {std::string(300, '('), "column 201: expected less nesting (at most 200 levels)"},
    };
    for (const auto& [text, error] : bad) {
        const auto r = ParseFormula(text);
        EXPECT_TRUE(!r && r.error() == error) << text << " -> " << (r ? "" : r.error());
    }
}

TEST(Expression, KnownFunctionsHaveTheirMinimalForms) {
    struct Case {
        const char* name;
        std::function<bool(int)> f;
        std::string expr;
    };
    const Case cases[] = {
        {"majority", [](int w) { return In(w, 0) + In(w, 1) + In(w, 2) >= 2; },
         "I1&I2|I1&I3|I2&I3"},
        {"xor", [](int w) { return In(w, 0) != In(w, 1); }, "I1&!I2|!I1&I2"},
        {"absorbed", [](int w) { return In(w, 0) || (!In(w, 0) && In(w, 9)); }, "I1|P2"},
        {"pilot over inputs", [](int w) { return In(w, 15) || (In(w, 2) && !In(w, 8)); },
         "I3&!P1|P8"},
        {"off", [](int) { return false; }, "0"},
        {"on", [](int) { return true; }, "1"},
        {"not", [](int w) { return !In(w, 7); }, "!I8"},
    };
    for (const auto& c : cases) {
        const auto sop = Minimise(BitsOf(c.f));
        EXPECT_EQ(FormatExpression(sop), c.expr) << c.name;
        EXPECT_TRUE(sop.exact) << c.name;
    }
    // Parity of four needs all eight minterms.
    const auto parity =
        Minimise(BitsOf([](int w) { return std::popcount(static_cast<unsigned>(w & 15)) % 2; }));
    EXPECT_TRUE(parity.terms.size() == 8u && parity.Literals() == 32);
}

TEST(Expression, AgreesWithTheCompiledArrayOnGeneratedDiagrams) {
    std::mt19937 rng(2026);
    std::vector<Config> configs;
    for (int i = 0; i < 3; ++i)
        configs.insert(configs.end(), {samples::Typical(rng), samples::Serpentine(rng),
                                       samples::Sparse(rng, 0.7), samples::OutOfRange(rng)});
    configs.insert(configs.end(), {samples::DenseRandom(rng), samples::Mesh(rng)});
    int heuristic = 0;  // covers of more than eight signals, which are not claimed minimal
    for (std::size_t i = 0; i < configs.size(); ++i) {
        ControlArray array{};
        Compile(configs[i], array);
        for (int o = 0; o < kOutputs; ++o) {
            const auto sop = ExpressOutput(configs[i], o);
            heuristic += !sop.exact;
            const std::string text = FormatExpression(sop);
            const auto f = Parsed(text);
            ASSERT_TRUE(f) << text;
            for (int w = 0; w < kInputWords; ++w)
                ASSERT_EQ(((*f)[static_cast<std::size_t>(w >> 6)] >> (w & 63)) & 1,
                          (array[static_cast<std::size_t>(w)] >> o) & 1u)
                    << "config " << i << " output " << o + 1 << " word " << w << ": " << text;
        }
    }
    EXPECT_GT(heuristic, 0);
}

// What a drawing computes, compiled as the device's array would be.
OutputBits Compiled(const OutputSegments& s) {
    Config c;
    c.SegType[0] = s.types;
    c.SegInput[0] = s.inputs;
    OutputBits bits;
    CompileOutputBits(c, 0, bits);
    return bits;
}

// Formulas are drawn so that the compile computes them; what cannot fit says how much room it
// needs. (Functions of many signals are drawn by tidy, whose test compiles them back.)
TEST(Layout, DrawingsComputeTheirFormulaOrSayWhyTheyDoNotFit) {
    // Formula, then the most rows and segments its drawing may take.
    const std::tuple<const char*, int, int> drawn[] = {
        {"0", 0, 0},
        {"1", 1, 16},
        {"I1", 1, 16},
        {"(I1 | I2) & !P8", 2, 18},          // a parallel pair joined by links, then wires
        {"I1&I2 | I1&I3 | I2&I3", 2, 24},    // (I1|I2)&(I1|I3)&(I2|I3): fewer rows
        {"(I1|I2)&(I3|I4)&(I5|I6)", 2, 19},  // columns of contacts joined by their links
        {"(I1|I2)&(I3|I4)&(I5|I6)&(I7|I8)&(P1|P2)&(P3|P4)&(P5|P6)&(P7|P8)", 2, 24},
        {"(I1|I2|!I3)&P1&(P2|P3)&(I4|I5|I6|I7)", 4, 24},  // links alone feed the longer sums
        {"(I1|P1)&(I2|P2)&(I3|P3)&(I4|P4)&(I5|P5)&(I6|P6)&(I7|P7)&(I8|P8)&(!I1|!P1)&(!I2|!P2)&"
         "(!I3|!P3)&(!I4|!P4)&(!I5|!P5)&(!I6|!P6)&(!I7|!P7)&(!I8|!P8)",
         2, 32},  // 16 sums fill the width
        {"I1&I2&I3&I4&I5&I6&I7&I8 | !I1&!I2&!I3&!I4&!I5&!I6&!I7&!I8 | P1&P2&P3&P4&P5&P6&P7&P8", 3,
         48},
        // 16 products as written, where the minimal cover found has 17.
        {"!P6&!P2&!P5&P1&I8&I5&I3&!I7&P8 | I1&P8&!I5&P3&I8&!P5&!I3&!I4&!P4 | "
         "!P7&!P4&!I6&!P1&P2&I4&!P6&!I2&I3 | !I1&P5&!P4&!I6&P6&!I3&P2 | "
         "I4&I7&P8&P7&P6&!I6&I8&!P5&!P1"
         " | P4&I3&!P2&P1&!P7&!I7&!P8 | !P7&P4&!P5&!I2&!P6&!P8&!I7 | !I8&P3&!I2&P6&!P1 | "
         "I8&!I6&P6&I1&!P2&!I2&P1 | !P8&!I5&I3&P2&I7&!I1&P7 | I8&!I6&!I2&P7&!P1&P4&I5 | "
         "!P7&I5&!P6&!P2&I4&!I3&!P1&P3&!I1 | I6&I8&!P3 | !P5&I7&P3&P7&!I4 | "
         "P5&!I4&I7&I3&P1&I6&P4&!I8&I1 | !P3&I5&!P2&!I6&!I3&!P1&P4&!P6&I2",
         16, 256},
    };
    for (const auto& [formula, rows, segments] : drawn) {
        const auto d = DrawFormula(formula);
        ASSERT_TRUE(d) << formula << ": " << d.error();
        EXPECT_EQ(Compiled(d.value()), Parsed(formula)) << formula;
        int last = -1;
        for (int s = 0; s < kSegments; ++s)
            if (d.value().types[s]) last = s / 16;
        EXPECT_TRUE(SegmentCount(d.value().types) <= segments && last < rows) << formula;
    }
    const auto parity = DrawFunction(
        BitsOf([](int w) { return std::popcount(static_cast<unsigned>(w & 0xFF)) % 2 == 1; }));
    ASSERT_FALSE(parity);
    EXPECT_EQ(parity.error(), "does not fit in 16 x 16: needs 128 rows");
    EXPECT_EQ(DrawFormula("I1 |").error().rfind("column 5", 0), 0u);
}

// Every function of four signals (all 65,536 truth tables) is drawn and compiles back to itself.
TEST(Layout, EveryFunctionOfFourSignals) {
    const int sel[4] = {2, 7, 8, 13};     // I3, I8, P1, P6
    std::array<OutputBits, 16> minterms;  // the words of each combination of the four
    for (int m = 0; m < 16; ++m)
        minterms[static_cast<std::size_t>(m)] = BitsOf([&](int w) {
            int v = 0;
            for (int j = 0; j < 4; ++j) v |= In(w, sel[j]) << j;
            return v == m;
        });
    for (uint32_t table = 0; table < 65536; ++table) {
        OutputBits bits{};
        for (std::size_t m = 0; m < 16; ++m)
            if ((table >> m) & 1)
                for (std::size_t k = 0; k < bits.size(); ++k) bits[k] |= minterms[m][k];
        const auto d = DrawFunction(bits);
        ASSERT_TRUE(d) << table << ": " << d.error();
        ASSERT_EQ(Compiled(d.value()), bits) << table;
    }
}

}  // namespace
}  // namespace zez
