#include "app/Cli.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <istream>
#include <map>
#include <ostream>
#include <set>
#include <sstream>

#include "app/CliCommon.h"
#include "compiler/Compiler.h"
#include "compiler/LogicGrid.h"
#include "device/Transfers.h"
#include "system/CdfFile.h"

namespace zez::cli {

std::optional<int> RequireOutput(const Parsed& p, const char* cmd, std::ostream& err) {
    const auto it = p.options.find("--output");
    if (it == p.options.end()) {
        err << "zezudi-cli " << cmd << ": --output N is required (N is 1..8)\n";
        return std::nullopt;
    }
    auto o = ParseOutput(it->second);
    if (!o) err << "zezudi-cli " << cmd << ": " << OutputOutOfRange(it->second) << "\n";
    return o;
}

namespace {

std::optional<Parsed> ParseArgs(const Command& cmd, const std::vector<std::string>& args,
                                std::ostream& err) {
    Parsed p;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            p.help = true;
            return p;
        }
        std::string name = a;
        std::optional<std::string> inlineValue;
        if (a.rfind("--", 0) == 0 || (a.size() == 2 && a[0] == '-' && a[1] != '-')) {
            if (const auto eq = a.find('='); eq != std::string::npos && a.rfind("--", 0) == 0) {
                name = a.substr(0, eq);
                inlineValue = a.substr(eq + 1);
            }
            if (cmd.valued.count(name)) {
                if (!inlineValue) {
                    if (i + 1 >= args.size()) {
                        err << "zezudi-cli " << cmd.name << ": " << name << " needs a value\n";
                        return std::nullopt;
                    }
                    inlineValue = args[++i];
                }
                p.options[name] = *inlineValue;
            } else if (cmd.flags.count(name) && !inlineValue) {
                p.options[name] = "";
            } else {
                err << "zezudi-cli " << cmd.name << ": unknown option " << a << "\n";
                return std::nullopt;
            }
        } else {
            p.positional.push_back(a);
        }
    }
    if (static_cast<int>(p.positional.size()) != cmd.positionals) {
        err << "zezudi-cli " << cmd.name << ": expected " << cmd.positionals
            << (cmd.positionals == 1 ? " file" : " arguments") << ", got " << p.positional.size()
            << "\nusage: " << cmd.usage << "\n";
        return std::nullopt;
    }
    return p;
}

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"eval",
         "zezudi-cli eval FILE --output N --inputs LIST",
         "say whether output N is on for the listed inputs and pilots (I1..I8, P1..P8, or none)",
         {"--output", "--inputs"},
         {},
         1,
         "  --output N     the output, 1..8\n"
         "  --inputs LIST  the inputs and pilots that are on: I1..I8, P1..P8 separated by commas,\n"
         "                 or none\n",
         CmdEval},
        {"show",
         "zezudi-cli show FILE --output N",
         "draw output N's ladder diagram as text",
         {"--output"},
         {},
         1,
         "  --output N     the output, 1..8\n",
         CmdShow},
        {"compile",
         "zezudi-cli compile FILE [-o OUT|-] [--engine fast|reference] [--time] [--force]",
         "compile the 8 diagrams into the 65,536-byte control array (default OUT: FILE.bin)",
         {"-o", "--engine"},
         {"--time", "--force"},
         1,
         "  -o OUT         where to write the 65,536 bytes (default: FILE with extension .bin);\n"
         "                 - writes them to standard output. Never the input file itself\n"
         "  --force        replace OUT even when it holds a configuration, and compile FILE\n"
         "                 even when it holds no configuration\n"
         "  --engine E     fast (default) or reference (the slow engine the fast one is proven\n"
         "                 against)\n"
         "  --time         print how long the compile took\n",
         CmdCompile},
        {"table",
         "zezudi-cli table FILE --output N",
         "list the signals output N depends on and its truth table over them",
         {"--output"},
         {},
         1,
         "  --output N     the output, 1..8\n",
         CmdTable},
        {"expr",
         "zezudi-cli expr FILE [--output N] [--verbose]",
         "print what an output computes as a minimal sum of products over I1..I8 and P1..P8 "
         "(every non-empty output without --output, as \"LC Input N: EXPR\")",
         {"--output"},
         {"--verbose"},
         1,
         "  --output N     only output N (1..8), the expression alone\n"
         "  --verbose      also say whether the result is the proven minimum (at most 8\n"
         "                 signals) or a heuristic cover, its size and the signals it uses\n"
         "grammar: expr := term ('|' term)* ; term := factor ('&' factor)* ;\n"
         "         factor := '!' factor | '(' expr ')' | I1..I8 | P1..P8 | '0' | '1'\n",
         CmdExpr},
        {"check",
         "zezudi-cli check FILE",
         "report constant outputs, segments that can never carry the supply to the output and "
         "contacts that have no effect, one line each, by output and segment (exit 1 when there "
         "are findings)",
         {},
         {},
         1,
         "  (no options)\n",
         CmdCheck,
         "0 no findings, 1 findings, 2 bad usage or unreadable file"},
        {"export",
         "zezudi-cli export FILE --pdf OUT.pdf [--page a4|letter] | --svg OUT.svg --output N "
         "[--force]",
         "draw the diagrams as a vector PDF (a page per output with a diagram, titled "
         "\"LC Input N\", with its expression, then the note) or one output as SVG",
         {"--pdf", "--svg", "--output", "--page"},
         {"--force"},
         1,
         "  --pdf OUT      write the PDF to OUT\n"
         "  --page P       a4 (default) or letter\n"
         "  --svg OUT      write output N's diagram as SVG to OUT (needs --output)\n"
         "  --output N     the output for --svg, 1..8\n"
         "  --force        replace OUT even when it holds a configuration (never FILE itself)\n",
         CmdExport},
        {"draw",
         "zezudi-cli draw FILE --output N FORMULA [-o OUT] [--force]",
         "replace output N's diagram with a drawing of FORMULA (the other outputs and the note "
         "stay as they are), write FILE (or OUT) and show the diagram",
         {"--output", "-o"},
         {"--force"},
         2,
         "  --output N     the output to draw, 1..8\n"
         "  -o OUT         write the result to OUT instead of FILE (a file: - is refused)\n"
         "  --force        replace OUT even when it holds another configuration\n"
         "FORMULA: I1..I8, P1..P8, 0, 1 with ! (not), & (and), | (or) and parentheses, e.g.\n"
         "  \"(I1 | I2) & !P5\"\n",
         CmdDraw,
         "0 drawn, 1 it does not fit in 16 x 16 or could not be written (nothing written), 2 bad "
         "usage or a formula that does not parse"},
        {"tidy",
         "zezudi-cli tidy FILE [--output N] [-o OUT] [--force]",
         "redraw each output (or output N) as the drawing of its minimal expression where that "
         "takes fewer segments; what every output computes stays the same",
         {"--output", "-o"},
         {"--force"},
         1,
         "  --output N     only output N, 1..8\n"
         "  -o OUT         write the result to OUT instead of FILE (a file: - is refused)\n"
         "  --force        replace OUT even when it holds another configuration\n",
         CmdTidy},
        {"signals",
         "zezudi-cli signals FILE",
         "list, per signal, how many contacts each output has on it (marked * where the output "
         "does not depend on it), then the signals no contact reads",
         {},
         {},
         1,
         "  (no options)\n",
         CmdSignals},
        {"rewire",
         "zezudi-cli rewire FILE MOVES [--output N] [-o OUT] [--force]",
         "move contacts from one signal to another in every output (or output N), as when a "
         "switch was wired to another input; write FILE (or OUT) and say how many moved",
         {"--output", "-o"},
         {"--force"},
         2,
         "  --output N     only output N, 1..8\n"
         "  -o OUT         write the result to OUT instead of FILE (a file: - is refused)\n"
         "  --force        replace OUT even when it holds another configuration\n"
         "MOVES: A=B moves the contacts on A to B, A<>B swaps A and B; separated by commas or\n"
         "  spaces, e.g. \"I3=P5, I1<>I2\". Segments that are no contact keep what they hold\n",
         CmdRewire,
         "0 rewired (or no contact to move), 1 the file could not be written, 2 bad usage, "
         "moves that do not parse or an unreadable file"},
        {"totext",
         "zezudi-cli totext FILE [-o OUT|-] [--force]",
         "write the configuration as text, one line per diagram row, for version control and "
         "reading (standard output without -o)",
         {"-o"},
         {"--force"},
         1,
         "  -o OUT         write the text to OUT (- or none: standard output); never FILE itself\n"
         "  --force        replace OUT even when it holds a configuration\n"
         "git: in .gitattributes  *.CDF diff=zezudi ; then\n"
         "     git config diff.zezudi.textconv \"zezudi-cli totext\"\n",
         CmdToText},
        {"fromtext",
         "zezudi-cli fromtext FILE -o OUT.CDF [--force]",
         "make the configuration file that the text in FILE describes, byte for byte",
         {"-o"},
         {"--force"},
         1,
         "  -o OUT         the configuration file to write (- for standard output)\n"
         "  --force        replace OUT even when it holds a configuration\n",
         CmdFromText},
        {"diff",
         "zezudi-cli diff A B",
         "compare two configurations (CDF files or text forms): per output the same, the same "
         "function drawn differently, or a different function with both expressions; then the note",
         {},
         {},
         2,
         "  (no options)\n",
         CmdDiff,
         "0 the same, 3 they differ, 2 bad usage or unreadable input"},
        {"report",
         "zezudi-cli report FILE [-o OUT.html|-] [--force]",
         "write a commissioning report as one HTML page: per output its expression, truth table "
         "and findings, the signals the outputs read, the note and the device's two checksums "
         "(of a download and of what it stores)",
         {"-o"},
         {"--force"},
         1,
         "  -o OUT         write the report to OUT (- or none: standard output); never FILE\n"
         "  --force        replace OUT even when it holds a configuration\n",
         CmdReport},
        {"versions",
         "zezudi-cli versions FILE [--restore N -o OUT|- [--force]]",
         "list the previous versions of FILE kept when a save replaced it (newest is 1), or "
         "write version N to OUT",
         {"--restore", "-o"},
         {"--force"},
         1,
         "  --restore N    write version N (as listed) to OUT, read back and compared\n"
         "  -o OUT         where to write it (- for standard output); a configuration there\n"
         "                 (FILE itself too) is kept as a version first\n"
         "  --force        replace OUT even when it holds another configuration\n",
         CmdVersions,
         "0 success, 1 failed operation, 2 bad usage, or no such version"},
        {"download",
         "zezudi-cli download FILE --port NAME [--yes] [--deadline SECONDS] [--force]",
         "compile FILE and download array, configuration and note to the device on the port "
         "(--yes answers the power-cycle question)",
         {"--port", "--deadline"},
         {"--yes", "--progress", "--force"},
         1,
         "  --port NAME    the serial port as zezudi-cli ports lists it (for example\n"
         "                 /dev/serial/by-id/usb-FTDI_..., /dev/ttyUSB0; COM3 on Windows)\n"
         "  --yes          answer the power-cycle question with yes\n"
         "  --force        send FILE even when it holds no configuration (a control array, a PDF,\n"
         "                 values outside the codes, ...), which is refused otherwise\n"
         "  --deadline S   fail when the transfer has not ended after S seconds (default: ten\n"
         "                 times its line time and a minute, about 4 minutes)\n"
         "  --progress     the progress captions on standard error, a line each, also when it\n"
         "                 is no terminal (on a terminal they always show, as one line)\n",
         CmdDownload},
        {"verify",
         "zezudi-cli verify FILE --port NAME [--quick] [--yes] [--deadline SECONDS] [--force]",
         "compare the device on the port with FILE compiled now: reads back the control array, the "
         "configuration and the note (about 13 s) and says what differs; never writes to the "
         "device",
         {"--port", "--deadline"},
         {"--quick", "--yes", "--progress", "--force"},
         1,
         "  --port NAME    the serial port as zezudi-cli ports lists it (for example\n"
         "                 /dev/serial/by-id/usb-FTDI_..., /dev/ttyUSB0; COM3 on Windows)\n"
         "  --quick        compare only the device's checksum of configuration and note (under a\n"
         "                 second); this does not cover the control array\n"
         "  --yes          answer the power-cycle question with yes\n"
         "  --force        compare with FILE even when it holds no configuration\n"
         "  --deadline S   fail when the read-back has not ended after S seconds\n"
         "  --progress     the progress captions on standard error, a line each\n",
         CmdVerify,
         "0 match, 3 differs, 1 transfer failed or cancelled, 2 bad usage or input"},
        {"upload",
         "zezudi-cli upload --port NAME -o FILE|- [--force] [--yes] [--deadline SECONDS]",
         "read configuration and note back from the device on the port into FILE; writes nothing "
         "unless the checksums agree",
         {"--port", "-o", "--deadline"},
         {"--yes", "--progress", "--force"},
         0,
         "  --port NAME    the serial port as zezudi-cli ports lists it (for example\n"
         "                 /dev/serial/by-id/usb-FTDI_..., /dev/ttyUSB0; COM3 on Windows)\n"
         "  -o FILE        the CDF file to write (- writes it to standard output)\n"
         "  --force        replace FILE even when it holds a configuration\n"
         "  --yes          answer the power-cycle question with yes\n"
         "  --deadline S   fail when the transfer has not ended after S seconds\n"
         "  --progress     the progress captions on standard error, a line each\n",
         CmdUpload},
        {"ports",
         "zezudi-cli ports",
         "list the serial ports of this computer with their adapters, a line each: the name "
         "--port takes (on Linux the /dev/serial/by-id name, which stays the same when the "
         "adapter is plugged in elsewhere), the device, and the adapter's description, maker, "
         "serial number and USB identity, separated by tabs",
         {},
         {},
         0,
         "  (no options)\n",
         CmdPorts,
         "0 listed, 1 no serial port found, 2 bad usage"},
        {"log",
         "zezudi-cli log [--last N]",
         "show the newest entries of the transfer log: every download, upload and verify, by this "
         "program and by the editor, with its file, port, outcome and the device's checksum",
         {"--last"},
         {},
         0,
         "  --last N       the newest N entries (default 20, at most 1000)\n",
         CmdLog,
         "0 shown, 1 the log could not be read, 2 bad usage"},
    };
    return commands;
}

void PrintUsage(std::ostream& os) {
    os << "usage: zezudi-cli COMMAND [ARGS]\n\ncommands:\n";
    for (const auto& c : Commands()) os << "  " << c.usage << "\n      " << c.summary << "\n";
    os << "\nexit codes: 0 success, 1 failed operation, 2 bad usage or input\n"
          "zezudi-cli COMMAND --help shows one command's usage; zezudi-cli --version the "
          "version.\n";
}

}  // namespace

std::optional<int> ParseOutput(const std::string& text) {
    if (text.size() != 1 || text[0] < '1' || text[0] > '8') return std::nullopt;
    return text[0] - '1';
}

std::optional<int32_t> ParseSignalList(const std::string& text) {
    std::string lower;
    for (char ch : text)
        lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(ch))));
    if (lower == "none") return 0;
    int32_t word = 0;
    std::stringstream ss(lower);
    std::string item;
    int count = 0;
    while (std::getline(ss, item, ',')) {
        ++count;
        item.erase(std::remove_if(item.begin(), item.end(),
                                  [](unsigned char c) { return std::isspace(c); }),
                   item.end());
        const int sel = item.size() == 2 ? SignalAt(item, 0) : -1;
        if (sel < 0) return std::nullopt;
        word |= InputBit(sel);
    }
    if (count == 0 || (!text.empty() && text.back() == ',')) return std::nullopt;
    return word;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const Environment& env) {
    if (args.empty()) {
        PrintUsage(err);
        return kExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintUsage(out);
        return kExitOk;
    }
    if (args[0] == "--version") {
        out << "zezudi-cli " << ZEZ_VERSION << "\n";
        return kExitOk;
    }
    for (const auto& cmd : Commands()) {
        if (args[0] != cmd.name) continue;
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        const auto parsed = ParseArgs(cmd, rest, err);
        if (!parsed) return kExitUsage;
        if (parsed->help) {
            out << "usage: " << cmd.usage << "\n\n"
                << cmd.summary << "\n\noptions:\n"
                << cmd.optionHelp << "  -h, --help     show this help\n\n"
                << "exit codes: " << cmd.exits << "\n";
            return kExitOk;
        }
        return cmd.run(*parsed, out, err, env);
    }
    err << "zezudi-cli: unknown command \"" << args[0] << "\"\n";
    PrintUsage(err);
    return kExitUsage;
}

}  // namespace zez::cli
