#pragma once
// Inside zezudi-cli: a command's parsed arguments and what several commands share.

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "app/Cli.h"

namespace zez::cli {

// A file named on the command line. The arguments are UTF-8 on Windows (taken from the wide
// command line) and the file system's own bytes elsewhere.
inline std::filesystem::path PathArg(const std::string& arg) {
#ifdef _WIN32
    return std::filesystem::path(std::u8string(arg.begin(), arg.end()));
#else
    return std::filesystem::path(arg);
#endif
}

// The value of `text` when it is 1 to `maxDigits` decimal digits (a count or a number of
// seconds given on the command line); none otherwise.
inline std::optional<long> Digits(const std::string& text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = 10 * value + (c - '0');
    }
    return value;
}

struct Parsed {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;  // "--output" -> "3"; flags map to ""
    bool help = false;
};

struct Command {
    const char* name;
    const char* usage;
    const char* summary;
    std::set<std::string> valued;  // options that take a value
    std::set<std::string> flags;
    int positionals;
    const char* optionHelp;
    std::function<int(const Parsed&, std::ostream&, std::ostream&, const Environment&)> run;
    const char* exits = "0 success, 1 failed operation, 2 bad usage or input";
};

// The configuration in `path`, or a message on `err` (and a warning for values outside 0..15).
std::optional<Config> LoadOrComplain(const std::string& path, std::ostream& err);

// The configuration in `path` for a command that sends or compiles it: a file that holds none
// (a control array, a PDF, values outside the codes, ...) is refused with what it looks like,
// unless --force; `nothing` says what did not happen ("nothing was sent").
std::optional<Config> LoadToSend(const Parsed& p, const char* cmd, const char* nothing,
                                 std::ostream& err);

// Whether `cmd` must not write `out`: it names the input file itself, or (without --force) it
// holds a configuration that `cmd` would replace with something else. Says why on `err`.
bool RefuseOutput(const Parsed& p, const char* cmd, const std::string& out, std::ostream& err);

// Before `path` is replaced: what it holds is kept as a previous version when it is a
// configuration, or whatever it holds when a configuration is written over it. False, with the
// reason on `err`, when that copy could not be kept: nothing is then written, unless --force
// (then a warning, and the write goes on).
bool KeepReplaced(const Parsed& p, const Environment& env, const std::string& path,
                  bool configurationOverIt, std::ostream& err);

// Whether `cmd` must not go on because -o names standard output where standard output carries
// what the command says. Says why on `err`.
bool RefuseStdout(const Parsed& p, const char* cmd, std::ostream& err);

// The output named by --output, or a message on `err`.
std::optional<int> RequireOutput(const Parsed& p, const char* cmd, std::ostream& err);

// The commands that read a configuration and say what it does.
int CmdEval(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env);
int CmdShow(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env);
int CmdTable(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env);
int CmdExpr(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env);
int CmdCheck(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env);
// The commands that write files.
int CmdCompile(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env);
int CmdExport(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env);
// Drawing outputs from formulas.
int CmdDraw(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env);
int CmdTidy(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env);
int CmdRewire(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env);
int CmdSignals(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env);
// The text form and comparisons.
int CmdToText(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env);
int CmdFromText(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env);
int CmdDiff(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env);
int CmdReport(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env);
int CmdVersions(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env);

// The commands that talk to the device.
int CmdDownload(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env);
int CmdVerify(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env);
int CmdUpload(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env);
int CmdPorts(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env);
int CmdLog(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env);

}  // namespace zez::cli
