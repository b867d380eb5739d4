// Compile benchmark: the fast engine against the reference engine in the same run.
//   bench/compile            prints one line per case: both times and the ratio, then the
//                            instructions of one compile of the typical case by each engine,
//                            counted by callgrind (when valgrind is installed), and their ratio
//   bench/compile --no-callgrind
//                            the table only
//   bench/compile --gbench   runs the Google Benchmark cases (fast engine only) instead
//   bench/compile --fast-only
//   bench/compile --once CASE fast|reference
//                            one compile of one case, for instruction counts under callgrind
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "compiler/Compiler.h"
#include "support/SampleConfigs.h"
#include "system/Clock.h"
#include "system/Parallel.h"

namespace {

using namespace zez;

struct Case {
    const char* name;
    Config config;
};

std::vector<Case> Cases() {
    std::mt19937 rng(2026);
    return {{"empty", Config{}},
            {"typical", samples::Typical(rng)},
            {"dense", samples::DenseRandom(rng)},
            {"serpentine", samples::Serpentine(rng)},
            {"mesh", samples::Mesh(rng)}};
}

// Median of repeated fast compiles, in seconds.
double FastSeconds(const Config& c, ControlArray& a) {
    std::vector<double> t;
    const auto start = std::chrono::steady_clock::now();
    while (t.size() < 25 || (t.size() < 2000 && std::chrono::steady_clock::now() - start <
                                                    std::chrono::milliseconds(300)))
        t.push_back(TimeCompile(c, a, Engine::Fast));
    std::nth_element(t.begin(), t.begin() + static_cast<std::ptrdiff_t>(t.size() / 2), t.end());
    return t[t.size() / 2];
}

void BM_Fast(benchmark::State& state, Config c) {
    ControlArray a{};
    for (auto _ : state) {
        Compile(c, a, Engine::Fast);
        benchmark::DoNotOptimize(a.data());
    }
}

// Instructions of one compile of `name` by `engine`, counted by callgrind inside Compile; none
// when valgrind cannot be run.
std::optional<long long> CallgrindInstructions(const char* self, const char* name,
                                               const char* engine) {
    const std::string cmd =
        "valgrind --tool=callgrind --callgrind-out-file=/dev/null "
        "--toggle-collect='zez::Compile(*' '" +
        std::string(self) + "' --once " + name + " " + engine + " 2>&1";
    FILE* pipe = popen(cmd.c_str(), "r");
    if (pipe == nullptr) return std::nullopt;
    std::optional<long long> collected;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        const char* at = std::strstr(line, "Collected : ");
        if (at != nullptr) collected = std::atoll(at + std::strlen("Collected : "));
    }
    if (pclose(pipe) != 0) return std::nullopt;
    return collected;
}

}  // namespace

int main(int argc, char** argv) {
    UseTaskRunner(HelperTasks());
    const bool gbench = argc > 1 && std::strcmp(argv[1], "--gbench") == 0;
    if (argc == 4 && std::strcmp(argv[1], "--once") == 0) {
        for (auto& c : Cases()) {
            if (c.name != std::string(argv[2])) continue;
            ControlArray a{};
            Compile(c.config, a,
                    std::strcmp(argv[3], "reference") == 0 ? Engine::Reference : Engine::Fast);
            benchmark::DoNotOptimize(a.data());
            return 0;
        }
        std::fprintf(stderr, "no case %s\n", argv[2]);
        return 2;
    }
    const bool fastOnly = argc > 1 && std::strcmp(argv[1], "--fast-only") == 0;
    const bool callgrind = !fastOnly && !(argc > 1 && std::strcmp(argv[1], "--no-callgrind") == 0);
    if (gbench) {
        for (auto& c : Cases())
            benchmark::RegisterBenchmark(c.name, BM_Fast, c.config)->Unit(benchmark::kMicrosecond);
        int n = argc - 1;
        benchmark::Initialize(&n, argv + 1);
        benchmark::RunSpecifiedBenchmarks();
        return 0;
    }
    std::printf("%-11s %14s %14s %12s %s\n", "case", "fast", "reference", "ratio", "identical");
    for (auto& c : Cases()) {
        ControlArray fast{}, ref{};
        const double f = FastSeconds(c.config, fast);
        if (fastOnly) {
            std::printf("%-11s %11.1f us\n", c.name, f * 1e6);
            continue;
        }
        const double r = TimeCompile(c.config, ref, Engine::Reference);
        std::printf("%-11s %11.1f us %11.3f s %11.0fx %s\n", c.name, f * 1e6, r, r / f,
                    fast == ref ? "yes" : "NO");
        std::fflush(stdout);
    }
    if (!callgrind) return 0;
    // The reference engine takes a few minutes under callgrind.
    std::error_code error;
    auto self = std::filesystem::canonical("/proc/self/exe", error).string();
    if (error) self = argv[0];
    const auto fast = CallgrindInstructions(self.c_str(), "typical", "fast");
    const auto ref =
        fast ? CallgrindInstructions(self.c_str(), "typical", "reference") : std::nullopt;
    if (!fast || !ref || *fast <= 0) {
        std::printf("typical under callgrind: valgrind is not available\n");
        return 0;
    }
    std::printf("typical under callgrind: fast %lld, reference %lld instructions, ratio %.0fx\n",
                *fast, *ref, static_cast<double>(*ref) / static_cast<double>(*fast));
    return 0;
}
