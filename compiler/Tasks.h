#pragma once
// How a compile splits its work over threads. The compile starts no thread itself: it hands its
// independent tasks (the outputs) to the runner the host installed, which by default runs them
// one after the other on the calling thread. A desktop host installs its helper threads
// (system/Parallel.h); a host without threads keeps the default.

#include <functional>

namespace zez {

class TaskRunner {
  public:
    virtual ~TaskRunner() = default;
    // The threads that can run tasks besides the caller's own; 0 means all run on the caller.
    virtual int Helpers() = 0;
    // Runs task(0) .. task(count - 1), each once, and returns when all have finished.
    // finished(i) is called on the calling thread, in order of i, once tasks 0..i have all
    // finished.
    virtual void Run(int count, const std::function<void(int)>& task,
                     const std::function<void(int)>& finished) = 0;
};

// The runner compiles use from now on; it must outlive them. Installed once, before any compile.
void UseTaskRunner(TaskRunner& runner);
TaskRunner& CurrentTaskRunner();

}  // namespace zez
