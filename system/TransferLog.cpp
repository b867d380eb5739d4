#include "system/TransferLog.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <system_error>

#include "system/Clock.h"
#include "system/FileAccess.h"
#include "system/FileLock.h"
#include "system/ReplaceFile.h"

namespace zez::device {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHeader = "zezudi-transfer-log 1";
constexpr const char* kVerb = "Cannot write the transfer log";
constexpr std::size_t kFields = 6;
// A field is cut to this many bytes when written, so a log of kLogKept entries has a size limit
// and anything larger was not written by this program.
constexpr std::size_t kFieldMax = 4096;
constexpr std::size_t kSizeLimit = 64 + kLogKept * kFields * (kFieldMax + 1);
// Another program logging at the same time holds the lock for a few milliseconds.
constexpr std::chrono::milliseconds kLockWait{10000};

// A field on one line: tabs and line breaks in names and reasons become spaces, and a field
// longer than kFieldMax is cut at a character's start.
std::string Field(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    if (text.size() > kFieldMax) {
        std::size_t cut = kFieldMax;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        text.resize(cut);
    }
    return text;
}

std::vector<std::string> Split(std::string_view line) {
    std::vector<std::string> fields(1);
    for (char c : line) {
        if (c == '\t')
            fields.emplace_back();
        else
            fields.back() += c;
    }
    return fields;
}

// The length of the UTF-8 character at the start of `s` that a terminal or a message box shows
// as itself, or 0: control characters (C0, DEL, C1), the direction overrides that make text read
// otherwise than it is stored, and anything that is not valid UTF-8.
std::size_t ShownCharacter(std::string_view s) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = b(0);
    if (c >= 0x20 && c < 0x7F) return 1;
    const std::size_t n = c >= 0xC2 && c <= 0xDF   ? 2
                          : c >= 0xE0 && c <= 0xEF ? 3
                          : c >= 0xF0 && c <= 0xF4 ? 4
                                                   : 0;
    if (n == 0 || s.size() < n) return 0;
    char32_t cp = c & (0xFF >> (n + 1));
    for (std::size_t i = 1; i < n; ++i) {
        if ((b(i) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(i) & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    if (cp < 0xA0 || (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069)) return 0;
    return n;
}

// `text` as a person may be shown it: every byte that ShownCharacter does not pass is written
// as \xNN.
std::string Shown(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    while (!text.empty()) {
        if (const std::size_t n = ShownCharacter(text); n > 0) {
            out.append(text.substr(0, n));
            text.remove_prefix(n);
        } else {
            const auto u = static_cast<unsigned char>(text[0]);
            out += "\\x";
            out += kHex[u >> 4];
            out += kHex[u & 15];
            text.remove_prefix(1);
        }
    }
    return out;
}

// Reads the log at `path` as this program writes it; an error says why it cannot be used so.
// A missing log has no entries.
Result<std::vector<LogEntry>> Parse(const fs::path& path) {
    std::error_code ec;
    std::vector<LogEntry> entries;
    const auto status = fs::symlink_status(path, ec);
    if (!fs::exists(status)) return entries;
    const Error tooLarge{"it is larger than its newest " + std::to_string(kLogKept) +
                         " entries can be"};
    if (fs::is_regular_file(status) && fs::file_size(path, ec) > kSizeLimit && !ec) return tooLarge;
    auto in = OpenForReading(path, "Cannot read the transfer log");
    if (!in) return in.failure();
    std::string text;
    char buffer[65536];
    for (std::size_t n; text.size() <= kSizeLimit &&
                        (n = std::fread(buffer, 1, sizeof buffer, in.value().get())) > 0;)
        text.append(buffer, n);
    if (text.size() > kSizeLimit) return tooLarge;
    if (text.empty()) return entries;
    std::size_t start = 0, number = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);  // edited on Windows
        start = end + 1;
        if (++number == 1) {
            if (line != kHeader) return Error{"it is not a transfer log written by this program"};
            continue;
        }
        if (line.empty()) continue;
        auto f = Split(line);
        if (f.size() != kFields || f[0].empty())
            return Error{"line " + std::to_string(number) + " holds no entry"};
        entries.push_back({std::move(f[0]), std::move(f[1]), std::move(f[2]), std::move(f[3]),
                           std::move(f[4]), std::move(f[5])});
    }
    if (entries.size() > kLogKept)
        return Error{"it holds more than its newest " + std::to_string(kLogKept) + " entries"};
    return entries;
}

// The log's entries with the lock held: an unusable log is renamed aside (never opened again,
// never deleted) and the log starts empty.
Result<LogContents> Load(const fs::path& path) {
    LogContents contents;
    auto parsed = Parse(path);
    if (parsed) {
        contents.entries = std::move(parsed.value());
        return contents;
    }
    std::error_code ec;
    const auto status = fs::symlink_status(path, ec);
    if (!fs::is_regular_file(status)) return parsed.failure();  // refused, left as it is
    fs::path aside = path;
    aside += ".set-aside-" + UtcStampNow();
    fs::rename(path, aside, ec);
    if (ec)
        return Error{"The transfer log \"" + PathText(path) + "\" cannot be used (" +
                     parsed.error() + ") and could not be set aside: " + ec.message() + "."};
    contents.setAside = "The transfer log \"" + PathText(path) + "\" could not be used (" +
                        parsed.error() + "); it was set aside as \"" + PathText(aside) +
                        "\" and a new log is started.";
    return contents;
}

Result<FileLock> LockLog(const fs::path& path) {
    fs::path lock = path;
    lock += ".lock";
    return FileLock::Acquire(lock, kLockWait, kVerb);
}

}  // namespace

LogEntry EntryFor(const std::string& action, const std::string& port, const std::string& file,
                  const TransferResult& r, const VerifyResult* verify) {
    std::string outcome = r.outcome == Outcome::Complete
                              ? (verify ? (verify->match ? "match" : "differs") : "complete")
                          : r.outcome == Outcome::Failed    ? "failed"
                          : r.outcome == Outcome::NoConnect ? "no answer"
                          : r.outcome == Outcome::PortError ? "port error"
                                                            : "cancelled";
    if (r.outcome != Outcome::Complete && !r.reason.empty()) outcome += ": " + r.reason;
    return {ReadableStamp(UtcStampNow()), action, port, file, outcome, r.deviceChecksum};
}

Result<LogContents> ReadLog(const fs::path& path) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(path, ec))) return LogContents{};
    // Without the lock (a folder that takes no lock file, another program stuck holding it) the
    // log is still read, as the atomic writer leaves it whole, but nothing is set aside.
    if (auto lock = LockLog(path); lock) return Load(path);
    auto parsed = Parse(path);
    if (!parsed) return FileFailure("Cannot read the transfer log", path, parsed.error());
    return LogContents{std::move(parsed.value()), {}};
}

Result<std::string> AppendToLog(const fs::path& path, const LogEntry& entry) {
    std::error_code ec;
    if (fs::is_symlink(path, ec))  // the program's own file: never written through a link
        return Error{std::string(kVerb) + " \"" + PathText(path) +
                         "\": it is a link; move it away and a new log is started.",
                     ErrorKind::File};
    if (path.has_parent_path()) fs::create_directories(path.parent_path(), ec);
    auto lock = LockLog(path);
    if (!lock) return lock.failure();
    auto loaded = Load(path);
    if (!loaded) return loaded.failure();
    auto& all = loaded.value().entries;
    all.push_back(entry);
    if (all.size() > kLogKept) all.erase(all.begin(), all.end() - kLogKept);
    std::string text = std::string(kHeader) + "\n";
    for (const auto& e : all)
        text += Field(e.when) + "\t" + Field(e.action) + "\t" + Field(e.port) + "\t" +
                Field(e.file) + "\t" + Field(e.outcome) + "\t" + Field(e.checksum) + "\n";
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    if (auto written = ReplaceFile(path, {bytes, text.size()}, {}, kVerb); !written)
        return written.failure();
    return std::move(loaded.value().setAside);
}

std::string LogText(const std::vector<LogEntry>& entries, std::size_t last) {
    std::string text;
    const std::size_t from = entries.size() > last ? entries.size() - last : 0;
    for (std::size_t i = from; i < entries.size(); ++i) {
        const LogEntry& e = entries[i];
        text += Shown(e.when) + "  " + Shown(e.action) + " " +
                (e.file.empty() ? "" : Shown(e.file) + " ") + "on " + Shown(e.port) + ": " +
                Shown(e.outcome) +
                (e.checksum.empty() ? "" : " (device checksum " + Shown(e.checksum) + ")") + "\n";
    }
    return text;
}

}  // namespace zez::device
