#include "device/TransferLog.h"

#include <algorithm>
#include <cstdio>
#include <system_error>

#include "config/Clock.h"
#include "config/FileAccess.h"
#include "config/ReplaceFile.h"

namespace zez::device {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHeader = "zezudi-transfer-log 1";
// A log grown far past its kept entries was not written by this program: read no more of it.
constexpr std::size_t kReadLimit = 4u << 20;

// A field on one line: tabs and line breaks in names and reasons become spaces.
std::string Field(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return text;
}

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> fields(1);
    for (char c : line) {
        if (c == '\t')
            fields.emplace_back();
        else
            fields.back() += c;
    }
    return fields;
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

Result<std::vector<LogEntry>> ReadLog(const fs::path& path) {
    std::error_code ec;
    std::vector<LogEntry> entries;
    if (!fs::exists(fs::symlink_status(path, ec))) return entries;
    auto in = OpenForReading(path, "Cannot read the transfer log");
    if (!in) return Error{in.error()};
    std::string text;
    char buffer[65536];
    for (std::size_t n; text.size() < kReadLimit &&
                        (n = std::fread(buffer, 1, sizeof buffer, in.value().get())) > 0;)
        text.append(buffer, n);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const auto f = Split(text.substr(start, end - start));
        if (f.size() == 6 && !f[0].empty()) entries.push_back({f[0], f[1], f[2], f[3], f[4], f[5]});
        start = end + 1;
    }
    return entries;
}

Result<void> AppendToLog(const fs::path& path, const LogEntry& entry) {
    std::error_code ec;
    if (fs::is_symlink(path, ec))  // the program's own file: never written through a link
        return Error{"Cannot write the transfer log \"" + PathText(path) +
                     "\": it is a link; move it away and a new log is started."};
    auto entries = ReadLog(path);
    if (!entries) return Error{entries.error()};
    auto& all = entries.value();
    all.push_back(entry);
    if (all.size() > kLogKept) all.erase(all.begin(), all.end() - kLogKept);
    std::string text = std::string(kHeader) + "\n";
    for (const auto& e : all)
        text += Field(e.when) + "\t" + Field(e.action) + "\t" + Field(e.port) + "\t" +
                Field(e.file) + "\t" + Field(e.outcome) + "\t" + Field(e.checksum) + "\n";
    if (path.has_parent_path()) fs::create_directories(path.parent_path(), ec);
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    return ReplaceFile(path, {bytes, text.size()}, {}, "Cannot write the transfer log");
}

std::string LogText(const std::vector<LogEntry>& entries, std::size_t last) {
    std::string text;
    const std::size_t from = entries.size() > last ? entries.size() - last : 0;
    for (std::size_t i = from; i < entries.size(); ++i) {
        const LogEntry& e = entries[i];
        text += e.when + "  " + e.action + " " + (e.file.empty() ? "" : e.file + " ") + "on " +
                e.port + ": " + e.outcome +
                (e.checksum.empty() ? "" : " (device checksum " + e.checksum + ")") + "\n";
    }
    return text;
}

}  // namespace zez::device
