#include "support/SampleConfigs.h"

namespace zez::samples {
namespace {

int Rand(std::mt19937& rng, int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

// A link down from `seg` meeting a link up from the segment below it.
void Join(Config& c, int o, int seg) {
    c.SegType[o][seg] = static_cast<int16_t>(c.SegType[o][seg] | kLinkDown);
    c.SegType[o][seg + 16] = static_cast<int16_t>(c.SegType[o][seg + 16] | kLinkUp);
}

int RandomContact(std::mt19937& rng) {
    return Rand(rng, 0, 1) ? 8 : 12;
}

// Row `row`: `series` random contacts from the supply, then wires to the output.
void Rung(std::mt19937& rng, Config& c, int o, int row, int series) {
    for (int col = 0; col < series; ++col)
        Set(c, o, 16 * row + col, RandomContact(rng), Rand(rng, 0, 15));
    for (int col = series; col < 16; ++col) Set(c, o, 16 * row + col, 4);
}

}  // namespace

void Set(Config& c, int output, int seg, int code, int sel) {
    c.SegType[output][seg] = static_cast<int16_t>(code);
    c.SegInput[output][seg] = static_cast<int16_t>(sel);
}

Config Typical(std::mt19937& rng) {
    Config c;
    for (int o = 0; o < kOutputs; ++o) {
        const int rungs = Rand(rng, 3, 6);
        for (int k = 0; k < rungs; ++k) {
            const int row = 2 * k;
            const int series = Rand(rng, 1, 4);
            Rung(rng, c, o, row, series);
            // Parallel branches around some of the series contacts, on the row below.
            for (int col = 0; col < series; ++col) {
                if (Rand(rng, 0, 2) != 0) continue;
                if (col > 0) Join(c, o, 16 * row + col - 1);
                Set(c, o, 16 * (row + 1) + col, RandomContact(rng), Rand(rng, 0, 15));
                Join(c, o, 16 * row + col);
            }
        }
    }
    return c;
}

Config DenseRandom(std::mt19937& rng) {
    Config c;
    for (int o = 0; o < kOutputs; ++o)
        for (int s = 0; s < kSegments; ++s) Set(c, o, s, Rand(rng, 0, 15), Rand(rng, 0, 15));
    return c;
}

Config Sparse(std::mt19937& rng, double blank) {
    Config c;
    std::bernoulli_distribution isBlank(blank);
    for (int o = 0; o < kOutputs; ++o)
        for (int s = 0; s < kSegments; ++s)
            Set(c, o, s, isBlank(rng) ? 0 : Rand(rng, 1, 15), Rand(rng, 0, 15));
    return c;
}

Config Serpentine(std::mt19937& rng) {
    Config c;
    for (int o = 0; o < kOutputs; ++o) {
        for (int row = 0; row < 16; ++row) {
            // Even rows run right from their start, odd rows back; row 0 starts at the supply,
            // later rows at column 1 so that they touch the supply only through the path.
            for (int col = 1; col <= 14; ++col) {
                const bool contact = Rand(rng, 0, 9) == 0;
                Set(c, o, 16 * row + col, contact ? RandomContact(rng) : 4, Rand(rng, 0, 15));
            }
            if (row == 0) Set(c, o, 0, 4);
            if (row == 15) Set(c, o, 16 * row + 15, 4);
            const int turn = row % 2 == 0 ? 14 : 1;
            if (row < 15) Join(c, o, 16 * row + turn);
        }
    }
    return c;
}

Config Mesh(std::mt19937& rng) {
    Config c;
    for (int o = 0; o < kOutputs; ++o) {
        for (int s = 0; s < kSegments; ++s) Set(c, o, s, RandomContact(rng), Rand(rng, 0, 15));
        for (int row = 0; row < 15; ++row)
            for (int col = (row + o) % 2; col < 16; col += 2) Join(c, o, 16 * row + col);
    }
    return c;
}

Config HoledMesh(std::mt19937& rng) {
    Config c = Mesh(rng);
    for (int o = 0; o < kOutputs; ++o) {
        const int holes = Rand(rng, 5, 40);  // percent
        for (int s = 0; s < kSegments; ++s) {
            if (Rand(rng, 0, 99) >= holes) continue;
            const int links = c.SegType[o][s] & (kLinkUp | kLinkDown);
            c.SegType[o][s] = static_cast<int16_t>(Rand(rng, 0, 1) ? links : 4 | links);
        }
    }
    return c;
}

Config LongLadder(std::mt19937& rng) {
    Config c;
    for (int o = 0; o < kOutputs; ++o) {
        for (int k = 0; k < 8; ++k) {
            const int row = 2 * k;
            const int series = Rand(rng, 6, 12);
            Rung(rng, c, o, row, series);
            // A branch on the row below around contacts from..to.
            const int from = Rand(rng, 0, series - 2);
            const int to = Rand(rng, from + 1, series - 1);
            for (int col = from; col <= to; ++col)
                Set(c, o, 16 * (row + 1) + col, RandomContact(rng), Rand(rng, 0, 15));
            if (from > 0) Join(c, o, 16 * row + from - 1);
            Join(c, o, 16 * row + to);
        }
    }
    return c;
}

Config OutOfRange(std::mt19937& rng) {
    Config c = DenseRandom(rng);
    std::uniform_int_distribution<int> any(-32768, 32767);
    for (int o = 0; o < kOutputs; ++o)
        for (int s = 0; s < kSegments; ++s) {
            const int pick = Rand(rng, 0, 9);
            if (pick == 0) c.SegType[o][s] = static_cast<int16_t>(any(rng));
            if (pick == 1) c.SegType[o][s] = static_cast<int16_t>(Rand(rng, 16, 20));
            if (pick == 2) c.SegInput[o][s] = static_cast<int16_t>(any(rng));
            if (pick == 3) c.SegInput[o][s] = static_cast<int16_t>(Rand(rng, -2, 40));
        }
    return c;
}

}  // namespace zez::samples
