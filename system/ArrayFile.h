#pragma once
// The compiled control array as a file.

#include <filesystem>

#include "compiler/Compiler.h"
#include "config/Result.h"

namespace zez {

// Writes the 65,536 output bytes, element i at offset i (through a temporary file and a rename).
Result<void> WriteControlArray(const ControlArray& array, const std::filesystem::path& path);

}  // namespace zez
