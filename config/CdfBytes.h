#pragma once
// CDF bytes: SegType, SegInput (2048 little-endian int16 each, output varying fastest), then the
// 4096 note bytes; 12,288 bytes, no header.

#include <array>
#include <cstdint>
#include <span>

#include "config/Config.h"
#include "config/Result.h"

namespace zez {

using CdfBytes = std::array<uint8_t, kCdfBytes>;

CdfBytes SerializeCdf(const Config& config);
// Takes the first 12,288 bytes; fails when there are fewer. Values are not validated.
Result<Config> ParseCdf(std::span<const uint8_t> bytes);

}  // namespace zez
