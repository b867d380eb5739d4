#include "compiler/FastEngine.h"

#include "compiler/Parallel.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <numeric>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define ZEZ_HAVE_SSE2 1
#else
#define ZEZ_HAVE_SSE2 0
#endif
// The AVX2 kernel is compiled apart and chosen at run time where the processor has it.
#if ZEZ_HAVE_SSE2 && (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#include <immintrin.h>
#define ZEZ_HAVE_AVX2 1
#define ZEZ_TARGET_AVX2 __attribute__((target("avx2")))
#else
#define ZEZ_HAVE_AVX2 0
#endif

namespace zez {
namespace {

constexpr int kSupply = kSegments;       // node of the supply rail
constexpr int kOutRail = kSegments + 1;  // node of the output rail
constexpr uint64_t kAll = ~uint64_t{0};

// Lane patterns of inputs 0..5 inside one 64-bit word; inputs 6..15 are the word index's bits.
constexpr std::array<uint64_t, 6> kLanePattern = {0xAAAAAAAAAAAAAAAAull, 0xCCCCCCCCCCCCCCCCull,
                                                  0xF0F0F0F0F0F0F0F0ull, 0xFF00FF00FF00FF00ull,
                                                  0xFFFF0000FFFF0000ull, 0xFFFFFFFF00000000ull};

// Over the segment centres and the two rails; the root of a set is its smallest member.
class UnionFind {
  public:
    UnionFind() { std::iota(parent_.begin(), parent_.end(), uint16_t{0}); }
    int Find(int x) {
        while (parent_[x] != x) {
            auto& p = parent_[x];
            p = parent_[p];
            x = p;
        }
        return x;
    }
    void Unite(int a, int b) {
        a = Find(a);
        b = Find(b);
        if (a != b) parent_[std::max(a, b)] = static_cast<uint16_t>(std::min(a, b));
    }

  private:
    std::array<uint16_t, kSegments + 2> parent_;
};

// Expressions over contact literals.
enum class Op : uint8_t { Lit, NotLit, Const, And, Or };
struct Expr {
    Op op;
    uint8_t var;
    int a, b;
    uint64_t value;  // Const: the lanes (inputs 0..5) in which it holds
};

struct Edge {
    int u, v, expr;
    bool alive;
};

// The reduced circuit of one output, ready to evaluate 64 words at a time.
struct Circuit {
    enum class Kind { Off, On, Expression, Mesh } kind = Kind::Off;
    std::vector<Expr> exprs;
    // Straight-line program: register i holds the value of instruction i for each word. A
    // literal of inputs 0..5 is a lane constant; one of inputs 6..15 ("sel") is all ones or zero
    // per word, flipped when `negated`.
    enum class Step : uint8_t {
        Const,
        Lit,
        And,
        Or,
        AndConst,
        OrConst,
        AndLit,
        OrLit,
        LitAndConst,
        LitOrConst
    };
    struct Instr {
        Step op;
        uint8_t var;  // Lit, AndLit, OrLit: input 6..15
        bool negated;
        int a, b;
        uint64_t value;  // Const, AndConst, OrConst, LitAndConst, LitOrConst
    };
    std::vector<Instr> program;
    int resultReg = -1;  // Expression kind
    // Mesh kind: flood over nodes 0..nodes-1 (0 supply, 1 output rail) along labelled edges.
    struct MeshEdge {
        int u, v, reg;
    };
    std::vector<MeshEdge> mesh;
    int nodes = 0;
    uint16_t usedVars = 0;
};

class Reducer {
  public:
    // Reused from one circuit to the next, so that its lists keep their room.
    void Reset(Circuit& c) {
        c_ = &c;
        c.kind = Circuit::Kind::Off;
        c.exprs.clear();
        c.program.clear();
        c.mesh.clear();
        c.resultReg = -1;
        c.nodes = 0;
        c.usedVars = 0;
        nodes_ = 0;
        edges_.clear();
    }

    int NewNode() {
        if (nodes_ == static_cast<int>(adj_.size())) {
            adj_.emplace_back();
            dead_.push_back(0);
        }
        adj_[nodes_].clear();
        dead_[nodes_] = 0;
        return nodes_++;
    }
    int Lit(int var, bool negated) {
        c_->exprs.push_back({negated ? Op::NotLit : Op::Lit, static_cast<uint8_t>(var), -1, -1, 0});
        return static_cast<int>(c_->exprs.size()) - 1;
    }
    int Const(uint64_t lanes) {
        c_->exprs.push_back({Op::Const, 0, -1, -1, lanes});
        return static_cast<int>(c_->exprs.size()) - 1;
    }
    int Combine(Op op, int a, int b) {
        c_->exprs.push_back({op, 0, a, b, 0});
        return static_cast<int>(c_->exprs.size()) - 1;
    }
    // Adds an edge, merging it into a parallel one.
    void AddEdge(int u, int v, int expr) {
        if (u == v) return;
        if (const int e = FindEdge(u, v); e >= 0) {
            edges_[e].expr = Combine(Op::Or, edges_[e].expr, expr);
            return;
        }
        edges_.push_back({u, v, expr, true});
        const int id = static_cast<int>(edges_.size()) - 1;
        adj_[u].push_back(id);
        adj_[v].push_back(id);
    }

    void Reduce() {
        auto& work = work_;
        work.clear();
        for (int n = 2; n < nodes_; ++n) work.push_back(n);
        while (!work.empty()) {
            const int n = work.back();
            work.pop_back();
            if (n < 2 || dead_[n]) continue;
            auto& list = Compact(n);
            if (list.empty()) {
                dead_[n] = true;
            } else if (list.size() == 1) {
                // A dead end carries nothing from supply to output.
                auto& e = edges_[list[0]];
                e.alive = false;
                dead_[n] = true;
                work.push_back(Other(e, n));
            } else if (list.size() == 2) {
                auto& e1 = edges_[list[0]];
                auto& e2 = edges_[list[1]];
                const int a = Other(e1, n);
                const int b = Other(e2, n);
                e1.alive = e2.alive = false;
                dead_[n] = true;
                if (a != b) AddEdge(a, b, Combine(Op::And, e1.expr, e2.expr));
                work.push_back(a);
                work.push_back(b);
            }
        }
    }

    // Lays out what is left as a program.
    void Emit() {
        if (Connected() && !Eliminate()) Thin();
        auto& live = live_;
        live.clear();
        for (std::size_t e = 0; e < edges_.size(); ++e)
            if (edges_[e].alive) live.push_back(static_cast<int>(e));
        if (!Connected()) {
            c_->kind = Circuit::Kind::Off;
            return;
        }
        done_.assign(c_->exprs.size(), 0);
        value_.resize(c_->exprs.size());
        if (live.size() == 1) {
            c_->kind = Circuit::Kind::Expression;
            c_->resultReg = EmitExpr(edges_[live[0]].expr);
            return;
        }
        c_->kind = Circuit::Kind::Mesh;
        // Number the nodes still in use, supply and output rail first, in breadth-first order
        // from the supply, and list the edges in that order so that a sweep mostly runs forward.
        auto& id = id_;
        id.assign(static_cast<std::size_t>(nodes_), -1);
        auto& order = order_;
        order.assign(1, 0);
        id[0] = 0;
        for (std::size_t i = 0; i < order.size(); ++i) {
            for (int e : adj_[order[i]]) {
                const auto& ed = edges_[e];
                if (!ed.alive) continue;
                const int m = Other(ed, order[i]);
                if (id[m] < 0) {
                    id[m] = 0;  // placeholder, numbered below
                    order.push_back(m);
                }
            }
        }
        int next = 2;
        for (int n : order) id[n] = n == 0 ? 0 : n == 1 ? 1 : next++;
        c_->nodes = next;
        auto& seen = seen_;
        seen.assign(edges_.size(), 0);
        for (int n : order) {
            for (int e : adj_[n]) {
                const auto& ed = edges_[e];
                if (!ed.alive || seen[e]) continue;
                seen[e] = 1;
                c_->mesh.push_back({id[n], id[Other(ed, n)], EmitExpr(ed.expr)});
            }
        }
    }

  private:
    static int Other(const Edge& e, int n) { return e.u == n ? e.v : e.u; }

    // A small mesh becomes one expression by taking out its inner nodes one by one: each pair of
    // a node's neighbours gets an edge for the way through it (the AND of the two edges), which
    // keeps every connection between the nodes left. Done only when the new edges cost less to
    // evaluate than flooding the mesh.
    bool Eliminate() {
        constexpr int kMaxInner = 32;
        auto& inner = order_;
        inner.clear();
        int liveEdges = 0;
        for (int n = 2; n < nodes_; ++n)
            if (!dead_[n] && !Compact(n).empty()) inner.push_back(n);
        for (const auto& e : edges_) liveEdges += e.alive ? 1 : 0;
        if (inner.empty()) return true;
        if (static_cast<int>(inner.size()) > kMaxInner) return false;
        // Rehearse on neighbour sets (bit 0 supply, 1 output rail, 2 + k inner node k) for the
        // order, fewest neighbours first, and the number of new pairs.
        auto& index = id_;
        index.assign(static_cast<std::size_t>(nodes_), -1);
        index[0] = 0;
        index[1] = 1;
        for (std::size_t k = 0; k < inner.size(); ++k) index[inner[k]] = static_cast<int>(k) + 2;
        std::array<uint64_t, kMaxInner + 2> around{};
        for (const auto& e : edges_) {
            if (!e.alive) continue;
            around[index[e.u]] |= uint64_t{1} << index[e.v];
            around[index[e.v]] |= uint64_t{1} << index[e.u];
        }
        uint64_t left = 0;
        for (std::size_t k = 0; k < inner.size(); ++k) left |= uint64_t{1} << (k + 2);
        auto& plan = work_;
        plan.clear();
        long pairs = 0;
        while (left != 0) {
            int best = -1, bestDegree = 65;
            for (uint64_t l = left; l != 0; l &= l - 1) {
                const int x = std::countr_zero(l);
                const int d = std::popcount(around[x]);
                if (d < bestDegree) {
                    best = x;
                    bestDegree = d;
                }
            }
            pairs += static_cast<long>(bestDegree) * (bestDegree - 1) / 2;
            if (pairs > 6L * liveEdges) return false;  // flooding is cheaper
            const uint64_t bit = uint64_t{1} << best;
            for (uint64_t l = around[best]; l != 0; l &= l - 1) {
                const int a = std::countr_zero(l);
                around[a] = (around[a] | around[best]) & ~(bit | (uint64_t{1} << a));
            }
            left &= ~bit;
            plan.push_back(inner[static_cast<std::size_t>(best - 2)]);
        }
        for (const int x : plan) TakeOut(x, nullptr);
        return true;
    }

    // Takes inner node x out: an edge for the way through it between each pair of its
    // neighbours (the AND of the two edges), its own edges gone. The neighbours go on `touched`.
    void TakeOut(int x, std::vector<int>* touched) {
        auto& through = stackInts_;
        through = Compact(x);
        for (std::size_t i = 0; i < through.size(); ++i) {
            const Edge ei = edges_[through[i]];  // AddEdge may move the edges
            for (std::size_t j = i + 1; j < through.size(); ++j) {
                const Edge& ej = edges_[through[j]];
                AddEdge(Other(ei, x), Other(ej, x), Combine(Op::And, ei.expr, ej.expr));
            }
        }
        for (const int e : through) {
            edges_[e].alive = false;
            if (touched != nullptr) touched->push_back(Other(edges_[e], x));
        }
        dead_[x] = 1;
    }

    // In a mesh that stays, nodes with few neighbours are taken out the same way, those with
    // three or fewer first (no more edges than before), then those with four: fewer nodes, and
    // shorter ways for the flood to go.
    void Thin() {
        for (const std::size_t most : {std::size_t{3}, std::size_t{4}}) {
            auto& work = work_;
            work.clear();
            for (int n = 2; n < nodes_; ++n)
                if (!dead_[n]) work.push_back(n);
            while (!work.empty()) {
                const int x = work.back();
                work.pop_back();
                if (x < 2 || dead_[x] || Compact(x).size() > most) continue;
                TakeOut(x, &work);
            }
        }
    }

    std::vector<int>& Compact(int n) {
        auto& list = adj_[n];
        std::erase_if(list, [&](int e) { return !edges_[e].alive; });
        return list;
    }

    int FindEdge(int u, int v) {
        auto& list = Compact(adj_[u].size() <= adj_[v].size() ? u : v);
        for (int e : list) {
            const auto& ed = edges_[e];
            if ((ed.u == u && ed.v == v) || (ed.u == v && ed.v == u)) return e;
        }
        return -1;
    }

    // Whether the output rail can be reached from the supply at all.
    bool Connected() {
        auto& seen = seen_;
        seen.assign(static_cast<std::size_t>(nodes_), 0);
        auto& stack = work_;
        stack.assign(1, 0);
        seen[0] = 1;
        while (!stack.empty()) {
            const int n = stack.back();
            stack.pop_back();
            if (n == 1) return true;
            for (int e : adj_[n]) {
                const auto& ed = edges_[e];
                const int m = Other(ed, n);
                if (ed.alive && !seen[m]) {
                    seen[m] = 1;
                    stack.push_back(m);
                }
            }
        }
        return false;
    }

    // A value while the program is laid out: a lane constant, a literal of inputs 6..15, or a
    // register.
    struct Operand {
        enum Kind : uint8_t { Const, Lit, Reg } kind;
        uint8_t var;
        bool negated;
        int reg;
        uint64_t value;
    };
    static Operand ConstOperand(uint64_t v) { return {Operand::Const, 0, false, -1, v}; }
    static Operand RegOperand(int r) { return {Operand::Reg, 0, false, r, 0}; }

    int Materialise(const Operand& o) {
        using S = Circuit::Step;
        if (o.kind == Operand::Const) return Push({S::Const, 0, false, -1, -1, o.value});
        if (o.kind == Operand::Lit) return Push({S::Lit, o.var, o.negated, -1, -1, 0});
        return o.reg;
    }

    // Constants fold and fuse into the step that uses them, literals of inputs 6..15 too.
    Operand Binary(Op op, Operand a, Operand b) {
        using S = Circuit::Step;
        const bool isAnd = op == Op::And;
        if (a.kind > b.kind) std::swap(a, b);
        if (a.kind == Operand::Const) {
            if (b.kind == Operand::Const)
                return ConstOperand(isAnd ? a.value & b.value : a.value | b.value);
            if (a.value == (isAnd ? 0 : kAll)) return a;
            if (a.value == (isAnd ? kAll : 0)) return b;
            if (b.kind == Operand::Lit)
                return RegOperand(Push(
                    {isAnd ? S::LitAndConst : S::LitOrConst, b.var, b.negated, -1, -1, a.value}));
            const int rb = Materialise(b);
            return RegOperand(Push({isAnd ? S::AndConst : S::OrConst, 0, false, rb, -1, a.value}));
        }
        if (a.kind == Operand::Lit) {
            const int rb = Materialise(b);
            return RegOperand(Push({isAnd ? S::AndLit : S::OrLit, a.var, a.negated, rb, -1, 0}));
        }
        return RegOperand(Push({isAnd ? S::And : S::Or, 0, false, a.reg, b.reg, 0}));
    }

    int EmitExpr(int root) { return Materialise(EmitOperand(root)); }

    Operand EmitOperand(int root) {
        // Iterative post-order, so deep series chains cannot exhaust the stack.
        auto& stack = exprStack_;
        stack.assign(1, {root, false});
        while (!stack.empty()) {
            auto [x, expanded] = stack.back();
            stack.pop_back();
            if (done_[x]) continue;
            const Expr& ex = c_->exprs[x];
            if (ex.op == Op::Lit || ex.op == Op::NotLit) {
                const bool negated = ex.op == Op::NotLit;
                c_->usedVars |= static_cast<uint16_t>(1u << ex.var);
                if (ex.var < 6)
                    value_[x] = ConstOperand(kLanePattern[ex.var] ^ (negated ? kAll : 0));
                else
                    value_[x] = {Operand::Lit, static_cast<uint8_t>(ex.var - 6), negated, -1, 0};
                done_[x] = 1;
            } else if (ex.op == Op::Const) {
                value_[x] = ConstOperand(ex.value);
                done_[x] = 1;
            } else if (expanded) {
                value_[x] = Binary(ex.op, value_[ex.a], value_[ex.b]);
                done_[x] = 1;
            } else {
                stack.push_back({x, true});
                stack.push_back({ex.b, false});
                stack.push_back({ex.a, false});
            }
        }
        return value_[root];
    }

    int Push(Circuit::Instr in) {
        c_->program.push_back(in);
        return static_cast<int>(c_->program.size()) - 1;
    }

    Circuit* c_ = nullptr;
    std::vector<std::vector<int>> adj_;
    std::vector<char> dead_;
    int nodes_ = 0;
    std::vector<int> work_, live_, id_, order_, stackInts_;
    std::vector<char> seen_;
    std::vector<std::pair<int, bool>> exprStack_;
    std::vector<Edge> edges_;
    std::vector<char> done_;
    std::vector<Operand> value_;
};

// The joins of one output: centres that always conduct to each other are one node (0 the
// supply, 1 the output rail), and every contact that can open or close is a join between two
// nodes. `on` when the supply already reaches the output rail through wires and links.
struct Network {
    bool on = false;
    int nodes = 2;
    struct Contact {
        int a, b, var;
        bool closedWhenOff;
    };
    std::vector<Contact> contacts;
};

void BuildNetwork(const Config& config, int output, Network& net) {
    const auto& type = config.SegType[output];
    const auto& sel = config.SegInput[output];
    net.on = false;
    net.nodes = 2;
    net.contacts.clear();
    UnionFind uf;
    struct Contact {
        int left, self, var;
        bool closedWhenOff;
    };
    std::array<Contact, kSegments> contacts;
    int count = 0;
    for (int i = 0; i < kSegments; ++i) {
        const int t = type[i];
        if (!HasCentre(t)) continue;
        const int col = SegColumn(i);
        const int row = SegRow(i);
        const int left = col == 0 ? kSupply : HasCentre(type[i - 1]) ? i - 1 : -1;
        if (left >= 0) {
            const Element e = ElementOf(t);
            if (e == Element::Wire) {
                uf.Unite(i, left);
            } else if (IsContact(t)) {
                const int s = sel[i];
                const bool nc = e == Element::NormallyClosed;
                if (!IsValidSelection(s)) {
                    if (nc) uf.Unite(i, left);  // names no signal: never opens
                } else {
                    contacts[count++] = {left, i, s, nc};
                }
            }
        }
        if (HasLinkDown(t) && row < 15 && HasLinkUp(type[i + 16])) uf.Unite(i, i + 16);
        if (col == 15) uf.Unite(i, kOutRail);
    }
    const int supply = uf.Find(kSupply);
    const int rail = uf.Find(kOutRail);
    if (supply == rail) {
        net.on = true;
        return;
    }
    std::array<int, kSegments + 2> node;
    node.fill(-1);
    node[supply] = 0;
    node[rail] = 1;
    net.contacts.reserve(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
        const auto& ct = contacts[k];
        const int a = uf.Find(ct.left);
        const int b = uf.Find(ct.self);
        if (a == b) continue;
        for (int x : {a, b})
            if (node[x] < 0) node[x] = net.nodes++;
        net.contacts.push_back({node[a], node[b], ct.var, ct.closedWhenOff});
    }
}

// Series/parallel reduction of the network into one expression where it reduces, a mesh of
// expressions where it does not.
void BuildCircuit(const Network& net, Reducer& r, Circuit& c) {
    r.Reset(c);
    if (net.on) {
        c.kind = Circuit::Kind::On;
        return;
    }
    for (int n = 0; n < net.nodes; ++n) r.NewNode();
    for (const auto& ct : net.contacts) r.AddEdge(ct.a, ct.b, r.Lit(ct.var, ct.closedWhenOff));
    r.Reduce();
    r.Emit();
}

constexpr int kChunk = 64;  // most input-state words evaluated together, one 64-bit word each

// Where the compiler can pick the widest vector unit at run time, the flood below gets one copy
// per unit.
#if defined(__GNUC__) && defined(__x86_64__) && defined(__linux__) && !defined(__clang__)
#define ZEZ_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define ZEZ_VECTOR_CLONES
#endif

#if defined(__GNUC__) || defined(__clang__)
#define ZEZ_ALWAYS_INLINE inline __attribute__((always_inline))
#elif defined(_MSC_VER)
#define ZEZ_ALWAYS_INLINE __forceinline
#else
#define ZEZ_ALWAYS_INLINE inline
#endif

// Runs the program for words[0..n): register i of word k is reg[i * n + k]. `sel` has room for
// 10 * n words: the state of each input 6..15 per word.
// kWords, when not 0, is n known in advance.
template <int kWords>
ZEZ_ALWAYS_INLINE void RunSteps(const Circuit& c, const int* words, int count, uint64_t* reg,
                                uint64_t* sel) {
    using S = Circuit::Step;
    const int n = kWords != 0 ? kWords : count;
    const auto w = static_cast<std::size_t>(n);
    for (int v = 0; v < 10; ++v)
        if ((c.usedVars >> (v + 6)) & 1)
            for (int k = 0; k < n; ++k)
                sel[v * w + k] = uint64_t{0} - static_cast<uint64_t>((words[k] >> v) & 1);
    for (std::size_t i = 0; i < c.program.size(); ++i) {
        const auto& in = c.program[i];
        // Registers never overlap: a step writes only its own.
        uint64_t* __restrict d = reg + i * w;
        const uint64_t* __restrict a = in.a >= 0 ? reg + static_cast<std::size_t>(in.a) * w : reg;
        const uint64_t* __restrict l = sel + in.var * w;
        const uint64_t flip = in.negated ? kAll : 0;
        switch (in.op) {
            case S::Const:
                for (int k = 0; k < n; ++k) d[k] = in.value;
                break;
            case S::Lit:
                for (int k = 0; k < n; ++k) d[k] = l[k] ^ flip;
                break;
            case S::And: {
                const uint64_t* __restrict b = reg + static_cast<std::size_t>(in.b) * w;
                for (int k = 0; k < n; ++k) d[k] = a[k] & b[k];
                break;
            }
            case S::Or: {
                const uint64_t* __restrict b = reg + static_cast<std::size_t>(in.b) * w;
                for (int k = 0; k < n; ++k) d[k] = a[k] | b[k];
                break;
            }
            case S::AndConst:
                for (int k = 0; k < n; ++k) d[k] = a[k] & in.value;
                break;
            case S::OrConst:
                for (int k = 0; k < n; ++k) d[k] = a[k] | in.value;
                break;
            case S::AndLit:
                for (int k = 0; k < n; ++k) d[k] = a[k] & (l[k] ^ flip);
                break;
            case S::OrLit:
                for (int k = 0; k < n; ++k) d[k] = a[k] | (l[k] ^ flip);
                break;
            case S::LitAndConst:
                for (int k = 0; k < n; ++k) d[k] = (l[k] ^ flip) & in.value;
                break;
            case S::LitOrConst:
                for (int k = 0; k < n; ++k) d[k] = (l[k] ^ flip) | in.value;
                break;
        }
    }
}

ZEZ_VECTOR_CLONES
void RunProgram(const Circuit& c, const int* words, int n, uint64_t* reg, uint64_t* sel) {
    if (n == kChunk)
        RunSteps<kChunk>(c, words, n, reg, sel);
    else
        RunSteps<0>(c, words, n, reg, sel);
}

// Copies bits[j & mask] to every j: the words that differ only in inputs outside `mask` agree.
void Replicate(OutputBits& bits, int mask) {
    for (int b = 0; b < 10; ++b) {
        if ((mask >> b) & 1) continue;
        // Every word with bit b set copies the one without it; blocks of 2^b words at a time.
        const int block = 1 << b;
        for (int base = block; base < kBitWords; base += 2 * block)
            std::copy_n(bits.begin() + (base - block), block, bits.begin() + base);
    }
}

// Spreads the supply over the mesh for the n words of a chunk at once, until nothing changes;
// the output rail's lanes of word k end up in reach[n + k]. An edge is looked at again only when
// one of its ends has grown since it was last looked at. `changedAt` holds a count per node,
// `seenAt` one per edge, all zero. kWords, when not 0, is n known in advance.
template <std::size_t kWords>
ZEZ_ALWAYS_INLINE void Flood(const Circuit::MeshEdge* mesh, std::size_t edges, const uint64_t* reg,
                             uint64_t* reach, std::size_t n, uint32_t* changedAt,
                             uint32_t* seenAt) {
    const std::size_t w = kWords != 0 ? kWords : n;
    uint32_t clock = 1;
    changedAt[0] = 1;
    bool forward = true;
    for (bool changed = true; changed; forward = !forward) {
        changed = false;
        for (std::size_t i = 0; i < edges; ++i) {
            const std::size_t id = forward ? i : edges - 1 - i;
            const auto& e = mesh[id];
            if (changedAt[e.u] <= seenAt[id] && changedAt[e.v] <= seenAt[id]) continue;
            seenAt[id] = clock;
            // The two ends of an edge are different nodes.
            uint64_t* __restrict ru = reach + e.u * w;
            uint64_t* __restrict rv = reach + e.v * w;
            const uint64_t* __restrict m = reg + e.reg * w;
            uint64_t grew = 0;
            for (std::size_t k = 0; k < w; ++k) {
                const uint64_t x = (ru[k] | rv[k]) & m[k];
                grew |= x & ~(ru[k] & rv[k]);
                ru[k] |= x;
                rv[k] |= x;
            }
            if (grew != 0) {
                // At least one end grew; looking at the other's edges again costs little.
                changedAt[e.u] = changedAt[e.v] = seenAt[id] = ++clock;
                changed = true;
            }
        }
    }
}

ZEZ_VECTOR_CLONES
void FloodChunk(const Circuit::MeshEdge* mesh, std::size_t edges, const uint64_t* reg,
                uint64_t* reach, int n, uint32_t* changedAt, uint32_t* seenAt) {
    if (n == kChunk)
        Flood<kChunk>(mesh, edges, reg, reach, kChunk, changedAt, seenAt);
    else
        Flood<0>(mesh, edges, reg, reach, static_cast<std::size_t>(n), changedAt, seenAt);
}

// Scratch space of one output's evaluation.
// Room for words that are always written before they are read: grows, never clears.
class WordBuffer {
  public:
    uint64_t* Room(std::size_t n) {
        if (n > size_) {
            data_ = std::make_unique_for_overwrite<uint64_t[]>(n);
            size_ = n;
        }
        return data_.get();
    }

  private:
    std::unique_ptr<uint64_t[]> data_;
    std::size_t size_ = 0;
};

struct Scratch {
    Network network;
    Reducer reducer;
    Circuit circuit;
    WordBuffer reg, reach;
    std::array<uint64_t, 10 * kChunk> sel;
    std::vector<uint32_t> changedAt, seenAt;
};

// Evaluates an expression or mesh circuit for the words `base | s`, s every submask of `vars`
// (bits of the word index), 64 words at a time; sink(word, lanes) takes each result.
template <class Sink>
void EvaluateWords(const Circuit& c, int vars, int base, Scratch& scratch, Sink&& sink) {
    const int total = 1 << std::popcount(static_cast<unsigned>(vars));
    const int lanes = std::min(total, kChunk);
    const auto w = static_cast<std::size_t>(lanes);
    uint64_t* reg = scratch.reg.Room(c.program.size() * w);
    const std::size_t reachWords = static_cast<std::size_t>(c.nodes) * w;
    uint64_t* reach = c.kind == Circuit::Kind::Mesh ? scratch.reach.Room(reachWords) : nullptr;
    std::array<int, kChunk> words{};
    int sub = 0;
    for (int done = 0; done < total; done += lanes) {
        for (int k = 0; k < lanes; ++k, sub = (sub - vars) & vars) words[k] = base | sub;
        RunProgram(c, words.data(), lanes, reg, scratch.sel.data());
        const uint64_t* result;
        if (c.kind == Circuit::Kind::Expression) {
            result = reg + c.resultReg * w;
        } else {
            std::fill_n(reach, lanes, kAll);
            std::fill(reach + lanes, reach + reachWords, 0);
            scratch.changedAt.assign(static_cast<std::size_t>(c.nodes), 0);
            scratch.seenAt.assign(c.mesh.size(), 0);
            FloodChunk(c.mesh.data(), c.mesh.size(), reg, reach, lanes, scratch.changedAt.data(),
                       scratch.seenAt.data());
            result = reach + w;
        }
        for (int k = 0; k < lanes; ++k) sink(words[k], result[k]);
    }
}

// Fills the bitmap of an output whose circuit reduced to one expression (or a constant).
// Returns the word-index inputs it depends on; only the words that are submasks of them are
// filled.
int EvaluateExpression(const Circuit& c, OutputBits& bits, Scratch& scratch) {
    if (c.kind == Circuit::Kind::Off || c.kind == Circuit::Kind::On) {
        bits[0] = c.kind == Circuit::Kind::On ? kAll : 0;
        return 0;
    }
    // Only the words that differ in the inputs the circuit uses need evaluating; the others copy
    // the word that agrees with them on those inputs.
    const int mask = (c.usedVars >> 6) & (kBitWords - 1);
    EvaluateWords(c, mask, 0, scratch, [&](int word, uint64_t lanes) { bits[word] = lanes; });
    return mask;
}

// Factoring of a network that does not reduce to one expression. Inputs 0..5 are the 64 lanes of
// a join's mask; inputs 6..15 (the bitmap word's index) are split on one at a time, each case
// simplified again (joins that close become one node, those that open go), until what is left
// is decided or uses lanes only, and that rest is flooded one 64-bit word per node.
class Factoring {
  public:
    // Fills the words of `bits` that are submasks of the returned mask: the word-index inputs
    // the output still depends on once simplified.
    int Run(const Network& net, OutputBits& bits, Scratch& scratch) {
        bits_ = &bits;
        scratch_ = &scratch;
        if (net.on) {
            bits[0] = kAll;
            return 0;
        }
        auto& top = levels_[0];
        top.clear();
        for (const auto& ct : net.contacts) {
            Join j{static_cast<uint16_t>(ct.a), static_cast<uint16_t>(ct.b), kNoLit, kAll};
            if (ct.var < 6)
                j.mask = kLanePattern[ct.var] ^ (ct.closedWhenOff ? kAll : 0);
            else
                j.lit = static_cast<uint8_t>(2 * (ct.var - 6) + (ct.closedWhenOff ? 1 : 0));
            top.push_back(j);
        }
        for (auto& level : levels_) level.reserve(top.size());
        used_ = kBitWords - 1;
        Solve(0, net.nodes, 0, 0);
        return used_;
    }

  private:
    static constexpr uint8_t kNoLit = 0xFF;
    // Closed while its literal holds (when it has one) and in the lanes of `mask`.
    struct Join {
        uint16_t u, v;
        uint8_t lit;  // 2 * (input - 6) + (closed when off)
        uint64_t mask;
    };
    enum class Outcome { Off, On, Open };
    static constexpr int kMaxNodes = kSegments + 2;

    void Fill(int fixedMask, int fixedWord, uint64_t value) {
        const int free = used_ & ~fixedMask;
        if (free == 0) {
            (*bits_)[fixedWord] = value;
            return;
        }
        int sub = 0;
        do {
            (*bits_)[fixedWord | sub] = value;
            sub = (sub - free) & free;
        } while (sub != 0);
    }

    void Solve(int depth, int nodes, int fixedMask, int fixedWord) {
        auto& g = levels_[depth];
        const Outcome outcome = Simplify(g, nodes);
        if (depth == 0) {
            used_ = 0;
            if (outcome == Outcome::Open)
                for (const auto& j : g)
                    if (j.lit != kNoLit) used_ |= 1 << (j.lit >> 1);
        }
        if (outcome != Outcome::Open) {
            Fill(fixedMask, fixedWord, outcome == Outcome::On ? kAll : 0);
            return;
        }
        std::array<int, 10> uses{};
        int vars = 0;
        for (const auto& j : g)
            if (j.lit != kNoLit) {
                ++uses[j.lit >> 1];
                vars |= 1 << (j.lit >> 1);
            }
        if (vars == 0) {
            Fill(fixedMask, fixedWord, Flood(g, nodes));
            return;
        }
        if (g.size() << std::popcount(static_cast<unsigned>(vars)) <= kFloodBudget) {
            FloodCases(g, nodes, vars, fixedMask, fixedWord);
            return;
        }
        const int split =
            static_cast<int>(std::max_element(uses.begin(), uses.end()) - uses.begin());
        auto& next = levels_[depth + 1];
        for (int value = 0; value < 2; ++value) {
            next.clear();
            for (Join j : g) {
                if (j.lit != kNoLit && (j.lit >> 1) == split) {
                    if (((j.lit & 1) ^ value) == 0) continue;  // open in this case
                    j.lit = kNoLit;
                }
                next.push_back(j);
            }
            Solve(depth + 1, nodes, fixedMask | 1 << split, fixedWord | value << split);
        }
    }

    int Find(int x) {
        while (parent_[x] != x) {
            parent_[x] = parent_[parent_[x]];
            x = parent_[x];
        }
        return x;
    }

    // Merges always-closed joins, drops never-closed ones, joins parallel ones, removes dead
    // ends and joins series ones, until nothing changes. Nodes are renumbered densely.
    Outcome Simplify(std::vector<Join>& g, int& nodes) {
        for (;;) {
            bool contract = false;
            for (const auto& j : g) contract |= j.lit == kNoLit && j.mask == kAll;
            if (contract) {
                for (int n = 0; n < nodes; ++n) parent_[n] = static_cast<uint16_t>(n);
                for (const auto& j : g)
                    if (j.lit == kNoLit && j.mask == kAll) {
                        const int a = Find(j.u);
                        const int b = Find(j.v);
                        if (a != b) parent_[std::max(a, b)] = static_cast<uint16_t>(std::min(a, b));
                    }
                if (Find(1) == 0) return Outcome::On;
            }
            bool changed = contract;
            ++stamp_;
            idStamp_[0] = idStamp_[1] = stamp_;
            id_[0] = 0;
            id_[1] = 1;
            int next = 2;
            auto renumber = [&](int n) {
                if (contract) n = Find(n);
                if (idStamp_[n] != stamp_) {
                    idStamp_[n] = stamp_;
                    id_[n] = static_cast<uint16_t>(next++);
                }
                return id_[n];
            };
            std::size_t w = 0;
            for (std::size_t i = 0; i < g.size(); ++i) {
                Join j = g[i];
                if (j.mask == 0) {
                    changed = true;
                    continue;
                }
                if (contract && Find(j.u) == Find(j.v)) continue;
                j.u = renumber(j.u);
                j.v = renumber(j.v);
                if (j.u > j.v) std::swap(j.u, j.v);
                const uint32_t key = (uint32_t{j.u} << 9 | j.v) << 5 | (j.lit & 31);
                for (uint32_t h = (key * 2654435761u) >> (32 - kHashBits);;
                     h = (h + 1) & (kHashSize - 1)) {
                    auto& slot = hash_[h];
                    if (slot.stamp != stamp_) {
                        slot = {stamp_, key, static_cast<uint32_t>(w)};
                        g[w++] = j;
                        break;
                    }
                    if (slot.key == key) {
                        g[slot.join].mask |= j.mask;
                        changed = true;
                        break;
                    }
                }
            }
            g.resize(w);
            nodes = next;
            if (ReduceDegrees(g, nodes)) changed = true;
            if (!changed) break;
        }
        return MayReach(g, nodes) ? Outcome::Open : Outcome::Off;
    }

    // Dead ends go; a node with two joins, at most one with a literal, becomes one join.
    bool ReduceDegrees(std::vector<Join>& g, int nodes) {
        std::fill_n(degree_.begin(), nodes, 0);
        for (std::size_t i = 0; i < g.size(); ++i) {
            for (int end : {g[i].u, g[i].v}) {
                const int d = degree_[end]++;
                if (d < 2) incident_[end][d] = static_cast<uint16_t>(i);
            }
        }
        auto& known = known_;  // its two incident entries are all it has
        for (int n = 2; n < nodes; ++n) known[n] = degree_[n] <= 2;
        bool changed = false;
        auto other = [&](const Join& j, int n) { return j.u == n ? j.v : j.u; };
        auto replace = [&](int n, uint16_t from, uint16_t to) {
            for (auto& e : incident_[n])
                if (e == from) e = to;
        };
        for (int start = 2; start < nodes; ++start) {
            int n = start;
            while (n >= 2 && known[n]) {
                int next = -1;
                if (degree_[n] == 1) {
                    Join& j = g[incident_[n][0]];
                    const int m = other(j, n);
                    j.mask = 0;
                    degree_[n] = 0;
                    --degree_[m];
                    if (degree_[m] == 1) {
                        if (incident_[m][0] == incident_[n][0]) incident_[m][0] = incident_[m][1];
                        next = m;
                    }
                    changed = true;
                } else if (degree_[n] == 2) {
                    Join& a = g[incident_[n][0]];
                    Join& b = g[incident_[n][1]];
                    if (a.lit != kNoLit && b.lit != kNoLit) break;
                    const int x = other(a, n);
                    const int y = other(b, n);
                    degree_[n] = 0;
                    changed = true;
                    if (x == y) {  // a loop hanging off x
                        a.mask = b.mask = 0;
                        degree_[x] -= 2;
                        break;
                    }
                    a = {static_cast<uint16_t>(x), static_cast<uint16_t>(y),
                         a.lit != kNoLit ? a.lit : b.lit, a.mask & b.mask};
                    replace(y, incident_[n][1], incident_[n][0]);
                    b.mask = 0;
                }
                n = next;
            }
        }
        if (changed) std::erase_if(g, [](const Join& j) { return j.mask == 0; });
        return changed;
    }

    // False when the supply cannot reach the output rail whatever the inputs; a few sweeps
    // only, so true may also mean "not decided yet".
    bool MayReach(const std::vector<Join>& g, int nodes) {
        std::fill_n(reach_.begin(), nodes, 0);
        reach_[0] = 1;
        const std::size_t n = g.size();
        for (int sweep = 0; sweep < 4; ++sweep) {
            bool grew = false;
            for (std::size_t i = 0; i < n; ++i) {
                const auto& j = g[sweep % 2 == 0 ? i : n - 1 - i];
                if (reach_[j.u] != reach_[j.v]) {
                    reach_[j.u] = reach_[j.v] = 1;
                    grew = true;
                }
            }
            if (reach_[1]) return true;
            if (!grew) return false;
        }
        return true;
    }

    // The output rail's lanes once the supply has spread over joins that use lanes only.
    uint64_t Flood(const std::vector<Join>& g, int nodes) {
        std::fill_n(reach_.begin(), nodes, 0);
        reach_[0] = kAll;
        const std::size_t n = g.size();
        bool forward = true;
        for (bool changed = true; changed; forward = !forward) {
            changed = false;
            for (std::size_t i = 0; i < n; ++i) {
                const auto& j = g[forward ? i : n - 1 - i];
                const uint64_t x = (reach_[j.u] | reach_[j.v]) & j.mask;
                if ((x & ~(reach_[j.u] & reach_[j.v])) == 0) continue;
                reach_[j.u] |= x;
                reach_[j.v] |= x;
                changed = true;
            }
        }
        return reach_[1];
    }

    // What is left is reduced by series and parallel steps over whole expressions and evaluated
    // for every case of the word-index inputs `vars` it still uses.
    void FloodCases(const std::vector<Join>& g, int nodes, int vars, int fixedMask, int fixedWord) {
        Circuit& c = scratch_->circuit;
        Reducer& r = scratch_->reducer;
        r.Reset(c);
        for (int n = 0; n < nodes; ++n) r.NewNode();
        for (const Join& j : g) {
            int e = j.mask == kAll ? -1 : r.Const(j.mask);
            if (j.lit != kNoLit) {
                const int lit = r.Lit(6 + (j.lit >> 1), (j.lit & 1) != 0);
                e = e < 0 ? lit : r.Combine(Op::And, lit, e);
            }
            r.AddEdge(j.u, j.v, e);
        }
        r.Reduce();
        r.Emit();
        if (c.kind == Circuit::Kind::Off || c.kind == Circuit::Kind::On) {
            Fill(fixedMask, fixedWord, c.kind == Circuit::Kind::On ? kAll : 0);
            return;
        }
        EvaluateWords(c, vars, fixedWord, *scratch_,
                      [&](int word, uint64_t lanes) { Fill(fixedMask | vars, word, lanes); });
    }

    // Split while joins times cases of the inputs left is above this; below, flood the cases.
    static constexpr std::size_t kFloodBudget = 32768;
    Scratch* scratch_ = nullptr;
    int used_ = 0;

    static constexpr int kHashBits = 10;
    static constexpr uint32_t kHashSize = 1u << kHashBits;
    struct Slot {
        uint32_t stamp, key, join;
    };

    OutputBits* bits_ = nullptr;
    std::array<std::vector<Join>, 11> levels_;
    std::array<uint16_t, kMaxNodes> parent_{}, id_{};
    std::array<uint32_t, kMaxNodes> idStamp_{};
    std::array<uint8_t, kMaxNodes> known_{};
    std::array<int, kMaxNodes> degree_{};
    std::array<std::array<uint16_t, 2>, kMaxNodes> incident_{};
    std::array<uint64_t, kMaxNodes> reach_{};
    std::array<Slot, kHashSize> hash_{};
    uint32_t stamp_ = 0;
};

// 8 x 8 bit transpose: bit j of byte i <-> bit i of byte j.
constexpr uint64_t Transpose8(uint64_t x) {
    uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
    x ^= t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
    x ^= t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
    x ^= t ^ (t << 28);
    return x;
}

template <int Shift, uint64_t Mask>
inline void SwapBits(uint64_t& a, uint64_t& b) {
    const uint64_t t = ((a >> Shift) ^ b) & Mask;
    b ^= t;
    a ^= t << Shift;
}

// Where each output's bitmap word for word w is: w restricted to the inputs it depends on.
using Sources = std::array<const uint64_t*, kOutputs>;
inline Sources SourcesOf(const std::array<OutputBits, kOutputs>& bits,
                         const std::array<int, kOutputs>& masks, int w) {
    Sources src;
    for (int o = 0; o < kOutputs; ++o) src[o] = &bits[o][w & masks[o]];
    return src;
}

// The 64 output bytes of bitmap word w.
void AssembleWordScalar(const Sources& src, uint8_t* dst) {
    std::array<uint64_t, 8> a{};
    for (int o = 0; o < kOutputs; ++o) a[o] = *src[o];
    // Byte transpose: afterwards byte o of a[j] is byte j of output o's word.
    for (int o = 0; o < 4; ++o) SwapBits<32, 0x00000000FFFFFFFFull>(a[o], a[o + 4]);
    for (int o : {0, 1, 4, 5}) SwapBits<16, 0x0000FFFF0000FFFFull>(a[o], a[o + 2]);
    for (int o : {0, 2, 4, 6}) SwapBits<8, 0x00FF00FF00FF00FFull>(a[o], a[o + 1]);
    for (int j = 0; j < 8; ++j) {
        const uint64_t y = Transpose8(a[j]);
        for (int k = 0; k < 8; ++k) dst[8 * j + k] = static_cast<uint8_t>(y >> (8 * k));
    }
}

#if ZEZ_HAVE_SSE2
__m128i Transpose8x2(__m128i x) {
    __m128i t = _mm_and_si128(_mm_xor_si128(x, _mm_srli_epi64(x, 7)),
                              _mm_set1_epi64x(0x00AA00AA00AA00AAll));
    x = _mm_xor_si128(x, _mm_xor_si128(t, _mm_slli_epi64(t, 7)));
    t = _mm_and_si128(_mm_xor_si128(x, _mm_srli_epi64(x, 14)),
                      _mm_set1_epi64x(0x0000CCCC0000CCCCll));
    x = _mm_xor_si128(x, _mm_xor_si128(t, _mm_slli_epi64(t, 14)));
    t = _mm_and_si128(_mm_xor_si128(x, _mm_srli_epi64(x, 28)),
                      _mm_set1_epi64x(0x00000000F0F0F0F0ll));
    return _mm_xor_si128(x, _mm_xor_si128(t, _mm_slli_epi64(t, 28)));
}

void AssembleWordSse2(const Sources& src, uint8_t* dst) {
    auto row = [&](int o) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src[o])); };
    // Byte transpose by interleaving: column j (64 bits) holds byte j of every output's word.
    const __m128i t0 = _mm_unpacklo_epi8(row(0), row(1));
    const __m128i t1 = _mm_unpacklo_epi8(row(2), row(3));
    const __m128i t2 = _mm_unpacklo_epi8(row(4), row(5));
    const __m128i t3 = _mm_unpacklo_epi8(row(6), row(7));
    const __m128i u0 = _mm_unpacklo_epi16(t0, t1);
    const __m128i u1 = _mm_unpackhi_epi16(t0, t1);
    const __m128i u2 = _mm_unpacklo_epi16(t2, t3);
    const __m128i u3 = _mm_unpackhi_epi16(t2, t3);
    auto* out = reinterpret_cast<__m128i*>(dst);
    _mm_storeu_si128(out + 0, Transpose8x2(_mm_unpacklo_epi32(u0, u2)));
    _mm_storeu_si128(out + 1, Transpose8x2(_mm_unpackhi_epi32(u0, u2)));
    _mm_storeu_si128(out + 2, Transpose8x2(_mm_unpacklo_epi32(u1, u3)));
    _mm_storeu_si128(out + 3, Transpose8x2(_mm_unpackhi_epi32(u1, u3)));
}
#endif

#if ZEZ_HAVE_AVX2
// The SSE2 steps on two words at once, one in each 128-bit half.
ZEZ_TARGET_AVX2 inline __m256i Transpose8x4(__m256i x) {
    __m256i t = _mm256_and_si256(_mm256_xor_si256(x, _mm256_srli_epi64(x, 7)),
                                 _mm256_set1_epi64x(0x00AA00AA00AA00AAll));
    x = _mm256_xor_si256(x, _mm256_xor_si256(t, _mm256_slli_epi64(t, 7)));
    t = _mm256_and_si256(_mm256_xor_si256(x, _mm256_srli_epi64(x, 14)),
                         _mm256_set1_epi64x(0x0000CCCC0000CCCCll));
    x = _mm256_xor_si256(x, _mm256_xor_si256(t, _mm256_slli_epi64(t, 14)));
    t = _mm256_and_si256(_mm256_xor_si256(x, _mm256_srli_epi64(x, 28)),
                         _mm256_set1_epi64x(0x00000000F0F0F0F0ll));
    return _mm256_xor_si256(x, _mm256_xor_si256(t, _mm256_slli_epi64(t, 28)));
}

ZEZ_TARGET_AVX2 inline __m256i RowPair(const uint64_t* lo, const uint64_t* hi) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(lo))),
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(hi)), 1);
}

// Words w and w + 1 into the 128 bytes at dst.
ZEZ_TARGET_AVX2 void AssembleTwoWordsAvx2(const std::array<OutputBits, kOutputs>& bits,
                                          const std::array<int, kOutputs>& masks, int w,
                                          uint8_t* dst) {
    const auto row = [&](int o) ZEZ_TARGET_AVX2 {
        return RowPair(&bits[o][w & masks[o]], &bits[o][(w + 1) & masks[o]]);
    };
    const __m256i t0 = _mm256_unpacklo_epi8(row(0), row(1));
    const __m256i t1 = _mm256_unpacklo_epi8(row(2), row(3));
    const __m256i t2 = _mm256_unpacklo_epi8(row(4), row(5));
    const __m256i t3 = _mm256_unpacklo_epi8(row(6), row(7));
    const __m256i u0 = _mm256_unpacklo_epi16(t0, t1);
    const __m256i u1 = _mm256_unpackhi_epi16(t0, t1);
    const __m256i u2 = _mm256_unpacklo_epi16(t2, t3);
    const __m256i u3 = _mm256_unpackhi_epi16(t2, t3);
    const __m256i r0 = Transpose8x4(_mm256_unpacklo_epi32(u0, u2));
    const __m256i r1 = Transpose8x4(_mm256_unpackhi_epi32(u0, u2));
    const __m256i r2 = Transpose8x4(_mm256_unpacklo_epi32(u1, u3));
    const __m256i r3 = Transpose8x4(_mm256_unpackhi_epi32(u1, u3));
    auto* out = reinterpret_cast<__m256i*>(dst);
    _mm256_storeu_si256(out + 0, _mm256_permute2x128_si256(r0, r1, 0x20));
    _mm256_storeu_si256(out + 1, _mm256_permute2x128_si256(r2, r3, 0x20));
    _mm256_storeu_si256(out + 2, _mm256_permute2x128_si256(r0, r1, 0x31));
    _mm256_storeu_si256(out + 3, _mm256_permute2x128_si256(r2, r3, 0x31));
}
#endif

}  // namespace

namespace {

// Fills the words of `bits` that are submasks of the returned mask (the word-index inputs the
// output depends on); every other word equals the one it agrees with on that mask.
struct Workspace {
    Scratch scratch;
    Factoring factoring;
};

// Each thread keeps its own, so that a compile allocates nothing once the room is there.
Workspace& ThreadWorkspace() {
    thread_local std::unique_ptr<Workspace> ws;
    if (!ws) ws = std::make_unique_for_overwrite<Workspace>();
    return *ws;
}

// Networks of up to this many contacts are first reduced as a whole: the shapes technicians
// draw mostly reduce to one expression. Larger ones go straight to the factoring.
constexpr std::size_t kReduceFirst = 64;

int CompileOutputWords(const Config& config, int output, OutputBits& bits, Workspace& ws) {
    Network& net = ws.scratch.network;
    BuildNetwork(config, output, net);
    if (net.contacts.size() <= kReduceFirst) {
        Circuit& c = ws.scratch.circuit;
        BuildCircuit(net, ws.scratch.reducer, c);
        if (c.kind != Circuit::Kind::Mesh) return EvaluateExpression(c, bits, ws.scratch);
    }
    return ws.factoring.Run(net, bits, ws.scratch);
}

}  // namespace

int CompileOutputBits(const Config& config, int output, OutputBits& bits) {
    const int mask = CompileOutputWords(config, output, bits, ThreadWorkspace());
    Replicate(bits, mask);
    return mask;
}

std::vector<AssemblyKernel> AssemblyKernels() {
    std::vector<AssemblyKernel> k = {AssemblyKernel::Portable};
#if ZEZ_HAVE_SSE2
    k.push_back(AssemblyKernel::Sse2);
#endif
#if ZEZ_HAVE_AVX2
    if (__builtin_cpu_supports("avx2")) k.push_back(AssemblyKernel::Avx2);
#endif
    return k;
}

namespace {

// Words [from, to) of the array, each from the bitmaps.
void AssembleWords(const std::array<OutputBits, kOutputs>& bits,
                   const std::array<int, kOutputs>& masks, ControlArray& array,
                   AssemblyKernel kernel, int from, int to) {
    int w = from;
#if ZEZ_HAVE_AVX2
    if (kernel == AssemblyKernel::Avx2)
        for (; w + 1 < to; w += 2) AssembleTwoWordsAvx2(bits, masks, w, array.data() + 64 * w);
#endif
    for (; w < to; ++w) {
        uint8_t* dst = array.data() + 64 * w;
#if ZEZ_HAVE_SSE2
        if (kernel != AssemblyKernel::Portable) {
            AssembleWordSse2(SourcesOf(bits, masks, w), dst);
            continue;
        }
#endif
        AssembleWordScalar(SourcesOf(bits, masks, w), dst);
    }
}

}  // namespace

void AssembleControlArray(const std::array<OutputBits, kOutputs>& bits,
                          const std::array<int, kOutputs>& masks, ControlArray& array,
                          AssemblyKernel kernel) {
    int wordMask = 0;
    for (int m : masks) wordMask |= m;
    // Runs of words inside the mask come from the bitmaps; a word outside it repeats the 64
    // bytes of the word it agrees with on the mask, which comes before it.
    for (int w = 0; w < kBitWords;) {
        if ((w & ~wordMask) != 0) {
            std::memcpy(array.data() + 64 * w, array.data() + 64 * (w & wordMask), 64);
            ++w;
            continue;
        }
        int end = w + 1;
        while (end < kBitWords && (end & ~wordMask) == 0) ++end;
        AssembleWords(bits, masks, array, kernel, w, end);
        w = end;
    }
}

namespace {

// Below this many contacts in all, the outputs are compiled on the calling thread: waking a
// helper would cost more than it saves.
constexpr int kParallelContacts = 400;

}  // namespace

void CompileFast(const Config& config, ControlArray& array, const ProgressFn& progress) {
    std::array<OutputBits, kOutputs> bits;
    std::array<int, kOutputs> masks{};
    auto done = [&](int o) {
        if (progress && o < kOutputs - 1)
            for (int s = 1; s <= 32; ++s) progress(32 * o + s);
    };
    std::array<int, kOutputs> contacts{};
    for (int o = 0; o < kOutputs; ++o)
        for (const int16_t t : config.SegType[o]) contacts[o] += IsContact(t) ? 1 : 0;
    const int total = std::accumulate(contacts.begin(), contacts.end(), 0);
    const bool parallel = total >= kParallelContacts && HelperThreads() > 0;
    if (parallel) {
        // The outputs with most contacts first, so that no thread is left with a large one at
        // the end; progress still comes in output order.
        std::array<int, kOutputs> order;
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return contacts[a] > contacts[b]; });
        std::array<bool, kOutputs> complete{};
        int reported = 0;
        RunTasks(
            kOutputs,
            [&](int i) {
                const int o = order[i];
                masks[o] = CompileOutputWords(config, o, bits[o], ThreadWorkspace());
            },
            [&](int i) {
                complete[order[i]] = true;
                for (; reported < kOutputs && complete[reported]; ++reported) done(reported);
            });
    } else {
        Workspace& ws = ThreadWorkspace();
        for (int o = 0; o < kOutputs; ++o) {
            masks[o] = CompileOutputWords(config, o, bits[o], ws);
            done(o);
        }
    }
    static const AssemblyKernel kernel = AssemblyKernels().back();
    int wordMask = 0;
    for (int m : masks) wordMask |= m;
    if (parallel && wordMask == kBitWords - 1) {
        // Every word is assembled from the bitmaps: the two halves are independent.
        RunTasks(2, [&](int half) {
            AssembleWords(bits, masks, array, kernel, half * kBitWords / 2,
                          (half + 1) * kBitWords / 2);
        });
    } else {
        AssembleControlArray(bits, masks, array, kernel);
    }
    if (progress)
        for (int s = 1; s <= 32; ++s) progress(32 * (kOutputs - 1) + s);
}

}  // namespace zez
