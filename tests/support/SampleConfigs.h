#pragma once
// Configurations for tests and benchmarks: the shapes technicians draw and the shapes that stress
// the engines.

#include <cstdint>
#include <random>

#include "config/Config.h"

namespace zez::samples {

void Set(Config& c, int output, int seg, int code, int sel = 0);

// 3-6 rungs per output, each a few contacts in series with some parallel branches, then wires.
Config Typical(std::mt19937& rng);
// Every segment of every output a random code and selection.
Config DenseRandom(std::mt19937& rng);
// The supply winds back and forth over all 16 rows, passing random contacts on the way.
Config Serpentine(std::mt19937& rng);
// All contacts, with vertical links in a brick pattern: a large mesh that does not reduce.
Config Mesh(std::mt19937& rng);
// The mesh with a share of its segments blank or plain wires: meshes of every size between.
Config HoledMesh(std::mt19937& rng);
// 8 rungs of up to 12 contacts with parallel branches: more contacts than most diagrams, and
// still series and parallel only.
Config LongLadder(std::mt19937& rng);
// Random codes and selections with a share of values outside 0..15 (any int16).
Config OutOfRange(std::mt19937& rng);
// Random sparse: each segment blank with probability `blank`, otherwise random.
Config Sparse(std::mt19937& rng, double blank);

}  // namespace zez::samples
