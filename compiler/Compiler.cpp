#include "compiler/Compiler.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "compiler/FastEngine.h"
#include "logic/LogicGrid.h"

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

Result<void> WriteControlArray(const ControlArray& array, const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    const fs::path temp = target.parent_path() / (target.filename().string() + ".zez-part");
    std::error_code ec;
    {
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(temp.string().c_str(), "wb"),
                                                          &std::fclose);
        if (!f)
            return Error{"Cannot write \"" + path +
                         "\": " + std::generic_category().message(errno) + "."};
        const bool ok = std::fwrite(array.data(), 1, array.size(), f.get()) == array.size() &&
                        std::fflush(f.get()) == 0;
        const int err = errno;
        if (!ok) {
            f.reset();
            fs::remove(temp, ec);
            return Error{"Cannot write \"" + path + "\": " + std::generic_category().message(err) +
                         "."};
        }
    }
    fs::rename(temp, target, ec);
    if (ec) {
        const auto why = ec.message();
        fs::remove(temp, ec);
        return Error{"Cannot write \"" + path + "\": " + why + "."};
    }
    return {};
}

}  // namespace zez
