#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <set>

#include "logic/LogicGrid.h"
#include "support/SampleConfigs.h"

namespace zez {
namespace {

using samples::Set;

// Sets every segment of row `row` from `from` on to wires.
void Wires(Config& c, int output, int row, int from, int to = 15) {
    for (int col = from; col <= to; ++col) Set(c, output, 16 * row + col, 4);
}

std::set<std::pair<int, int>> WorkList(const LogicGrid& g) {
    std::set<std::pair<int, int>> cells;
    for (int k = 0; k < g.iListCount; ++k) cells.insert({g.iListX[k], g.iListY[k]});
    return cells;
}

struct Both {
    ArraySurface surface;
    LogicGrid picture{&surface};
    LogicGrid memory;
    Both() { memory.bUseMem = true; }
};

TEST(LogicLoad, ContactsFollowTheirBit) {
    // code, selection, word, whether the left arm conducts. Selections that name no signal:
    // normally open stays open, normally closed closed.
    const int cases[][4] = {
        {8, 3, 1 << 3, 1},   {8, 3, 0xFFF7, 0},    {12, 3, 1 << 3, 0},     {12, 3, 0, 1},
        {8, 8, 1 << 8, 1},   {12, 15, 1 << 15, 0}, {11, 0, 1, 1},          {15, 0, 1, 0},
        {8, -1, 0xFFFF, 0},  {8, 16, 0xFFFF, 0},   {8, -32768, 0xFFFF, 0}, {12, -1, 0xFFFF, 1},
        {12, 31, 0xFFFF, 1}, {12, 40, 0, 1},
    };
    for (const auto& [code, sel, word, leftArm] : cases) {
        Config c;
        Set(c, 2, 0, code, sel);
        Both b;
        b.memory.LogicLoadMem(c, 2, word);
        b.picture.LogicLoad(c, 2, word);
        for (LogicGrid* g : {&b.memory, &b.picture}) {
            EXPECT_EQ(g->GetPix(2, 2) == kConductor, leftArm != 0) << code << " sel " << sel;
            EXPECT_EQ(g->GetPix(3, 2), kConductor);  // the centre always
        }
    }
}

// Codes outside the segments after valid ones leave empty blocks, as on a fresh grid.
TEST(LogicLoad, ReloadLeavesNoTraceOfAnEarlierLoadOrEvaluation) {
    std::mt19937 rng(3);
    for (int round = 0; round < 20; ++round) {
        Config first = samples::DenseRandom(rng);
        Config second = samples::OutOfRange(rng);
        LogicGrid fresh;
        fresh.LogicLoadMem(second, 1, 0x1234);
        LogicGrid g;
        g.LogicLoadMem(first, 1, 0xFFFF);
        g.LogicTestMem();
        g.LogicLoadMem(second, 1, 0x1234);
        EXPECT_EQ(g.iGrid, fresh.iGrid);
        EXPECT_EQ(g.iListX, fresh.iListX);
        EXPECT_EQ(g.iListY, fresh.iListY);
    }
}

TEST(LogicLoad, BothStoresDrawTheSameGridAndCells) {
    std::mt19937 rng(11);
    for (int round = 0; round < 40; ++round) {
        const Config c = round % 2 ? samples::DenseRandom(rng) : samples::OutOfRange(rng);
        const int output = round % 8;
        const int32_t word = static_cast<int32_t>(rng() & 0xFFFF);
        Both b;
        b.memory.LogicLoadMem(c, output, word);
        b.picture.LogicLoad(c, output, word);
        EXPECT_EQ(b.memory.iListCount, b.picture.iListCount);
        EXPECT_EQ(WorkList(b.memory), WorkList(b.picture));
        for (int k = 0; k < 96; ++k) EXPECT_EQ(b.memory.iListX[k], b.picture.iListX[k]);
        for (int y = 0; y < kGridH; ++y)
            for (int x = 0; x < kGridW; ++x)
                ASSERT_EQ(b.memory.MemCell(x, y), b.picture.GetPix(x, y)) << x << "," << y;
        b.memory.LogicTestMem();
        b.picture.LogicTest();
        EXPECT_EQ(b.memory.ResultOnMem(), b.picture.ResultOnPicture());
        for (int y = 0; y < kGridH; ++y)
            for (int x = 0; x < kGridW; ++x)
                ASSERT_EQ(b.memory.MemCell(x, y), b.picture.GetPix(x, y)) << x << "," << y;
    }
}

struct Circuit {
    const char* name;
    Config config;
    // Expected state for a word, and the passes for that word (0: not checked).
    std::function<bool(int32_t)> on;
    std::vector<std::pair<int32_t, int>> passes;
};

std::vector<Circuit> Circuits() {
    std::vector<Circuit> list;
    list.push_back({"blank", Config{}, [](int32_t) { return false; }, {{0, 2}, {0xFFFF, 2}}});
    {
        Config c;
        Wires(c, 0, 0, 0);
        list.push_back({"row of wires", c, [](int32_t) { return true; }, {{0, 2}}});
    }
    {
        Config c;
        Set(c, 0, 0, 8, 0);
        Wires(c, 0, 0, 1);
        list.push_back({"normally open on I1", c, [](int32_t w) { return (w & 1) != 0; }, {}});
        Set(c, 0, 0, 12, 0);
        list.push_back({"normally closed on I1", c, [](int32_t w) { return (w & 1) == 0; }, {}});
        Set(c, 0, 0, 8, 8);
        list.push_back({"normally open on P1", c, [](int32_t w) { return (w & 0x100) != 0; }, {}});
    }
    {
        Config c;
        Set(c, 0, 0, 8, 0);
        Set(c, 0, 1, 8, 1);
        Wires(c, 0, 0, 2);
        list.push_back({"series I1 I2", c, [](int32_t w) { return (w & 3) == 3; }, {}});
    }
    {
        Config c;
        Set(c, 0, 0, 8, 0);
        Set(c, 0, 1, 6);
        Wires(c, 0, 0, 2);
        Set(c, 0, 16, 8, 1);
        Set(c, 0, 17, 5);
        list.push_back({"parallel I1 I2", c, [](int32_t w) { return (w & 3) != 0; }, {{2, 4}}});
    }
    {
        // The supply climbs three rows and reaches the output rail at (34, 2) late.
        Config c;
        for (auto [seg, code] : {std::pair{48, 4},
                                 {49, 4},
                                 {50, 5},
                                 {34, 2},
                                 {35, 4},
                                 {36, 5},
                                 {20, 2},
                                 {21, 4},
                                 {22, 5},
                                 {6, 2}})
            Set(c, 0, seg, code);
        Wires(c, 0, 0, 7);
        list.push_back({"climbing three rows", c, [](int32_t) { return true; }, {}});
    }
    {
        // A conductor island that the supply never reaches stays at 1.
        Config c;
        Wires(c, 0, 5, 3, 15);
        list.push_back({"island", c, [](int32_t) { return false; }, {}});
    }
    return list;
}

TEST(LogicTest, KnownCircuits) {
    for (const auto& circuit : Circuits()) {
        for (int32_t word : {0, 1, 2, 3, 0x100, 0xFFFF, 0xFEFE, 0x5555}) {
            Both b;
            b.memory.LogicLoadMem(circuit.config, 0, word);
            b.memory.LogicTestMem();
            b.picture.LogicLoad(circuit.config, 0, word);
            b.picture.LogicTest();
            EXPECT_EQ(b.memory.ResultOnMem(), circuit.on(word)) << circuit.name << " word " << word;
            EXPECT_EQ(b.picture.ResultOnPicture(), circuit.on(word)) << circuit.name << " " << word;
        }
        for (auto [word, passes] : circuit.passes) {
            LogicGrid g;
            g.LogicLoadMem(circuit.config, 0, word);
            g.LogicTestMem();
            EXPECT_EQ(g.LastPasses(), passes) << circuit.name << " word " << word;
        }
    }
}

TEST(LogicTest, OnlyConductorsConnectedToTheSupplyAreEnergised) {
    std::mt19937 rng(5);
    for (int round = 0; round < 30; ++round) {
        const Config c = samples::DenseRandom(rng);
        LogicGrid loaded;
        loaded.LogicLoadMem(c, round % 8, static_cast<int32_t>(rng() & 0xFFFF));
        LogicGrid g = loaded;
        g.LogicTestMem();
        // Flood fill of the loaded conductors from the source, as the expected answer.
        std::vector<char> reached(kGridCells, 0);
        std::vector<int> stack = {1 + 36};
        reached[1 + 36] = 1;
        while (!stack.empty()) {
            const int p = stack.back();
            stack.pop_back();
            for (int d : {-1, 1, -36, 36}) {
                const int q = p + d;
                if (q >= 0 && q < kGridCells && !reached[q] && loaded.iGrid[q] == kConductor) {
                    reached[q] = 1;
                    stack.push_back(q);
                }
            }
        }
        for (int p = 0; p < kGridCells; ++p) {
            const int16_t want = loaded.iGrid[p] == kEmpty ? kEmpty
                                 : reached[p]              ? kEnergised
                                                           : kConductor;
            ASSERT_EQ(g.iGrid[p], want) << "cell " << p % 36 << "," << p / 36;
        }
    }
}

}  // namespace
}  // namespace zez
