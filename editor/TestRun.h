#pragma once
// The Test button's run: the logic grid drawn on its picture store for one output and the
// ticked inputs, and what it shows: whether the output is on and which parts carried the supply.

#include <array>
#include <cstdint>

#include "compiler/LogicGrid.h"
#include "config/Config.h"
#include "editor/ImageSurface.h"

namespace zez {

// Parts of a segment block that carried the supply in the last test.
struct Energised {
    bool element = false, junction = false, up = false, down = false;
    bool any() const { return element || junction || up || down; }
};

struct TestResult {
    bool on = false;
    std::array<Energised, kSegments> segments{};
};

class TestRun {
  public:
    TestRun() : grid_(&picture_) {}
    TestResult Run(const Config& config, int output, int32_t inputs);

  private:
    ImageSurface picture_;
    LogicGrid grid_;
};

}  // namespace zez
