#include "compiler/Compiler.h"

#include <chrono>
#include <memory>

#include "compiler/FastEngine.h"
#include "system/ReplaceFile.h"
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

double TimeCompile(const Config& config, ControlArray& array, Engine engine) {
    const auto t0 = std::chrono::steady_clock::now();
    Compile(config, array, engine);
    const auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(t1 - t0).count();
}

Result<void> WriteControlArray(const ControlArray& array, const std::filesystem::path& path) {
    return ReplaceFile(path, array, {}, "Cannot write");
}

}  // namespace zez
