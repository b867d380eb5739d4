#include "config/Rewire.h"

#include <cctype>

namespace zez {
namespace {

class Reader {
  public:
    explicit Reader(const std::string& text) : text_(text) {}
    void SkipSpaces(bool commas) {
        while (pos_ < text_.size() && (std::isspace(static_cast<unsigned char>(text_[pos_])) ||
                                       (commas && text_[pos_] == ',')))
            ++pos_;
    }
    bool AtEnd() const { return pos_ >= text_.size(); }
    int Column() const { return static_cast<int>(pos_) + 1; }
    bool Take(const char* symbol) {
        const std::string s(symbol);
        if (text_.compare(pos_, s.size(), s) != 0) return false;
        pos_ += s.size();
        return true;
    }
    // I1..I8 or P1..P8, as 0..15; -1 when there is none here.
    int Signal() {
        const int sel = SignalAt(text_, pos_);
        if (sel >= 0) pos_ += 2;
        return sel;
    }

  private:
    const std::string& text_;
    std::size_t pos_ = 0;
};

Error At(int column, const std::string& what) {
    return Error{"column " + std::to_string(column) + ": " + what};
}

}  // namespace

Result<SignalMap> ParseSignalMap(const std::string& text) {
    SignalMap map;
    std::array<bool, kSignals> moved{};
    Reader in(text);
    in.SkipSpaces(true);
    if (in.AtEnd()) return Error{"no move given: write them as I3=P5 (move) or I3<>I5 (swap)"};
    const char* expectSignal = "expected a signal (I1..I8, P1..P8)";
    while (!in.AtEnd()) {
        const int fromColumn = in.Column();
        const int from = in.Signal();
        if (from < 0) return At(fromColumn, expectSignal);
        in.SkipSpaces(false);
        const int opColumn = in.Column();
        const bool swap = in.Take("<>");
        if (!swap && !in.Take("="))
            return At(opColumn, "expected = or <> after " + SignalName(from));
        in.SkipSpaces(false);
        const int toColumn = in.Column();
        const int to = in.Signal();
        if (to < 0) return At(toColumn, expectSignal);
        auto& fromMoved = moved[static_cast<std::size_t>(from)];
        if (fromMoved) return At(fromColumn, SignalName(from) + " is moved twice");
        fromMoved = true;
        map.to[static_cast<std::size_t>(from)] = to;
        if (swap && to != from) {
            auto& toMoved = moved[static_cast<std::size_t>(to)];
            if (toMoved) return At(toColumn, SignalName(to) + " is moved twice");
            toMoved = true;
            map.to[static_cast<std::size_t>(to)] = from;
        }
        const int end = in.Column();
        in.SkipSpaces(true);
        if (!in.AtEnd() && in.Column() == end)
            return At(end, "expected a comma or a space before the next move");
    }
    return map;
}

std::string SignalMapText(const SignalMap& map) {
    std::string text;
    for (int s = 0; s < kSignals; ++s) {
        const int to = map.to[static_cast<std::size_t>(s)];
        if (to == s) continue;
        text += (text.empty() ? "" : ", ") + SignalName(s) + " -> " + SignalName(to);
    }
    return text.empty() ? "no change" : text;
}

std::array<int, kOutputs> RewireContacts(Config& config, const SignalMap& map, unsigned outputs) {
    std::array<int, kOutputs> moved{};
    for (int o = 0; o < kOutputs; ++o) {
        if (((outputs >> o) & 1) == 0) continue;
        for (int s = 0; s < kSegments; ++s) {
            int16_t& sel = config.SegInput[o][s];
            if (!IsContact(config.SegType[o][s]) || !IsValidSelection(sel)) continue;
            const int to = map.to[static_cast<std::size_t>(sel)];
            if (to == sel) continue;
            sel = static_cast<int16_t>(to);
            ++moved[static_cast<std::size_t>(o)];
        }
    }
    return moved;
}

}  // namespace zez
