#include "compiler/fast/Internal.h"

#include <numeric>

namespace zez::fast {

namespace {

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

}  // namespace

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

}  // namespace zez::fast
