// zezudi-cli's device commands: download, verify and upload.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <istream>
#include <optional>
#include <variant>

#include "app/CliCommon.h"
#include "compiler/Compiler.h"
#include "device/Transfers.h"
#include "system/CdfFile.h"
#include "system/File.h"
#include "system/TransferLog.h"

namespace zez::cli {
namespace {

// The exit status of a command that failed with `kind`.
int ExitFor(ErrorKind kind) {
    return kind == ErrorKind::Usage || kind == ErrorKind::Data ? kExitUsage : kExitFailed;
}

// The port --port names, as the system lists it (with its adapter), or taken as a path.
struct Port {
    device::PortInfo info;
    bool listed = false;
};

// Asks the power-cycle question, naming the port and its adapter, on standard error (the
// terminal) unless --yes answered it: standard output keeps the result alone.
bool Confirm(const Parsed& p, const char* what, const Port& port, std::ostream& err,
             const Environment& env) {
    err << "Port: " << device::PortText(port.info) << "\n";
    err << "Power Cycle Device Prior To " << what << ".\nDevice Node Must Be 00\nContinue? [y/N] ";
    if (p.options.count("--yes")) {
        err << "yes\n";
        return true;
    }
    err.flush();
    std::string answer;
    if (!env.in || !std::getline(*env.in, answer)) {
        err << "\n";
        return false;
    }
    for (char& c : answer) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return answer == "y" || answer == "yes";
}

std::optional<Port> RequirePort(const Parsed& p, const char* cmd, std::ostream& err,
                                const Environment& env) {
    const auto it = p.options.find("--port");
    if (it == p.options.end() || it->second.empty()) {
        err << "zezudi-cli " << cmd << ": --port NAME is required (zezudi-cli ports lists them)\n";
        return std::nullopt;
    }
    if (!env.makePort || !env.time) {
        err << "zezudi-cli " << cmd << ": serial ports are not available in this build\n";
        return std::nullopt;
    }
    const auto listed = env.listPorts ? env.listPorts() : std::vector<device::PortInfo>{};
    Port port{device::ResolvePortName(listed, it->second), false};
    port.listed = std::any_of(listed.begin(), listed.end(),
                              [&](const device::PortInfo& l) { return l.path == port.info.path; });
    return port;
}

// Opens the port and closes it again, before the question: a port that cannot be used is said
// at once, with its reason, and the module need not be power-cycled for nothing. The exit
// status when it cannot.
std::optional<int> TryPort(const Port& port, const char* cmd, std::ostream& err,
                           const Environment& env) {
    auto serial = env.makePort();
    auto opened = serial->Open(port.info.path, "38400,n,8,1");
    serial->Close();
    if (opened) return std::nullopt;
    err << "zezudi-cli " << cmd << ": " << opened.error() << "\n";
    std::error_code ec;  // a name that is no file there: perhaps another system's port name
    if (!port.listed && !std::filesystem::exists(PathArg(port.info.path), ec))
        err << "zezudi-cli " << cmd << ": " << port.info.path
            << " is not among the serial ports this computer lists (zezudi-cli ports lists "
               "them)\n";
    return ExitFor(opened.kind());
}

// --deadline SECONDS: how long the whole transfer may take. False (said on `err`) when the
// value is no whole number of seconds from 1 to a day.
bool ReadDeadline(const Parsed& p, const char* cmd, std::ostream& err,
                  std::optional<device::Millis>& deadline) {
    const auto it = p.options.find("--deadline");
    if (it == p.options.end()) return true;
    const auto& t = it->second;
    const long seconds = Digits(t, 5).value_or(0);
    if (seconds < 1 || seconds > 86400) {
        err << "zezudi-cli " << cmd << ": --deadline is a number of seconds from 1 to 86400, not \""
            << t << "\"\n";
        return false;
    }
    deadline = device::Millis{1000LL * seconds};
    return true;
}

// What download and verify start with: the port, the file, the question, the compile.
struct Start {
    Port port;
    Config config;
    ControlArray array{};
    std::unique_ptr<device::SerialPort> serial;
    std::unique_ptr<device::Link> link;  // on `serial`, with the deadline asked for
};

// The start, or the exit status when the command ends there. `what` names the command in the
// question and in the "... Cancelled" line.
std::variant<std::unique_ptr<Start>, int> StartWithFile(const Parsed& p, const char* cmd,
                                                        const char* what, std::ostream& err,
                                                        const Environment& env) {
    const auto port = RequirePort(p, cmd, err, env);
    if (!port) return kExitUsage;
    std::optional<device::Millis> deadline;
    if (!ReadDeadline(p, cmd, err, deadline)) return kExitUsage;
    const bool sends = std::string(cmd) == "download";
    const auto config =
        LoadToSend(p, cmd, sends ? "nothing was sent" : "nothing was compared", err);
    if (!config) return kExitUsage;
    if (const auto refused = TryPort(*port, cmd, err, env)) return *refused;
    if (!Confirm(p, what, *port, err, env)) {
        err << what << " Cancelled\n";
        return kExitFailed;
    }
    auto start = std::make_unique<Start>();
    start->port = *port;
    start->config = *config;
    Compile(start->config, start->array);
    start->serial = env.makePort();
    start->link = std::make_unique<device::Link>(*start->serial, *env.time);
    start->link->SetBudget(deadline);
    return start;
}

// The progress captions go to standard error: on a terminal as one line that updates itself,
// elsewhere only with --progress, a line each. Standard output keeps the result alone.
class Progress {
  public:
    Progress(const Parsed& p, std::ostream& err, const Environment& env)
        : err_(err), terminal_(env.errIsTerminal), asked_(p.options.count("--progress") != 0) {}
    ~Progress() { End(); }
    // Ends the updating line, before the result is printed.
    void End() {
        if (shown_) err_ << "\n" << std::flush;
        shown_ = false;
    }
    device::CaptionFn Fn() {
        return [this](const std::string& c) {
            if (terminal_) {
                err_ << "\r" << c << "\x1b[K" << std::flush;
                shown_ = true;
            } else if (asked_) {
                err_ << c << "\n" << std::flush;
            }
        };
    }

  private:
    std::ostream& err_;
    bool terminal_, asked_, shown_ = false;
};

// Adds the transfer to the log; a log that cannot be written is said and changes nothing else.
void Log(const Environment& env, const char* action, const std::string& port,
         const std::string& file, const device::TransferResult& r, std::ostream& err,
         const device::VerifyResult* verify = nullptr) {
    if (env.transferLog.empty()) return;
    std::error_code ec;
    const auto entry = device::EntryFor(
        action, port,
        file == "-" ? "standard output" : PathText(std::filesystem::absolute(PathArg(file), ec)), r,
        verify);
    if (auto logged = device::AppendToLog(env.transferLog, entry); !logged)
        err << "zezudi-cli: the transfer was not logged: " << logged.error() << "\n";
    else if (!logged.value().empty())
        err << "zezudi-cli: " << logged.value() << "\n";
}

// What to check when the module did not answer, naming the port.
void SayNoAnswer(const Port& port, std::ostream& err) {
    err << "zezudi-cli: no answer from the module on " << device::PortText(port.info)
        << ". Check that the module is powered and its node is 00, that the cable is plugged in "
           "at both ends, and that this is the port its cable is on (zezudi-cli ports lists "
           "them).\n";
}

// The outcome as the program's message lines: the result on `out`, the reminder and the
// reasons on `err`. True only for success.
bool Report(const device::TransferResult& r, bool download, const Port& port, std::ostream& out,
            std::ostream& err) {
    using device::Outcome;
    switch (r.outcome) {
        case Outcome::Complete:
            out << (download ? "Download Complete." : "Upload Complete.") << "\n" << std::flush;
            err << "Power Cycle Device.\n";
            return true;
        case Outcome::Failed:
            out << (download ? "Download Failed.\nDevice Will NOT Function Properly.\n"
                             : "Upload Failed.\nNothing was written.\n");
            if (r.silent) SayNoAnswer(port, err);
            break;
        case Outcome::NoConnect:
            out << "Unable to connect to device.\n";
            SayNoAnswer(port, err);
            break;
        case Outcome::PortError:
        case Outcome::Cancelled:
            break;
    }
    if (!r.reason.empty()) err << "zezudi-cli: " << r.reason << "\n";
    return false;
}

}  // namespace

int CmdDownload(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env) {
    auto started = StartWithFile(p, "download", "Download", err, env);
    if (const int* exit = std::get_if<int>(&started)) return *exit;
    Start& s = *std::get<std::unique_ptr<Start>>(started);
    Progress progress(p, err, env);
    const auto r = device::Download(*s.link, s.port.info.path, s.array, s.config, progress.Fn());
    progress.End();
    Log(env, "download", s.port.info.path, p.positional[0], r, err);
    return Report(r, true, s.port, out, err) ? kExitOk : kExitFailed;
}

int CmdVerify(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env) {
    auto started = StartWithFile(p, "verify", "Compare", err, env);
    if (const int* exit = std::get_if<int>(&started)) return *exit;
    Start& s = *std::get<std::unique_ptr<Start>>(started);
    const bool quick = p.options.count("--quick") != 0;
    Progress progress(p, err, env);
    const auto v =
        device::Verify(*s.link, s.port.info.path, s.array, s.config, quick, progress.Fn());
    progress.End();
    Log(env, quick ? "quick compare" : "compare", s.port.info.path, p.positional[0], v.transfer,
        err, &v);
    if (v.transfer.outcome != device::Outcome::Complete) {
        out << (v.transfer.outcome == device::Outcome::NoConnect ? "Unable to connect to device.\n"
                                                                 : "Compare Failed.\n");
        if (v.transfer.outcome == device::Outcome::NoConnect) SayNoAnswer(s.port, err);
        if (!v.transfer.reason.empty()) err << "zezudi-cli: " << v.transfer.reason << "\n";
        return kExitFailed;
    }
    for (const auto& line : device::VerifyReport(v)) out << line << "\n";
    return v.match ? kExitOk : kExitDiffers;
}

int CmdUpload(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env) {
    const auto port = RequirePort(p, "upload", err, env);
    if (!port) return kExitUsage;
    const auto target = p.options.find("-o");
    if (target == p.options.end() || target->second.empty()) {
        err << "zezudi-cli upload: -o FILE is required (- for standard output)\n";
        return kExitUsage;
    }
    const bool toStdout = target->second == "-";
    if (!toStdout && !p.options.count("--force") && HoldsConfiguration(PathArg(target->second))) {
        err << "zezudi-cli upload: " << target->second
            << " holds a configuration; nothing was read (give --force to replace it)\n";
        return kExitUsage;
    }
    std::optional<device::Millis> deadline;
    if (!ReadDeadline(p, "upload", err, deadline)) return kExitUsage;
    if (const auto refused = TryPort(*port, "upload", err, env)) return *refused;
    if (!Confirm(p, "Upload", *port, err, env)) {
        err << "Upload Cancelled\n";
        return kExitFailed;
    }
    auto serial = env.makePort();
    device::Link link(*serial, *env.time);
    link.SetBudget(deadline);
    Progress progress(p, err, env);
    const auto r = device::Upload(link, port->info.path, progress.Fn());
    progress.End();
    const std::string& path = port->info.path;
    if (toStdout) {  // the configuration's bytes are the result; the messages go to `err`
        if (r.outcome == device::Outcome::Complete) {
            const auto bytes = SerializeCdf(r.uploaded);
            out.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
            out.flush();
        }
        Log(env, "upload", path, "-", r, err);
        return Report(r, false, *port, err, err) && out ? kExitOk : kExitFailed;
    }
    // Success is said only once the file is written.
    if (r.outcome == device::Outcome::Complete) {
        if (!KeepReplaced(p, env, target->second, true, err)) {
            out << "Upload Failed.\nNothing was written.\n";
            Log(env, "upload", path, target->second, r, err);
            return kExitFailed;
        }
        if (auto saved = SaveToFile(r.uploaded, PathArg(target->second)); !saved) {
            out << "Upload Failed.\nNothing was written.\n";
            err << "zezudi-cli upload: " << saved.error() << "\n";
            device::TransferResult unsaved = r;
            unsaved.outcome = device::Outcome::Failed;
            unsaved.reason = saved.error();
            Log(env, "upload", path, target->second, unsaved, err);
            return kExitFailed;
        }
    }
    Log(env, "upload", path, target->second, r, err);
    return Report(r, false, *port, out, err) ? kExitOk : kExitFailed;
}

int CmdPorts(const Parsed&, std::ostream& out, std::ostream& err, const Environment& env) {
    const auto ports = env.listPorts ? env.listPorts() : std::vector<device::PortInfo>{};
    if (ports.empty()) {
        err << "zezudi-cli ports: no serial port found (is the adapter plugged in?)\n";
        return kExitFailed;
    }
    // What --port takes first (the name that stays when the system numbers its ports anew),
    // then the device and its adapter.
    for (const auto& port : ports) {
        out << (port.byId.empty() ? port.path : port.byId);
        if (!port.byId.empty()) out << "\t" << port.path;
        if (const auto adapter = device::AdapterText(port); !adapter.empty())
            out << "\t" << adapter;
        out << "\n";
    }
    return kExitOk;
}

int CmdLog(const Parsed& p, std::ostream& out, std::ostream& err, const Environment& env) {
    std::size_t last = 20;
    if (const auto it = p.options.find("--last"); it != p.options.end()) {
        last = static_cast<std::size_t>(Digits(it->second, 4).value_or(0));
        if (last < 1 || last > device::kLogKept) {
            err << "zezudi-cli log: --last is a number of entries from 1 to " << device::kLogKept
                << ", not \"" << it->second << "\"\n";
            return kExitUsage;
        }
    }
    if (env.transferLog.empty()) {
        err << "zezudi-cli log: no transfer log in this build\n";
        return kExitFailed;
    }
    const auto entries = device::ReadLog(env.transferLog);
    if (!entries) {
        err << "zezudi-cli log: " << entries.error() << "\n";
        return kExitFailed;
    }
    if (!entries.value().setAside.empty()) {
        err << "zezudi-cli log: " << entries.value().setAside << "\n";
        return kExitFailed;
    }
    if (entries.value().entries.empty()) out << "No transfer has been logged yet.\n";
    out << device::LogText(entries.value().entries, last);
    return kExitOk;
}

}  // namespace zez::cli
