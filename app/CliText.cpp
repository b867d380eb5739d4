// zezudi-cli: the text form of a configuration (totext, fromtext), the comparison of two
// configurations (diff), each given as a CDF file or as text, and the HTML report (report).

#include <chrono>
#include <filesystem>
#include <ostream>
#include <vector>

#include <string_view>

#include "app/CliCommon.h"
#include "config/ConfigText.h"
#include "export/Report.h"
#include "logic/Compare.h"
#include "logic/Layout.h"
#include "system/CdfFile.h"
#include "system/File.h"
#include "system/ReplaceFile.h"

namespace zez::cli {
namespace {

// A configuration from a CDF file or from its text form, or a message on `err`.
std::optional<Config> LoadAny(const std::string& path, std::ostream& err) {
    auto loaded = LoadConfigOrText(PathArg(path), DrawFormula);
    if (!loaded) {
        err << "zezudi-cli: " << loaded.error() << "\n";
        return std::nullopt;
    }
    return loaded.value().config;
}

// Writes `bytes` to `target` through the atomic writer, or to standard output for "-".
int WriteOut(const Parsed& p, const char* cmd, const std::string& target,
             const std::vector<uint8_t>& bytes, std::ostream& out, std::ostream& err,
             const Environment& env) {
    if (target == "-") {
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return out.flush() ? kExitOk : kExitFailed;
    }
    if (RefuseOutput(p, cmd, target, err)) return kExitUsage;
    // fromtext writes a configuration: whatever it replaces is kept.
    if (!KeepReplaced(p, env, target, std::string_view(cmd) == "fromtext", err)) return kExitFailed;
    if (auto w = ReplaceFile(PathArg(target), bytes, {}, "Cannot write"); !w) {
        err << "zezudi-cli " << cmd << ": " << w.error() << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace

int CmdToText(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env) {
    const std::string& file = p.positional[0];
    const auto config = LoadOrComplain(file, err);
    if (!config) return kExitUsage;
    std::error_code ec;
    if (const auto size = std::filesystem::file_size(PathArg(file), ec); !ec && size > kCdfBytes)
        err << "zezudi-cli totext: warning: " << file << " has " << size - kCdfBytes
            << " bytes after the first 12,288; the text form does not keep them\n";
    const std::string text = ConfigToText(*config);
    const auto it = p.options.find("-o");
    return WriteOut(p, "totext", it == p.options.end() ? "-" : it->second,
                    std::vector<uint8_t>(text.begin(), text.end()), out, err, env);
}

int CmdFromText(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env) {
    const std::string& file = p.positional[0];
    const auto target = p.options.find("-o");
    if (target == p.options.end() || target->second.empty()) {
        err << "zezudi-cli fromtext: -o OUT.CDF is required (- for standard output)\n";
        return kExitUsage;
    }
    auto config = LoadConfigOrText(PathArg(file), DrawFormula);
    if (!config) {
        err << "zezudi-cli fromtext: " << config.error() << "; nothing was written\n";
        return kExitUsage;
    }
    const auto bytes = SerializeCdf(config.value().config);
    return WriteOut(p, "fromtext", target->second, std::vector<uint8_t>(bytes.begin(), bytes.end()),
                    out, err, env);
}

int CmdDiff(const Parsed& p, std::ostream& out, std::ostream& err, const Environment&) {
    const auto a = LoadAny(p.positional[0], err);
    const auto b = a ? LoadAny(p.positional[1], err) : std::nullopt;
    if (!a || !b) return kExitUsage;
    const Comparison c = CompareConfigs(*a, *b);
    out << ComparisonText(c);
    return c.Same() ? kExitOk : kExitDiffers;
}

int CmdReport(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env) {
    const std::string& file = p.positional[0];
    const auto config = LoadAny(file, err);
    if (!config) return kExitUsage;
    std::string today = env.today;
    if (today.empty()) {
        const std::chrono::year_month_day d{
            std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now())};
        const auto two = [](unsigned n) { return (n < 10 ? "0" : "") + std::to_string(n); };
        today = std::to_string(static_cast<int>(d.year())) + "-" +
                two(static_cast<unsigned>(d.month())) + "-" + two(static_cast<unsigned>(d.day()));
    }
    const std::string name = PathText(PathArg(file).filename());
    const std::string html = ReportHtml(*config, {name, "on " + today + " from " + name});
    const auto it = p.options.find("-o");
    return WriteOut(p, "report", it == p.options.end() ? "-" : it->second,
                    std::vector<uint8_t>(html.begin(), html.end()), out, err, env);
}

}  // namespace zez::cli
