#include "system/Versions.h"

#include <algorithm>
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

std::vector<fs::path> Kept(const fs::path& folder) {
    std::vector<fs::path> found;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (e.is_regular_file(ec) && e.path().extension() == ".CDF") found.push_back(e.path());
    std::sort(found.rbegin(), found.rend());  // newest first
    return found;
}

}  // namespace

Result<void> KeepVersion(const fs::path& store, const fs::path& file) {
    std::error_code ec;
    if (!fs::exists(file, ec)) return {};
    auto in = OpenForReading(file, "Cannot keep the version of");
    if (!in) return Error{in.error()};
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in.value().get())) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + n);
    const fs::path folder = FolderOf(store, file);
    fs::create_directories(folder, ec);
    if (ec)
        return Error{"Cannot keep the version of \"" + PathText(file) + "\": the folder \"" +
                     PathText(folder) + "\" cannot be made (" + ec.message() + ")."};
    // What the folder is for, for a person who finds it.
    const std::string about = PathText(fs::absolute(file, ec)) + "\n";
    (void)ReplaceFile(folder / "file.txt",
                      {reinterpret_cast<const uint8_t*>(about.data()), about.size()}, {},
                      "Cannot write");
    fs::path target = folder / (UtcStampNow() + ".CDF");
    for (int n = 1; fs::exists(target, ec); ++n)
        target = folder / (UtcStampNow() + "-" + std::to_string(n) + ".CDF");
    if (auto w = ReplaceFile(target, bytes, {}, "Cannot keep the version in"); !w)
        return Error{w.error()};
    const auto kept = Kept(folder);
    for (std::size_t i = kVersionsKept; i < kept.size(); ++i) fs::remove(kept[i], ec);
    return {};
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
