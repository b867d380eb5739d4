#include "compiler/Compiler.h"

#include <memory>

#include "compiler/FastEngine.h"
#include "compiler/LogicGrid.h"

namespace zez {

void CompileReference(const Config& config, ControlArray& array, const ProgressFn& progress) {
    auto grid = std::make_unique<LogicGrid>();
    grid->bUseMem = true;
    grid->ClearMem();
    array.fill(0);
    int step = 0;
    for (int output = 0; output < kOutputs; ++output) {
        for (int32_t inputs = 0; inputs < kInputWords; ++inputs) {
            grid->LogicLoadMem(config, output, inputs);
            grid->LogicTestMem();
            if (grid->ResultOnMem()) array[inputs] |= uint8_t(1u << output);
            if (inputs % 2048 == 2047 && progress) progress(++step);
        }
    }
}

void Compile(const Config& config, ControlArray& array, Engine engine, const ProgressFn& progress) {
    if (engine == Engine::Reference)
        CompileReference(config, array, progress);
    else
        CompileFast(config, array, progress);
}

}  // namespace zez
