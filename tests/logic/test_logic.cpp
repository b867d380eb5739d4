#include <gtest/gtest.h>

#include <algorithm>
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

TEST(LogicGridCells, StoresMapStatesAndColours) {
    ArraySurface s;
    LogicGrid g(&s);
    g.SetPix(3, 2, kConductor);
    EXPECT_EQ(s.GetPixel(3, 2), kColourBlack);
    g.SetPix(3, 2, kEnergised);
    EXPECT_EQ(s.GetPixel(3, 2), kColourRed);
    EXPECT_EQ(g.GetPix(3, 2), kEnergised);
    // Any other colour, and a pixel the surface cannot give, reads as empty.
    for (uint32_t colour : {0x00FF0000u, 0x000000FEu, 0x00808080u, 0x010000FFu}) {
        s.SetPixelV(4, 4, colour);
        EXPECT_EQ(g.GetPix(4, 4), kEmpty) << std::hex << colour;
    }
    EXPECT_EQ(g.GetPix(-1, 0), kEmpty);
    EXPECT_EQ(g.GetPix(36, 49), kEmpty);
    g.bUseMem = true;
    g.SetPix(5, 5, kConductor);
    EXPECT_EQ(g.iGrid[5 + 36 * 5], kConductor);
    EXPECT_EQ(s.GetPixel(5, 5), kColourWhite);  // the picture is not touched
    g.SetPix(99, 99, kConductor);               // outside: ignored
    EXPECT_EQ(g.GetPix(99, 99), kEmpty);
}

TEST(LogicGridCells, RecordingHappensOnlyForConductorsInCallOrder) {
    ArraySurface s;
    LogicGrid g(&s);
    g.PlotPix(2, 2, kEmpty);
    g.PlotPix(7, 8, kConductor);
    g.SetImagePix(9, 10, kEmpty);
    g.SetImagePix(11, 12, kEnergised);
    g.PlotPix(13, 14, kEnergised);
    ASSERT_EQ(g.iListCount, 3);
    EXPECT_EQ((std::pair<int, int>{g.iListX[0], g.iListY[0]}), (std::pair<int, int>{7, 8}));
    EXPECT_EQ((std::pair<int, int>{g.iListX[1], g.iListY[1]}), (std::pair<int, int>{11, 12}));
    EXPECT_EQ((std::pair<int, int>{g.iListX[2], g.iListY[2]}), (std::pair<int, int>{13, 14}));
    EXPECT_EQ(g.iGrid[11 + 36 * 12], kEnergised);  // SetImagePix always writes memory
    EXPECT_EQ(s.GetPixel(7, 8), kColourBlack);
}

TEST(LogicGridCells, TouchEnergisesOnlyConductors) {
    for (bool mem : {false, true}) {
        ArraySurface s;
        LogicGrid g(&s);
        g.bUseMem = mem;
        g.SetPix(5, 5, kConductor);
        g.SetPix(6, 5, kEnergised);
        g.bChange = false;
        auto touch = [&](int x, int y) { return mem ? g.TPixMem(x, y) : g.TPix(x, y); };
        // Energised, empty and border cells: false, bChange untouched.
        for (auto [x, y] : {std::pair{6, 5}, std::pair{7, 5}, std::pair{0, 0}, std::pair{35, 49}}) {
            EXPECT_FALSE(touch(x, y));
            EXPECT_FALSE(g.bChange);
        }
        EXPECT_TRUE(touch(5, 5));
        EXPECT_TRUE(g.bChange);
        EXPECT_EQ(g.GetPix(5, 5), kEnergised);
        EXPECT_FALSE(touch(5, 5));
    }
}

TEST(LogicLoad, BlankOutputDrawsOnlyTheRails) {
    Both b;
    Config c;
    b.memory.LogicLoadMem(c, 0, 0);
    b.picture.LogicLoad(c, 0, 0);
    for (LogicGrid* g : {&b.memory, &b.picture}) {
        ASSERT_EQ(g->iListCount, 96);
        for (int y = 1; y <= 48; ++y) {
            EXPECT_EQ(g->iListX[2 * y - 2], 1);
            EXPECT_EQ(g->iListY[2 * y - 2], y);
            EXPECT_EQ(g->iListX[2 * y - 1], 34);
            EXPECT_EQ(g->iListY[2 * y - 1], y);
        }
        EXPECT_EQ(g->iListX[96], 0);
        int conductors = 0;
        for (int y = 0; y < kGridH; ++y)
            for (int x = 0; x < kGridW; ++x) conductors += g->GetPix(x, y) == kConductor;
        EXPECT_EQ(conductors, 96);
    }
}

TEST(LogicLoad, SegmentBlocksSitWhereTheirNumberSays) {
    Config c;
    Set(c, 0, 0, 15, 0);
    Set(c, 0, 17, 7);
    Set(c, 0, 255, 7);
    LogicGrid g;
    g.LogicLoadMem(c, 0, 0);  // NC closed with the word 0
    for (auto [x, y] : {std::pair{3, 1},
                        {2, 2},
                        {3, 2},
                        {3, 3},
                        {5, 4},
                        {4, 5},
                        {5, 5},
                        {5, 6},
                        {33, 46},
                        {32, 47},
                        {33, 47},
                        {33, 48}})
        EXPECT_EQ(g.MemCell(x, y), kConductor) << x << "," << y;
    for (auto [x, y] : {std::pair{2, 1}, {2, 3}, {32, 46}, {32, 48}, {33, 49}})
        EXPECT_EQ(g.MemCell(x, y), kEmpty) << x << "," << y;
}

TEST(LogicLoad, ContactsFollowTheirBit) {
    struct Case {
        int code, sel;
        int32_t word;
        bool leftArm;
    };
    const Case cases[] = {
        {8, 3, 1 << 3, true},
        {8, 3, 0, false},
        {8, 3, ~(1 << 3) & 0xFFFF, false},
        {12, 3, 1 << 3, false},
        {12, 3, 0, true},
        {8, 8, 1 << 8, true},
        {12, 15, 1 << 15, false},
        {11, 0, 1, true},
        {15, 0, 1, false},
        // Selections that name no signal: normally open stays open, normally closed closed.
        {8, -1, 0xFFFF, false},
        {8, 16, 0xFFFF, false},
        {8, 31, 0xFFFF, false},
        {8, 32, 0xFFFF, false},
        {8, 32767, 0xFFFF, false},
        {8, -32768, 0xFFFF, false},
        {12, -1, 0xFFFF, true},
        {12, 16, 0xFFFF, true},
        {12, 31, 0xFFFF, true},
        {12, 40, 0, true},
    };
    for (const auto& k : cases) {
        Config c;
        Set(c, 2, 0, k.code, k.sel);
        Both b;
        b.memory.LogicLoadMem(c, 2, k.word);
        b.picture.LogicLoad(c, 2, k.word);
        for (LogicGrid* g : {&b.memory, &b.picture}) {
            EXPECT_EQ(g->GetPix(2, 2) == kConductor, k.leftArm) << k.code << " sel " << k.sel;
            EXPECT_EQ(g->GetPix(3, 2), kConductor);  // the centre always
        }
    }
}

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
    {
        list.push_back({"blank", Config{}, [](int32_t) { return false; }, {{0, 2}, {0xFFFF, 2}}});
    }
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
        Set(c, 0, 48, 4);
        Set(c, 0, 49, 4);
        Set(c, 0, 50, 5);
        Set(c, 0, 34, 2);
        Set(c, 0, 35, 4);
        Set(c, 0, 36, 5);
        Set(c, 0, 20, 2);
        Set(c, 0, 21, 4);
        Set(c, 0, 22, 5);
        Set(c, 0, 6, 2);
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

TEST(LogicLoad, InvalidCodeAfterAValidLoadLeavesAnEmptyBlock) {
    Config valid;
    Set(valid, 0, 0, 7);
    Config invalid;
    Set(invalid, 0, 0, 23);
    LogicGrid g;
    g.LogicLoadMem(valid, 0, 0);
    g.LogicTestMem();
    g.LogicLoadMem(invalid, 0, 0);
    for (auto [x, y] : {std::pair{3, 1}, {2, 2}, {3, 2}, {3, 3}})
        EXPECT_EQ(g.MemCell(x, y), kEmpty);
    EXPECT_EQ(g.iListCount, 96);
}

}  // namespace
}  // namespace zez
