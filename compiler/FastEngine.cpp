#include "compiler/FastEngine.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define ZEZ_HAVE_SSE2 1
#else
#define ZEZ_HAVE_SSE2 0
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

class UnionFind {
  public:
    explicit UnionFind(int n) : parent_(static_cast<std::size_t>(n)) {
        std::iota(parent_.begin(), parent_.end(), 0);
    }
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
        if (a != b) parent_[std::max(a, b)] = std::min(a, b);
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
            edges_[e].expr = Combine(Op::Or, edges_[e].expr, expr);
            return;
        }
        edges_.push_back({u, v, expr, true});
        const int id = static_cast<int>(edges_.size()) - 1;
        adj_[u].push_back(id);
        adj_[v].push_back(id);
    }

    void Reduce() {
        std::vector<int> work;
        for (int n = 2; n < static_cast<int>(adj_.size()); ++n) work.push_back(n);
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
            c_.resultReg = EmitExpr(edges_[live[0]].expr);
            return;
        }
        c_.kind = Circuit::Kind::Mesh;
        // Number the nodes still in use, supply and output rail first, in breadth-first order
        // from the supply, and list the edges in that order so that a sweep mostly runs forward.
        std::vector<int> id(adj_.size(), -1);
        std::vector<int> order = {0};
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
        c_.nodes = next;
        std::vector<char> seen(edges_.size(), 0);
        for (int n : order) {
            for (int e : adj_[n]) {
                const auto& ed = edges_[e];
                if (!ed.alive || seen[e]) continue;
                seen[e] = 1;
                c_.mesh.push_back({id[n], id[Other(ed, n)], EmitExpr(ed.expr)});
            }
        }
    }

  private:
    static int Other(const Edge& e, int n) { return e.u == n ? e.v : e.u; }

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
        std::vector<char> seen(adj_.size(), 0);
        std::vector<int> stack = {0};
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

    int EmitExpr(int root) {
        // Iterative post-order, so deep series chains cannot exhaust the stack.
        std::vector<std::pair<int, bool>> stack = {{root, false}};
        while (!stack.empty()) {
            auto [x, expanded] = stack.back();
            stack.pop_back();
            if (regOf_[x] >= 0) continue;
            const Expr& ex = c_.exprs[x];
            if (ex.op == Op::Lit || ex.op == Op::NotLit) {
                // One register per literal, however many contacts share it.
                int& lit = litReg_[2 * ex.var + (ex.op == Op::NotLit)];
                if (lit < 0) lit = Push({ex.op, ex.var, -1, -1});
                regOf_[x] = lit;
                c_.usedVars |= static_cast<uint16_t>(1u << ex.var);
            } else if (expanded) {
                regOf_[x] = Push({ex.op, 0, regOf_[ex.a], regOf_[ex.b]});
            } else {
                stack.push_back({x, true});
                stack.push_back({ex.b, false});
                stack.push_back({ex.a, false});
            }
        }
        return regOf_[root];
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
    std::array<int, 32> litReg_ = MinusOnes();
    static constexpr std::array<int, 32> MinusOnes() {
        std::array<int, 32> a{};
        a.fill(-1);
        return a;
    }
};

// `fixedMask` names signals whose state is given by `fixedWord`: their contacts become wires or
// gaps before the circuit is reduced.
Circuit BuildCircuit(const Config& config, int output, int fixedMask = 0, int fixedWord = 0) {
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
                } else if ((fixedMask >> s) & 1) {
                    if (ContactClosed(t, s, fixedWord)) uf.Unite(i, left);
                } else {
                    contacts.push_back({left, i, s, nc});
                }
            }
        }
        if (HasLinkDown(t) && row < 15 && HasLinkUp(type[i + 16])) uf.Unite(i, i + 16);
        if (col == 15) uf.Unite(i, kOutRail);
    }
    if (uf.Find(kSupply) == uf.Find(kOutRail)) {
        c.kind = Circuit::Kind::On;
        return c;
    }
    Reducer r(c);
    std::vector<int> node(kSegments + 2, -1);
    node[uf.Find(kSupply)] = r.NewNode();
    node[uf.Find(kOutRail)] = r.NewNode();
    for (const auto& ct : contacts) {
        const int a = uf.Find(ct.left);
        const int b = uf.Find(ct.self);
        if (a == b) continue;
        for (int x : {a, b})
            if (node[x] < 0) node[x] = r.NewNode();
        r.AddEdge(node[a], node[b], r.Lit(ct.var, ct.closedWhenOff));
    }
    r.Reduce();
    r.Emit();
    return c;
}

constexpr int kChunk = 64;  // input-state words evaluated together, one 64-bit word each

// Runs the program for 64 words at once: register i of chunk slot k is reg[i * kChunk + k].
void RunProgram(const Circuit& c, const std::array<int, kChunk>& words,
                std::vector<uint64_t>& reg) {
    for (std::size_t i = 0; i < c.program.size(); ++i) {
        const auto& in = c.program[i];
        uint64_t* d = &reg[i * kChunk];
        switch (in.op) {
            case Op::Lit:
            case Op::NotLit: {
                const uint64_t flip = in.op == Op::NotLit ? kAll : 0;
                if (in.var < 6) {
                    const uint64_t v = kLanePattern[in.var] ^ flip;
                    for (int k = 0; k < kChunk; ++k) d[k] = v;
                } else {
                    const int shift = in.var - 6;
                    for (int k = 0; k < kChunk; ++k)
                        d[k] =
                            (uint64_t{0} - static_cast<uint64_t>((words[k] >> shift) & 1)) ^ flip;
                }
                break;
            }
            case Op::And: {
                const uint64_t* a = &reg[in.a * kChunk];
                const uint64_t* b = &reg[in.b * kChunk];
                for (int k = 0; k < kChunk; ++k) d[k] = a[k] & b[k];
                break;
            }
            case Op::Or: {
                const uint64_t* a = &reg[in.a * kChunk];
                const uint64_t* b = &reg[in.b * kChunk];
                for (int k = 0; k < kChunk; ++k) d[k] = a[k] | b[k];
                break;
            }
        }
    }
}

// Spreads the supply over the mesh for the 64 words of a chunk at once, until nothing changes;
// out[k] gets the output rail's lanes of chunk slot k.
void FloodChunk(const Circuit& c, const std::vector<uint64_t>& reg, std::vector<uint64_t>& reach,
                uint64_t* out) {
    reach.assign(static_cast<std::size_t>(c.nodes) * kChunk, 0);
    std::fill_n(reach.begin(), kChunk, kAll);  // node 0: the supply
    const std::size_t n = c.mesh.size();
    std::array<uint64_t, kChunk> x{};
    bool forward = true;
    for (bool changed = true; changed; forward = !forward) {
        changed = false;
        for (std::size_t i = 0; i < n; ++i) {
            const auto& e = c.mesh[forward ? i : n - 1 - i];
            uint64_t* ru = &reach[e.u * kChunk];
            uint64_t* rv = &reach[e.v * kChunk];
            const uint64_t* m = &reg[e.reg * kChunk];
            uint64_t grew = 0;
            for (int k = 0; k < kChunk; ++k) {
                x[k] = (ru[k] | rv[k]) & m[k];
                grew |= x[k] & ~(ru[k] & rv[k]);
            }
            if (grew == 0) continue;
            changed = true;
            for (int k = 0; k < kChunk; ++k) ru[k] |= x[k];
            for (int k = 0; k < kChunk; ++k) rv[k] |= x[k];
        }
    }
    std::copy_n(reach.begin() + kChunk, kChunk, out);
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

// The 64 output bytes of bitmap word w.
void AssembleWordScalar(const std::array<OutputBits, kOutputs>& bits, int w, uint8_t* dst) {
    std::array<uint64_t, 8> a{};
    for (int o = 0; o < kOutputs; ++o) a[o] = bits[o][w];
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

void AssembleWordSse2(const std::array<OutputBits, kOutputs>& bits, int w, uint8_t* dst) {
    auto row = [&](int o) {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&bits[o][w]));
    };
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

}  // namespace

namespace {

// A mesh with more edges than this is split into blocks by inputs 12..15 and reduced again in
// each block, where those inputs are constant.
constexpr std::size_t kSplitEdges = 24;

// Fills bits[base + j] for j in 0..span-1 (span 64 or 1024, base a multiple of span).
void EvaluateRange(const Circuit& c, int base, int span, OutputBits& bits) {
    if (c.kind == Circuit::Kind::Off || c.kind == Circuit::Kind::On) {
        std::fill_n(bits.begin() + base, span, c.kind == Circuit::Kind::On ? kAll : 0);
        return;
    }
    // Only the words that differ in the inputs the circuit uses need evaluating; the others copy
    // the word that agrees with them on those inputs.
    const int mask = (c.usedVars >> 6) & (span - 1);
    std::vector<uint64_t> reg(c.program.size() * kChunk);
    std::vector<uint64_t> reach;
    std::array<int, kChunk> words{};
    std::array<uint64_t, kChunk> result{};
    int sub = 0;
    bool more = true;
    while (more) {
        int n = 0;
        while (more && n < kChunk) {
            words[n++] = base | sub;
            sub = (sub - mask) & mask;  // next submask in increasing order
            more = sub != 0;
        }
        RunProgram(c, words, reg);
        if (c.kind == Circuit::Kind::Expression)
            std::copy_n(reg.begin() + c.resultReg * kChunk, kChunk, result.begin());
        else
            FloodChunk(c, reg, reach, result.data());
        for (int k = 0; k < n; ++k) bits[words[k]] = result[k];
    }
    if (mask != span - 1)
        for (int j = 0; j < span; ++j) bits[base | j] = bits[base | (j & mask)];
}

}  // namespace

int CompileOutputBits(const Config& config, int output, OutputBits& bits) {
    const Circuit c = BuildCircuit(config, output);
    const int hiMask = (c.usedVars >> 6) & (kBitWords - 1);
    if (c.kind != Circuit::Kind::Mesh || c.mesh.size() <= kSplitEdges) {
        EvaluateRange(c, 0, kBitWords, bits);
        return hiMask;
    }
    constexpr int kBlockWords = 64;  // words per block: inputs 6..11 vary inside it
    const int blockMask = (c.usedVars >> 12) & 0xF;
    int b = 0;
    do {
        const Circuit block = BuildCircuit(config, output, 0xF000, b << 12);
        EvaluateRange(block, b * kBlockWords, kBlockWords, bits);
        b = (b - blockMask) & blockMask;
    } while (b != 0);
    for (int blk = 0; blk < 16; ++blk)
        if (blk & ~blockMask)
            std::copy_n(bits.begin() + (blk & blockMask) * kBlockWords, kBlockWords,
                        bits.begin() + blk * kBlockWords);
    return hiMask;
}

void AssembleControlArray(const std::array<OutputBits, kOutputs>& bits, int wordMask,
                          ControlArray& array, bool portable) {
    for (int w = 0; w < kBitWords; ++w) {
        uint8_t* dst = array.data() + 64 * w;
        if ((w & ~wordMask) != 0) {
            std::memcpy(dst, array.data() + 64 * (w & wordMask), 64);
        } else {
#if ZEZ_HAVE_SSE2
            if (!portable) {
                AssembleWordSse2(bits, w, dst);
                continue;
            }
#endif
            (void)portable;
            AssembleWordScalar(bits, w, dst);
        }
    }
}

void CompileFast(const Config& config, ControlArray& array, const ProgressFn& progress) {
    std::array<OutputBits, kOutputs> bits;
    int wordMask = 0;
    for (int o = 0; o < kOutputs; ++o) {
        wordMask |= CompileOutputBits(config, o, bits[o]);
        if (progress && o < kOutputs - 1)
            for (int s = 1; s <= 32; ++s) progress(32 * o + s);
    }
    AssembleControlArray(bits, wordMask, array);
    if (progress)
        for (int s = 1; s <= 32; ++s) progress(32 * (kOutputs - 1) + s);
}

}  // namespace zez
