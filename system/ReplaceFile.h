#pragma once
// Writing a file so that a failure or a crash never leaves it torn: the bytes go to a temporary
// file beside the target, which is flushed to disk and renamed over the target.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "config/Result.h"

namespace zez {

// Writes `head` then `tail` as the whole new content of `path`. An existing file keeps its
// permissions, a link is followed to the file it names, and on failure the existing file is
// untouched. Only a missing or writable regular file is replaced (see CheckWriteTarget); stale
// temporaries of earlier saves of it are removed first. Errors read "<verb> "<path>": <reason>.".
Result<void> ReplaceFile(const std::filesystem::path& path, std::span<const uint8_t> head,
                         std::span<const uint8_t> tail, const std::string& verb);

}  // namespace zez
