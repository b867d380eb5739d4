#include "system/Parallel.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__)
#include <immintrin.h>
#endif

namespace zez {
namespace {

// Waking a sleeping thread takes tens of microseconds, as long as a small compile; so a helper
// that has just finished keeps looking for new work for a while before it sleeps, and the
// caller looks for the last results the same way before it sleeps.
constexpr auto kSpin = std::chrono::microseconds(300);

// A short wait while spinning: the processor's pause hint where there is one, so that a
// spinning thread takes little from a sibling on the same core.
inline void Relax() {
#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__)
    for (int i = 0; i < 16; ++i) _mm_pause();
#else
    std::this_thread::yield();
#endif
}

// One call's tasks while helpers may work on them.
struct Batch {
    int count = 0;
    const std::function<void(int)>* task = nullptr;
    std::atomic<int> next{0};
    std::atomic<int> finished{0};
    std::atomic<int> busy{0};  // helpers inside the batch
    std::unique_ptr<std::atomic<bool>[]> done;
};

class Pool {
  public:
    static Pool& Instance() {
        static Pool pool;
        return pool;
    }

    int Helpers() const { return static_cast<int>(threads_.size()); }

    void Run(int count, const std::function<void(int)>& task,
             const std::function<void(int)>& finished) {
        std::unique_lock<std::mutex> turn(turn_, std::try_to_lock);
        if (!turn.owns_lock() || threads_.empty() || count <= 1) {
            for (int i = 0; i < count; ++i) {
                task(i);
                if (finished) finished(i);
            }
            return;
        }
        Batch batch;
        batch.count = count;
        batch.task = &task;
        batch.done = std::make_unique<std::atomic<bool>[]>(static_cast<std::size_t>(count));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            batch_ = &batch;
            generation_.fetch_add(1, std::memory_order_release);
        }
        wake_.notify_all();
        int reported = 0;
        auto report = [&] {
            while (reported < count && batch.done[reported].load(std::memory_order_acquire)) {
                if (finished) finished(reported);
                ++reported;
            }
        };
        for (int i; (i = batch.next.fetch_add(1)) < count;) {
            task(i);
            Finish(batch, i);
            report();
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            batch_ = nullptr;  // no helper joins from here on
        }
        auto over = [&] {
            return batch.finished.load(std::memory_order_acquire) == count &&
                   batch.busy.load(std::memory_order_acquire) == 0;
        };
        const auto spinUntil = std::chrono::steady_clock::now() + kSpin;
        while (!over()) {
            report();
            if (std::chrono::steady_clock::now() < spinUntil) {
                Relax();
                continue;
            }
            std::unique_lock<std::mutex> lock(mutex_);
            idle_.wait(lock, [&] {
                return over() ||
                       (reported < count && batch.done[reported].load(std::memory_order_acquire));
            });
        }
        report();
    }

  private:
    Pool() {
        const unsigned cores = std::thread::hardware_concurrency();
        const int helpers = std::clamp(static_cast<int>(cores) - 1, 0, 7);
        for (int i = 0; i < helpers; ++i) threads_.emplace_back([this] { Serve(); });
    }

    ~Pool() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        for (auto& t : threads_) t.join();
    }

    void Finish(Batch& batch, int i) {
        batch.done[i].store(true, std::memory_order_release);
        batch.finished.fetch_add(1, std::memory_order_acq_rel);
        std::lock_guard<std::mutex> lock(mutex_);
        idle_.notify_all();
    }

    void Serve() {
        uint64_t seen = 0;
        for (;;) {
            const auto spinUntil = std::chrono::steady_clock::now() + kSpin;
            while (generation_.load(std::memory_order_acquire) == seen &&
                   std::chrono::steady_clock::now() < spinUntil)
                Relax();
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(
                lock, [&] { return stop_ || generation_.load(std::memory_order_relaxed) != seen; });
            if (stop_) return;
            seen = generation_.load(std::memory_order_relaxed);
            Batch* batch = batch_;
            if (batch == nullptr) continue;
            batch->busy.fetch_add(1, std::memory_order_acq_rel);
            lock.unlock();
            for (int i; (i = batch->next.fetch_add(1)) < batch->count;) {
                (*batch->task)(i);
                Finish(*batch, i);
            }
            lock.lock();
            batch->busy.fetch_sub(1, std::memory_order_acq_rel);
            idle_.notify_all();
        }
    }

    std::mutex turn_;  // one call at a time uses the helpers
    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    Batch* batch_ = nullptr;
    std::atomic<uint64_t> generation_{0};
    bool stop_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace

int HelperThreads() {
    return Pool::Instance().Helpers();
}

void RunTasks(int count, const std::function<void(int)>& task,
              const std::function<void(int)>& finished) {
    Pool::Instance().Run(count, task, finished);
}

namespace {

class HelperThreadRunner final : public TaskRunner {
  public:
    int Helpers() override { return HelperThreads(); }
    void Run(int count, const std::function<void(int)>& task,
             const std::function<void(int)>& finished) override {
        RunTasks(count, task, finished);
    }
};

}  // namespace

TaskRunner& HelperTasks() {
    static HelperThreadRunner helpers;
    return helpers;
}

}  // namespace zez
