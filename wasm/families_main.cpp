// zezudi-families: writes the generated families of configurations (the shapes the engines are
// compared on) as CDF files, so that other builds of the compiler can be held against this one;
// and prints what the editor's Test shows, for the module's to be held against.
// Usage: zezudi-families DIR [PER_FAMILY]   or   zezudi-families DIR bench
//        zezudi-families --test FILE OUTPUT INPUTS   (output 1..8, inputs a 16-bit word: "on" or
//        "off", then a hexadecimal digit per segment: 1 element, 2 junction, 4 up, 8 down)

#include <cstdlib>
#include <iostream>
#include <random>
#include <string>
#include <utility>

#include "compiler/LogicGrid.h"
#include "support/SampleConfigs.h"
#include "system/CdfFile.h"

namespace {

using zez::Config;

Config SparseHalf(std::mt19937& rng) {
    return zez::samples::Sparse(rng, 0.6);
}

struct Family {
    const char* name;
    Config (*make)(std::mt19937&);
};

// In the order, and with the seeds, of the compiler's differential test.
const Family kFamilies[] = {
    {"typical", zez::samples::Typical},         {"dense", zez::samples::DenseRandom},
    {"serpentine", zez::samples::Serpentine},   {"mesh", zez::samples::Mesh},
    {"out_of_range", zez::samples::OutOfRange}, {"sparse", SparseHalf},
    {"holed_mesh", zez::samples::HoledMesh},    {"long_ladder", zez::samples::LongLadder},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--test") {
        const auto loaded = zez::LoadFromFile(argv[2]);
        const long output = std::strtol(argv[3], nullptr, 10);
        if (!loaded || output < 1 || output > zez::kOutputs) {
            std::cerr << "zezudi-families: " << (loaded ? "output must be 1..8" : loaded.error())
                      << "\n";
            return 1;
        }
        const auto r = zez::TestOutput(loaded.value().config, static_cast<int>(output - 1),
                                       static_cast<int32_t>(std::strtol(argv[4], nullptr, 0)));
        std::cout << (r.on ? "on " : "off ");
        for (const auto& e : r.segments)
            std::cout << "0123456789abcdef"[e.element | e.junction << 1 | e.up << 2 | e.down << 3];
        std::cout << "\n";
        return 0;
    }
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: zezudi-families DIR [PER_FAMILY]\n";
        return 2;
    }
    const std::string dir = argv[1];
    if (argc == 3 && std::string(argv[2]) == "bench") {
        // The cases of bench/compile, drawn from its generator in its order.
        std::mt19937 rng(2026);
        const std::pair<const char*, Config> cases[] = {
            {"typical", zez::samples::Typical(rng)},
            {"dense", zez::samples::DenseRandom(rng)},
            {"serpentine", zez::samples::Serpentine(rng)},
            {"mesh", zez::samples::Mesh(rng)}};
        for (const auto& [name, config] : cases) {
            const std::string path = dir + "/" + name + ".CDF";
            if (auto saved = zez::SaveToFile(config, path); !saved) {
                std::cerr << "zezudi-families: " << saved.error() << "\n";
                return 1;
            }
            std::cout << path << "\n";
        }
        return 0;
    }
    const long perFamily = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 2;
    int family = 0;
    for (const auto& f : kFamilies) {
        for (int seed = 0; seed < perFamily; ++seed) {
            std::mt19937 rng(static_cast<unsigned>(1000 * family + seed));
            const std::string path = dir + "/" + f.name + "_" + std::to_string(seed) + ".CDF";
            if (auto saved = zez::SaveToFile(f.make(rng), path); !saved) {
                std::cerr << "zezudi-families: " << saved.error() << "\n";
                return 1;
            }
            std::cout << path << "\n";
        }
        ++family;
    }
    return 0;
}
