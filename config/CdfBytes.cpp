#include "config/CdfBytes.h"

#include <algorithm>

#include "config/ConfigText.h"

namespace zez {
namespace {

void PutTable(const SegTable& table, uint8_t* out) {
    for (int s = 0; s < kSegments; ++s) {
        for (int o = 0; o < kOutputs; ++o) {
            const auto v = static_cast<uint16_t>(table[o][s]);
            const int p = FlatPosition(o, s);
            out[2 * p] = static_cast<uint8_t>(v & 0xFF);
            out[2 * p + 1] = static_cast<uint8_t>(v >> 8);
        }
    }
}

void GetTable(const uint8_t* in, SegTable& table) {
    for (int s = 0; s < kSegments; ++s) {
        for (int o = 0; o < kOutputs; ++o) {
            const int p = FlatPosition(o, s);
            table[o][s] =
                static_cast<int16_t>(static_cast<uint16_t>(in[2 * p] | (in[2 * p + 1] << 8)));
        }
    }
}

}  // namespace

CdfBytes SerializeCdf(const Config& config) {
    CdfBytes bytes{};
    PutTable(config.SegType, bytes.data());
    PutTable(config.SegInput, bytes.data() + kTableBytes);
    std::copy(config.NoteData.begin(), config.NoteData.end(), bytes.begin() + 2 * kTableBytes);
    return bytes;
}

std::vector<uint8_t> CdfOver(const Config& config, std::span<const uint8_t> existing) {
    std::vector<uint8_t> bytes(std::max(kCdfBytes, existing.size()));
    if (existing.size() > kCdfBytes)
        std::copy(existing.begin() + kCdfBytes, existing.end(), bytes.begin() + kCdfBytes);
    const CdfBytes record = SerializeCdf(config);
    std::copy(record.begin(), record.end(), bytes.begin());
    return bytes;
}

Result<Config> ParseCdf(std::span<const uint8_t> bytes, std::string_view name) {
    if (bytes.size() < kCdfBytes)
        return Error{"Cannot open " + std::string(name) +
                     ": the file is too short to be a configuration (" +
                     std::to_string(bytes.size()) + " bytes; a configuration file holds " +
                     std::to_string(kCdfBytes) + " bytes)."};
    Config c;
    GetTable(bytes.data(), c.SegType);
    GetTable(bytes.data() + kTableBytes, c.SegInput);
    std::copy_n(bytes.begin() + 2 * kTableBytes, kNoteBytes, c.NoteData.begin());
    return c;
}

bool HoldsConfiguration(std::span<const uint8_t> head, std::uintmax_t size) {
    if (size < kCdfBytes || head.size() < kCdfBytes) return false;
    if (size == kCdfBytes) return true;
    const auto parsed = ParseCdf(head);
    return parsed && !CountInvalid(parsed.value()).any();
}

std::optional<std::string> NotAConfiguration(std::span<const uint8_t> head, std::uintmax_t size,
                                             bool values) {
    constexpr std::uintmax_t kControlArrayBytes = 65536;  // what a compile writes
    const auto starts = [&](std::string_view magic) {
        return head.size() >= magic.size() &&
               std::equal(magic.begin(), magic.end(), head.begin(),
                          [](char m, uint8_t b) { return static_cast<uint8_t>(m) == b; });
    };
    if (size == 0) return "an empty file";
    if (starts("%PDF-")) return "a PDF";
    if (starts("\x89PNG\r\n\x1a\n")) return "a PNG picture";
    if (starts("\xFF\xD8\xFF")) return "a JPEG picture";
    if (starts("GIF8") || starts("BM")) return "a picture";
    if (starts("PK\x03\x04")) return "a ZIP archive (or an office document)";
    if (starts("MZ") || starts("\x7F"
                               "ELF"))
        return "a program";
    const std::string_view text(reinterpret_cast<const char*>(head.data()), head.size());
    if (LooksLikeConfigText(text))
        return "the text form of a configuration (zezudi-cli fromtext makes its CDF file)";
    if (size == kControlArrayBytes) return "a compiled control array of 65,536 bytes";
    // A configuration's values are small numbers in two bytes each: it always holds zero bytes.
    // Text holds printable characters, tabs and line ends (and UTF-8's bytes above 127).
    const auto sample = text.substr(0, std::min<std::size_t>(text.size(), 4096));
    const bool plain = std::all_of(sample.begin(), sample.end(), [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        return c >= 0x20 || c == '\t' || c == '\r' || c == '\n';
    });
    if (plain) {
        const auto first = sample.find_first_not_of(" \t\r\n");
        const bool markup = first != std::string_view::npos && sample[first] == '<';
        if (markup && (sample.find("<html") != std::string_view::npos ||
                       sample.find("<!DOCTYPE html") != std::string_view::npos))
            return "an HTML page";
        return markup ? "an XML or SVG file" : "a text file";
    }
    if (size < kCdfBytes)
        return "a file of " + std::to_string(size) +
               " bytes, too short for a configuration (12,288 bytes)";
    const auto parsed = ParseCdf(head);
    if (!parsed) return "a file too short for a configuration";
    if (!values) return std::nullopt;
    const int bad = CountInvalid(parsed.value()).segments;
    if (bad > 0)
        return "values outside the codes in " + std::to_string(bad) +
               (bad == 1 ? " segment" : " segments");
    return std::nullopt;
}

std::optional<std::string> RefusedAsConfiguration(std::span<const uint8_t> head,
                                                  std::uintmax_t size, const std::string& name) {
    // Something else altogether, or a configuration whose values are not all codes.
    if (const auto other = NotAConfiguration(head, size, false))
        return name + " holds no configuration: it looks like " + *other;
    if (const auto values = NotAConfiguration(head, size)) return name + " holds " + *values;
    return std::nullopt;
}

std::string OutputOutOfRange(const std::string& given) {
    return "output must be 1..8, not \"" + given + "\"";
}

}  // namespace zez
