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

std::string Quoted(const fs::path& path) {
    return "\"" + PathText(path) + "\"";
}

// The bytes of an existing target, whose tail a save keeps.
Result<std::vector<uint8_t>> ReadExisting(const fs::path& target) {
    auto f = OpenForReading(target, "Cannot save");
    if (!f) return f.failure();
    std::vector<uint8_t> bytes;
    std::array<uint8_t, 8192> buf{};
    std::size_t n = 0;
    errno = 0;
    while ((n = std::fread(buf.data(), 1, buf.size(), f.value().get())) > 0)
        bytes.insert(bytes.end(), buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(n));
    if (std::ferror(f.value().get()))
        return Error{
            "Cannot save " + Quoted(target) + ": " + SystemReason(errno ? errno : EIO) + ".",
            ErrorKind::File};
    return bytes;
}

}  // namespace

Result<LoadedConfig> LoadFromFile(const fs::path& path) {
    auto opened = OpenForReading(path, "Cannot open");
    if (!opened) return opened.failure();
    FilePtr f = std::move(opened).value();
    errno = 0;
    CdfBytes bytes{};
    const std::size_t n = std::fread(bytes.data(), 1, bytes.size(), f.get());
    if (n < bytes.size() && std::ferror(f.get()))
        return Error{"Cannot read " + Quoted(path) + ": " + SystemReason(errno ? errno : EIO) + ".",
                     ErrorKind::File};
    auto parsed = ParseCdf({bytes.data(), n}, Quoted(path));
    if (!parsed) return parsed.failure();
    LoadedConfig loaded{std::move(parsed).value(), {}};
    loaded.invalid = CountInvalid(loaded.config);
    return loaded;
}

Result<void> SaveToFile(const Config& config, const fs::path& path) {
    // Refuses special and read-only targets before anything is read from them.
    auto target = CheckWriteTarget(path, "Cannot save");
    if (!target) return target.failure();
    std::vector<uint8_t> existing;
    if (target.value().exists) {
        auto read = ReadExisting(target.value().path);
        if (!read) return read.failure();
        existing = std::move(read).value();
    }
    return ReplaceFile(path, CdfOver(config, existing), {}, "Cannot save");
}

namespace {

// A file's first 12,288 bytes and its size; none when it cannot be read.
std::optional<std::pair<std::vector<uint8_t>, std::uintmax_t>> Head(const fs::path& path) {
    auto in = OpenForReading(path, "Cannot open");
    if (!in) return std::nullopt;
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec) return std::nullopt;
    std::vector<uint8_t> head(kCdfBytes);
    head.resize(std::fread(head.data(), 1, head.size(), in.value().get()));
    if (std::ferror(in.value().get())) return std::nullopt;
    return std::pair{std::move(head), size};
}

}  // namespace

std::optional<std::string> NotAConfigurationFile(const fs::path& path, bool values) {
    const auto head = Head(path);
    return head ? NotAConfiguration(head->first, head->second, values) : std::nullopt;
}

std::optional<std::string> RefusedAsConfigurationFile(const fs::path& path,
                                                      const std::string& name) {
    const auto head = Head(path);
    return head ? RefusedAsConfiguration(head->first, head->second, name) : std::nullopt;
}

bool HoldsConfiguration(const fs::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size < kCdfBytes) return false;
    auto opened = OpenForReading(path, "Cannot open");
    if (!opened) return false;
    CdfBytes head{};
    const std::size_t n = std::fread(head.data(), 1, head.size(), opened.value().get());
    return HoldsConfiguration({head.data(), n}, size);
}

// Here rather than with the text form: it reads files as the loader above does.
Result<LoadedConfig> LoadConfigOrText(const std::filesystem::path& path,
                                      const FormulaDrawer& draw) {
    constexpr std::size_t kLimit = 4 << 20;  // what is longer is refused as too large
    auto in = OpenForReading(path, "Cannot open");
    if (!in) return in.failure();
    std::string bytes(kLimit + 1, '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), in.value().get()));
    if (std::ferror(in.value().get()))
        return Error{"Cannot read " + Quoted(path) + ".", ErrorKind::File};
    if (!LooksLikeConfigText(bytes)) return LoadFromFile(path);
    auto config = ConfigFromFileBytes(bytes, Quoted(path), draw);
    if (!config) return config.failure();
    return LoadedConfig{config.value(), CountInvalid(config.value())};
}

}  // namespace zez
