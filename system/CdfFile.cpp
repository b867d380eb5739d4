#include "system/CdfFile.h"

#include "system/File.h"
#include "system/FileAccess.h"
#include "system/ReplaceFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>
#include <vector>

namespace zez {
namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t kControlArrayBytes = 65536;  // what a compile writes

std::string Quoted(const fs::path& path) {
    return "\"" + PathText(path) + "\"";
}

// Bytes of an existing target beyond the configuration, which a save keeps.
Result<std::vector<uint8_t>> ReadTail(const fs::path& target) {
    auto f = OpenForReading(target, "Cannot save");
    if (!f) return f.failure();
    auto fail = [&] {
        return Error{
            "Cannot save " + Quoted(target) + ": " + SystemReason(errno ? errno : EIO) + ".",
            ErrorKind::File};
    };
    std::vector<uint8_t> tail;
    errno = 0;
    if (std::fseek(f.value().get(), static_cast<long>(kCdfBytes), SEEK_SET) != 0) return fail();
    std::array<uint8_t, 8192> buf{};
    std::size_t n = 0;
    while ((n = std::fread(buf.data(), 1, buf.size(), f.value().get())) > 0)
        tail.insert(tail.end(), buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(n));
    if (std::ferror(f.value().get())) return fail();
    return tail;
}

}  // namespace

Result<LoadedConfig> LoadFromFile(const fs::path& path) {
    auto opened = OpenForReading(path, "Cannot open");
    if (!opened) return opened.failure();
    FilePtr f = std::move(opened).value();
    errno = 0;
    CdfBytes bytes{};
    const std::size_t n = std::fread(bytes.data(), 1, bytes.size(), f.get());
    if (n < bytes.size()) {
        if (std::ferror(f.get()))
            return Error{
                "Cannot read " + Quoted(path) + ": " + SystemReason(errno ? errno : EIO) + ".",
                ErrorKind::File};
        return Error{"Cannot open " + Quoted(path) +
                     ": the file is too short to be a configuration (" + std::to_string(n) +
                     " bytes; a configuration file holds " + std::to_string(kCdfBytes) +
                     " bytes)."};
    }
    auto parsed = ParseCdf(bytes);
    if (!parsed) return parsed.failure();
    LoadedConfig loaded{std::move(parsed).value(), {}};
    loaded.invalid = CountInvalid(loaded.config);
    return loaded;
}

Result<void> SaveToFile(const Config& config, const fs::path& path) {
    // Refuses special and read-only targets before anything is read from them.
    auto target = CheckWriteTarget(path, "Cannot save");
    if (!target) return target.failure();
    std::vector<uint8_t> tail;
    if (target.value().exists) {
        auto read = ReadTail(target.value().path);
        if (!read) return read.failure();
        tail = std::move(read).value();
    }
    const CdfBytes bytes = SerializeCdf(config);
    return ReplaceFile(path, bytes, tail, "Cannot save");
}

std::optional<std::string> NotAConfiguration(std::span<const uint8_t> head, std::uintmax_t size,
                                             bool values) {
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

std::optional<std::string> NotAConfigurationFile(const fs::path& path, bool values) {
    auto in = OpenForReading(path, "Cannot open");
    if (!in) return std::nullopt;
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec) return std::nullopt;
    std::vector<uint8_t> head(kCdfBytes);
    head.resize(std::fread(head.data(), 1, head.size(), in.value().get()));
    if (std::ferror(in.value().get())) return std::nullopt;
    return NotAConfiguration(head, size, values);
}

bool HoldsConfiguration(const fs::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size < kCdfBytes) return false;
    if (size == kCdfBytes) return true;
    const auto loaded = LoadFromFile(path);
    return loaded && !loaded.value().invalid.any();
}

// Here rather than with the text form: it reads files as the loader above does.
Result<LoadedConfig> LoadConfigOrText(const std::filesystem::path& path,
                                      const FormulaDrawer& draw) {
    constexpr std::size_t kLimit = 4 << 20;  // far more than any configuration's text
    auto in = OpenForReading(path, "Cannot open");
    if (!in) return in.failure();
    std::string bytes(kLimit + 1, '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), in.value().get()));
    if (std::ferror(in.value().get()))
        return Error{"Cannot read \"" + PathText(path) + "\".", ErrorKind::File};
    if (!LooksLikeConfigText(bytes)) return LoadFromFile(path);
    if (bytes.size() > kLimit)
        return Error{"\"" + PathText(path) + "\" is too large for a configuration."};
    auto config = ConfigFromText(bytes, draw);
    if (!config) return Error{"\"" + PathText(path) + "\": " + config.error()};
    return LoadedConfig{config.value(), CountInvalid(config.value())};
}

}  // namespace zez
