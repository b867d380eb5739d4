#include "compiler/fast/Internal.h"

namespace zez::fast {

int Factoring::Run(const Network& net, OutputBits& bits, Scratch& scratch) {
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

void Factoring::Fill(int fixedMask, int fixedWord, uint64_t value) {
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

void Factoring::Solve(int depth, int nodes, int fixedMask, int fixedWord) {
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
    const int split = static_cast<int>(std::max_element(uses.begin(), uses.end()) - uses.begin());
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

int Factoring::Find(int x) {
    while (parent_[x] != x) {
        parent_[x] = parent_[parent_[x]];
        x = parent_[x];
    }
    return x;
}

Factoring::Outcome Factoring::Simplify(std::vector<Join>& g, int& nodes) {
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

bool Factoring::ReduceDegrees(std::vector<Join>& g, int nodes) {
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

bool Factoring::MayReach(const std::vector<Join>& g, int nodes) {
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

uint64_t Factoring::Flood(const std::vector<Join>& g, int nodes) {
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

void Factoring::FloodCases(const std::vector<Join>& g, int nodes, int vars, int fixedMask,
                           int fixedWord) {
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

}  // namespace zez::fast
