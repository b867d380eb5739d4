#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <future>
#include <memory>
#include <random>
#include <thread>

#include "compiler/Compiler.h"
#include "compiler/FastEngine.h"
#include "compiler/LogicGrid.h"
#include "support/SampleConfigs.h"
#ifndef ZEZ_PURE_ONLY
#include "system/Parallel.h"
#endif

namespace zez {
namespace {

using samples::Set;

#ifndef ZEZ_PURE_ONLY
// The compiles here run on the helper threads, as the programs' do.
[[maybe_unused]] const bool kOnHelpers = (UseTaskRunner(HelperTasks()), true);
#endif

int EnvInt(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v ? std::atoi(v) : fallback;
}

Config FirstRow(int firstCode, int sel) {
    Config c;
    Set(c, 0, 0, firstCode, sel);
    for (int s = 1; s < 16; ++s) Set(c, 0, s, 4);
    return c;
}

class BothEngines : public ::testing::TestWithParam<Engine> {};

TEST_P(BothEngines, SpecifiedArrays) {
    const Engine engine = GetParam();
    struct Case {
        const char* name;
        Config config;
        std::function<uint8_t(int)> want;
    };
    Config wires;
    for (int s = 0; s < 16; ++s) Set(wires, 3, s, 4);
    const Case cases[] = {
        {"nothing connected", Config{}, [](int) { return uint8_t{0}; }},
        {"row of wires on output 4", wires, [](int) { return uint8_t{8}; }},
        {"NO on I1", FirstRow(8, 0), [](int w) { return uint8_t(w & 1); }},
        {"NO on P1", FirstRow(8, 8), [](int w) { return uint8_t((w >> 8) & 1); }},
        {"NC on I1", FirstRow(12, 0), [](int w) { return uint8_t(~w & 1); }},
        {"NC on P8", FirstRow(12, 15), [](int w) { return uint8_t((~w >> 15) & 1); }},
    };
    for (const auto& c : cases) {
        ControlArray a;
        a.fill(0xA5);  // whatever the array held before
        Compile(c.config, a, engine);
        int wrong = 0;
        for (int w = 0; w < kInputWords; ++w) wrong += a[w] != c.want(w);
        EXPECT_EQ(wrong, 0) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, BothEngines, ::testing::Values(Engine::Fast, Engine::Reference),
                         [](const auto& info) {
                             return std::string(info.param == Engine::Fast ? "Fast" : "Reference");
                         });

// Whole arrays, fast against reference, byte for byte. ZEZ_DIFF_FULL sets how many per family.
struct Family {
    const char* name;
    Config (*make)(std::mt19937&);
};

const Family kFamilies[] = {
    {"typical", samples::Typical},
    {"dense", samples::DenseRandom},
    {"serpentine", samples::Serpentine},
    {"mesh", samples::Mesh},
    {"out_of_range", samples::OutOfRange},
    {"sparse", [](std::mt19937& r) { return samples::Sparse(r, 0.6); }},
    {"holed_mesh", samples::HoledMesh},
    {"long_ladder", samples::LongLadder},
};

class FullDifferential : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(FullDifferential, FastEqualsReference) {
    const auto [family, seed] = GetParam();
    const int perFamily = EnvInt("ZEZ_DIFF_FULL", 7);
    if (seed >= perFamily) GTEST_SKIP() << "ZEZ_DIFF_FULL=" << perFamily;
    std::mt19937 rng(static_cast<unsigned>(1000 * family + seed));
    const Config c = kFamilies[family].make(rng);
    ControlArray fast{}, ref{};
    Compile(c, fast, Engine::Fast);
    Compile(c, ref, Engine::Reference);
    const auto [f, r] = std::mismatch(fast.begin(), fast.end(), ref.begin());
    EXPECT_EQ(f - fast.begin(), kInputWords) << kFamilies[family].name << " seed " << seed
                                             << ": fast " << int(*f) << " reference " << int(*r);
}

INSTANTIATE_TEST_SUITE_P(
    Families, FullDifferential,
    ::testing::Combine(::testing::Range(0, static_cast<int>(std::size(kFamilies))),
                       ::testing::Range(0, 7)),
    [](const auto& info) {
        return std::string(kFamilies[std::get<0>(info.param)].name) + "_" +
               std::to_string(std::get<1>(info.param));
    });

// Many more configurations, each checked on sampled words through the logic grid.
TEST(SampledDifferential, FastAgreesWithTheGridOnSampledWords) {
    const int total = EnvInt("ZEZ_DIFF_SAMPLED", 1200);
    std::mt19937 rng(424242);
    LogicGrid grid;
    grid.bUseMem = true;
    for (int i = 0; i < total; ++i) {
        const Family& f = kFamilies[static_cast<std::size_t>(i) % std::size(kFamilies)];
        const Config c = f.make(rng);
        ControlArray a{};
        Compile(c, a, Engine::Fast);
        for (int k = 0; k < 256; ++k) {
            const int32_t w = static_cast<int32_t>(rng() & 0xFFFF);
            const int o = k % 8;
            grid.LogicLoadMem(c, o, w);
            grid.LogicTestMem();
            const bool fast = (a[w] >> o) & 1;
            ASSERT_EQ(fast, grid.ResultOnMem())
                << f.name << " #" << i << " output " << o << " word " << w;
        }
    }
}

// Compiles on several threads at once (the editor's and the Logic window's, say) share the
// helper threads and per-thread room; each must still get its own exact array.
TEST(FastEngine, ConcurrentCompilesAgree) {
    std::mt19937 rng(41);
    const std::array<Config, 3> configs = {samples::Mesh(rng), samples::DenseRandom(rng),
                                           samples::Typical(rng)};
    std::array<ControlArray, 3> want{};
    for (std::size_t i = 0; i < 3; ++i) CompileFast(configs[i], want[i]);
    std::array<std::atomic<int>, 4> wrong{};
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < wrong.size(); ++t)
        threads.emplace_back([&, t] {
            for (std::size_t k = 0; k < 9; ++k) {
                auto got = std::make_unique<ControlArray>();
                CompileFast(configs[(k + t) % 3], *got);
                wrong[t] += *got != want[(k + t) % 3];
            }
        });
    for (auto& th : threads) th.join();
    for (std::size_t t = 0; t < wrong.size(); ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;
}

// Output o's bitmap is read at word w & masks[o] only; the words outside a mask hold noise
// that must never reach the array.
TEST(FastEngine, AssemblyPutsBitMOfWordIIntoOutputByteI) {
    std::mt19937_64 rng(77);
    const std::array<std::array<int, kOutputs>, 5> maskSets = {{
        {0x3FF, 0x3FF, 0x3FF, 0x3FF, 0x3FF, 0x3FF, 0x3FF, 0x3FF},
        {0x155, 0x155, 0x155, 0x155, 0x155, 0x155, 0x155, 0x155},
        {0, 0, 0, 0, 0, 0, 0, 0},
        {0x200, 0, 0x3FF, 0x001, 0x0F0, 0x155, 0x2AA, 0x3FE},
        {0x001, 0x002, 0x004, 0x008, 0x010, 0x020, 0x040, 0x080},
    }};
    for (const auto& masks : maskSets) {
        std::array<OutputBits, kOutputs> bits;
        for (auto& b : bits)
            for (auto& word : b) word = rng();
        ControlArray want{};
        for (int i = 0; i < kInputWords; ++i)
            for (int o = 0; o < kOutputs; ++o)
                want[i] |=
                    static_cast<uint8_t>(((bits[o][(i >> 6) & masks[o]] >> (i & 63)) & 1) << o);
        for (AssemblyKernel kernel : AssemblyKernels()) {
            ControlArray got{};
            AssembleControlArray(bits, masks, got, kernel);
            EXPECT_EQ(got, want) << "masks from " << masks[0] << " kernel "
                                 << static_cast<int>(kernel);
        }
    }
}

#ifndef ZEZ_PURE_ONLY
// A second caller while the first holds the helpers runs on its own thread and finishes; the
// first is not held up by it.
TEST(RunTasks, ASecondCallerMeanwhileRunsAlone) {
    std::promise<void> started, release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> firstRuns{0};
    std::thread first([&] {
        RunTasks(4, [&](int i) {
            if (i == 0) {
                started.set_value();
                released.wait();
            }
            ++firstRuns;
        });
    });
    started.get_future().wait();
    std::atomic<int> secondRuns{0};
    const auto caller = std::this_thread::get_id();
    bool allOnCaller = true;
    RunTasks(6, [&](int) {
        ++secondRuns;
        allOnCaller = allOnCaller && std::this_thread::get_id() == caller;
    });
    EXPECT_TRUE(secondRuns == 6 && allOnCaller);
    release.set_value();
    first.join();
    EXPECT_EQ(firstRuns, 4);
}

#endif  // ZEZ_PURE_ONLY
}  // namespace
}  // namespace zez
