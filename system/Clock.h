#pragma once
// The system's clocks: the time as this program writes it into its own files (in UTC, so that
// files from machines in other zones sort together), the steady clock a transfer waits on, and
// the time a compile takes.

#include <string>

#include "compiler/Compiler.h"
#include "device/SerialPort.h"

namespace zez {

// "20261207T213005123Z": sorts as it reads, to the millisecond.
std::string UtcStampNow();

// "20261207T213005123Z" -> "2026-12-07 21:30:05 UTC"; anything shorter comes back as it is.
std::string ReadableStamp(const std::string& stamp);

// Compiles and returns the wall-clock seconds it took.
double TimeCompile(const Config& config, ControlArray& array, Engine engine);

namespace device {

// The steady clock, and sleeping on it.
class SteadyTime final : public TimeSource {
  public:
    TimePoint Now() override { return Clock::now(); }
    void SleepUntil(TimePoint t) override;
};

}  // namespace device

}  // namespace zez
