#include "system/FileLock.h"

#include <thread>

#include "system/FileAccess.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#endif

namespace zez {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

#ifdef _WIN32
std::string WindowsReason(DWORD err) {
    switch (err) {
        case ERROR_ACCESS_DENIED:
            return "permission denied";
        case ERROR_PATH_NOT_FOUND:
            return "its folder does not exist";
        default:
            return "Windows error " + std::to_string(err);
    }
}
#endif

}  // namespace

Result<FileLock> FileLock::Acquire(const fs::path& lockFile, std::chrono::milliseconds wait,
                                   const std::string& verb) {
    const auto deadline = Clock::now() + wait;
#ifdef _WIN32
    // A reparse point (a link) is opened as itself, and then refused as no regular file.
    const HANDLE h =
        CreateFileW(lockFile.c_str(), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return FileFailure(verb, lockFile, WindowsReason(GetLastError()));
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
        CloseHandle(h);
        return FileFailure(verb, lockFile, "it is not a regular file");
    }
    for (;;) {
        OVERLAPPED whole{};
        if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole))
            return FileLock(reinterpret_cast<std::intptr_t>(h));
        if (Clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    CloseHandle(h);
#else
    // O_NONBLOCK: a FIFO put in its place never blocks the open; O_NOFOLLOW: never a link.
    const int fd =
        ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0)
        return FileFailure(verb, lockFile, errno == ELOOP ? "it is a link" : SystemReason(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return FileFailure(verb, lockFile, "it is not a regular file");
    }
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return FileLock(fd);
        if (errno != EWOULDBLOCK && errno != EINTR) {
            const int err = errno;
            ::close(fd);
            return FileFailure(verb, lockFile, SystemReason(err));
        }
        if (Clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::close(fd);
#endif
    return FileFailure(verb, lockFile,
                       "another program has held it for longer than " +
                           std::to_string(wait.count() / 1000) + " seconds");
}

FileLock::~FileLock() {
    if (handle_ == kNone) return;
#ifdef _WIN32
    CloseHandle(reinterpret_cast<HANDLE>(handle_));  // closing the handle releases its lock
#else
    ::close(static_cast<int>(handle_));
#endif
}

}  // namespace zez
