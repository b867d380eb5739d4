#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "compiler/Parallel.h"

namespace zez {
namespace {

TEST(RunTasks, EachTaskOnceAndFinishedInOrderAfterItsPrefix) {
    for (int count : {0, 1, 2, 3, 8, 100}) {
        std::vector<std::atomic<int>> runs(static_cast<std::size_t>(count));
        std::vector<int> order;
        std::vector<int> results(static_cast<std::size_t>(count), -1);
        bool prefixDone = true;
        RunTasks(
            count,
            [&](int i) {
                ++runs[static_cast<std::size_t>(i)];
                results[static_cast<std::size_t>(i)] = i * i;  // read back on the caller
            },
            [&](int i) {
                order.push_back(i);
                for (int k = 0; k <= i; ++k)
                    prefixDone = prefixDone && runs[static_cast<std::size_t>(k)] == 1;
            });
        ASSERT_EQ(order.size(), static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(runs[static_cast<std::size_t>(i)], 1) << "task " << i << " of " << count;
            EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
            EXPECT_EQ(results[static_cast<std::size_t>(i)], i * i);
        }
        EXPECT_TRUE(prefixDone) << count;
    }
}

// A second caller while the first holds the helpers runs on its own thread and finishes; the
// first is not held up by it.
TEST(RunTasks, ASecondCallerMeanwhileRunsAlone) {
    std::promise<void> started, release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> firstRuns{0};
    std::thread first([&] {
        RunTasks(4, [&](int i) {
            if (i == 0) {
                started.set_value();
                released.wait();
            }
            ++firstRuns;
        });
    });
    started.get_future().wait();
    std::atomic<int> secondRuns{0};
    const auto caller = std::this_thread::get_id();
    bool allOnCaller = true;
    RunTasks(6, [&](int) {
        ++secondRuns;
        allOnCaller = allOnCaller && std::this_thread::get_id() == caller;
    });
    EXPECT_EQ(secondRuns, 6);
    EXPECT_TRUE(allOnCaller);
    release.set_value();
    first.join();
    EXPECT_EQ(firstRuns, 4);
}

}  // namespace
}  // namespace zez
