// zezudi-families: writes the generated families of configurations (the shapes the engines are
// compared on) as CDF files, so that other builds of the compiler can be held against this one.
// Usage: zezudi-families DIR [PER_FAMILY]   or   zezudi-families DIR bench

#include <cstdlib>
#include <iostream>
#include <random>
#include <string>
#include <utility>

#include "system/CdfFile.h"
#include "support/SampleConfigs.h"

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
