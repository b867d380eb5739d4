// zezudi-cli: the commands that read a configuration file and write another file (compile,
// export, versions), and what they share to never overwrite an input or a configuration.

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <sstream>

#include "app/CliCommon.h"
#include "compiler/Compiler.h"
#include "system/ArrayFile.h"
#include "system/CdfFile.h"
#include "system/Clock.h"
#include "system/FileAccess.h"
#include "system/ReplaceFile.h"
#include "system/Versions.h"

namespace zez::cli {

std::optional<Config> LoadOrComplain(const std::string& path, std::ostream& err) {
    auto loaded = LoadFromFile(PathArg(path));
    if (!loaded) {
        err << "zezudi-cli: " << loaded.error() << "\n";
        return std::nullopt;
    }
    const auto& bad = loaded.value().invalid;
    if (bad.any()) {
        err << "zezudi-cli: warning: " << bad.segments << " segment(s) hold values outside 0..15 ("
            << bad.types << " segment types, " << bad.inputs
            << " input selections); such a segment acts as blank, such a contact as if its input "
               "were off\n";
    }
    return loaded.value().config;
}

std::optional<Config> LoadToSend(const Parsed& p, const char* cmd, const char* nothing,
                                 std::ostream& err) {
    const std::string& path = p.positional[0];
    if (!p.options.count("--force")) {
        if (const auto refused = RefusedAsConfigurationFile(PathArg(path), path)) {
            err << "zezudi-cli " << cmd << ": " << *refused << "; " << nothing;
            // --force is offered only where it can help: the file can be read as a record.
            if (LoadFromFile(PathArg(path))) err << " (give --force to use it anyway)";
            err << "\n";
            return std::nullopt;
        }
    }
    return LoadOrComplain(path, err);
}

bool KeepReplaced(const Parsed& p, const Environment& env, const std::string& path,
                  bool configurationOverIt, std::ostream& err) {
    std::error_code ec;
    const bool anything = std::filesystem::is_regular_file(PathArg(path), ec) &&
                          std::filesystem::file_size(PathArg(path), ec) > 0 && !ec;
    if (env.versionsDir.empty() || !anything ||
        (!configurationOverIt && !HoldsConfiguration(PathArg(path))))
        return true;
    auto kept = KeepVersion(env.versionsDir, PathArg(path));
    if (kept) return true;
    if (p.options.count("--force")) {
        err << "zezudi-cli: warning: the previous version was not kept: " << kept.error() << "\n";
        return true;
    }
    err << "zezudi-cli: the previous version of " << path << " could not be kept: " << kept.error()
        << "; nothing was written (give --force to write it all the same)\n";
    return false;
}

bool RefuseStdout(const Parsed& p, const char* cmd, std::ostream& err) {
    const auto it = p.options.find("-o");
    if (it == p.options.end() || (!it->second.empty() && it->second != "-")) return false;
    err << "zezudi-cli " << cmd
        << ": -o needs a file name (- is not offered: what the command says goes to standard "
           "output)\n";
    return true;
}

int CmdVersions(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env) {
    const auto versions = ListVersions(env.versionsDir, PathArg(p.positional[0]));
    const auto restore = p.options.find("--restore");
    if (restore == p.options.end()) {
        if (versions.empty()) out << "no previous versions of " << p.positional[0] << "\n";
        for (std::size_t i = 0; i < versions.size(); ++i)
            out << i + 1 << "  " << versions[i].written << "  " << versions[i].size << " bytes\n";
        return kExitOk;
    }
    const auto target = p.options.find("-o");
    if (target == p.options.end() || target->second.empty()) {
        err << "zezudi-cli versions: --restore N needs -o OUT\n";
        return kExitUsage;
    }
    const auto& t = restore->second;
    const auto n = static_cast<std::size_t>(Digits(t, 3).value_or(0));
    if (n < 1 || n > versions.size()) {
        err << "zezudi-cli versions: there is no version " << t << " of " << p.positional[0] << " ("
            << versions.size() << " kept)\n";
        return kExitUsage;
    }
    const Version& version = versions[n - 1];
    const std::string& to = target->second;
    if (to == "-") {
        auto bytes = ReadWhole(version.path, "Cannot read the version");
        if (!bytes) {
            err << "zezudi-cli versions: " << bytes.error() << "\n";
            return kExitFailed;
        }
        out.write(reinterpret_cast<const char*>(bytes.value().data()),
                  static_cast<std::streamsize>(bytes.value().size()));
        return out.flush() ? kExitOk : kExitFailed;
    }
    // FILE itself is restored in place; another configuration is replaced only with --force.
    if (!SameFile(PathArg(p.positional[0]), PathArg(to)) && !p.options.count("--force") &&
        HoldsConfiguration(PathArg(to))) {
        err << "zezudi-cli versions: " << to
            << " holds a configuration; nothing was written (give --force to replace it)\n";
        return kExitUsage;
    }
    if (!KeepReplaced(p, env, to, true, err)) return kExitFailed;  // a restore keeps it too
    if (auto w = RestoreVersion(version, PathArg(to)); !w) {
        err << "zezudi-cli versions: " << w.error() << "\n";
        return kExitFailed;
    }
    out << "Wrote version " << n << " (" << version.written << ") to " << to << "\n";
    return kExitOk;
}

bool RefuseOutput(const Parsed& p, const char* cmd, const std::string& out, std::ostream& err) {
    if (SameFile(PathArg(p.positional[0]), PathArg(out))) {
        err << "zezudi-cli " << cmd << ": " << out << " is the input file " << p.positional[0]
            << "; nothing was written (choose another output)\n";
        return true;
    }
    if (!p.options.count("--force") && HoldsConfiguration(PathArg(out))) {
        err << "zezudi-cli " << cmd << ": " << out
            << " holds a configuration; nothing was written (give --force to replace it)\n";
        return true;
    }
    return false;
}

namespace {

std::string DefaultBinPath(const std::string& cdf) {
    const auto slash = cdf.find_last_of("/\\");
    const auto dot = cdf.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        return cdf.substr(0, dot) + ".bin";
    return cdf + ".bin";
}

}  // namespace

int CmdCompile(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env) {
    Engine engine = Engine::Fast;
    if (const auto it = p.options.find("--engine"); it != p.options.end()) {
        if (it->second == "fast") {
            engine = Engine::Fast;
        } else if (it->second == "reference") {
            engine = Engine::Reference;
        } else {
            err << "zezudi-cli compile: --engine is fast or reference, not \"" << it->second
                << "\"\n";
            return kExitUsage;
        }
    }
    const auto config = LoadToSend(p, "compile", "nothing was written", err);
    if (!config) return kExitUsage;
    const auto it = p.options.find("-o");
    const std::string target = it != p.options.end() ? it->second : DefaultBinPath(p.positional[0]);
    if (target.empty()) {
        err << "zezudi-cli compile: -o needs a file name, or - for standard output\n";
        return kExitUsage;
    }
    const bool toStdout = target == "-";
    if (!toStdout && RefuseOutput(p, "compile", target, err)) return kExitUsage;
    ControlArray array{};
    const auto seconds = TimeCompile(*config, array, engine);
    if (toStdout) {
        out.write(reinterpret_cast<const char*>(array.data()),
                  static_cast<std::streamsize>(array.size()));
        out.flush();
        if (!out) {
            err << "zezudi-cli compile: the control array could not be written to standard "
                   "output\n";
            return kExitFailed;
        }
        return kExitOk;
    }
    if (!KeepReplaced(p, env, target, false, err)) return kExitFailed;  // only with --force
    auto written = WriteControlArray(array, PathArg(target));
    if (!written) {
        err << "zezudi-cli compile: " << written.error() << "\n";
        return kExitFailed;
    }
    if (p.options.count("--time")) {
        std::ostringstream t;
        t.setf(std::ios::fixed);
        t.precision(seconds < 0.01 ? 1 : 3);
        if (seconds < 0.01)
            t << seconds * 1e6 << " microseconds";
        else
            t << seconds << " s";
        out << "Compiled in " << t.str() << " (" << (engine == Engine::Fast ? "fast" : "reference")
            << " engine)\n";
    }
    return kExitOk;
}

int CmdExport(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env) {
    const bool pdf = p.options.count("--pdf") != 0, svg = p.options.count("--svg") != 0;
    if (pdf == svg) {
        err << "zezudi-cli export: give either --pdf OUT.pdf or --svg OUT.svg --output N\n";
        return kExitUsage;
    }
    ExportJob job;
    job.pdf = pdf;
    job.out = p.options.at(pdf ? "--pdf" : "--svg");
    if (svg) {
        const auto output = RequireOutput(p, "export", err);
        if (!output) return kExitUsage;
        job.output = *output;
    }
    if (const auto it = p.options.find("--page"); it != p.options.end()) {
        if (!pdf || (it->second != "a4" && it->second != "letter")) {
            err << "zezudi-cli export: --page is a4 or letter, for --pdf\n";
            return kExitUsage;
        }
        job.letter = it->second == "letter";
    }
    if (!env.exportFile) {
        err << "zezudi-cli export: drawing is not available in this build\n";
        return kExitUsage;
    }
    if (job.out.empty() || job.out == "-") {
        err << "zezudi-cli export: --" << (pdf ? "pdf" : "svg")
            << " needs a file name (standard output is not offered for drawings)\n";
        return kExitUsage;
    }
    if (RefuseOutput(p, "export", job.out, err)) return kExitUsage;
    const auto config = LoadOrComplain(p.positional[0], err);
    if (!config) return kExitUsage;
    job.config = *config;
    job.file = p.positional[0];
    if (!KeepReplaced(p, env, job.out, false, err)) return kExitFailed;  // only with --force
    const auto written = env.exportFile(job);
    if (!written) {
        err << "zezudi-cli export: " << written.error() << "\n";
        return kExitFailed;
    }
    out << "Wrote " << job.out;
    if (pdf) out << ": " << written.value() << " page(s)";
    out << "\n";
    return kExitOk;
}

}  // namespace zez::cli
