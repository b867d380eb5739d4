#include "logic/ContactEffect.h"

#include <algorithm>
#include <numeric>
#include <vector>

#include "compiler/FastEngine.h"

namespace zez {
namespace {

constexpr int kSupplyId = kSegments, kRailId = kSegments + 1;
// Words looked at before the contacts still undecided go to the exact test.
constexpr int kSampleWords = 1024;
constexpr std::size_t kCompileBelow = 32;

struct Sets {
    std::array<int, kSegments + 2> parent;
    Sets() { std::iota(parent.begin(), parent.end(), 0); }
    int Find(int x) {
        while (parent[x] != x) x = parent[x] = parent[parent[x]];
        return x;
    }
    void Unite(int a, int b) { parent[Find(a)] = Find(b); }
};

// The output's joins as a graph: nodes are the centres that always conduct to each other (as the
// compile joins them: wires, links, the rails), edges the contacts with both sides on a node.
struct Graph {
    struct Edge {
        int segment, a, b, var;  // var < 0: the contact's state never changes
        bool closedWhenOff;      // normally closed (or, for var < 0, always closed)
    };
    int nodes = 0, supply = 0, rail = 0;
    std::vector<Edge> edges;
};

Graph Build(const Config& config, int output, std::array<Effect, kSegments>& effect) {
    const auto& type = config.SegType[output];
    const auto& sel = config.SegInput[output];
    Sets sets;
    std::vector<std::array<int, 2>> contacts;  // segment, its left side
    for (int i = 0; i < kSegments; ++i) {
        const int t = type[i];
        if (!HasCentre(t)) continue;
        const int col = SegColumn(i);
        const int left = col == 0 ? kSupplyId : HasCentre(type[i - 1]) ? i - 1 : -1;
        if (ElementOf(t) == Element::Wire && left >= 0) sets.Unite(i, left);
        if (IsContact(t)) {
            if (left >= 0)
                contacts.push_back({i, left});
            else
                effect[i] = Effect::None;  // its left side touches nothing
        }
        if (HasLinkDown(t) && SegRow(i) < 15 && HasLinkUp(type[i + 16])) sets.Unite(i, i + 16);
        if (col == 15) sets.Unite(i, kRailId);
    }
    Graph g;
    std::array<int, kSegments + 2> node;
    node.fill(-1);
    const auto id = [&](int x) {
        const int r = sets.Find(x);
        if (node[r] < 0) node[r] = g.nodes++;
        return node[r];
    };
    g.supply = id(kSupplyId);
    g.rail = id(kRailId);
    for (const auto& [seg, left] : contacts) {
        const int a = id(left), b = id(seg);
        const int s = sel[seg];
        const bool nc = ElementOf(type[seg]) == Element::NormallyClosed;
        if (a == b)
            effect[seg] = Effect::None;  // both sides already one
        else
            g.edges.push_back({seg, a, b, IsValidSelection(s) ? s : -1, nc});
    }
    return g;
}

// For one word: marks the contacts whose forcing changes the output. With supply and rail
// apart, an open contact matters when it would join them; with them joined, a closed contact
// matters when every way between them crosses it (a bridge on the way).
class WordTest {
  public:
    explicit WordTest(const Graph& g) : g_(g), adj_(static_cast<std::size_t>(g.nodes)) {}

    void Run(int word, std::vector<char>& proven) {
        Sets sets;
        closed_.assign(g_.edges.size(), 0);
        for (std::size_t e = 0; e < g_.edges.size(); ++e) {
            const auto& ed = g_.edges[e];
            closed_[e] =
                ed.var < 0 ? ed.closedWhenOff : (((word >> ed.var) & 1) != 0) != ed.closedWhenOff;
            if (closed_[e]) sets.Unite(ed.a, ed.b);
        }
        const int s = sets.Find(g_.supply), r = sets.Find(g_.rail);
        if (s != r) {
            for (std::size_t e = 0; e < g_.edges.size(); ++e) {
                if (closed_[e] || proven[e]) continue;
                const int a = sets.Find(g_.edges[e].a), b = sets.Find(g_.edges[e].b);
                if ((a == s && b == r) || (a == r && b == s)) proven[e] = 1;
            }
            return;
        }
        Bridges(proven);
    }

  private:
    // Depth-first search from the supply over closed contacts; the tree edges on the way back
    // from the rail that no other way bypasses are bridges between them.
    void Bridges(std::vector<char>& proven) {
        for (auto& a : adj_) a.clear();
        for (std::size_t e = 0; e < g_.edges.size(); ++e) {
            if (!closed_[e]) continue;
            adj_[static_cast<std::size_t>(g_.edges[e].a)].push_back(static_cast<int>(e));
            adj_[static_cast<std::size_t>(g_.edges[e].b)].push_back(static_cast<int>(e));
        }
        const auto n = static_cast<std::size_t>(g_.nodes);
        tin_.assign(n, -1);
        low_.assign(n, 0);
        viaEdge_.assign(n, -1);
        struct Frame {
            int node;
            std::size_t next;
        };
        std::vector<Frame> stack{{g_.supply, 0}};
        int time = 0;
        tin_[static_cast<std::size_t>(g_.supply)] = low_[static_cast<std::size_t>(g_.supply)] =
            time++;
        while (!stack.empty()) {
            Frame& f = stack.back();
            const auto u = static_cast<std::size_t>(f.node);
            if (f.next < adj_[u].size()) {
                const int e = adj_[u][f.next++];
                if (e == viaEdge_[u]) continue;
                const auto& ed = g_.edges[static_cast<std::size_t>(e)];
                const auto v = static_cast<std::size_t>(ed.a == f.node ? ed.b : ed.a);
                if (tin_[v] < 0) {
                    tin_[v] = low_[v] = time++;
                    viaEdge_[v] = e;
                    stack.push_back({static_cast<int>(v), 0});
                } else {
                    low_[u] = std::min(low_[u], tin_[v]);
                }
                continue;
            }
            stack.pop_back();
            if (!stack.empty()) {
                const auto p = static_cast<std::size_t>(stack.back().node);
                low_[p] = std::min(low_[p], low_[u]);
            }
        }
        for (int v = g_.rail; v != g_.supply;) {
            const int e = viaEdge_[static_cast<std::size_t>(v)];
            const auto& ed = g_.edges[static_cast<std::size_t>(e)];
            if (low_[static_cast<std::size_t>(v)] >
                tin_[static_cast<std::size_t>(ed.a == v ? ed.b : ed.a)])
                proven[static_cast<std::size_t>(e)] = 1;
            v = ed.a == v ? ed.b : ed.a;
        }
    }

    const Graph& g_;
    std::vector<std::vector<int>> adj_;
    std::vector<char> closed_;
    std::vector<int> tin_, low_, viaEdge_;
};

}  // namespace

std::array<Effect, kSegments> SampleContactEffects(const Config& config, int output) {
    std::array<Effect, kSegments> effect;
    effect.fill(Effect::None);
    for (int s = 0; s < kSegments; ++s)
        if (IsContact(config.SegType[output][s])) effect[s] = Effect::Unknown;
    const Graph g = Build(config, output, effect);
    // A small network compiles in microseconds: looking for words would cost more.
    if (g.edges.size() <= kCompileBelow) return effect;
    std::vector<char> proven(g.edges.size(), 0);
    std::size_t left = g.edges.size();
    WordTest test(g);
    // The words in a fixed scattered order (an odd multiplier walks all 65,536 of them).
    for (int k = 0; k < kSampleWords && left > 0; ++k) {
        test.Run((k * 40503 + 12345) & 0xFFFF, proven);
        left = static_cast<std::size_t>(std::count(proven.begin(), proven.end(), 0));
    }
    for (std::size_t e = 0; e < g.edges.size(); ++e)
        if (proven[e]) effect[static_cast<std::size_t>(g.edges[e].segment)] = Effect::Some;
    return effect;
}

Effect CompiledContactEffect(const Config& config, int output, int segment) {
    // A wire conducts like a closed contact; a contact on no signal stays open.
    Config closed = config, open = config;
    const int link = config.SegType[output][segment] & (kLinkUp | kLinkDown);
    closed.SegType[output][segment] = static_cast<int16_t>(MakeCode(Element::Wire, link));
    open.SegType[output][segment] = static_cast<int16_t>(MakeCode(Element::NormallyOpen, link));
    open.SegInput[output][segment] = -1;
    OutputBits a, b;
    CompileOutputBits(closed, output, a);
    CompileOutputBits(open, output, b);
    return a == b ? Effect::None : Effect::Some;
}

}  // namespace zez
