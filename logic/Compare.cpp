#include "logic/Compare.h"

#include <algorithm>
#include <bit>
#include <sstream>
#include <vector>

#include "compiler/FastEngine.h"
#include "logic/Expression.h"

namespace zez {
namespace {

std::vector<std::string> NoteLines(const NoteBytes& note) {
    std::vector<std::string> lines;
    const std::string text = NoteText(note);
    std::size_t start = 0;
    for (;;) {
        const auto end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) break;
        start = end + 2;
    }
    return lines;
}

// Bytes of a note line as they can be shown on one line of a terminal or a message box.
std::string Shown(const std::string& line) {
    std::string s;
    for (const unsigned char c : line) s += c >= 0x20 && c != 0x7F ? static_cast<char>(c) : '?';
    return s;
}

}  // namespace

bool Comparison::Same() const {
    for (const auto& o : outputs)
        if (o.segments != 0) return false;
    return !noteDiffers;
}

bool SegmentDiffers(const Config& a, const Config& b, int o, int s) {
    return a.SegType[o][s] != b.SegType[o][s] || a.SegInput[o][s] != b.SegInput[o][s];
}

Comparison CompareConfigs(const Config& a, const Config& b) {
    Comparison c;
    for (int o = 0; o < kOutputs; ++o) {
        auto& r = c.outputs[static_cast<std::size_t>(o)];
        for (int s = 0; s < kSegments; ++s) r.segments += SegmentDiffers(a, b, o, s);
        if (r.segments == 0) continue;
        OutputBits fa, fb;
        CompileOutputBits(a, o, fa);
        CompileOutputBits(b, o, fb);
        for (std::size_t k = 0; k < fa.size(); ++k) r.words += std::popcount(fa[k] ^ fb[k]);
        if (r.words != 0) {
            r.a = FormatExpression(ExpressOutput(a, o));
            r.b = FormatExpression(ExpressOutput(b, o));
        }
    }
    c.noteDiffers = a.NoteData != b.NoteData;
    if (c.noteDiffers) {
        const auto la = NoteLines(a.NoteData), lb = NoteLines(b.NoteData);
        for (std::size_t i = 0; i < std::max(la.size(), lb.size()); ++i) {
            const bool inA = i < la.size(), inB = i < lb.size();
            if (inA && inB && la[i] == lb[i]) continue;
            c.noteLine = static_cast<int>(i) + 1;
            c.noteA = inA ? Shown(la[i]) : "(no such line)";
            c.noteB = inB ? Shown(lb[i]) : "(no such line)";
            break;
        }
    }
    return c;
}

std::string ComparisonText(const Comparison& c) {
    std::ostringstream out;
    for (int o = 0; o < kOutputs; ++o) {
        const auto& r = c.outputs[static_cast<std::size_t>(o)];
        out << "LC Input " << o + 1 << ": ";
        if (r.segments == 0) {
            out << "same\n";
        } else if (r.words == 0) {
            out << "same function, diagram differs in " << r.segments << " segment"
                << (r.segments == 1 ? "" : "s") << "\n";
        } else {
            out << "function differs in " << r.words << " of 65,536 words\n  A: " << r.a
                << "\n  B: " << r.b << "\n";
        }
    }
    if (!c.noteDiffers) {
        out << "note: same\n";
    } else if (c.noteLine == 0) {
        out << "note differs only in bytes after its end\n";
    } else {
        out << "note differs in line " << c.noteLine << "\n  A: " << c.noteA << "\n  B: " << c.noteB
            << "\n";
    }
    return out.str();
}

}  // namespace zez
