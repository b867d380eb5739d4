#include "logic/Expression.h"

#include <algorithm>
#include <bit>
#include <bitset>
#include <unordered_set>

#include "compiler/TruthTable.h"

namespace zez {
namespace {

// Cubes below work on the k signals the function depends on: bit j stands for signals[j].
struct Space {
    std::vector<int> signals;
    std::vector<uint64_t> on;  // bit r: the function for reduced word r
    uint32_t full = 0;         // all k bits

    bool On(uint32_t r) const { return ((on[r >> 6] >> (r & 63)) & 1) != 0; }
    int Size() const { return 1 << signals.size(); }
    Cube ToCube(uint32_t care, uint32_t value) const {
        Cube c;
        for (std::size_t j = 0; j < signals.size(); ++j) {
            if (!((care >> j) & 1)) continue;
            c.care = static_cast<uint16_t>(c.care | (1u << signals[j]));
            if ((value >> j) & 1) c.value = static_cast<uint16_t>(c.value | (1u << signals[j]));
        }
        return c;
    }
};

struct RCube {
    uint32_t care;
    uint32_t value;
};

Space Reduce(const OutputBits& bits) {
    Space s;
    s.signals = DependentSignals(bits);
    const int k = static_cast<int>(s.signals.size());
    s.full = (1u << k) - 1;
    s.on.assign(static_cast<std::size_t>((s.Size() + 63) / 64), 0);
    for (uint32_t r = 0; r < static_cast<uint32_t>(s.Size()); ++r) {
        uint32_t word = 0;
        for (int j = 0; j < k; ++j)
            if ((r >> j) & 1) word |= 1u << s.signals[static_cast<std::size_t>(j)];
        if (OutputOn(bits, static_cast<int32_t>(word))) s.on[r >> 6] |= uint64_t{1} << (r & 63);
    }
    return s;
}

// Calls f(r) for every reduced word in the cube; stops early when f returns false.
template <class F>
bool ForEachWord(uint32_t care, uint32_t value, uint32_t full, F f) {
    const uint32_t free = ~care & full;
    uint32_t sub = 0;
    do {
        if (!f(value | sub)) return false;
        sub = (sub - free) & free;
    } while (sub != 0);
    return true;
}

// --- exact: prime implicants, then the cheapest cover by branch and bound -------------------

std::vector<RCube> Primes(const Space& s, const std::vector<uint32_t>& minterms) {
    auto key = [](uint32_t care, uint32_t value) { return (uint64_t{care} << 32) | value; };
    std::vector<RCube> level;
    level.reserve(minterms.size());
    for (uint32_t m : minterms) level.push_back({s.full, m});
    std::vector<RCube> primes;
    while (!level.empty()) {
        std::unordered_set<uint64_t> present;
        for (const auto& c : level) present.insert(key(c.care, c.value));
        std::unordered_set<uint64_t> merged;  // cubes that took part in a merge
        std::unordered_set<uint64_t> next;
        std::vector<RCube> nextLevel;
        for (const auto& c : level) {
            for (uint32_t b = c.care; b; b &= b - 1) {
                const uint32_t bit = b & (~b + 1);
                if (c.value & bit) continue;
                if (!present.count(key(c.care, c.value | bit))) continue;
                merged.insert(key(c.care, c.value));
                merged.insert(key(c.care, c.value | bit));
                const RCube m{c.care & ~bit, c.value};
                if (next.insert(key(m.care, m.value)).second) nextLevel.push_back(m);
            }
        }
        for (const auto& c : level)
            if (!merged.count(key(c.care, c.value))) primes.push_back(c);
        level = std::move(nextLevel);
    }
    return primes;
}

constexpr int kMaxOnWords = 256;  // 2^kExactSignalLimit
using Cover = std::bitset<kMaxOnWords>;

struct CoverSearch {
    std::vector<Cover> covers;         // per prime: the on-words it covers (by index)
    std::vector<int> literals;         // per prime
    std::vector<std::vector<int>> by;  // per on-word: the primes covering it
    Cover all;
    int words = 0;

    std::vector<int> best, chosen;
    int bestLiterals = 0;
    long nodes = 0;
    long nodeLimit = 2'000'000;
    bool complete = true;

    bool Better(std::size_t count, int lits) const {
        return count < best.size() || (count == best.size() && lits < bestLiterals);
    }

    void Search(const Cover& covered, int lits) {
        if (++nodes > nodeLimit) {
            complete = false;
            return;
        }
        if (covered == all) {
            if (Better(chosen.size(), lits)) {
                best = chosen;
                bestLiterals = lits;
            }
            return;
        }
        // A lower bound on the terms still needed: on-words no single prime covers two of.
        int bound = 0;
        Cover reach;
        int pick = -1;
        std::size_t fewest = SIZE_MAX;
        for (int w = 0; w < words; ++w) {
            if (covered[static_cast<std::size_t>(w)]) continue;
            const auto& ps = by[static_cast<std::size_t>(w)];
            if (ps.size() < fewest) {
                fewest = ps.size();
                pick = w;
            }
            if (reach[static_cast<std::size_t>(w)]) continue;
            ++bound;
            for (int p : ps) reach |= covers[static_cast<std::size_t>(p)];
        }
        const std::size_t need = chosen.size() + static_cast<std::size_t>(bound);
        if (need > best.size() || (need == best.size() && lits >= bestLiterals)) return;
        // Branch on the primes covering the most constrained on-word, largest gain first.
        std::vector<int> options = by[static_cast<std::size_t>(pick)];
        std::sort(options.begin(), options.end(), [&](int a, int b) {
            const auto ga = (covers[static_cast<std::size_t>(a)] & ~covered).count();
            const auto gb = (covers[static_cast<std::size_t>(b)] & ~covered).count();
            if (ga != gb) return ga > gb;
            return literals[static_cast<std::size_t>(a)] < literals[static_cast<std::size_t>(b)];
        });
        for (int p : options) {
            chosen.push_back(p);
            Search(covered | covers[static_cast<std::size_t>(p)],
                   lits + literals[static_cast<std::size_t>(p)]);
            chosen.pop_back();
            if (!complete) return;
        }
    }
};

// Greedy: the prime covering most new on-words, then fewest literals.
std::vector<int> GreedyCover(const CoverSearch& cs) {
    std::vector<int> pick;
    Cover covered;
    while (covered != cs.all) {
        int best = -1;
        std::size_t gain = 0;
        for (std::size_t p = 0; p < cs.covers.size(); ++p) {
            const auto g = (cs.covers[p] & ~covered).count();
            if (g > gain || (g == gain && g > 0 && best >= 0 &&
                             cs.literals[p] < cs.literals[static_cast<std::size_t>(best)])) {
                gain = g;
                best = static_cast<int>(p);
            }
        }
        pick.push_back(best);
        covered |= cs.covers[static_cast<std::size_t>(best)];
    }
    return pick;
}

std::vector<RCube> ExactCover(const Space& s, bool& exact) {
    std::vector<uint32_t> minterms;
    for (uint32_t r = 0; r < static_cast<uint32_t>(s.Size()); ++r)
        if (s.On(r)) minterms.push_back(r);
    const auto primes = Primes(s, minterms);
    CoverSearch cs;
    cs.words = static_cast<int>(minterms.size());
    cs.by.resize(minterms.size());
    for (std::size_t i = 0; i < minterms.size(); ++i) cs.all.set(i);
    for (std::size_t p = 0; p < primes.size(); ++p) {
        Cover c;
        for (std::size_t i = 0; i < minterms.size(); ++i) {
            if ((minterms[i] & primes[p].care) == primes[p].value) {
                c.set(i);
                cs.by[i].push_back(static_cast<int>(p));
            }
        }
        cs.covers.push_back(c);
        cs.literals.push_back(std::popcount(primes[p].care));
    }
    cs.best = GreedyCover(cs);
    for (int p : cs.best) cs.bestLiterals += cs.literals[static_cast<std::size_t>(p)];
    cs.Search(Cover{}, 0);
    exact = cs.complete;
    std::vector<RCube> out;
    out.reserve(cs.best.size());
    for (int p : cs.best) out.push_back(primes[static_cast<std::size_t>(p)]);
    return out;
}

// --- heuristic: expand each uncovered on-word as far as it stays on, then drop redundant -----

RCube Expand(const Space& s, uint32_t word, bool forward) {
    const int k = static_cast<int>(s.signals.size());
    RCube c{s.full, word};
    for (int i = 0; i < k; ++i) {
        const uint32_t bit = 1u << (forward ? i : k - 1 - i);
        const uint32_t care = c.care & ~bit;
        const uint32_t value = c.value & ~bit;
        if (ForEachWord(care, value, s.full, [&](uint32_t r) { return s.On(r); }))
            c = {care, value};
    }
    return c;
}

std::vector<RCube> HeuristicCover(const Space& s) {
    const int k = static_cast<int>(s.signals.size());
    std::vector<std::pair<int, uint32_t>> order;  // on-words with fewest on-neighbours first
    for (uint32_t r = 0; r < static_cast<uint32_t>(s.Size()); ++r) {
        if (!s.On(r)) continue;
        int neighbours = 0;
        for (int j = 0; j < k; ++j) neighbours += s.On(r ^ (1u << j));
        order.emplace_back(neighbours, r);
    }
    std::sort(order.begin(), order.end());
    std::vector<uint16_t> count(static_cast<std::size_t>(s.Size()), 0);
    std::vector<RCube> cubes;
    for (const auto& [n, r] : order) {
        if (count[r]) continue;
        RCube a = Expand(s, r, true);
        const RCube b = Expand(s, r, false);
        if (std::popcount(b.care) < std::popcount(a.care)) a = b;
        ForEachWord(a.care, a.value, s.full, [&](uint32_t w) {
            ++count[w];
            return true;
        });
        cubes.push_back(a);
    }
    // Smallest cubes first: drop each whose every word another cube also covers.
    std::stable_sort(cubes.begin(), cubes.end(), [](const RCube& x, const RCube& y) {
        return std::popcount(x.care) > std::popcount(y.care);
    });
    std::vector<RCube> kept;
    for (const auto& c : cubes) {
        const bool redundant =
            ForEachWord(c.care, c.value, s.full, [&](uint32_t w) { return count[w] >= 2; });
        if (redundant) {
            ForEachWord(c.care, c.value, s.full, [&](uint32_t w) {
                --count[w];
                return true;
            });
        } else {
            kept.push_back(c);
        }
    }
    return kept;
}

// Literal order: by selection, the plain literal before its negation.
std::vector<int> SortKey(const Cube& c) {
    std::vector<int> key;
    for (int n = 0; n < 16; ++n)
        if ((c.care >> n) & 1) key.push_back(2 * n + (((c.value >> n) & 1) ? 0 : 1));
    return key;
}

}  // namespace

int SumOfProducts::Literals() const {
    int n = 0;
    for (const auto& t : terms) n += std::popcount(t.care);
    return n;
}

SumOfProducts Minimise(const OutputBits& bits) {
    SumOfProducts sop;
    const Space s = Reduce(bits);
    sop.dependsOn = s.signals;
    if (s.signals.empty()) {
        sop.exact = true;
        if (OutputOn(bits, 0)) sop.terms.push_back(Cube{});
        return sop;
    }
    std::vector<RCube> cover;
    if (static_cast<int>(s.signals.size()) <= kExactSignalLimit) {
        cover = ExactCover(s, sop.exact);
    } else {
        cover = HeuristicCover(s);
        sop.exact = false;
    }
    for (const auto& c : cover) sop.terms.push_back(s.ToCube(c.care, c.value));
    std::sort(sop.terms.begin(), sop.terms.end(),
              [](const Cube& a, const Cube& b) { return SortKey(a) < SortKey(b); });
    return sop;
}

SumOfProducts ExpressOutput(const Config& config, int output) {
    OutputBits bits;
    CompileOutputBits(config, output, bits);
    return Minimise(bits);
}

std::string FormatExpression(const SumOfProducts& sop) {
    if (sop.terms.empty()) return "0";
    std::string out;
    for (const auto& t : sop.terms) {
        if (!out.empty()) out += "|";
        if (t.care == 0) return "1";
        std::string term;
        for (int n = 0; n < 16; ++n) {
            if (!((t.care >> n) & 1)) continue;
            if (!term.empty()) term += "&";
            if (!((t.value >> n) & 1)) term += "!";
            term += SignalName(n);
        }
        out += term;
    }
    return out;
}

bool OutputHasDiagram(const Config& config, int output) {
    for (int s = 0; s < kSegments; ++s)
        if (HasCentre(config.SegType[output][s])) return true;
    return false;
}

}  // namespace zez
