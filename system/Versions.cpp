#include "system/Versions.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include "system/Clock.h"
#include "system/FileAccess.h"
#include "system/ReplaceFile.h"

namespace zez {
namespace {

namespace fs = std::filesystem;

// One folder a file, named by a digest of the file's absolute path.
fs::path FolderOf(const fs::path& store, const fs::path& file) {
    std::error_code ec;
    fs::path absolute = fs::weakly_canonical(fs::absolute(file, ec), ec);
    if (absolute.empty()) absolute = file;
    uint64_t h = 1469598103934665603ull;  // FNV-1a over the path's UTF-8 bytes
    for (const char8_t c : absolute.u8string())
        h = (h ^ static_cast<uint8_t>(c)) * 1099511628211ull;
    char name[17];  // 16 digits always fit
    (void)std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(h));
    return store / name;
}

// Where a kept version stands among the others: its stamp, then the number that tells versions
// kept in the same millisecond apart ("<stamp>.CDF" first, then "<stamp>-1.CDF", "-2", ...).
std::pair<std::string, unsigned long> Order(const fs::path& path) {
    const std::string stem = PathText(path.stem());
    const auto dash = stem.find('-');
    if (dash == std::string::npos) return {stem, 0};
    unsigned long n = 0;
    for (std::size_t i = dash + 1; i < stem.size() && n < 100000000; ++i)
        if (stem[i] >= '0' && stem[i] <= '9')
            n = 10 * n + static_cast<unsigned long>(stem[i] - '0');
    return {stem.substr(0, dash), n};
}

std::vector<fs::path> Kept(const fs::path& folder) {
    std::vector<fs::path> found;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (e.is_regular_file(ec) && e.path().extension() == ".CDF") found.push_back(e.path());
    // Newest first.
    std::sort(found.begin(), found.end(),
              [](const fs::path& a, const fs::path& b) { return Order(a) > Order(b); });
    return found;
}

// Writes `bytes` as `target` and reads the file back: an error unless it holds them exactly.
Result<void> WriteChecked(const fs::path& target, const std::vector<uint8_t>& bytes,
                          const std::string& verb) {
    if (auto w = ReplaceFile(target, bytes, {}, verb); !w) return Error{w.error(), ErrorKind::File};
    auto back = ReadWhole(target, verb);
    if (!back) return Error{back.error(), ErrorKind::File};
    if (back.value() != bytes)
        return FileFailure(verb, target, "what was written reads back differently");
    return {};
}

}  // namespace

Result<std::vector<uint8_t>> ReadWhole(const fs::path& path, const std::string& verb) {
    auto in = OpenForReading(path, verb);
    if (!in) return Error{in.error(), ErrorKind::File};
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    std::vector<uint8_t> bytes;
    std::array<uint8_t, 65536> buffer{};
    errno = 0;
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), in.value().get())) > 0;)
        bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
    if (std::ferror(in.value().get()))
        return FileFailure(verb, path, SystemReason(errno ? errno : EIO));
    if (ec || bytes.size() != size) return FileFailure(verb, path, "it changed while it was read");
    return bytes;
}

Result<void> KeepVersion(const fs::path& store, const fs::path& file) {
    std::error_code ec;
    if (!fs::exists(file, ec)) return {};
    const std::string verb = "Cannot keep the version of";
    auto read = ReadWhole(file, verb);
    if (!read) return Error{read.error(), ErrorKind::File};
    const std::vector<uint8_t>& bytes = read.value();
    const fs::path folder = FolderOf(store, file);
    fs::create_directories(folder, ec);
    if (ec)
        return Error{"Cannot keep the version of \"" + PathText(file) + "\": the folder \"" +
                         PathText(folder) + "\" cannot be made (" + ec.message() + ").",
                     ErrorKind::File};
    // What the folder is for, for a person who finds it.
    const std::string about = PathText(fs::absolute(file, ec)) + "\n";
    (void)ReplaceFile(folder / "file.txt",
                      {reinterpret_cast<const uint8_t*>(about.data()), about.size()}, {},
                      "Cannot write");
    // One stamp for every name tried: a later stamp with a number would sort before the version
    // kept next under that stamp without one.
    const std::string stamp = UtcStampNow();
    fs::path target = folder / (stamp + ".CDF");
    for (int n = 1; fs::exists(target, ec); ++n)
        target = folder / (stamp + "-" + std::to_string(n) + ".CDF");
    // The copy is read back and the file read again: a version is claimed only when both hold
    // what was read at first.
    auto written = WriteChecked(target, bytes, "Cannot keep the version in");
    if (written) {
        auto again = ReadWhole(file, verb);
        if (!again)
            written = Error{again.error(), ErrorKind::File};
        else if (again.value() != bytes)
            written = FileFailure(verb, file, "it changed while it was copied");
    }
    if (!written) {
        fs::remove(target, ec);
        return written;
    }
    const auto kept = Kept(folder);
    for (std::size_t i = kVersionsKept; i < kept.size(); ++i)
        if (kept[i] != target) fs::remove(kept[i], ec);
    return {};
}

Result<void> RestoreVersion(const Version& version, const fs::path& target) {
    const std::string verb = "Cannot read the version";
    auto bytes = ReadWhole(version.path, verb);
    if (!bytes) return Error{bytes.error(), ErrorKind::File};
    if (bytes.value().size() != version.size)
        return FileFailure(verb, version.path, "it changed since it was listed");
    return WriteChecked(target, bytes.value(), "Cannot write");
}

std::vector<Version> ListVersions(const fs::path& store, const fs::path& file) {
    std::vector<Version> versions;
    for (const auto& path : Kept(FolderOf(store, file))) {
        std::error_code ec;
        versions.push_back({path, ReadableStamp(PathText(path.stem())), fs::file_size(path, ec)});
    }
    return versions;
}

}  // namespace zez
