#include "editor/TestRun.h"

namespace zez {

TestResult TestRun::Run(const Config& config, int output, int32_t inputs) {
    grid_.bUseMem = false;
    picture_.Clear();
    grid_.LogicLoad(config, output, inputs);
    grid_.LogicTest();
    return ReadTest(picture_);
}

}  // namespace zez
