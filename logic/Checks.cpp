#include "logic/Checks.h"

#include <algorithm>
#include <array>
#include <memory>

#include "compiler/FastEngine.h"
#include "compiler/LogicGrid.h"
#include "logic/ContactEffect.h"
#include "logic/Expression.h"

namespace zez {
namespace {

// Connection is decided on the memory grid exactly as the engine draws it, with every contact
// conducting. The engine's spreading energises, from each energised cell, the run of conductor
// cells in each of the four directions, until nothing changes: what it reaches is the set of
// conductor cells joined to the start through horizontally or vertically adjacent conductor
// cells. A segment is connected when its centre cell is reached both from the supply rail
// (x = 1) and from the output rail (x = 34) with the supply rail left empty, i.e. it lies on a
// path from supply to output that some setting of the contacts could close.
using Reached = std::array<bool, kGridCells>;

Reached Spread(const std::array<int16_t, kGridCells>& grid, int fromX, int fromY) {
    Reached seen{};
    std::vector<int> todo{fromX + kGridW * fromY};
    seen[static_cast<std::size_t>(todo.back())] =
        grid[static_cast<std::size_t>(todo.back())] != kEmpty;
    if (!seen[static_cast<std::size_t>(todo.back())]) return seen;
    while (!todo.empty()) {
        const int at = todo.back();
        todo.pop_back();
        const int x = at % kGridW;
        const int y = at / kGridW;
        const int next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
        for (const auto& n : next) {
            if (n[0] < 0 || n[0] >= kGridW || n[1] < 0 || n[1] >= kGridH) continue;
            const auto i = static_cast<std::size_t>(n[0] + kGridW * n[1]);
            if (seen[i] || grid[i] == kEmpty) continue;
            seen[i] = true;
            todo.push_back(static_cast<int>(i));
        }
    }
    return seen;
}

// The output's diagram with every contact closed (a wire conducts like a closed contact).
Config AllClosed(const Config& config, int output) {
    Config c = config;
    for (auto& t : c.SegType[output])
        if (IsContact(t))
            t = static_cast<int16_t>(MakeCode(Element::Wire, t & (kLinkUp | kLinkDown)));
    return c;
}

std::vector<int> NotConnected(const Config& config, int output) {
    auto grid = std::make_unique<LogicGrid>();
    grid->LogicLoadMem(AllClosed(config, output), output, 0);
    const Reached fromSupply = Spread(grid->iGrid, 1, 1);
    auto cells = grid->iGrid;
    for (int y = 0; y < kGridH; ++y) cells[static_cast<std::size_t>(1 + kGridW * y)] = kEmpty;
    const Reached fromOutput = Spread(cells, 34, 1);
    std::vector<int> out;
    for (int s = 0; s < kSegments; ++s) {
        if (!HasCentre(config.SegType[output][s])) continue;
        const auto centre = static_cast<std::size_t>(CentreX(s) + kGridW * CentreY(s));
        if (!fromSupply[centre] || !fromOutput[centre]) out.push_back(s);
    }
    return out;
}

}  // namespace

std::vector<Finding> CheckOutput(const Config& config, int output) {
    if (!OutputHasDiagram(config, output)) return {};
    OutputBits bits;
    CompileOutputBits(config, output, bits);
    return CheckOutput(config, output, bits);
}

std::vector<Finding> CheckOutput(const Config& config, int output, const OutputBits& bits,
                                 CheckMethod method) {
    std::vector<Finding> findings;
    if (!OutputHasDiagram(config, output)) return findings;
    const bool allOn = std::all_of(bits.begin(), bits.end(), [](uint64_t w) { return w == ~0ULL; });
    const bool allOff = std::all_of(bits.begin(), bits.end(), [](uint64_t w) { return w == 0; });
    if (allOn) findings.push_back({output, -1, FindingKind::AlwaysOn});
    if (allOff) findings.push_back({output, -1, FindingKind::AlwaysOff});

    const auto unconnected = NotConnected(config, output);
    std::array<Effect, kSegments> effect;
    effect.fill(Effect::Unknown);
    if (method == CheckMethod::Fast && !allOn && !allOff)
        effect = SampleContactEffects(config, output);
    for (int s = 0; s < kSegments; ++s) {
        const int t = config.SegType[output][s];
        if (!HasCentre(t)) continue;
        if (std::binary_search(unconnected.begin(), unconnected.end(), s)) {
            findings.push_back({output, s, FindingKind::NotConnected});
            continue;
        }
        if (!IsContact(t)) continue;
        bool noEffect = allOn || allOff;
        if (!noEffect) {
            const Effect e = effect[static_cast<std::size_t>(s)];
            noEffect = (e == Effect::Unknown ? CompiledContactEffect(config, output, s) : e) ==
                       Effect::None;
        }
        if (noEffect) findings.push_back({output, s, FindingKind::NoEffect});
    }
    return findings;
}

std::vector<Finding> CheckConfig(const Config& config, CheckMethod method) {
    std::vector<Finding> all;
    for (int o = 0; o < kOutputs; ++o) {
        if (!OutputHasDiagram(config, o)) continue;
        OutputBits bits;
        CompileOutputBits(config, o, bits);
        auto f = CheckOutput(config, o, bits, method);
        all.insert(all.end(), f.begin(), f.end());
    }
    return all;
}

std::string FindingReason(FindingKind kind) {
    switch (kind) {
        case FindingKind::AlwaysOn:
            return "always on";
        case FindingKind::AlwaysOff:
            return "always off";
        case FindingKind::NotConnected:
            return "not connected";
        case FindingKind::NoEffect:
            return "no effect";
    }
    return {};
}

std::string FindingText(const Finding& f) {
    std::string text = "LC Input " + std::to_string(f.output + 1) + ": ";
    if (f.segment >= 0) text += "segment " + std::to_string(f.segment) + ": ";
    return text + FindingReason(f.kind);
}

}  // namespace zez
