#pragma once
// Previous versions of a configuration file: before a save replaces a file, its old content is
// kept in the user's data folder, the last 20 per file, so that no save can lose a saved
// configuration.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "config/Result.h"

namespace zez {

inline constexpr std::size_t kVersionsKept = 20;

struct Version {
    std::filesystem::path path;
    std::string written;  // "2026-12-07 21:30:05 UTC"
    std::uintmax_t size = 0;
};

// Keeps the present content of `file`, when it is a regular file, as its newest version under
// `store`, written whole or not at all; the versions beyond 20 go. A missing file has nothing to
// keep. A failure says why and leaves the file alone: the save that asked goes on.
Result<void> KeepVersion(const std::filesystem::path& store, const std::filesystem::path& file);

// The versions kept of `file`, newest first (versions kept in the same millisecond too).
std::vector<Version> ListVersions(const std::filesystem::path& store,
                                  const std::filesystem::path& file);

// Writes `version` to `target` through the atomic writer and reads it back: an error, and the
// target as it was or holding the whole version, unless the version was read whole and the
// target holds exactly its bytes.
Result<void> RestoreVersion(const Version& version, const std::filesystem::path& target);

// The whole content of `path`, read until its end without a read error and as long as the file
// said it was; else why not ("<verb> "<path>": <reason>.").
Result<std::vector<uint8_t>> ReadWhole(const std::filesystem::path& path, const std::string& verb);

}  // namespace zez
