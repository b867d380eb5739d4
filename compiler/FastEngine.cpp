#include "compiler/FastEngine.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace zez {
namespace {

constexpr int kSupply = kSegments;       // node of the supply rail
constexpr int kOutRail = kSegments + 1;  // node of the output rail
constexpr uint64_t kAll = ~uint64_t{0};

// Lane patterns of inputs 0..5 inside one 64-bit word; inputs 6..15 are the word index's bits.
constexpr std::array<uint64_t, 6> kLanePattern = {0xAAAAAAAAAAAAAAAAull, 0xCCCCCCCCCCCCCCCCull,
                                                  0xF0F0F0F0F0F0F0F0ull, 0xFF00FF00FF00FF00ull,
                                                  0xFFFF0000FFFF0000ull, 0xFFFFFFFF00000000ull};

class UnionFind {
  public:
    explicit UnionFind(int n) : parent_(static_cast<std::size_t>(n)) {
        std::iota(parent_.begin(), parent_.end(), 0);
    }
    int Find(int x) {
        while (parent_[static_cast<std::size_t>(x)] != x) {
            auto& p = parent_[static_cast<std::size_t>(x)];
            p = parent_[static_cast<std::size_t>(p)];
            x = p;
        }
        return x;
    }
    void Unite(int a, int b) {
        a = Find(a);
        b = Find(b);
        if (a != b) parent_[static_cast<std::size_t>(std::max(a, b))] = std::min(a, b);
    }

  private:
    std::vector<int> parent_;
};

// Expressions over contact literals.
enum class Op : uint8_t { Lit, NotLit, And, Or };
struct Expr {
    Op op;
    uint8_t var;
    int a, b;
};

struct Edge {
    int u, v, expr;
    bool alive;
};

// The reduced circuit of one output, ready to evaluate 64 words at a time.
struct Circuit {
    enum class Kind { Off, On, Expression, Mesh } kind = Kind::Off;
    std::vector<Expr> exprs;
    // Straight-line program: register i holds the value of instruction i.
    struct Instr {
        Op op;
        uint8_t var;
        int a, b;
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
    explicit Reducer(Circuit& c) : c_(c) {}

    int NewNode() {
        adj_.emplace_back();
        dead_.push_back(false);
        return static_cast<int>(adj_.size()) - 1;
    }
    int Lit(int var, bool negated) {
        c_.exprs.push_back({negated ? Op::NotLit : Op::Lit, static_cast<uint8_t>(var), -1, -1});
        return static_cast<int>(c_.exprs.size()) - 1;
    }
    int Combine(Op op, int a, int b) {
        c_.exprs.push_back({op, 0, a, b});
        return static_cast<int>(c_.exprs.size()) - 1;
    }
    // Adds an edge, merging it into a parallel one.
    void AddEdge(int u, int v, int expr) {
        if (u == v) return;
        if (const int e = FindEdge(u, v); e >= 0) {
            edges_[static_cast<std::size_t>(e)].expr =
                Combine(Op::Or, edges_[static_cast<std::size_t>(e)].expr, expr);
            return;
        }
        edges_.push_back({u, v, expr, true});
        const int id = static_cast<int>(edges_.size()) - 1;
        adj_[static_cast<std::size_t>(u)].push_back(id);
        adj_[static_cast<std::size_t>(v)].push_back(id);
    }

    void Reduce() {
        std::vector<int> work;
        for (int n = 2; n < static_cast<int>(adj_.size()); ++n) work.push_back(n);
        while (!work.empty()) {
            const int n = work.back();
            work.pop_back();
            if (n < 2 || dead_[static_cast<std::size_t>(n)]) continue;
            auto& list = Compact(n);
            if (list.empty()) {
                dead_[static_cast<std::size_t>(n)] = true;
            } else if (list.size() == 1) {
                // A dead end carries nothing from supply to output.
                auto& e = edges_[static_cast<std::size_t>(list[0])];
                e.alive = false;
                dead_[static_cast<std::size_t>(n)] = true;
                work.push_back(Other(e, n));
            } else if (list.size() == 2) {
                auto& e1 = edges_[static_cast<std::size_t>(list[0])];
                auto& e2 = edges_[static_cast<std::size_t>(list[1])];
                const int a = Other(e1, n);
                const int b = Other(e2, n);
                e1.alive = e2.alive = false;
                dead_[static_cast<std::size_t>(n)] = true;
                if (a != b) AddEdge(a, b, Combine(Op::And, e1.expr, e2.expr));
                work.push_back(a);
                work.push_back(b);
            }
        }
    }

    // Lays out what is left as a program.
    void Emit() {
        std::vector<int> live;
        for (std::size_t e = 0; e < edges_.size(); ++e)
            if (edges_[e].alive) live.push_back(static_cast<int>(e));
        if (!Connected()) {
            c_.kind = Circuit::Kind::Off;
            return;
        }
        regOf_.assign(c_.exprs.size(), -1);
        if (live.size() == 1) {
            c_.kind = Circuit::Kind::Expression;
            c_.resultReg = EmitExpr(edges_[static_cast<std::size_t>(live[0])].expr);
            return;
        }
        c_.kind = Circuit::Kind::Mesh;
        // Number the nodes still in use, supply and output rail first, in breadth-first order
        // from the supply, and list the edges in that order so that a sweep mostly runs forward.
        std::vector<int> id(adj_.size(), -1);
        std::vector<int> order = {0};
        id[0] = 0;
        for (std::size_t i = 0; i < order.size(); ++i) {
            for (int e : adj_[static_cast<std::size_t>(order[i])]) {
                const auto& ed = edges_[static_cast<std::size_t>(e)];
                if (!ed.alive) continue;
                const int m = Other(ed, order[i]);
                if (id[static_cast<std::size_t>(m)] < 0) {
                    id[static_cast<std::size_t>(m)] = 0;  // placeholder, numbered below
                    order.push_back(m);
                }
            }
        }
        int next = 2;
        for (int n : order) id[static_cast<std::size_t>(n)] = n == 0 ? 0 : n == 1 ? 1 : next++;
        c_.nodes = next;
        std::vector<char> seen(edges_.size(), 0);
        for (int n : order) {
            for (int e : adj_[static_cast<std::size_t>(n)]) {
                const auto& ed = edges_[static_cast<std::size_t>(e)];
                if (!ed.alive || seen[static_cast<std::size_t>(e)]) continue;
                seen[static_cast<std::size_t>(e)] = 1;
                c_.mesh.push_back({id[static_cast<std::size_t>(n)],
                                   id[static_cast<std::size_t>(Other(ed, n))], EmitExpr(ed.expr)});
            }
        }
    }

  private:
    static int Other(const Edge& e, int n) { return e.u == n ? e.v : e.u; }

    std::vector<int>& Compact(int n) {
        auto& list = adj_[static_cast<std::size_t>(n)];
        std::erase_if(list, [&](int e) { return !edges_[static_cast<std::size_t>(e)].alive; });
        return list;
    }

    int FindEdge(int u, int v) {
        auto& list = Compact(adj_[static_cast<std::size_t>(u)].size() <=
                                     adj_[static_cast<std::size_t>(v)].size()
                                 ? u
                                 : v);
        for (int e : list) {
            const auto& ed = edges_[static_cast<std::size_t>(e)];
            if ((ed.u == u && ed.v == v) || (ed.u == v && ed.v == u)) return e;
        }
        return -1;
    }

    // Whether the output rail can be reached from the supply at all.
    bool Connected() {
        std::vector<char> seen(adj_.size(), 0);
        std::vector<int> stack = {0};
        seen[0] = 1;
        while (!stack.empty()) {
            const int n = stack.back();
            stack.pop_back();
            if (n == 1) return true;
            for (int e : adj_[static_cast<std::size_t>(n)]) {
                const auto& ed = edges_[static_cast<std::size_t>(e)];
                const int m = Other(ed, n);
                if (ed.alive && !seen[static_cast<std::size_t>(m)]) {
                    seen[static_cast<std::size_t>(m)] = 1;
                    stack.push_back(m);
                }
            }
        }
        return false;
    }

    int EmitExpr(int root) {
        // Iterative post-order, so deep series chains cannot exhaust the stack.
        std::vector<std::pair<int, bool>> stack = {{root, false}};
        while (!stack.empty()) {
            auto [x, expanded] = stack.back();
            stack.pop_back();
            if (regOf_[static_cast<std::size_t>(x)] >= 0) continue;
            const Expr& ex = c_.exprs[static_cast<std::size_t>(x)];
            if (ex.op == Op::Lit || ex.op == Op::NotLit) {
                regOf_[static_cast<std::size_t>(x)] = Push({ex.op, ex.var, -1, -1});
                c_.usedVars |= static_cast<uint16_t>(1u << ex.var);
            } else if (expanded) {
                regOf_[static_cast<std::size_t>(x)] =
                    Push({ex.op, 0, regOf_[static_cast<std::size_t>(ex.a)],
                          regOf_[static_cast<std::size_t>(ex.b)]});
            } else {
                stack.push_back({x, true});
                stack.push_back({ex.b, false});
                stack.push_back({ex.a, false});
            }
        }
        return regOf_[static_cast<std::size_t>(root)];
    }

    int Push(Circuit::Instr in) {
        c_.program.push_back(in);
        return static_cast<int>(c_.program.size()) - 1;
    }

    Circuit& c_;
    std::vector<std::vector<int>> adj_;
    std::vector<bool> dead_;
    std::vector<Edge> edges_;
    std::vector<int> regOf_;
};

Circuit BuildCircuit(const Config& config, int output) {
    const auto& type = config.SegType[output];
    const auto& sel = config.SegInput[output];
    Circuit c;
    UnionFind uf(kSegments + 2);
    struct Contact {
        int left, self, var;
        bool closedWhenOff;
    };
    std::vector<Contact> contacts;
    for (int i = 0; i < kSegments; ++i) {
        const int t = type[static_cast<std::size_t>(i)];
        if (!HasCentre(t)) continue;
        const int col = SegColumn(i);
        const int row = SegRow(i);
        const int left = col == 0                                           ? kSupply
                         : HasCentre(type[static_cast<std::size_t>(i - 1)]) ? i - 1
                                                                            : -1;
        if (left >= 0) {
            const Element e = ElementOf(t);
            if (e == Element::Wire) {
                uf.Unite(i, left);
            } else if (IsContact(t)) {
                const int s = sel[static_cast<std::size_t>(i)];
                const bool nc = e == Element::NormallyClosed;
                if (IsValidSelection(s))
                    contacts.push_back({left, i, s, nc});
                else if (nc)
                    uf.Unite(i, left);  // names no signal: never opens
            }
        }
        if (HasLinkDown(t) && row < 15 && HasLinkUp(type[static_cast<std::size_t>(i + 16)]))
            uf.Unite(i, i + 16);
        if (col == 15) uf.Unite(i, kOutRail);
    }
    if (uf.Find(kSupply) == uf.Find(kOutRail)) {
        c.kind = Circuit::Kind::On;
        return c;
    }
    Reducer r(c);
    std::vector<int> node(kSegments + 2, -1);
    node[static_cast<std::size_t>(uf.Find(kSupply))] = r.NewNode();
    node[static_cast<std::size_t>(uf.Find(kOutRail))] = r.NewNode();
    for (const auto& ct : contacts) {
        const int a = uf.Find(ct.left);
        const int b = uf.Find(ct.self);
        if (a == b) continue;
        for (int x : {a, b})
            if (node[static_cast<std::size_t>(x)] < 0)
                node[static_cast<std::size_t>(x)] = r.NewNode();
        r.AddEdge(node[static_cast<std::size_t>(a)], node[static_cast<std::size_t>(b)],
                  r.Lit(ct.var, ct.closedWhenOff));
    }
    r.Reduce();
    r.Emit();
    return c;
}

uint64_t Literal(int var, int word) {
    if (var < 6) return kLanePattern[static_cast<std::size_t>(var)];
    return ((word >> (var - 6)) & 1) ? kAll : 0;
}

void RunProgram(const Circuit& c, int word, std::vector<uint64_t>& reg) {
    for (std::size_t i = 0; i < c.program.size(); ++i) {
        const auto& in = c.program[i];
        switch (in.op) {
            case Op::Lit:
                reg[i] = Literal(in.var, word);
                break;
            case Op::NotLit:
                reg[i] = ~Literal(in.var, word);
                break;
            case Op::And:
                reg[static_cast<std::size_t>(i)] =
                    reg[static_cast<std::size_t>(in.a)] & reg[static_cast<std::size_t>(in.b)];
                break;
            case Op::Or:
                reg[static_cast<std::size_t>(i)] =
                    reg[static_cast<std::size_t>(in.a)] | reg[static_cast<std::size_t>(in.b)];
                break;
        }
    }
}

// Spreads the supply over the mesh, 64 words at once, until nothing changes.
uint64_t Flood(const Circuit& c, const std::vector<uint64_t>& reg, std::vector<uint64_t>& reach) {
    std::fill(reach.begin(), reach.end(), 0);
    reach[0] = kAll;
    bool changed = true;
    bool forward = true;
    while (changed) {
        changed = false;
        const std::size_t n = c.mesh.size();
        for (std::size_t k = 0; k < n; ++k) {
            const auto& e = c.mesh[forward ? k : n - 1 - k];
            const uint64_t ru = reach[static_cast<std::size_t>(e.u)];
            const uint64_t rv = reach[static_cast<std::size_t>(e.v)];
            const uint64_t x = (ru | rv) & reg[static_cast<std::size_t>(e.reg)];
            if ((x & ~(ru & rv)) != 0) {
                reach[static_cast<std::size_t>(e.u)] = ru | x;
                reach[static_cast<std::size_t>(e.v)] = rv | x;
                changed = true;
            }
        }
        if (reach[1] == kAll) break;
        forward = !forward;
    }
    return reach[1];
}

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

// Turns the 8 output bitmaps into output bytes.
void Assemble(const std::array<OutputBits, kOutputs>& bits, ControlArray& array) {
    for (int w = 0; w < kBitWords; ++w) {
        std::array<uint64_t, 8> a{};
        for (int o = 0; o < kOutputs; ++o)
            a[static_cast<std::size_t>(o)] =
                bits[static_cast<std::size_t>(o)][static_cast<std::size_t>(w)];
        // Byte transpose: afterwards byte o of a[j] is byte j of output o's word.
        for (int o = 0; o < 4; ++o)
            SwapBits<32, 0x00000000FFFFFFFFull>(a[static_cast<std::size_t>(o)],
                                                a[static_cast<std::size_t>(o + 4)]);
        for (int o : {0, 1, 4, 5})
            SwapBits<16, 0x0000FFFF0000FFFFull>(a[static_cast<std::size_t>(o)],
                                                a[static_cast<std::size_t>(o + 2)]);
        for (int o : {0, 2, 4, 6})
            SwapBits<8, 0x00FF00FF00FF00FFull>(a[static_cast<std::size_t>(o)],
                                               a[static_cast<std::size_t>(o + 1)]);
        uint8_t* dst = array.data() + 64 * w;
        for (int j = 0; j < 8; ++j) {
            const uint64_t y = Transpose8(a[static_cast<std::size_t>(j)]);
            for (int k = 0; k < 8; ++k) dst[8 * j + k] = static_cast<uint8_t>(y >> (8 * k));
        }
    }
}

}  // namespace

void CompileOutputBits(const Config& config, int output, OutputBits& bits) {
    const Circuit c = BuildCircuit(config, output);
    switch (c.kind) {
        case Circuit::Kind::Off:
            bits.fill(0);
            return;
        case Circuit::Kind::On:
            bits.fill(kAll);
            return;
        default:
            break;
    }
    // Only the words that differ in the inputs 6..15 the circuit uses need evaluating; the
    // others copy the word that agrees with them on those inputs.
    const int hiMask = (c.usedVars >> 6) & 0x3FF;
    std::vector<uint64_t> reg(c.program.size());
    std::vector<uint64_t> reach(static_cast<std::size_t>(c.nodes));
    int w = 0;
    do {
        RunProgram(c, w, reg);
        bits[static_cast<std::size_t>(w)] = c.kind == Circuit::Kind::Expression
                                                ? reg[static_cast<std::size_t>(c.resultReg)]
                                                : Flood(c, reg, reach);
        w = (w - hiMask) & hiMask;  // next submask in increasing order
    } while (w != 0);
    if (hiMask != kBitWords - 1)
        for (int x = 0; x < kBitWords; ++x)
            bits[static_cast<std::size_t>(x)] = bits[static_cast<std::size_t>(x & hiMask)];
}

void CompileFast(const Config& config, ControlArray& array, const ProgressFn& progress) {
    std::array<OutputBits, kOutputs> bits;
    for (int o = 0; o < kOutputs; ++o) {
        CompileOutputBits(config, o, bits[static_cast<std::size_t>(o)]);
        if (progress && o < kOutputs - 1)
            for (int s = 1; s <= 32; ++s) progress(32 * o + s);
    }
    Assemble(bits, array);
    if (progress)
        for (int s = 1; s <= 32; ++s) progress(32 * (kOutputs - 1) + s);
}

}  // namespace zez
