#pragma once
// CDF bytes: SegType, SegInput (2048 little-endian int16 each, output varying fastest), then the
// 4096 note bytes; 12,288 bytes, no header.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/Config.h"
#include "config/Result.h"

namespace zez {

using CdfBytes = std::array<uint8_t, kCdfBytes>;

CdfBytes SerializeCdf(const Config& config);
// What a save writes over a file that holds `existing`: the record's 12,288 bytes, then what the
// file holds beyond its first 12,288 (a longer file keeps its tail).
std::vector<uint8_t> CdfOver(const Config& config, std::span<const uint8_t> existing);
// Takes the first 12,288 bytes; fails when there are fewer, with the desktop's message naming
// the file as `name` (quoted by the caller). Values are not validated.
Result<Config> ParseCdf(std::span<const uint8_t> bytes,
                        std::string_view name = "the configuration");

// What bytes that hold no configuration look like, for a message that names it: "an empty file",
// "a compiled control array of 65,536 bytes", "a PDF", "a PNG picture", "the text form of a
// configuration", "values outside the codes in 12 segments", ...; none when they hold one.
// `head` is the file's first bytes (the first 12,288 at least, where it has so many), `size` its
// whole size. Without `values`, bytes shaped as a configuration but holding values outside the
// codes count as one.
std::optional<std::string> NotAConfiguration(std::span<const uint8_t> head, std::uintmax_t size,
                                             bool values = true);

// Why bytes must not be compiled or sent, as the command line says it after the file's `name`:
// "NAME holds no configuration: it looks like a PDF" or "NAME holds values outside the codes in 3
// segments"; none when they hold a configuration.
std::optional<std::string> RefusedAsConfiguration(std::span<const uint8_t> head,
                                                  std::uintmax_t size, const std::string& name);

// Whether a file of `size` bytes starting with `head` (its first 12,288 bytes at least) holds a
// configuration that writing something else over it would lose: exactly a record's size, or
// longer with every value within the codes.
bool HoldsConfiguration(std::span<const uint8_t> head, std::uintmax_t size);

// The command line's words for an output number it cannot use (`given` as typed, 1..8 counted).
std::string OutputOutOfRange(const std::string& given);

}  // namespace zez
