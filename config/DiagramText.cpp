#include "config/DiagramText.h"

namespace zez {
namespace {

constexpr int kField = 6;

std::string ElementField(int code, int sel) {
    if (!IsValidCode(code)) return " <bad>";
    switch (ElementOf(code)) {
        case Element::None:
            return std::string(kField, ' ');
        case Element::Wire:
            return std::string(kField, '-');
        case Element::NormallyOpen:
        case Element::NormallyClosed: {
            std::string name = SignalName(sel);
            const char mark = ElementOf(code) == Element::NormallyClosed ? '/' : ' ';
            std::string body = std::string(1, mark) + name;
            while (body.size() < 3) body.insert(body.begin(), ' ');
            return "-[" + body + "]";
        }
    }
    return std::string(kField, ' ');
}

char Junction(int code) {
    if (!HasCentre(code)) return ' ';
    return (HasLinkUp(code) || HasLinkDown(code)) ? '+' : '-';
}

}  // namespace

std::string SegmentText(int code, int sel) {
    return ElementField(code, sel) + Junction(code);
}

std::string LinkWords(int code) {
    const bool up = HasLinkUp(code), down = HasLinkDown(code);
    return up && down ? "up and down links" : up ? "an up link" : down ? "a down link" : "";
}

std::string SegmentWords(int code, int sel) {
    if (!IsValidCode(code)) return "no segment (code " + std::to_string(code) + ")";
    static const char* const kElements[] = {"", "a wire", "a normally open contact",
                                            "a normally closed contact"};
    const std::string links = LinkWords(code);
    std::string words = kElements[code >> 2];
    if (IsContact(code))
        words += IsValidSelection(sel) ? " on " + SignalName(sel) : std::string(" on no signal");
    if (words.empty()) return links.empty() ? "blank" : links;
    return links.empty() ? words : words + " with " + links;
}

std::string DiagramText(const Config& config, int output) {
    const auto& types = config.SegType[output];
    const auto& inputs = config.SegInput[output];
    std::string out;
    out += "LC Input " + std::to_string(output + 1) + "\n";
    const std::string pad(2, ' ');
    for (int r = 0; r < 16; ++r) {
        out += pad + "|";
        for (int c = 0; c < 16; ++c) {
            const int s = 16 * r + c;
            out += ElementField(types[s], inputs[s]);
            out += Junction(types[s]);
        }
        out += "|\n";
        if (r == 15) break;
        // Links between this row and the next.
        std::string links = pad + "|";
        for (int c = 0; c < 16; ++c) {
            const bool down = HasLinkDown(types[16 * r + c]);
            const bool up = HasLinkUp(types[16 * (r + 1) + c]);
            links += std::string(kField, ' ');
            links += (down && up) ? '|' : (down || up) ? ':' : ' ';
        }
        out += links + "|\n";
    }
    out +=
        "Legend: left rail supply, right rail output; -[ I3] normally open on I3, -[/P1] "
        "normally closed on P1; + junction with a link, | joined link, : link that meets "
        "nothing\n";
    return out;
}

}  // namespace zez
