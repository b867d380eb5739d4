#include "compiler/fast/Internal.h"

namespace zez::fast {

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

}  // namespace zez::fast
