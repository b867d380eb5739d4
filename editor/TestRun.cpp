#include "editor/TestRun.h"

namespace zez {

TestResult TestRun::Run(const Config& config, int output, int32_t inputs) {
    grid_.bUseMem = false;
    picture_.Clear();
    grid_.LogicLoad(config, output, inputs);
    grid_.LogicTest();
    auto lit = [this](int x, int y) { return picture_.GetPixel(x, y) == kColourRed; };
    TestResult r;
    r.on = lit(34, 1);
    for (int s = 0; s < kSegments; ++s) {
        const int x = BlockX(s);
        const int y = BlockY(s);
        r.segments[static_cast<std::size_t>(s)] = {lit(x, y + 1), lit(x + 1, y + 1), lit(x + 1, y),
                                                   lit(x + 1, y + 2)};
    }
    return r;
}

}  // namespace zez
