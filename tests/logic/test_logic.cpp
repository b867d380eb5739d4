// The logic grid of the Test button and the reference engine, the wiring checks, the signals
// each output reads and the report.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <set>

#include "compiler/LogicGrid.h"
#include "logic/Checks.h"
#include "logic/SignalUse.h"
#include "support/SampleConfigs.h"
#ifndef ZEZ_PURE_ONLY
#include "export/Report.h"
#endif

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

// The picture and the memory store, loaded and tested alike.
struct Both {
    ArraySurface surface;
    LogicGrid picture{&surface};
    LogicGrid memory;
    Both(const Config& c, int output, int32_t word) {
        memory.bUseMem = true;
        memory.LogicLoadMem(c, output, word);
        picture.LogicLoad(c, output, word);
    }
    void Test() {
        memory.LogicTestMem();
        picture.LogicTest();
    }
    void ExpectSameCells() const {
        for (int y = 0; y < kGridH; ++y)
            for (int x = 0; x < kGridW; ++x)
                ASSERT_EQ(memory.MemCell(x, y), picture.GetPix(x, y)) << x << "," << y;
    }
};

TEST(LogicLoad, BothStoresDrawTheSameGridAndCells) {
    std::mt19937 rng(11);
    for (int round = 0; round < 40; ++round) {
        const Config c = round % 2 ? samples::DenseRandom(rng) : samples::OutOfRange(rng);
        Both b(c, round % 8, static_cast<int32_t>(rng() & 0xFFFF));
        EXPECT_EQ(b.memory.iListCount, b.picture.iListCount);
        EXPECT_EQ(WorkList(b.memory), WorkList(b.picture));
        b.ExpectSameCells();
        b.Test();
        EXPECT_EQ(b.memory.ResultOnMem(), b.picture.ResultOnPicture());
        b.ExpectSameCells();
    }
}

struct Circuit {
    const char* name;
    Config config;
    // Expected state for a word, and the passes for that word (0: not checked).
    std::function<bool(int32_t)> on;
    std::vector<std::pair<int32_t, int>> passes;
};

// (Single contacts on each kind of signal are in the engines' whole-array tests.)
std::vector<Circuit> Circuits() {
    Config wires, series, parallel, climbing, island;
    Wires(wires, 0, 0, 0);
    Set(series, 0, 0, 8, 0);
    Set(series, 0, 1, 8, 1);
    Wires(series, 0, 0, 2);
    Set(parallel, 0, 0, 8, 0);
    Set(parallel, 0, 1, 6);
    Wires(parallel, 0, 0, 2);
    Set(parallel, 0, 16, 8, 1);
    Set(parallel, 0, 17, 5);
    // The supply climbs three rows and reaches the output rail at (34, 2) late.
    const int segs[] = {48, 49, 50, 34, 35, 36, 20, 21, 22, 6},
              codes[] = {4, 4, 5, 2, 4, 5, 2, 4, 5, 2};
    for (int i = 0; i < 10; ++i) Set(climbing, 0, segs[i], codes[i]);
    Wires(climbing, 0, 0, 7);
    Wires(island, 0, 5, 3, 15);  // a conductor island that the supply never reaches stays at 1
    return {
        {"blank", Config{}, [](int32_t) { return false; }, {{0, 2}, {0xFFFF, 2}}},
        {"row of wires", wires, [](int32_t) { return true; }, {{0, 2}}},
        {"series I1 I2", series, [](int32_t w) { return (w & 3) == 3; }, {}},
        {"parallel I1 I2", parallel, [](int32_t w) { return (w & 3) != 0; }, {{2, 4}}},
        {"climbing three rows", climbing, [](int32_t) { return true; }, {}},
        {"island", island, [](int32_t) { return false; }, {}},
    };
}

TEST(LogicTest, KnownCircuits) {
    for (const auto& circuit : Circuits()) {
        for (int32_t word : {0, 1, 2, 3, 0x100, 0xFFFF, 0xFEFE, 0x5555}) {
            Both b(circuit.config, 0, word);
            b.Test();
            EXPECT_EQ(b.memory.ResultOnMem(), circuit.on(word)) << circuit.name << " word " << word;
            EXPECT_EQ(b.picture.ResultOnPicture(), circuit.on(word)) << circuit.name << " " << word;
        }
        for (auto [word, passes] : circuit.passes) {
            Both b(circuit.config, 0, word);
            b.Test();
            EXPECT_EQ(b.memory.LastPasses(), passes) << circuit.name << " word " << word;
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

constexpr auto npos = std::string::npos;

constexpr int W = 4;    // wire
constexpr int Wd = 6;   // wire, link down
constexpr int NO = 8;   // normally open
constexpr int NOu = 9;  // normally open, link up
constexpr int NC = 12;  // normally closed
constexpr int I1 = 0, I2 = 1, I3 = 2;

// Row 0 from the supply to the output: the given segments, wires elsewhere.
Config Rung(std::initializer_list<std::tuple<int, int, int>> parts) {
    Config c;
    for (int s = 0; s < 16; ++s) Set(c, 0, s, W);
    for (const auto& [seg, code, sel] : parts) Set(c, 0, seg, code, sel);
    return c;
}

std::vector<std::string> Texts(const std::vector<Finding>& findings) {
    std::vector<std::string> out;
    for (const auto& f : findings) out.push_back(FindingText(f));
    return out;
}

TEST(Checks, EachFindingOnTheDiagramDrawnForIt) {
    struct Case {
        const char* name;
        Config config;
        std::vector<std::string> findings;
    };
    Config parallel = Rung({{0, Wd, 0}, {1, NO, I2}});  // a contact across a wire
    Set(parallel, 0, 16, NOu, I1);
    Config floating = Rung({{3, NO, I1}});
    Set(floating, 0, 87, W);  // touches nothing
    Config stub = Rung({{3, NO, I1}});
    Set(stub, 0, 16, W);  // a wire under column 0, on the supply rail only
    Config toOutput = Rung({{3, NO, I1}, {15, Wd, 0}});
    Set(toOutput, 0, 31, 5);  // hangs off the output side: reaches both rails
    Config invalid = Rung({{3, NO, I1}});
    Set(invalid, 0, 100, 77);  // not a segment code
    Config alone = Rung({{4, NO, I1}});
    Set(alone, 0, 200, NO, I2);  // a contact alone in row 12: no other finding for it
    Set(alone, 0, 201, W);
    for (int s = 0; s < 16; ++s) Set(alone, 6, s, W);  // output 7 always on, on its own
    const Case cases[] = {
        {"clean rung", Rung({{2, NO, I1}, {5, NC, I2}}), {}},
        {"always on", Rung({}), {"LC Input 1: always on"}},
        {"always off",
         Rung({{2, NO, I3}, {3, NC, I3}}),
         {"LC Input 1: always off", "LC Input 1: segment 2: no effect",
          "LC Input 1: segment 3: no effect"}},
        {"contact across a wire", parallel, {"LC Input 1: segment 16: no effect"}},
        {"floating wire", floating, {"LC Input 1: segment 87: not connected"}},
        {"stub on the supply side", stub, {"LC Input 1: segment 16: not connected"}},
        {"stub on the output side", toOutput, {}},
        {"code outside 0..15", invalid, {}},
        {"empty output", Config{}, {}},
        {"unconnected contact, two outputs",
         alone,
         {"LC Input 1: segment 200: not connected", "LC Input 1: segment 201: not connected",
          "LC Input 7: always on"}},
    };
    for (const auto& c : cases) EXPECT_EQ(Texts(CheckConfig(c.config)), c.findings) << c.name;
}

// The fast check of a contact's effect (sampled words first, compiles only for what they leave
// open) finds exactly what compiling every contact forced closed and forced open finds, on
// generated diagrams of every shape but the full mesh (whose compiles take seconds; one holed
// mesh takes most of this test's time).
TEST(Checks, TheFastMethodFindsWhatCompilingEveryContactFinds) {
    struct Family {
        const char* name;
        std::function<Config(std::mt19937&)> make;
        unsigned seeds;
    };
    const Family families[] = {
        {"typical", samples::Typical, 4},
        {"dense", samples::DenseRandom, 4},
        {"serpentine", samples::Serpentine, 4},
        {"holed mesh", samples::HoledMesh, 1},
        {"long ladder", samples::LongLadder, 4},
        {"out of range", samples::OutOfRange, 4},
        {"sparse", [](std::mt19937& rng) { return samples::Sparse(rng, 0.7); }, 4},
    };
    std::size_t findings = 0;
    for (const auto& f : families)
        for (unsigned seed = 1; seed <= f.seeds; ++seed) {
            std::mt19937 rng(seed);
            const Config c = f.make(rng);
            const auto fast = CheckConfig(c, CheckMethod::Fast);
            EXPECT_EQ(Texts(fast), Texts(CheckConfig(c, CheckMethod::Compiles)))
                << f.name << " seed " << seed;
            findings += fast.size();
        }
    EXPECT_GT(findings, 100u);  // the families do have contacts without effect
}

// Which outputs read which signal: contacts on no signal are not counted, and a contact that has
// no effect is marked.
TEST(SignalUse, CountsContactsAndMarksThoseWithoutEffect) {
    Config c = Rung({{0, Wd, 0}, {1, NO, I2}});  // I2, with a contact on I1 across a wire
    Set(c, 0, 16, NOu, I1);
    for (int s = 0; s < 16; ++s) Set(c, 3, s, s ? W : NC, I2);  // output 4: not I2
    Set(c, 4, 0, NO, 40);                                       // a contact on no signal
    const SignalUse use = UseOfSignals(c);
    EXPECT_EQ(SignalUseTable(use),
              "signal  LC1  LC2  LC3  LC4  LC5  LC6  LC7  LC8\n"
              "I1       1*   -    -    -    -    -    -    -\n"
              "I2       1    -    -    1    -    -    -    -\n"
              "* drawn, but the output does not depend on it\n"
              "free: I3 I4 I5 I6 I7 I8 P1 P2 P3 P4 P5 P6 P7 P8\n");
    EXPECT_EQ(SignalUseLine(use),
              "I1: 1; I2: 1, 4 | free: I3 I4 I5 I6 I7 I8 P1 P2 P3 P4 P5 P6 P7 P8");
}

#ifndef ZEZ_PURE_ONLY
// The report: a section per output (its expression, its truth table up to six signals, its
// findings), the signals, and the note and names as text, never as markup.
TEST(Report, ShowsEachOutputAndEscapesWhatTheUserWrote) {
    Config c = Rung({{2, NO, I1}, {3, NC, I2}});                   // output 1: I1 & !I2
    for (int s = 0; s < 16; ++s) Set(c, 2, s, s < 7 ? NO : W, s);  // output 3: I1..I7 in series
    for (int s = 0; s < 16; ++s) Set(c, 4, s, W);                  // output 5: always on
    const std::string note = "<b>Hall & stairs</b>\r\ncaf\xe9";
    std::copy(note.begin(), note.end(), c.NoteData.begin());
    const std::string html = ReportHtml(c, {"R&D <1>.CDF", "today"});
    const auto section = [&](int o) {
        const auto at = html.find("<h2>LC Input " + std::to_string(o) + "</h2>");
        return html.substr(at, html.find("<h2>", at + 4) - at);
    };
    const std::string one = section(1);
    EXPECT_NE(one.find("<code>I1&amp;!I2</code> (minimal sum of products)"), npos) << one;
    // Title, expression, the table's head, its 4 rows and end, the checks.
    EXPECT_EQ(std::count(one.begin(), one.end(), '\n'), 9) << one;
    EXPECT_NE(one.find("<tr><td>1</td><td>0</td><td class=\"on\">On</td></tr>"), npos) << one;
    EXPECT_NE(section(2).find("No diagram: always off."), npos);
    EXPECT_NE(section(3).find("Depends on 7 signals"), npos);
    EXPECT_NE(section(5).find("<li>LC Input 5: always on</li>"), npos);
    EXPECT_NE(html.find("<title>Report: R&amp;D &lt;1&gt;.CDF</title>"), npos);
    EXPECT_NE(html.find("<pre>&lt;b&gt;Hall &amp; stairs&lt;/b&gt;\ncaf\xc3\xa9</pre>"), npos);
    EXPECT_NE(html.find("\nI7       -    -    1    -    -    -    -    -\n"), npos);
    EXPECT_EQ(html.find("<b>"), npos);
}

#endif  // ZEZ_PURE_ONLY
}  // namespace
}  // namespace zez
