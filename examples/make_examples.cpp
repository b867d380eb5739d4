// Writes the example configurations into a folder (default: the current one).
// Usage: zezudi-make-examples [FOLDER]

#include <cstring>
#include <iostream>
#include <string>

#include "system/CdfFile.h"

namespace {

using namespace zez;

// Signal numbers: inputs I1..I8 are 0..7, pilots P1..P8 are 8..15.
constexpr int I(int n) {
    return n - 1;
}
constexpr int P(int n) {
    return n + 7;
}

constexpr int kWire = 4;
constexpr int kNO = 8;
constexpr int kNC = 12;

void Put(Config& c, int output, int row, int col, int code, int sel = 0) {
    c.SegType[output][16 * row + col] = static_cast<int16_t>(code);
    c.SegInput[output][16 * row + col] = static_cast<int16_t>(sel);
}

void WiresTo15(Config& c, int output, int row, int fromCol) {
    for (int col = fromCol; col < 16; ++col) Put(c, output, row, col, kWire);
}

void SetNote(Config& c, const char* text) {
    c.NoteData.fill(0);
    std::memcpy(c.NoteData.data(), text, std::strlen(text));
}

// Stairwell light switched from the bottom (I1) and the top (I2): either switch toggles it.
Config Stairwell() {
    Config c;
    Put(c, 0, 0, 0, kNO, I(1));
    Put(c, 0, 0, 1, kNC + kLinkDown, I(2));
    WiresTo15(c, 0, 0, 2);
    Put(c, 0, 1, 0, kNC, I(1));
    Put(c, 0, 1, 1, kNO + kLinkUp, I(2));
    SetNote(c,
            "Stairwell, two-way switching.\r\nI1 switch at the bottom, I2 switch at the top.\r\n"
            "LC Input 1 drives the stairwell light: either switch toggles it.");
    return c;
}

// Corridor lit by either motion sensor (I3, I4) unless the building is in night set-back (P1);
// the cleaning pilot (P2) forces it on. LC Input 2 repeats P2 for the cleaning indicator.
Config Corridor() {
    Config c;
    Put(c, 0, 0, 0, kNO, I(3));
    Put(c, 0, 0, 1, kWire + kLinkDown);
    Put(c, 0, 0, 2, kNC + kLinkDown, P(1));
    WiresTo15(c, 0, 0, 3);
    Put(c, 0, 1, 0, kNO, I(4));
    Put(c, 0, 1, 1, kWire + kLinkUp);
    Put(c, 0, 1, 2, kLinkUp + kLinkDown);
    Put(c, 0, 2, 0, kNO, P(2));
    Put(c, 0, 2, 1, kWire);
    Put(c, 0, 2, 2, kWire + kLinkUp);
    Put(c, 1, 0, 0, kNO, P(2));
    WiresTo15(c, 1, 0, 1);
    SetNote(c,
            "Corridor.\r\nI3, I4 motion sensors; P1 night set-back; P2 cleaning.\r\n"
            "LC Input 1 corridor light, LC Input 2 cleaning indicator.");
    return c;
}

// Blind motor interlock: raise (I5) and lower (I6) buttons; pressing both does nothing, so the
// two motor outputs can never be on together. A stop pilot (P8) overrides both.
Config Interlock() {
    Config c;
    Put(c, 0, 0, 0, kNO, I(5));
    Put(c, 0, 0, 1, kNC, I(6));
    Put(c, 0, 0, 2, kNC, P(8));
    WiresTo15(c, 0, 0, 3);
    Put(c, 1, 0, 0, kNO, I(6));
    Put(c, 1, 0, 1, kNC, I(5));
    Put(c, 1, 0, 2, kNC, P(8));
    WiresTo15(c, 1, 0, 3);
    SetNote(c,
            "Blind interlock.\r\nI5 raise, I6 lower, P8 stop.\r\n"
            "LC Input 1 raise motor, LC Input 2 lower motor; never both.");
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? std::string(argv[1]) + "/" : "";
    struct Example {
        const char* name;
        Config config;
    };
    const Example examples[] = {{"stairwell.CDF", Stairwell()},
                                {"corridor.CDF", Corridor()},
                                {"interlock.CDF", Interlock()}};
    for (const auto& e : examples) {
        auto saved = SaveToFile(e.config, folder + e.name);
        if (!saved) {
            std::cerr << saved.error() << "\n";
            return 1;
        }
    }
    return 0;
}
