// zezudi-cli: the commands that read a configuration and say what it does (eval, show, table,
// expr, check).

#include <ostream>
#include <string>
#include <vector>

#include "app/CliCommon.h"
#include "compiler/LogicGrid.h"
#include "compiler/TruthTable.h"
#include "config/DiagramText.h"
#include "logic/Checks.h"
#include "logic/Expression.h"

namespace zez::cli {
namespace {

std::string SignalList(const std::vector<int>& signals) {
    std::string s;
    for (int n : signals) s += (s.empty() ? "" : " ") + SignalName(n);
    return s.empty() ? "nothing" : s;
}

// FILE's output named by --output, printed as `text` gives it.
int PrintOutput(const Parsed& p, const char* cmd, std::ostream& out, std::ostream& err,
                std::string (*text)(const Config&, int)) {
    const auto output = RequireOutput(p, cmd, err);
    if (!output) return kExitUsage;
    const auto config = LoadOrComplain(p.positional[0], err);
    if (!config) return kExitUsage;
    out << text(*config, *output);
    return kExitOk;
}

}  // namespace

int CmdEval(const Parsed& p, std::ostream& out, std::ostream& err, const Environment&) {
    const auto output = RequireOutput(p, "eval", err);
    if (!output) return kExitUsage;
    const auto it = p.options.find("--inputs");
    if (it == p.options.end()) {
        err << "zezudi-cli eval: --inputs LIST is required (I1..I8, P1..P8 separated by commas, "
               "or none)\n";
        return kExitUsage;
    }
    const auto word = ParseSignalList(it->second);
    if (!word) {
        err << "zezudi-cli eval: cannot read the input list \"" << it->second
            << "\": use I1..I8 and P1..P8 separated by commas, or none\n";
        return kExitUsage;
    }
    const auto config = LoadOrComplain(p.positional[0], err);
    if (!config) return kExitUsage;
    const bool on = EvaluateOutput(*config, *output, *word);
    out << "Lumacor Input " << (*output + 1) << (on ? " On" : " Off") << "\n";
    return kExitOk;
}

int CmdShow(const Parsed& p, std::ostream& out, std::ostream& err, const Environment&) {
    return PrintOutput(p, "show", out, err, DiagramText);
}

int CmdTable(const Parsed& p, std::ostream& out, std::ostream& err, const Environment&) {
    return PrintOutput(p, "table", out, err, TruthTableText);
}

int CmdExpr(const Parsed& p, std::ostream& out, std::ostream& err, const Environment&) {
    std::vector<int> outputs;
    const bool one = p.options.count("--output") != 0;
    if (one) {
        const auto output = RequireOutput(p, "expr", err);
        if (!output) return kExitUsage;
        outputs.push_back(*output);
    }
    const auto config = LoadOrComplain(p.positional[0], err);
    if (!config) return kExitUsage;
    if (!one)
        for (int o = 0; o < kOutputs; ++o)
            if (OutputHasDiagram(*config, o)) outputs.push_back(o);
    if (outputs.empty()) err << "zezudi-cli expr: " << p.positional[0] << " has no diagram\n";
    for (int o : outputs) {
        const SumOfProducts sop = ExpressOutput(*config, o);
        if (!one) out << "LC Input " << o + 1 << ": ";
        out << FormatExpression(sop) << "\n";
        if (p.options.count("--verbose"))
            out << "  " << (sop.exact ? "exact minimum" : "heuristic cover (not proven minimal)")
                << ": " << sop.terms.size() << " term(s), " << sop.Literals()
                << " literal(s); depends on " << SignalList(sop.dependsOn) << "\n";
    }
    return kExitOk;
}

int CmdCheck(const Parsed& p, std::ostream& out, std::ostream& err, const Environment&) {
    const auto config = LoadOrComplain(p.positional[0], err);
    if (!config) return kExitUsage;
    const auto findings = CheckConfig(*config);
    for (const auto& f : findings) out << FindingText(f) << "\n";
    return findings.empty() ? kExitOk : kExitFailed;
}

}  // namespace zez::cli
