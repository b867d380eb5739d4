#include "compiler/FastEngine.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <numeric>
#include <vector>

#include "compiler/Tasks.h"
#include "compiler/fast/Internal.h"

namespace zez {

using namespace fast;

namespace {

struct Workspace {
    Scratch scratch;
    Factoring factoring;
};

// Workspaces are lent from a pool and given back, so that a compile allocates nothing once the
// room is there. (No thread-local ones: their destructors run at thread exit, which some
// platforms' runtimes get wrong.)
class WorkspacePool {
  public:
    std::unique_ptr<Workspace> Take() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!free_.empty()) {
                auto ws = std::move(free_.back());
                free_.pop_back();
                return ws;
            }
        }
        return MakeForOverwrite<Workspace>();
    }
    void Give(std::unique_ptr<Workspace> ws) {
        std::lock_guard<std::mutex> lock(mutex_);
        free_.push_back(std::move(ws));
    }

  private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<Workspace>> free_;
};

WorkspacePool& Pool() {
    static WorkspacePool pool;
    return pool;
}

// A workspace for the length of one compile.
class Lent {
  public:
    Lent() : ws_(Pool().Take()) {}
    ~Lent() { Pool().Give(std::move(ws_)); }
    Lent(const Lent&) = delete;
    Lent& operator=(const Lent&) = delete;
    Workspace& operator*() { return *ws_; }

  private:
    std::unique_ptr<Workspace> ws_;
};

// Networks of up to this many contacts are first reduced as a whole: the shapes technicians
// draw mostly reduce to one expression. Larger ones go straight to the factoring.
constexpr std::size_t kReduceFirst = 64;

// Fills the words of `bits` that are submasks of the returned mask (the word-index inputs the
// output depends on); every other word equals the one it agrees with on that mask.
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

// Below this many contacts in all, the outputs are compiled on the calling thread: waking a
// helper would cost more than it saves.
constexpr int kParallelContacts = 400;

}  // namespace

int CompileOutputBits(const Config& config, int output, OutputBits& bits) {
    Lent ws;
    const int mask = CompileOutputWords(config, output, bits, *ws);
    Replicate(bits, mask);
    return mask;
}

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
    TaskRunner& tasks = CurrentTaskRunner();
    const bool parallel = total >= kParallelContacts && tasks.Helpers() > 0;
    if (parallel) {
        // The outputs with most contacts first, so that no thread is left with a large one at
        // the end; progress still comes in output order.
        std::array<int, kOutputs> order;
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return contacts[a] > contacts[b]; });
        std::array<bool, kOutputs> complete{};
        int reported = 0;
        tasks.Run(
            kOutputs,
            [&](int i) {
                const int o = order[i];
                Lent ws;
                masks[o] = CompileOutputWords(config, o, bits[o], *ws);
            },
            [&](int i) {
                complete[order[i]] = true;
                for (; reported < kOutputs && complete[reported]; ++reported) done(reported);
            });
    } else {
        Lent ws;
        for (int o = 0; o < kOutputs; ++o) {
            masks[o] = CompileOutputWords(config, o, bits[o], *ws);
            done(o);
        }
    }
    static const AssemblyKernel kernel = AssemblyKernels().back();
    int wordMask = 0;
    for (int m : masks) wordMask |= m;
    if (parallel && wordMask == kBitWords - 1) {
        // Every word is assembled from the bitmaps: the two halves are independent.
        tasks.Run(2,
                  [&](int half) {
                      AssembleWords(bits, masks, array, kernel, half * kBitWords / 2,
                                    (half + 1) * kBitWords / 2);
                  },
                  {});
    } else {
        AssembleControlArray(bits, masks, array, kernel);
    }
    if (progress)
        for (int s = 1; s <= 32; ++s) progress(32 * (kOutputs - 1) + s);
}

}  // namespace zez
