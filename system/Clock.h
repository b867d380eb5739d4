#pragma once
// The time as this program writes it into its own files: in UTC, so that files from machines in
// other zones sort together.

#include <string>

namespace zez {

// "20261207T213005123Z": sorts as it reads, to the millisecond.
std::string UtcStampNow();

// "20261207T213005123Z" -> "2026-12-07 21:30:05 UTC"; anything shorter comes back as it is.
std::string ReadableStamp(const std::string& stamp);

}  // namespace zez
