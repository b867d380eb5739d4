#include "config/ReplaceFile.h"

#include "config/File.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace zez {
namespace {

namespace fs = std::filesystem;

bool SyncToDisk(std::FILE* f) {
#ifdef _WIN32
    return _commit(_fileno(f)) == 0;
#else
    return fsync(fileno(f)) == 0;
#endif
}

void SyncFolder([[maybe_unused]] const fs::path& folder) {
#ifndef _WIN32
    // Makes the rename itself durable; a failure here loses nothing that is not already written.
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#endif
}

fs::path TempPathBeside(const fs::path& target) {
    static std::mt19937_64 rng{std::random_device{}()};
    const auto tag = std::to_string(rng() % 1000000000ULL);
    return target.parent_path() / (target.filename().string() + ".zez-" + tag + ".tmp");
}

}  // namespace

Result<void> ReplaceFile(const std::string& path, std::span<const uint8_t> head,
                         std::span<const uint8_t> tail, const std::string& verb) {
    auto failure = [&](const std::string& why) {
        return Error{verb + " \"" + path + "\": " + why + "."};
    };
    fs::path target(path);
    std::error_code ec;
    // Write through a link to the file it names, not over the link.
    if (fs::is_symlink(target, ec)) {
        const auto real = fs::weakly_canonical(target, ec);
        if (!ec) target = real;
    }
    const bool exists = fs::exists(target, ec);
    const fs::path temp = TempPathBeside(target);
    errno = 0;
    FilePtr f(std::fopen(temp.string().c_str(), "wxb"));
    if (!f) return failure(SystemReason(errno));
    auto fail = [&](int err) {
        f.reset();
        fs::remove(temp, ec);
        return failure(SystemReason(err ? err : EIO));
    };
    if (!head.empty() && std::fwrite(head.data(), 1, head.size(), f.get()) != head.size())
        return fail(errno);
    if (!tail.empty() && std::fwrite(tail.data(), 1, tail.size(), f.get()) != tail.size())
        return fail(errno);
    if (std::fflush(f.get()) != 0 || !SyncToDisk(f.get())) return fail(errno);
    if (std::fclose(f.release()) != 0) return fail(errno);

    if (exists) {
        const auto perms = fs::status(target, ec).permissions();
        if (!ec) fs::permissions(temp, perms, ec);
    }
    fs::rename(temp, target, ec);
    if (ec) {
        const std::string why = ec.message();
        fs::remove(temp, ec);
        return failure(why);
    }
    SyncFolder(target.parent_path());
    return {};
}

}  // namespace zez
