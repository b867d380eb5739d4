#include "config/Config.h"

#include <cctype>

namespace zez {

std::string InputLabel(int sel) {
    if (!IsValidSelection(sel)) return "?";
    return sel < 8 ? "I " + std::to_string(sel + 1) : "P " + std::to_string(sel - 7);
}

std::string SignalName(int sel) {
    if (!IsValidSelection(sel)) return "?";
    return sel < 8 ? "I" + std::to_string(sel + 1) : "P" + std::to_string(sel - 7);
}

int SignalAt(std::string_view text, std::size_t pos) {
    if (pos + 1 >= text.size()) return -1;
    const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(text[pos])));
    const char digit = text[pos + 1];
    if ((kind != 'I' && kind != 'P') || digit < '1' || digit > '8') return -1;
    if (pos + 2 < text.size() && std::isalnum(static_cast<unsigned char>(text[pos + 2])))
        return -1;  // I12, P1x
    return (kind == 'P' ? 8 : 0) + (digit - '1');
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
