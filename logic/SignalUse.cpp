#include "logic/SignalUse.h"

#include "compiler/TruthTable.h"

namespace zez {

bool SignalUse::Used(int signal) const {
    for (int n : contacts[static_cast<std::size_t>(signal)])
        if (n) return true;
    return false;
}

std::vector<std::pair<int, int>> ContactsOn(const Config& config, int sel) {
    std::vector<std::pair<int, int>> found;
    for (int o = 0; o < kOutputs; ++o)
        for (int s = 0; s < kSegments; ++s)
            if (IsContact(config.SegType[o][s]) && config.SegInput[o][s] == sel)
                found.emplace_back(o, s);
    return found;
}

SignalUse UseOfSignals(const Config& config, bool dependence) {
    SignalUse use;
    for (int o = 0; o < kOutputs; ++o) {
        bool any = false;
        for (int s = 0; s < kSegments; ++s) {
            const int sel = config.SegInput[o][s];
            if (!IsContact(config.SegType[o][s]) || !IsValidSelection(sel)) continue;
            ++use.contacts[static_cast<std::size_t>(sel)][static_cast<std::size_t>(o)];
            any = true;
        }
        if (!any || !dependence) continue;  // without a contact on a signal: constant
        OutputBits bits;
        CompileOutputBits(config, o, bits);
        for (int sel : DependentSignals(bits))
            use.dependsOn[static_cast<std::size_t>(o)] |= static_cast<uint16_t>(1u << sel);
    }
    return use;
}

namespace {

// "free: I1 I2 ...", or "free: none".
std::string Free(const SignalUse& use) {
    std::string free;
    for (int s = 0; s < kSignals; ++s)
        if (!use.Used(s)) free += " " + SignalName(s);
    return "free:" + (free.empty() ? " none" : free);
}

}  // namespace

std::string SignalUseTable(const SignalUse& use) {
    std::string text = "signal";
    for (int o = 0; o < kOutputs; ++o) text += "  LC" + std::to_string(o + 1);
    text += "\n";
    bool noEffect = false;
    for (int s = 0; s < kSignals; ++s) {
        if (!use.Used(s)) continue;
        std::string row = SignalName(s);
        row.resize(6, ' ');
        for (int o = 0; o < kOutputs; ++o) {
            const int n = use.contacts[static_cast<std::size_t>(s)][static_cast<std::size_t>(o)];
            const bool depends = (use.dependsOn[static_cast<std::size_t>(o)] >> s) & 1;
            std::string cell = n ? std::to_string(n) + (depends ? " " : "*") : "- ";
            noEffect = noEffect || (n && !depends);
            row += std::string(cell.size() < 5 ? 5 - cell.size() : 0, ' ') + cell;
        }
        row.erase(row.find_last_not_of(' ') + 1);
        text += row + "\n";
    }
    if (noEffect) text += "* drawn, but the output does not depend on it\n";
    return text + Free(use) + "\n";
}

std::string SignalUseLine(const SignalUse& use) {
    std::string used;
    for (int s = 0; s < kSignals; ++s) {
        if (!use.Used(s)) continue;
        used += (used.empty() ? "" : "; ") + SignalName(s) + ":";
        const char* sep = " ";
        for (int o = 0; o < kOutputs; ++o) {
            if (!use.contacts[static_cast<std::size_t>(s)][static_cast<std::size_t>(o)]) continue;
            used += sep + std::to_string(o + 1);
            sep = ", ";
        }
    }
    return (used.empty() ? "no contact on a signal" : used) + " | " + Free(use);
}

}  // namespace zez
