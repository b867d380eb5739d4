#include "config/Config.h"

namespace zez {

std::string InputLabel(int sel) {
    if (!IsValidSelection(sel)) return "?";
    return sel < 8 ? "I " + std::to_string(sel + 1) : "P " + std::to_string(sel - 7);
}

std::string SignalName(int sel) {
    if (!IsValidSelection(sel)) return "?";
    return sel < 8 ? "I" + std::to_string(sel + 1) : "P" + std::to_string(sel - 7);
}

std::string NoteText(const NoteBytes& note) {
    std::string text;
    for (uint8_t b : note) {
        if (b == 0) break;
        text.push_back(static_cast<char>(b));
    }
    return text;
}

InvalidCounts CountInvalid(const Config& config) {
    InvalidCounts n;
    for (int o = 0; o < kOutputs; ++o) {
        for (int s = 0; s < kSegments; ++s) {
            const bool badType = !IsValidCode(config.SegType[o][s]);
            const bool badInput = !IsValidSelection(config.SegInput[o][s]);
            n.types += badType;
            n.inputs += badInput;
            n.segments += badType || badInput;
        }
    }
    return n;
}

}  // namespace zez
