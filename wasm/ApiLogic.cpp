// The module's analysis calls: the expression, the truth table, the checks, drawing from a
// formula, the Logic window's summary and the comparison of two configurations.
#include <emscripten/bind.h>

#include <string>

#include "compiler/FastEngine.h"
#include "compiler/TruthTable.h"
#include "config/DiagramText.h"
#include "logic/Checks.h"
#include "logic/Compare.h"
#include "logic/Expression.h"
#include "logic/Layout.h"
#include "logic/SignalUse.h"
#include "wasm/Api.h"

namespace zez::wasm {
namespace {

using emscripten::val;

std::string Expression(const std::string& cdf, int output) {
    return FormatExpression(ExpressOutput(ConfigOf(cdf), Output(output)));
}

std::string TruthTable(const std::string& cdf, int output) {
    return TruthTableText(ConfigOf(cdf), Output(output));
}

std::string Diagram(const std::string& cdf, int output) {
    return DiagramText(ConfigOf(cdf), Output(output));
}

val Checks(const std::string& cdf) {
    val out = val::array();
    for (const Finding& f : CheckConfig(ConfigOf(cdf))) {
        val item = val::object();
        item.set("output", f.output);
        item.set("segment", f.segment);
        item.set("text", FindingText(f));
        out.call<void>("push", item);
    }
    return out;
}

val DrawFormulaInto(const std::string& cdf, int output, const std::string& formula) {
    Config c = ConfigOf(cdf);
    const OutputSegments drawn = Take(DrawFormula(formula));
    c.SegType[Output(output)] = drawn.types;
    c.SegInput[output] = drawn.inputs;
    return CdfOf(c);
}

// What the Logic window shows of `output`: the expression and how it was found, the signals it
// depends on, the output's findings, the signals each output reads, and the minimal drawing when
// it takes fewer segments than the diagram (null otherwise).
val LogicOf(const std::string& cdf, int output) {
    const Config c = ConfigOf(cdf);
    const int o = Output(output);
    OutputBits bits;
    CompileOutputBits(c, o, bits);
    const SumOfProducts sop = Minimise(bits);
    val out = val::object();
    out.set("expression", FormatExpression(sop));
    out.set("exact", sop.exact);
    val depends = val::array();
    for (int n : sop.dependsOn) depends.call<void>("push", SignalName(n));
    out.set("dependsOn", depends);
    val findings = val::array();
    for (const Finding& f : CheckOutput(c, o, bits)) {
        val item = val::object();
        item.set("output", f.output);
        item.set("segment", f.segment);
        item.set("text", FindingText(f));
        item.set("reason", FindingReason(f.kind));
        findings.call<void>("push", item);
    }
    out.set("findings", findings);
    out.set("signalUse", SignalUseLine(UseOfSignals(c, false)));
    const int segments = SegmentCount(c.SegType[o]);
    out.set("segments", segments);
    out.set("minimal", val::null());
    out.set("minimalSegments", segments);
    if (OutputHasDiagram(c, o)) {
        auto drawn = DrawFunction(bits, sop);
        if (drawn && SegmentCount(drawn.value().types) < segments) {
            Config m = c;
            m.SegType[o] = drawn.value().types;
            m.SegInput[o] = drawn.value().inputs;
            out.set("minimal", CdfOf(m));
            out.set("minimalSegments", SegmentCount(drawn.value().types));
        }
    }
    return out;
}

bool HasDiagram(const std::string& cdf, int output) {
    return OutputHasDiagram(ConfigOf(cdf), Output(output));
}

val CompareCdf(const std::string& a, const std::string& b) {
    const Comparison c = CompareConfigs(ConfigOf(a), ConfigOf(b));
    val out = val::object();
    out.set("same", c.Same());
    out.set("text", ComparisonText(c));
    return out;
}

// The segments of `output` where `cdf` differs from `other`, each with what `other` has there in
// words (the grid frames them after a comparison).
val Differences(const std::string& cdf, const std::string& other, int output) {
    const Config mine = ConfigOf(cdf), theirs = ConfigOf(other);
    const int o = Output(output);
    val out = val::array();
    for (int s = 0; s < kSegments; ++s) {
        if (!SegmentDiffers(theirs, mine, o, s)) continue;
        val item = val::object();
        item.set("segment", s);
        item.set("there", SegmentWords(theirs.SegType[o][s], theirs.SegInput[o][s]));
        out.call<void>("push", item);
    }
    return out;
}

}  // namespace

EMSCRIPTEN_BINDINGS(zezudi_logic) {
    Bind<&Expression>("expression");
    Bind<&TruthTable>("truthTable");
    Bind<&Diagram>("diagram");
    Bind<&Checks>("checks");
    Bind<&DrawFormulaInto>("drawFormula");
    Bind<&CompareCdf>("compare");
    Bind<&Differences>("differences");
    Bind<&LogicOf>("logic");
    Bind<&HasDiagram>("hasDiagram");
}

}  // namespace zez::wasm
