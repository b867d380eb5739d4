// Arbitrary bytes as a CDF file: parse, load and evaluate every output on a few words, and check
// the fast compile of one output against the grid on the same words.
#include <cstddef>
#include <cstdint>
#include <span>

#include "compiler/FastEngine.h"
#include "compiler/LogicGrid.h"
#include "config/DiagramText.h"
#include "system/CdfFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace zez;
    auto parsed = ParseCdf(std::span<const uint8_t>(data, size));
    if (!parsed) return 0;
    const Config& c = parsed.value();
    (void)CountInvalid(c);
    ArraySurface surface;
    LogicGrid picture(&surface);
    LogicGrid memory;
    memory.bUseMem = true;
    const int output = size > kCdfBytes ? data[kCdfBytes] % kOutputs : 0;
    OutputBits bits;
    CompileOutputBits(c, output, bits);
    for (int32_t word : {0, 0xFFFF, 0x00FF, 0xFF00, 0x5A5A}) {
        surface.Fill(kColourWhite);
        picture.LogicLoad(c, output, word);
        picture.LogicTest();
        memory.LogicLoadMem(c, output, word);
        memory.LogicTestMem();
        const bool fast = (bits[static_cast<std::size_t>(word >> 6)] >> (word & 63)) & 1;
        if (picture.ResultOnPicture() != memory.ResultOnMem() || fast != memory.ResultOnMem())
            __builtin_trap();
    }
    (void)DiagramText(c, output);
    return 0;
}
