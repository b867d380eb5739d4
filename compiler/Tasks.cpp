#include "compiler/Tasks.h"

#include <atomic>

namespace zez {
namespace {

class CallerOnly final : public TaskRunner {
  public:
    int Helpers() override { return 0; }
    void Run(int count, const std::function<void(int)>& task,
             const std::function<void(int)>& finished) override {
        for (int i = 0; i < count; ++i) {
            task(i);
            if (finished) finished(i);
        }
    }
};

CallerOnly callerOnly;
std::atomic<TaskRunner*> current{&callerOnly};

}  // namespace

void UseTaskRunner(TaskRunner& runner) {
    current.store(&runner);
}

TaskRunner& CurrentTaskRunner() {
    return *current.load();
}

}  // namespace zez
