#pragma once
// CDF files on disk (their bytes: config/CdfBytes.h).

#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "config/CdfBytes.h"
#include "config/ConfigText.h"
#include "config/Result.h"

namespace zez {

struct LoadedConfig {
    Config config;
    InvalidCounts invalid;  // values outside 0..15, loaded as they are
};

// Reads a new record; the caller's record is never touched, so a failure changes nothing.
Result<LoadedConfig> LoadFromFile(const std::filesystem::path& path);

// Whether `path` is a regular file that holds a configuration: exactly 12,288 bytes, or longer
// with a first 12,288 bytes whose every value is within the codes. What is no file holds none.
bool HoldsConfiguration(const std::filesystem::path& path);

// What bytes that hold no configuration look like, for a message that names it: "an empty file",
// "a compiled control array of 65,536 bytes", "a PDF", "a PNG picture", "the text form of a
// configuration", "values outside the codes in 12 segments", ...; none when they hold one.
// `head` is the file's first bytes (the first 12,288 at least, where it has so many), `size` its
// whole size. Without `values`, bytes shaped as a configuration but holding values outside the
// codes count as one.
std::optional<std::string> NotAConfiguration(std::span<const uint8_t> head, std::uintmax_t size,
                                             bool values = true);

// The same for a file; none also when it cannot be read (loading it says why).
std::optional<std::string> NotAConfigurationFile(const std::filesystem::path& path,
                                                 bool values = true);

// Writes a temporary file beside the target and renames it over the target. Bytes of an existing
// file beyond offset 12,288 are carried over, so a longer file keeps its tail. On failure the
// existing file is untouched.
Result<void> SaveToFile(const Config& config, const std::filesystem::path& path);

// A configuration from a CDF file or from a file holding its text form; errors name the file
// (and for text the line and column).
Result<LoadedConfig> LoadConfigOrText(const std::filesystem::path& path,
                                      const FormulaDrawer& draw = {});

}  // namespace zez
