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

// NotAConfiguration (config/CdfBytes.h) for a file; none also when it cannot be read (loading
// it says why).
std::optional<std::string> NotAConfigurationFile(const std::filesystem::path& path,
                                                 bool values = true);

// RefusedAsConfiguration (config/CdfBytes.h) for a file; none also when it cannot be read.
std::optional<std::string> RefusedAsConfigurationFile(const std::filesystem::path& path,
                                                      const std::string& name);

// Writes a temporary file beside the target and renames it over the target. Bytes of an existing
// file beyond offset 12,288 are carried over, so a longer file keeps its tail. On failure the
// existing file is untouched.
Result<void> SaveToFile(const Config& config, const std::filesystem::path& path);

// A configuration from a CDF file or from a file holding its text form; errors name the file
// (and for text the line and column).
Result<LoadedConfig> LoadConfigOrText(const std::filesystem::path& path,
                                      const FormulaDrawer& draw = {});

}  // namespace zez
