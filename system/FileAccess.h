#pragma once
// The checks every read and write of a user's file goes through: only regular files are read or
// replaced, so a FIFO never blocks the program and a device node or socket is never swapped for a
// regular file; a read-only file stays as it is.

#include <chrono>
#include <filesystem>
#include <string>

#include "config/Result.h"
#include "system/File.h"

namespace zez {

// The error of a file operation as every message of the program words it:
// "<verb> "<path>": <why>.".
Error FileFailure(const std::string& verb, const std::filesystem::path& path,
                  const std::string& why);

// `why`, or on Windows, when the last call failed because another program holds the file open
// without sharing it, that and what to do about it.
std::string HeldOpenOr(const std::string& why);

// Opens `path` for reading when it is a regular file; anything else is refused before a read can
// block. Errors read "<verb> "<path>": <reason>.".
Result<FilePtr> OpenForReading(const std::filesystem::path& path, const std::string& verb);

struct WriteTarget {
    std::filesystem::path path;  // the file to replace: a link is followed to the file it names
    bool exists = false;
};

// Decides whether `path` may be replaced: a missing file or a regular file the user may write.
// Refuses folders, FIFOs, sockets and device nodes, and read-only files ("... is read-only").
Result<WriteTarget> CheckWriteTarget(const std::filesystem::path& path, const std::string& verb);

// Whether `a` and `b` name one existing file, however they are spelt: through links, with "./",
// or in another case where the system ignores case.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// The temporary file that a save of `target` writes before it renames it over the target. Its
// name says what it is, so a user who finds one after a crash can tell.
std::filesystem::path TemporaryFor(const std::filesystem::path& target);

// Removes temporaries of `target` left by saves that never finished (a crash, a kill): only
// regular files named as TemporaryFor names them (or as earlier versions did), older than
// `age`, so a save running in another program is never disturbed. Returns how many it removed.
int RemoveStaleTemporaries(const std::filesystem::path& target,
                           std::chrono::seconds age = std::chrono::seconds{60});

}  // namespace zez
