// Logic view benchmark: the expression and the wiring checks of every output, per case.
//   bench/logic      prints one line per case: expression and check times, terms, exactness
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "logic/Checks.h"
#include "logic/Expression.h"
#include "logic/Layout.h"
#include "support/SampleConfigs.h"

namespace {

using namespace zez;
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

}  // namespace

int main() {
    std::mt19937 rng(2026);
    struct Case {
        const char* name;
        Config config;
    };
    const Case cases[] = {{"typical", samples::Typical(rng)},
                          {"dense", samples::DenseRandom(rng)},
                          {"serpentine", samples::Serpentine(rng)},
                          {"mesh", samples::Mesh(rng)},
                          {"sparse", samples::Sparse(rng, 0.7)}};
    std::printf("%-11s %12s %12s %12s %12s %8s %6s %s\n", "case", "expr (8)", "check (8)",
                "by compiles", "worst expr", "terms", "exact", "signals per output");
    bool same = true;
    for (const auto& c : cases) {
        double worst = 0;
        std::size_t terms = 0;
        int exact = 0;
        std::string signals;
        const auto t0 = Clock::now();
        for (int o = 0; o < kOutputs; ++o) {
            const auto t1 = Clock::now();
            const auto sop = ExpressOutput(c.config, o);
            worst = std::max(worst, Since(t1));
            terms += sop.terms.size();
            exact += sop.exact;
            signals += std::to_string(sop.dependsOn.size()) + " ";
        }
        const double expr = Since(t0);
        const auto t2 = Clock::now();
        const auto findings = CheckConfig(c.config);
        const double check = Since(t2);
        // The same checks with two compiles per contact, as the reference for speed and result.
        const auto t3 = Clock::now();
        const auto byCompiles = CheckConfig(c.config, CheckMethod::Compiles);
        const double reference = Since(t3);
        same = same && findings == byCompiles;
        std::printf("%-11s %9.1f ms %9.2f ms %9.1f ms %9.1f ms %8zu %4d/8 %s(%zu findings%s)\n",
                    c.name, expr * 1e3, check * 1e3, reference * 1e3, worst * 1e3, terms, exact,
                    signals.c_str(), findings.size(), findings == byCompiles ? "" : ", DIFFER");
    }
    std::printf(same ? "findings: the same by both methods\n" : "findings: DIFFER\n");
    // Drawings of random functions (random truth tables over the first k signals).
    std::printf("\n%-8s %10s %14s %14s\n", "signals", "fit", "avg segments", "avg per draw");
    for (int k : {5, 6, 8}) {
        int fit = 0, segments = 0;
        constexpr int kFunctions = 200;
        const auto t0 = Clock::now();
        for (int i = 0; i < kFunctions; ++i) {
            std::vector<bool> table(std::size_t{1} << k);
            for (std::size_t m = 0; m < table.size(); ++m) table[m] = rng() & 1;
            OutputBits bits{};
            for (int w = 0; w < kInputWords; ++w)
                if (table[static_cast<std::size_t>(w & ((1 << k) - 1))])
                    bits[static_cast<std::size_t>(w >> 6)] |= uint64_t{1} << (w & 63);
            const auto d = DrawFunction(bits);
            if (!d) continue;
            ++fit;
            segments += SegmentCount(d.value().types);
        }
        std::printf("%-8d %9.0f%% %14.1f %11.2f ms\n", k, 100.0 * fit / kFunctions,
                    fit ? static_cast<double>(segments) / fit : 0.0, Since(t0) * 1e3 / kFunctions);
    }
    return same ? 0 : 1;
}
