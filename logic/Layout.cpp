#include "logic/Layout.h"

#include <algorithm>
#include <map>
#include <optional>
#include <vector>

#include "logic/Expression.h"
#include "logic/Formula.h"

namespace zez {
namespace {

// A series-parallel form: a contact on a signal, or the series (And) or parallel (Or) of parts.
struct Node {
    enum class Kind { Contact, And, Or } kind = Kind::Contact;
    int sel = 0;
    bool closed = false;  // a normally-closed contact: the signal's complement
    std::vector<Node> parts;
};

Node Literal(int sel, bool negated) {
    return {Node::Kind::Contact, sel, negated, {}};
}

Node Join(Node::Kind kind, std::vector<Node> parts) {
    if (parts.size() == 1) return std::move(parts[0]);
    std::vector<Node> flat;
    for (auto& p : parts) {
        if (p.kind == kind)
            for (auto& q : p.parts) flat.push_back(std::move(q));
        else
            flat.push_back(std::move(p));
    }
    return {kind, 0, false, std::move(flat)};
}

Node Product(const Cube& cube) {
    std::vector<Node> lits;
    for (int sel = 0; sel < 16; ++sel)
        if ((cube.care >> sel) & 1) lits.push_back(Literal(sel, ((cube.value >> sel) & 1) == 0));
    return Join(Node::Kind::And, std::move(lits));
}

Node Flat(const std::vector<Cube>& cubes) {
    std::vector<Node> terms;
    terms.reserve(cubes.size());
    for (const Cube& c : cubes) terms.push_back(Product(c));
    return Join(Node::Kind::Or, std::move(terms));
}

// The function as a product of sums, from the complement's minimal sum of products: each of its
// terms, negated, is a sum of the negated literals (contacts in parallel), and these go in series.
Node ProductOfSums(const std::vector<Cube>& complement) {
    std::vector<Node> sums;
    for (const Cube& c : complement) {
        std::vector<Node> lits;
        for (int sel = 0; sel < 16; ++sel)
            if ((c.care >> sel) & 1) lits.push_back(Literal(sel, ((c.value >> sel) & 1) != 0));
        sums.push_back(Join(Node::Kind::Or, std::move(lits)));
    }
    return Join(Node::Kind::And, std::move(sums));
}

// Algebraic factoring: the literal shared by most terms is taken out, recursively.
Node Factored(const std::vector<Cube>& cubes) {
    if (cubes.size() <= 1) return Flat(cubes);
    std::map<std::pair<int, bool>, int> count;
    for (const Cube& c : cubes)
        for (int sel = 0; sel < 16; ++sel)
            if ((c.care >> sel) & 1) ++count[{sel, ((c.value >> sel) & 1) != 0}];
    const auto best = std::max_element(count.begin(), count.end(),
                                       [](auto& a, auto& b) { return a.second < b.second; });
    if (best->second < 2) return Flat(cubes);
    const auto [sel, positive] = best->first;
    const auto bit = static_cast<uint16_t>(1u << sel);
    std::vector<Cube> with, without;
    for (const Cube& c : cubes) {
        if ((c.care & bit) && (((c.value & bit) != 0) == positive))
            with.push_back(
                {static_cast<uint16_t>(c.care & ~bit), static_cast<uint16_t>(c.value & ~bit)});
        else
            without.push_back(c);
    }
    // In a minimal cover no term is the literal alone when others hold it too.
    Node shared = Join(Node::Kind::And, {Literal(sel, !positive), Factored(with)});
    if (with.size() == 1 && with[0].care == 0) shared = Literal(sel, !positive);
    if (without.empty()) return shared;
    return Join(Node::Kind::Or, {std::move(shared), Factored(without)});
}

// Series parts in an order that needs fewer joining columns: a parallel part first can start at
// the supply rail, another last can end at the output rail.
void Arrange(Node& n) {
    for (Node& p : n.parts) Arrange(p);
    if (n.kind != Node::Kind::And) return;
    auto isOr = [](const Node& p) { return p.kind == Node::Kind::Or; };
    const auto first = std::find_if(n.parts.begin(), n.parts.end(), isOr);
    if (first == n.parts.end()) return;
    std::rotate(n.parts.begin(), first, first + 1);
    const auto second = std::find_if(n.parts.begin() + 1, n.parts.end(), isOr);
    if (second != n.parts.end()) std::rotate(second, second + 1, n.parts.end());
}

// Columns and rows a part needs. A parallel part is joined by a column of links on each side,
// except where it starts at the supply rail or ends at the output rail, which join its rows
// themselves.
int Width(const Node& n, bool atSupply, bool atOutput) {
    switch (n.kind) {
        case Node::Kind::Contact:
            return 1;
        case Node::Kind::And: {
            int w = 0;
            for (std::size_t i = 0; i < n.parts.size(); ++i)
                w += Width(n.parts[i], atSupply && i == 0, atOutput && i + 1 == n.parts.size());
            return w;
        }
        case Node::Kind::Or: {
            int w = 0;
            for (const Node& p : n.parts) w = std::max(w, Width(p, atSupply, atOutput));
            return w + (atSupply ? 0 : 1) + (atOutput ? 0 : 1);
        }
    }
    return 0;
}

int Height(const Node& n) {
    int h = 0;
    for (const Node& p : n.parts)
        h = n.kind == Node::Kind::Or ? h + Height(p) : std::max(h, Height(p));
    return n.kind == Node::Kind::Contact ? 1 : h;
}

class Drawing {
  public:
    OutputSegments segments;

    void Place(const Node& n, int x, int y, bool atSupply, bool atOutput) {
        switch (n.kind) {
            case Node::Kind::Contact:
                Set(x, y, MakeCode(n.closed ? Element::NormallyClosed : Element::NormallyOpen, 0),
                    n.sel);
                if (atOutput) Wires(y, x + 1, kSegmentColumns);
                return;
            case Node::Kind::And:
                for (std::size_t i = 0; i < n.parts.size(); ++i) {
                    const bool first = i == 0, last = i + 1 == n.parts.size();
                    Place(n.parts[i], x, y, atSupply && first, atOutput && last);
                    x += Width(n.parts[i], atSupply && first, atOutput && last);
                }
                return;
            case Node::Kind::Or:
                PlaceParallel(n, x, y, atSupply, atOutput);
                return;
        }
    }

  private:
    void Set(int x, int y, int code, int sel = 0) {
        const auto s = static_cast<std::size_t>(kSegmentColumns * y + x);
        segments.types[s] = static_cast<int16_t>(code);
        segments.inputs[s] = static_cast<int16_t>(sel);
    }
    void Wires(int y, int from, int to) {
        for (int x = from; x < to; ++x) Set(x, y, MakeCode(Element::Wire, 0));
    }

    void PlaceParallel(const Node& n, int x, int y, bool atSupply, bool atOutput) {
        const int inner = x + (atSupply ? 0 : 1);
        // At the output rail the branches are joined by a column of links all the same when it
        // fits: one run of wire to the rail instead of one per branch.
        auto widest = [&](bool toRail) {
            int w = 0;
            for (const Node& p : n.parts) w = std::max(w, Width(p, atSupply, toRail));
            return w;
        };
        const bool join = !atOutput || inner + widest(false) + 1 <= kSegmentColumns;
        const bool toRail = !join;
        const int width = widest(toRail);
        std::vector<int> tops;
        int row = y;
        for (const Node& p : n.parts) {
            tops.push_back(row);
            Place(p, inner, row, atSupply, toRail);
            if (join) Wires(row, inner + Width(p, atSupply, toRail), inner + width);
            row += Height(p);
        }
        // The joining columns: a wire (with its left arm) in each branch's first row where a
        // branch meets the column, links alone in the rows between.
        const auto links = [&](int column, bool wireOnBranches) {
            for (int r = y; r <= tops.back(); ++r) {
                const bool top = std::find(tops.begin(), tops.end(), r) != tops.end();
                const int link = (r > y ? kLinkUp : 0) | (r < tops.back() ? kLinkDown : 0);
                const bool wire = r == y || (wireOnBranches && top);
                Set(column, r, MakeCode(wire ? Element::Wire : Element::None, link));
            }
        };
        if (!atSupply) links(x, false);
        if (join) links(inner + width, true);
        if (join && atOutput) Wires(y, inner + width + 1, kSegmentColumns);
    }
};

// Whether `n` is a product of sums of contacts: contacts and parallel contacts in series.
bool IsProductOfSums(const Node& n) {
    if (n.kind != Node::Kind::And) return false;
    const auto isContact = [](const Node& p) { return p.kind == Node::Kind::Contact; };
    return std::all_of(n.parts.begin(), n.parts.end(), [&](const Node& p) {
        return isContact(p) ||
               (p.kind == Node::Kind::Or && std::all_of(p.parts.begin(), p.parts.end(), isContact));
    });
}

// A product of sums with the contact-and-link pictures: each sum is a column of contacts whose own
// links join their right ends, the sums side by side from the supply rail. A column's links reach
// down as far as its own contacts or the next column's, so that each contact of the next column
// is fed from the joined ends (through a picture of links alone where the column has no contact);
// the last column's top row runs to the output rail in wire.
OutputSegments DrawColumns(const Node& n) {
    OutputSegments out;
    const auto sizeOf = [](const Node& p) {
        return p.kind == Node::Kind::Contact ? 1 : static_cast<int>(p.parts.size());
    };
    const int columns = static_cast<int>(n.parts.size());
    for (int x = 0; x < columns; ++x) {
        const Node& sum = n.parts[static_cast<std::size_t>(x)];
        const int size = sizeOf(sum);
        const int span =
            std::max(size, x + 1 < columns ? sizeOf(n.parts[static_cast<std::size_t>(x + 1)]) : 0);
        for (int y = 0; y < span; ++y) {
            const int link = (y > 0 ? kLinkUp : 0) | (y + 1 < span ? kLinkDown : 0);
            const auto s = static_cast<std::size_t>(kSegmentColumns * y + x);
            if (y >= size) {
                out.types[s] = static_cast<int16_t>(MakeCode(Element::None, link));
                continue;
            }
            const Node& c =
                sum.kind == Node::Kind::Contact ? sum : sum.parts[static_cast<std::size_t>(y)];
            out.types[s] = static_cast<int16_t>(
                MakeCode(c.closed ? Element::NormallyClosed : Element::NormallyOpen, link));
            out.inputs[s] = static_cast<int16_t>(c.sel);
        }
    }
    for (int x = columns; x < kSegmentColumns; ++x)
        out.types[static_cast<std::size_t>(x)] = static_cast<int16_t>(MakeCode(Element::Wire, 0));
    return out;
}

struct Candidate {
    OutputSegments segments;
    int rows = 0, columns = 0, count = 0;
};

Candidate Draw(Node root) {
    Candidate c;
    const bool columns = IsProductOfSums(root);
    if (!columns) Arrange(root);
    c.rows = Height(root);
    c.columns = columns ? static_cast<int>(root.parts.size()) : Width(root, true, true);
    if (c.rows > 16 || c.columns > kSegmentColumns) return c;
    if (columns) {
        c.segments = DrawColumns(root);
    } else {
        Drawing d;
        d.Place(root, 0, 0, true, true);
        c.segments = d.segments;
    }
    c.count = SegmentCount(c.segments.types);
    return c;
}

// The formula as written, when it is made of signals, negated signals, &, | and parentheses
// alone: a sum of products or a product of sums that fits is drawn as written even where the
// minimal forms found do not fit.
class Written {
  public:
    explicit Written(const std::string& text) : s_(text) {}
    std::optional<Node> Read() {
        auto n = Sum(0);
        Skip();
        if (!n || i_ != s_.size()) return std::nullopt;
        return n;
    }

  private:
    static constexpr int kMaxDepth = 200;
    void Skip() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t')) ++i_;
    }
    bool Eat(char c) {
        Skip();
        return i_ < s_.size() && s_[i_] == c ? (++i_, true) : false;
    }
    std::optional<Node> Sum(int depth) {
        std::vector<Node> parts;
        do {
            auto t = Product(depth);
            if (!t) return std::nullopt;
            parts.push_back(std::move(*t));
        } while (Eat('|'));
        return Join(Node::Kind::Or, std::move(parts));
    }
    std::optional<Node> Product(int depth) {
        std::vector<Node> parts;
        do {
            auto f = Factor(depth);
            if (!f) return std::nullopt;
            parts.push_back(std::move(*f));
        } while (Eat('&'));
        return Join(Node::Kind::And, std::move(parts));
    }
    std::optional<Node> Factor(int depth) {
        if (depth > kMaxDepth) return std::nullopt;
        if (Eat('(')) {
            auto n = Sum(depth + 1);
            return n && Eat(')') ? n : std::nullopt;
        }
        const bool negated = Eat('!');
        Skip();
        const int sel = SignalAt(s_, i_);
        if (sel < 0) return std::nullopt;
        i_ += 2;
        return Literal(sel, negated);
    }
    const std::string& s_;
    std::size_t i_ = 0;
};

}  // namespace

int SegmentCount(const std::array<int16_t, kSegments>& types) {
    return static_cast<int>(
        std::count_if(types.begin(), types.end(), [](int16_t t) { return t != 0; }));
}

Result<OutputSegments> DrawFunction(const OutputBits& bits) {
    return DrawFunction(bits, Minimise(bits));
}

namespace {

// The best drawing of the function among its minimal forms and, when given, the form written.
Result<OutputSegments> DrawBest(const OutputBits& bits, const SumOfProducts& sop,
                                const std::optional<Node>& written) {
    const bool on = std::all_of(bits.begin(), bits.end(), [](uint64_t w) { return w == ~0ULL; });
    OutputSegments out;
    if (on) {
        for (int x = 0; x < kSegmentColumns; ++x) out.types[static_cast<std::size_t>(x)] = 4;
        return out;
    }
    if (sop.terms.empty()) return out;  // never on: a blank diagram
    OutputBits complement;
    for (std::size_t k = 0; k < bits.size(); ++k) complement[k] = ~bits[k];
    std::vector<Candidate> forms = {Draw(Flat(sop.terms)), Draw(Factored(sop.terms)),
                                    Draw(ProductOfSums(Minimise(complement).terms))};
    if (written) forms.push_back(Draw(*written));
    const Candidate* best = nullptr;
    for (const Candidate& c : forms) {
        if (c.rows > 16 || c.columns > kSegmentColumns) continue;
        if (!best || c.rows < best->rows || (c.rows == best->rows && c.count < best->count))
            best = &c;
    }
    if (!best) {
        // What the form closest to fitting needs: rows among those narrow enough, else columns.
        const Candidate* need = nullptr;
        for (const Candidate& c : forms)
            if (c.columns <= kSegmentColumns && (!need || c.rows < need->rows)) need = &c;
        if (need)
            return Error{"does not fit in 16 x 16: needs " + std::to_string(need->rows) + " rows",
                         ErrorKind::Data};
        for (const Candidate& c : forms)
            if (!need || c.columns < need->columns) need = &c;
        return Error{"does not fit in 16 x 16: needs " + std::to_string(need->columns) +
                     " columns"};
    }
    // The drawing is what the compile sees: checked on every word before it is handed out.
    Config check;
    check.SegType[0] = best->segments.types;
    check.SegInput[0] = best->segments.inputs;
    OutputBits drawn;
    CompileOutputBits(check, 0, drawn);
    if (drawn != bits) return Error{"internal error: the drawing does not compute the formula"};
    return best->segments;
}

}  // namespace

Result<OutputSegments> DrawFunction(const OutputBits& bits, const SumOfProducts& sop) {
    return DrawBest(bits, sop, std::nullopt);
}

Result<OutputSegments> DrawFormula(const std::string& formula) {
    auto bits = ParseFormula(formula);
    if (!bits) return bits.failure();
    return DrawBest(bits.value(), Minimise(bits.value()), Written(formula).Read());
}

}  // namespace zez
