#pragma once
// The fast engine's parts, shared by its files: the network of an output's joins, the
// series/parallel reducer and the program it emits, evaluation 64 words at a time, the factoring of
// meshes on the word-index inputs, and the assembly of the output bytes.

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "compiler/FastEngine.h"

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

namespace zez::fast {

// Room whose contents are written before they are read: not zeroed where the library can say so
// (libc++ before version 16 cannot).
template <class T>
auto MakeForOverwrite(std::size_t n = 0) {
#if defined(__cpp_lib_smart_ptr_for_overwrite)
    if constexpr (std::is_array_v<T>)
        return std::make_unique_for_overwrite<T>(n);
    else
        return std::make_unique_for_overwrite<T>();
#else
    if constexpr (std::is_array_v<T>)
        return std::make_unique<T>(n);
    else
        return std::make_unique<T>();
#endif
}

constexpr int kSupply = kSegments;       // node of the supply rail
constexpr int kOutRail = kSegments + 1;  // node of the output rail
constexpr uint64_t kAll = ~uint64_t{0};

// Lane patterns of inputs 0..5 inside one 64-bit word; inputs 6..15 are the word index's bits.
constexpr std::array<uint64_t, 6> kLanePattern = {0xAAAAAAAAAAAAAAAAull, 0xCCCCCCCCCCCCCCCCull,
                                                  0xF0F0F0F0F0F0F0F0ull, 0xFF00FF00FF00FF00ull,
                                                  0xFFFF0000FFFF0000ull, 0xFFFFFFFF00000000ull};

constexpr int kChunk = 64;  // most input-state words evaluated together, one 64-bit word each

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

    void Reduce();

    // Lays out what is left as a program.
    void Emit();

  private:
    static int Other(const Edge& e, int n) { return e.u == n ? e.v : e.u; }

    // A small mesh becomes one expression by taking out its inner nodes one by one: each pair of
    // a node's neighbours gets an edge for the way through it (the AND of the two edges), which
    // keeps every connection between the nodes left. Done only when the new edges cost less to
    // evaluate than flooding the mesh.
    bool Eliminate();

    // Takes inner node x out: an edge for the way through it between each pair of its
    // neighbours (the AND of the two edges), its own edges gone. The neighbours go on `touched`.
    void TakeOut(int x, std::vector<int>* touched);

    // In a mesh that stays, nodes with few neighbours are taken out the same way, those with
    // three or fewer first (no more edges than before), then those with four: fewer nodes, and
    // shorter ways for the flood to go.
    void Thin();

    std::vector<int>& Compact(int n);

    int FindEdge(int u, int v);

    // Whether the output rail can be reached from the supply at all.
    bool Connected();

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

    int Materialise(const Operand& o);

    // Constants fold and fuse into the step that uses them, literals of inputs 6..15 too.
    Operand Binary(Op op, Operand a, Operand b);

    int EmitExpr(int root) { return Materialise(EmitOperand(root)); }

    Operand EmitOperand(int root);

    int Push(Circuit::Instr in);

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

// Joins the centres that always conduct to each other; the contacts that can change join nodes.
void BuildNetwork(const Config& config, int output, Network& net);
// Series/parallel reduction of the network into one expression where it reduces, a mesh of
// expressions where it does not.
void BuildCircuit(const Network& net, Reducer& r, Circuit& c);

void RunProgram(const Circuit& c, const int* words, int n, uint64_t* reg, uint64_t* sel);
void FloodChunk(const Circuit::MeshEdge* mesh, std::size_t edges, const uint64_t* reg,
                uint64_t* reach, int n, uint32_t* changedAt, uint32_t* seenAt);
// Copies bits[j & mask] to every j: the words that differ only in inputs outside `mask` agree.
void Replicate(OutputBits& bits, int mask);

// Scratch space of one output's evaluation.
// Room for words that are always written before they are read: grows, never clears.
class WordBuffer {
  public:
    uint64_t* Room(std::size_t n) {
        if (n > size_) {
            data_ = MakeForOverwrite<uint64_t[]>(n);
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
int EvaluateExpression(const Circuit& c, OutputBits& bits, Scratch& scratch);

// Factoring of a network that does not reduce to one expression. Inputs 0..5 are the 64 lanes of
// a join's mask; inputs 6..15 (the bitmap word's index) are split on one at a time, each case
// simplified again (joins that close become one node, those that open go), until what is left
// is decided or uses lanes only, and that rest is flooded one 64-bit word per node.
class Factoring {
  public:
    // Fills the words of `bits` that are submasks of the returned mask: the word-index inputs
    // the output still depends on once simplified.
    int Run(const Network& net, OutputBits& bits, Scratch& scratch);

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

    void Fill(int fixedMask, int fixedWord, uint64_t value);

    void Solve(int depth, int nodes, int fixedMask, int fixedWord);

    int Find(int x);

    // Merges always-closed joins, drops never-closed ones, joins parallel ones, removes dead
    // ends and joins series ones, until nothing changes. Nodes are renumbered densely.
    Outcome Simplify(std::vector<Join>& g, int& nodes);

    // Dead ends go; a node with two joins, at most one with a literal, becomes one join.
    bool ReduceDegrees(std::vector<Join>& g, int nodes);

    // False when the supply cannot reach the output rail whatever the inputs; a few sweeps
    // only, so true may also mean "not decided yet".
    bool MayReach(const std::vector<Join>& g, int nodes);

    // The output rail's lanes once the supply has spread over joins that use lanes only.
    uint64_t Flood(const std::vector<Join>& g, int nodes);

    // What is left is reduced by series and parallel steps over whole expressions and evaluated
    // for every case of the word-index inputs `vars` it still uses.
    void FloodCases(const std::vector<Join>& g, int nodes, int vars, int fixedMask, int fixedWord);

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

// Words [from, to) of the array, each from the bitmaps.
void AssembleWords(const std::array<OutputBits, kOutputs>& bits,
                   const std::array<int, kOutputs>& masks, ControlArray& array,
                   AssemblyKernel kernel, int from, int to);

}  // namespace zez::fast
