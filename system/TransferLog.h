#pragma once
// The transfer log: a line for every download, upload and comparison with a device, so that a
// technician can tell later what went to which module, from which file, when, and how it ended.
// A text file in the user's data folder holding the newest entries; every write replaces it
// whole through the atomic writer.

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "config/Result.h"
#include "device/Transfers.h"

namespace zez::device {

inline constexpr std::size_t kLogKept = 1000;

struct LogEntry {
    std::string when;      // "2026-12-08 07:40:05 UTC"
    std::string action;    // "download", "upload", "compare", "quick compare"
    std::string port;      // as the user named it
    std::string file;      // the configuration's file; empty when there is none
    std::string outcome;   // "complete", "failed: ...", "match", "differs", "cancelled", ...
    std::string checksum;  // the checksum the device gave, when it gave one

    bool operator==(const LogEntry&) const = default;
};

// The entry for a transfer that reached for a device, stamped now. A complete comparison says
// "match" or "differs" (`verify`); otherwise the outcome and its reason.
LogEntry EntryFor(const std::string& action, const std::string& port, const std::string& file,
                  const TransferResult& r, const VerifyResult* verify = nullptr);

struct LogContents {
    std::vector<LogEntry> entries;  // oldest first
    // When the log held something this program never writes (other text, binary data, more
    // than its newest kLogKept entries can fill): what was wrong and where it was set aside. The
    // entries are then those of the new log that took its place.
    std::string setAside;
};

// Programs that log at the same time take turns through a lock file beside the log
// ("transfers.log.lock"), so that no entry is lost; each write replaces the log whole through
// the atomic writer, so a program killed while logging leaves it as it was.

// Adds `entry` as the newest line of the log at `path` (its folder made when missing), keeping
// the newest kLogKept. A link or anything but a regular file at `path` is refused and left as it
// is; an unusable log is set aside first (returned as in LogContents, "" when it was not).
Result<std::string> AppendToLog(const std::filesystem::path& path, const LogEntry& entry);

// The entries of the log; a missing log has none, an unusable one is set aside.
Result<LogContents> ReadLog(const std::filesystem::path& path);

// The newest `last` entries as lines for people, oldest of them first; "" when there are none.
// Whatever the log holds, the text has no control characters and is valid UTF-8.
std::string LogText(const std::vector<LogEntry>& entries, std::size_t last);

}  // namespace zez::device
