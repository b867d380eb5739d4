// The expression of an output: the minimum where it is claimed, and always exactly the function
// the engine compiles.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cctype>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <sstream>

#include "app/Cli.h"
#include "compiler/Compiler.h"
#include "logic/Expression.h"
#include "support/SampleConfigs.h"

namespace zez {
namespace {

// An evaluator for the published grammar, written from the grammar alone; it evaluates all
// 65,536 words at once, one bit per word.
//   expr := term ('|' term)* ; term := factor ('&' factor)* ;
//   factor := '!' factor | '(' expr ')' | I1..I8 | P1..P8 | '0' | '1'
class Parser {
  public:
    explicit Parser(std::string text) : s_(std::move(text)) {}
    // Empty when the text does not follow the grammar.
    std::optional<OutputBits> Parse() {
        auto f = Expr();
        Skip();
        if (!f || i_ != s_.size()) return std::nullopt;
        return f;
    }

  private:
    using Bits = std::optional<OutputBits>;
    static OutputBits Constant(bool on) {
        OutputBits b;
        b.fill(on ? ~uint64_t{0} : 0);
        return b;
    }
    static OutputBits Signal(int sel) {
        OutputBits b{};
        for (int w = 0; w < kInputWords; ++w)
            if ((w >> sel) & 1) b[static_cast<std::size_t>(w >> 6)] |= uint64_t{1} << (w & 63);
        return b;
    }
    void Skip() {
        while (i_ < s_.size() && s_[i_] == ' ') ++i_;
    }
    bool Eat(char c) {
        Skip();
        if (i_ < s_.size() && s_[i_] == c) return ++i_, true;
        return false;
    }
    Bits Expr() {
        Bits f = Term();
        while (f && Eat('|')) {
            Bits g = Term();
            if (!g) return std::nullopt;
            for (std::size_t i = 0; i < f->size(); ++i) (*f)[i] |= (*g)[i];
        }
        return f;
    }
    Bits Term() {
        Bits f = Factor();
        while (f && Eat('&')) {
            Bits g = Factor();
            if (!g) return std::nullopt;
            for (std::size_t i = 0; i < f->size(); ++i) (*f)[i] &= (*g)[i];
        }
        return f;
    }
    Bits Factor() {
        if (Eat('!')) {
            Bits f = Factor();
            if (f)
                for (auto& w : *f) w = ~w;
            return f;
        }
        if (Eat('(')) {
            Bits f = Expr();
            return f && Eat(')') ? f : std::nullopt;
        }
        if (Eat('0')) return Constant(false);
        if (Eat('1')) return Constant(true);
        if (i_ + 1 < s_.size() && (s_[i_] == 'I' || s_[i_] == 'P') && s_[i_ + 1] >= '1' &&
            s_[i_ + 1] <= '8') {
            const int sel = (s_[i_ + 1] - '1') + (s_[i_] == 'P' ? 8 : 0);
            i_ += 2;
            return signals_[static_cast<std::size_t>(sel)];
        }
        return std::nullopt;
    }
    static inline const std::array<OutputBits, 16> signals_ = [] {
        std::array<OutputBits, 16> a{};
        for (int n = 0; n < 16; ++n) a[static_cast<std::size_t>(n)] = Signal(n);
        return a;
    }();
    std::string s_;
    std::size_t i_ = 0;
};

OutputBits BitsOf(const std::function<bool(int)>& f) {
    OutputBits bits{};
    for (int w = 0; w < kInputWords; ++w)
        if (f(w)) bits[static_cast<std::size_t>(w >> 6)] |= uint64_t{1} << (w & 63);
    return bits;
}

bool In(int w, int sel) {
    return ((w >> sel) & 1) != 0;
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
    EXPECT_EQ(parity.terms.size(), 8u);
    EXPECT_EQ(parity.Literals(), 32);
}

// The fewest product terms of a function of the low `k` signals, by breadth-first search over
// covers with its prime implicants, which are found by brute force.
int MinimumTerms(uint32_t on, int k) {
    const int n = 1 << k;
    std::vector<uint32_t> implicants;  // as masks of covered minterms
    for (int care = 0; care < n; ++care) {
        for (int value = 0; value < n; ++value) {
            if (value & ~care) continue;
            uint32_t mask = 0;
            for (int m = 0; m < n; ++m)
                if ((m & care) == value) mask |= 1u << m;
            if ((mask & on) == mask) implicants.push_back(mask);
        }
    }
    std::vector<uint32_t> primes;
    for (uint32_t a : implicants) {
        bool prime = true;
        for (uint32_t b : implicants) prime = prime && !(a != b && (a & b) == a);
        if (prime) primes.push_back(a);
    }
    if (on == 0) return 0;
    std::vector<int> depth(std::size_t{1} << n, -1);
    std::vector<uint32_t> frontier{0};
    depth[0] = 0;
    for (int d = 1;; ++d) {
        std::vector<uint32_t> next;
        for (uint32_t s : frontier) {
            for (uint32_t p : primes) {
                const uint32_t t = s | p;
                if (t == on) return d;
                if (depth[t] < 0) {
                    depth[t] = d;
                    next.push_back(t);
                }
            }
        }
        frontier = std::move(next);
    }
}

TEST(Expression, TermCountIsTheMinimumForEveryFunctionOfThreeAndManyOfFour) {
    std::mt19937 rng(11);
    std::vector<std::pair<uint32_t, int>> functions;
    for (uint32_t on = 0; on < 256; ++on) functions.emplace_back(on, 3);
    for (int i = 0; i < 300; ++i) functions.emplace_back(rng() & 0xFFFF, 4);
    for (const auto& [on, k] : functions) {
        // Spread the low signals over inputs and pilots: I2, P1, I7, P8.
        const int sel[4] = {1, 8, 6, 15};
        const auto bits = BitsOf([&, on = on, k = k](int w) {
            int m = 0;
            for (int j = 0; j < k; ++j) m |= In(w, sel[j]) << j;
            return ((on >> m) & 1) != 0;
        });
        const auto sop = Minimise(bits);
        ASSERT_TRUE(sop.exact);
        ASSERT_EQ(static_cast<int>(sop.terms.size()), MinimumTerms(on, k))
            << "function " << on << " of " << k;
        ASSERT_EQ(Parser(FormatExpression(sop)).Parse(), bits) << FormatExpression(sop);
    }
}

TEST(Expression, ManySignalsGetAnEquivalentCoverMarkedHeuristic) {
    std::mt19937 rng(5);
    const std::function<bool(int)> functions[] = {
        [](int w) { return std::popcount(static_cast<unsigned>(w & 0x3FF)) % 2 == 1; },
        [](int w) {
            return (In(w, 0) && In(w, 1)) || (In(w, 2) && In(w, 3) && !In(w, 4)) ||
                   (In(w, 5) && In(w, 6)) || (In(w, 7) && In(w, 8) && In(w, 9)) ||
                   (!In(w, 10) && In(w, 11) && In(w, 12));
        },
        [&](int w) { return (w * 2654435761u >> 13) % 3 == 0; },  // no structure at all
    };
    for (const auto& f : functions) {
        const auto bits = BitsOf(f);
        const auto sop = Minimise(bits);
        EXPECT_GT(sop.dependsOn.size(), 8u);
        EXPECT_FALSE(sop.exact);
        EXPECT_EQ(Parser(FormatExpression(sop)).Parse(), bits);
    }
    // The structured one comes out as its five terms.
    EXPECT_EQ(Minimise(BitsOf(functions[1])).terms.size(), 5u);
}

TEST(Expression, AgreesWithTheCompiledArrayOnGeneratedDiagrams) {
    std::mt19937 rng(2026);
    std::vector<Config> configs;
    for (int i = 0; i < 3; ++i) {
        configs.push_back(samples::Typical(rng));
        configs.push_back(samples::Serpentine(rng));
        configs.push_back(samples::Sparse(rng, 0.7));
        configs.push_back(samples::OutOfRange(rng));
    }
    configs.push_back(samples::DenseRandom(rng));
    configs.push_back(samples::Mesh(rng));
    for (std::size_t i = 0; i < configs.size(); ++i) {
        ControlArray array{};
        Compile(configs[i], array);
        for (int o = 0; o < kOutputs; ++o) {
            const auto sop = ExpressOutput(configs[i], o);
            const std::string text = FormatExpression(sop);
            const auto f = Parser(text).Parse();
            ASSERT_TRUE(f) << text;
            for (int w = 0; w < kInputWords; ++w)
                ASSERT_EQ(((*f)[static_cast<std::size_t>(w >> 6)] >> (w & 63)) & 1,
                          (array[static_cast<std::size_t>(w)] >> o) & 1u)
                    << "config " << i << " output " << o + 1 << " word " << w << ": " << text;
        }
    }
}

TEST(Expression, CliPrintsEachNonEmptyOutputOrOneExpression) {
    const std::string file = std::string(ZEZ_EXAMPLES_DIR) + "/corridor.CDF";
    std::ostringstream out, err;
    ASSERT_EQ(cli::Run({"expr", file}, out, err), 0) << err.str();
    EXPECT_EQ(out.str(), "LC Input 1: I3&!P1|I4&!P1|P2\nLC Input 2: P2\n");
    std::ostringstream one, verbose, none;
    ASSERT_EQ(cli::Run({"expr", file, "--output", "1", "--verbose"}, verbose, err), 0);
    EXPECT_EQ(verbose.str(),
              "I3&!P1|I4&!P1|P2\n  exact minimum: 3 term(s), 5 literal(s); depends on I3 I4 P1 "
              "P2\n");
    ASSERT_EQ(cli::Run({"expr", file, "--output", "5"}, none, err), 0);
    EXPECT_EQ(none.str(), "0\n");  // an empty diagram never conducts
    EXPECT_EQ(cli::Run({"expr", file, "--output", "9"}, one, err), 2);
    EXPECT_EQ(cli::Run({"expr", "/nonexistent.CDF"}, one, err), 2);
}

}  // namespace
}  // namespace zez
