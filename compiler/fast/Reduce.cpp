#include "compiler/fast/Internal.h"

namespace zez::fast {

void Reducer::Reduce() {
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

void Reducer::Emit() {
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

bool Reducer::Eliminate() {
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

void Reducer::TakeOut(int x, std::vector<int>* touched) {
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

void Reducer::Thin() {
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

std::vector<int>& Reducer::Compact(int n) {
    auto& list = adj_[n];
    std::erase_if(list, [&](int e) { return !edges_[e].alive; });
    return list;
}

int Reducer::FindEdge(int u, int v) {
    auto& list = Compact(adj_[u].size() <= adj_[v].size() ? u : v);
    for (int e : list) {
        const auto& ed = edges_[e];
        if ((ed.u == u && ed.v == v) || (ed.u == v && ed.v == u)) return e;
    }
    return -1;
}

bool Reducer::Connected() {
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

int Reducer::Materialise(const Operand& o) {
    using S = Circuit::Step;
    if (o.kind == Operand::Const) return Push({S::Const, 0, false, -1, -1, o.value});
    if (o.kind == Operand::Lit) return Push({S::Lit, o.var, o.negated, -1, -1, 0});
    return o.reg;
}

Reducer::Operand Reducer::Binary(Op op, Operand a, Operand b) {
    using S = Circuit::Step;
    const bool isAnd = op == Op::And;
    if (a.kind > b.kind) std::swap(a, b);
    if (a.kind == Operand::Const) {
        if (b.kind == Operand::Const)
            return ConstOperand(isAnd ? a.value & b.value : a.value | b.value);
        if (a.value == (isAnd ? 0 : kAll)) return a;
        if (a.value == (isAnd ? kAll : 0)) return b;
        if (b.kind == Operand::Lit)
            return RegOperand(
                Push({isAnd ? S::LitAndConst : S::LitOrConst, b.var, b.negated, -1, -1, a.value}));
        const int rb = Materialise(b);
        return RegOperand(Push({isAnd ? S::AndConst : S::OrConst, 0, false, rb, -1, a.value}));
    }
    if (a.kind == Operand::Lit) {
        const int rb = Materialise(b);
        return RegOperand(Push({isAnd ? S::AndLit : S::OrLit, a.var, a.negated, rb, -1, 0}));
    }
    return RegOperand(Push({isAnd ? S::And : S::Or, 0, false, a.reg, b.reg, 0}));
}

Reducer::Operand Reducer::EmitOperand(int root) {
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

int Reducer::Push(Circuit::Instr in) {
    c_->program.push_back(in);
    return static_cast<int>(c_->program.size()) - 1;
}

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

}  // namespace zez::fast
