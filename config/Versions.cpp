#include "config/Versions.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <system_error>

#include "config/FileAccess.h"
#include "config/ReplaceFile.h"

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
    char name[17];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(h));
    return store / name;
}

// "20261207T213005123Z": sorts as it reads, to the millisecond.
std::string Stamp() {
    const auto now = std::chrono::system_clock::now();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch());
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &t);
#else
    gmtime_r(&t, &utc);
#endif
    char text[96];
    std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02d%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(ms.count() % 1000));
    return text;
}

std::string Readable(const std::string& stem) {  // 20261207T213005123Z -> 2026-12-07 21:30:05 UTC
    if (stem.size() < 15) return stem;
    return stem.substr(0, 4) + "-" + stem.substr(4, 2) + "-" + stem.substr(6, 2) + " " +
           stem.substr(9, 2) + ":" + stem.substr(11, 2) + ":" + stem.substr(13, 2) + " UTC";
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
    auto in = OpenForReading(file.string(), "Cannot keep the version of");
    if (!in) return Error{in.error()};
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in.value().get())) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + n);
    const fs::path folder = FolderOf(store, file);
    fs::create_directories(folder, ec);
    if (ec)
        return Error{"Cannot keep the version of \"" + file.string() + "\": the folder \"" +
                     folder.string() + "\" cannot be made (" + ec.message() + ")."};
    // What the folder is for, for a person who finds it.
    const std::string about = fs::absolute(file, ec).string() + "\n";
    (void)ReplaceFile((folder / "file.txt").string(),
                      {reinterpret_cast<const uint8_t*>(about.data()), about.size()}, {},
                      "Cannot write");
    fs::path target = folder / (Stamp() + ".CDF");
    for (int n = 1; fs::exists(target, ec); ++n)
        target = folder / (Stamp() + "-" + std::to_string(n) + ".CDF");
    if (auto w = ReplaceFile(target.string(), bytes, {}, "Cannot keep the version in"); !w)
        return Error{w.error()};
    const auto kept = Kept(folder);
    for (std::size_t i = kVersionsKept; i < kept.size(); ++i) fs::remove(kept[i], ec);
    return {};
}

std::vector<Version> ListVersions(const fs::path& store, const fs::path& file) {
    std::vector<Version> versions;
    for (const auto& path : Kept(FolderOf(store, file))) {
        std::error_code ec;
        versions.push_back({path, Readable(path.stem().string()), fs::file_size(path, ec)});
    }
    return versions;
}

}  // namespace zez
