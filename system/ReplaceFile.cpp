#include "system/ReplaceFile.h"

#include "system/File.h"
#include "system/FileAccess.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <thread>

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

// Why no file can be made in `folder`, from the error of creating one there.
std::string FolderReason(int err, const fs::path& folder) {
    const std::string name = "\"" + (folder.empty() ? std::string(".") : PathText(folder)) + "\"";
    switch (err) {
        case EACCES:
        case EPERM:
            return "you may not write in the folder " + name + " (permission denied)";
        case ENOENT:
            // A folder that is there but takes no new files (such as /proc) is no missing one.
            if (std::error_code ec; fs::is_directory(folder.empty() ? "." : folder, ec))
                return "no file can be made in the folder " + name;
            return "the folder " + name + " does not exist";
        case EROFS:
            return "the folder " + name + " is on a read-only file system";
        default:
            return SystemReason(err);
    }
}

}  // namespace

Result<void> ReplaceFile(const fs::path& path, std::span<const uint8_t> head,
                         std::span<const uint8_t> tail, const std::string& verb) {
    auto failure = [&](const std::string& why) {
        return Error{verb + " \"" + PathText(path) + "\": " + why + ".", ErrorKind::File};
    };
    auto checked = CheckWriteTarget(path, verb);
    if (!checked) return checked.failure();
    const fs::path target = checked.value().path;
    const bool exists = checked.value().exists;
    std::error_code ec;
    RemoveStaleTemporaries(target);
    const fs::path temp = TemporaryFor(target);
    errno = 0;
    FilePtr f(CreateNewFile(temp));
    if (!f) return failure(FolderReason(errno, target.parent_path()));
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
#ifdef _WIN32
    // An indexer, a virus scanner or a sync client may hold the old file for a moment.
    for (int retry = 0; ec == std::errc::permission_denied && retry < 20; ++retry) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        fs::rename(temp, target, ec);
    }
#endif
    if (ec) {
        const std::string why = HeldOpenOr(ec.message());
        fs::remove(temp, ec);
        return failure(why);
    }
    SyncFolder(target.parent_path());
    return {};
}

}  // namespace zez
