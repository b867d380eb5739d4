#pragma once
// The Test button's run: the logic grid drawn on its picture store for one output and the
// ticked inputs, and what it shows (compiler/LogicGrid.h's TestResult).

#include <cstdint>

#include "compiler/LogicGrid.h"
#include "config/Config.h"
#include "editor/ImageSurface.h"

namespace zez {

class TestRun {
  public:
    TestRun() : grid_(&picture_) {}
    TestResult Run(const Config& config, int output, int32_t inputs);

  private:
    ImageSurface picture_;
    LogicGrid grid_;
};

}  // namespace zez
