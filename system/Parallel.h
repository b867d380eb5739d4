#pragma once
// A few helper threads, started once, for work that splits into independent tasks (the outputs
// of a compile). Tasks never run on a thread that has not asked for them to run somewhere.

#include <functional>

#include "compiler/Tasks.h"

namespace zez {

// The helper threads there are besides the caller's own: the processor's cores less one, at
// most 7; 0 on a single core.
int HelperThreads();

// Runs task(0) .. task(count - 1), each once, on the calling thread and the helpers, and returns
// when all have finished. finished(i) is called on the calling thread, in order of i, once tasks
// 0..i have all finished. When another call is already using the helpers, this one runs its
// tasks on the calling thread alone.
void RunTasks(int count, const std::function<void(int)>& task,
              const std::function<void(int)>& finished = {});

// The helper threads as the runner of a compile's tasks (for UseTaskRunner).
TaskRunner& HelperTasks();

}  // namespace zez
