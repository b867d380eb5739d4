// zezudi-cli: drawing an output from a formula (draw), redrawing outputs minimal (tidy), which
// signals the outputs read (signals) and moving contacts to other signals (rewire).

#include <filesystem>
#include <ostream>
#include <sstream>

#include "app/CliCommon.h"
#include "compiler/Compiler.h"
#include "config/DiagramText.h"
#include "config/Rewire.h"
#include "logic/Expression.h"
#include "logic/Layout.h"
#include "logic/SignalUse.h"
#include "system/CdfFile.h"
#include "system/FileAccess.h"

namespace zez::cli {
namespace {

// Where the changed configuration goes: OUT, or FILE itself. Another file that holds a
// configuration is replaced only with --force; what is replaced is kept as a version.
int Write(const Parsed& p, const char* cmd, const Config& config, std::ostream& err,
          const Environment& env) {
    const auto it = p.options.find("-o");
    const std::string target = it != p.options.end() ? it->second : p.positional[0];
    if (!SameFile(PathArg(p.positional[0]), PathArg(target)) && RefuseOutput(p, cmd, target, err))
        return kExitUsage;
    // A picture or a document opened by mistake is not turned into a configuration unasked.
    std::error_code ec;
    if (!p.options.count("--force") && std::filesystem::file_size(PathArg(target), ec) > 0 && !ec)
        if (const auto looks = NotAConfigurationFile(PathArg(target), false)) {
            err << "zezudi-cli " << cmd << ": " << target
                << " holds no configuration: it looks like " << *looks
                << "; nothing was written (give --force to replace it)\n";
            return kExitUsage;
        }
    if (!KeepReplaced(p, env, target, true, err)) return kExitFailed;
    if (auto saved = SaveToFile(config, PathArg(target)); !saved) {
        err << "zezudi-cli " << cmd << ": " << saved.error() << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace

int CmdDraw(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env) {
    if (RefuseStdout(p, "draw", err)) return kExitUsage;
    const auto output = RequireOutput(p, "draw", err);
    if (!output) return kExitUsage;
    auto config = LoadOrComplain(p.positional[0], err);
    if (!config) return kExitUsage;
    const auto drawn = DrawFormula(p.positional[1]);
    if (!drawn) {
        const bool parse = drawn.kind() == ErrorKind::Usage;
        err << "zezudi-cli draw: " << drawn.error() << (parse ? "" : "; nothing was written")
            << "\n";
        return parse ? kExitUsage : kExitFailed;
    }
    config->SegType[*output] = drawn.value().types;
    config->SegInput[*output] = drawn.value().inputs;
    if (const int code = Write(p, "draw", *config, err, env); code != kExitOk) return code;
    out << DiagramText(*config, *output);
    return kExitOk;
}

int CmdTidy(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env) {
    if (RefuseStdout(p, "tidy", err)) return kExitUsage;
    int only = -1;
    if (p.options.count("--output")) {
        const auto output = RequireOutput(p, "tidy", err);
        if (!output) return kExitUsage;
        only = *output;
    }
    const auto config = LoadOrComplain(p.positional[0], err);
    if (!config) return kExitUsage;
    Config tidied = *config;
    bool changed = false;
    std::ostringstream said;  // said once the result is written
    for (int o = 0; o < kOutputs; ++o) {
        if ((only >= 0 && o != only) || !OutputHasDiagram(*config, o)) continue;
        said << "LC Input " << o + 1 << ": ";
        OutputBits bits;
        CompileOutputBits(*config, o, bits);
        const auto drawn = DrawFunction(bits);
        const int before = SegmentCount(config->SegType[o]);
        if (!drawn || SegmentCount(drawn.value().types) >= before) {
            said << "kept" << (drawn ? "" : " (" + drawn.error() + ")") << "\n";
            continue;
        }
        tidied.SegType[o] = drawn.value().types;
        tidied.SegInput[o] = drawn.value().inputs;
        changed = true;
        said << "redrawn: " << before << " -> " << SegmentCount(drawn.value().types)
             << " segments\n";
    }
    // Every output computes what it computed before, or nothing is written.
    ControlArray was{}, now{};
    Compile(*config, was);
    Compile(tidied, now);
    if (was != now) {
        err << "zezudi-cli tidy: internal error: a redrawn output computes something else; "
               "nothing was written\n";
        return kExitFailed;
    }
    const int code =
        changed || p.options.count("-o") ? Write(p, "tidy", tidied, err, env) : kExitOk;
    if (code == kExitOk) out << said.str();
    return code;
}

int CmdSignals(const Parsed& p, std::ostream& out, std::ostream& err, const Environment&) {
    const auto config = LoadOrComplain(p.positional[0], err);
    if (!config) return kExitUsage;
    out << SignalUseTable(UseOfSignals(*config));
    return kExitOk;
}

int CmdRewire(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env) {
    if (RefuseStdout(p, "rewire", err)) return kExitUsage;
    unsigned outputs = 0xFF;
    if (p.options.count("--output")) {
        const auto output = RequireOutput(p, "rewire", err);
        if (!output) return kExitUsage;
        outputs = 1u << *output;
    }
    const auto map = ParseSignalMap(p.positional[1]);
    if (!map) {
        err << "zezudi-cli rewire: " << map.error() << "\n";
        return kExitUsage;
    }
    auto config = LoadOrComplain(p.positional[0], err);
    if (!config) return kExitUsage;
    const auto moved = RewireContacts(*config, map.value(), outputs);
    std::ostringstream said;  // said once the result is written
    said << SignalMapText(map.value()) << "\n";
    int total = 0;
    for (int o = 0; o < kOutputs; ++o) {
        const int n = moved[static_cast<std::size_t>(o)];
        if (n) said << "LC Input " << o + 1 << ": " << n << " contact(s) moved\n";
        total += n;
    }
    if (total == 0 && !p.options.count("-o")) {
        out << said.str() << "no contact is on these signals; nothing was written\n";
        return kExitOk;
    }
    const int code = Write(p, "rewire", *config, err, env);
    if (code == kExitOk) out << said.str();
    return code;
}

}  // namespace zez::cli
