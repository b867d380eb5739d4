#include "system/FileAccess.h"

#include <atomic>
#include <cerrno>
#include <random>
#include <string_view>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zez {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kTempMarker = ".zezudi-partial-save-";
constexpr std::string_view kOldTempMarker = ".zez-";  // what versions up to 0.1.0 wrote
constexpr std::string_view kTempEnd = ".tmp";

// Why a thing that is not a regular file cannot be read or replaced as one.
std::string NotAFile(fs::file_type type) {
    switch (type) {
        case fs::file_type::directory:
            return "it is a directory, not a file";
        case fs::file_type::fifo:
            return "it is a named pipe (FIFO), not a file";
        case fs::file_type::socket:
            return "it is a socket, not a file";
        case fs::file_type::block:
        case fs::file_type::character:
            return "it is a device, not a file";
        default:
            return "it is not a regular file";
    }
}

#ifdef _WIN32
// Windows keeps device names (CON, NUL, AUX, COM1, ...) in every folder and with any extension,
// and the file system calls them missing; reading one can block like a FIFO. Opening it for no
// access at all shows what it is.
bool IsDevice(const fs::path& path) {
    const HANDLE h =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const DWORD type = GetFileType(h);
    CloseHandle(h);
    return type != FILE_TYPE_DISK;
}
#else
fs::file_type TypeOf(mode_t mode) {
    if (S_ISDIR(mode)) return fs::file_type::directory;
    if (S_ISFIFO(mode)) return fs::file_type::fifo;
    if (S_ISSOCK(mode)) return fs::file_type::socket;
    if (S_ISBLK(mode)) return fs::file_type::block;
    if (S_ISCHR(mode)) return fs::file_type::character;
    return fs::file_type::unknown;
}
#endif

// "<name><marker><digits>.tmp" for the target's file name.
bool IsTemporaryOf(const std::string& entry, const std::string& name, std::string_view marker) {
    if (entry.size() <= name.size() + marker.size() + kTempEnd.size()) return false;
    if (entry.compare(0, name.size(), name) != 0) return false;
    if (entry.compare(name.size(), marker.size(), marker) != 0) return false;
    if (entry.compare(entry.size() - kTempEnd.size(), kTempEnd.size(), kTempEnd) != 0) return false;
    const std::size_t from = name.size() + marker.size();
    const std::size_t to = entry.size() - kTempEnd.size();
    for (std::size_t i = from; i < to; ++i)
        if (entry[i] < '0' || entry[i] > '9') return false;
    return true;
}

}  // namespace

Error FileFailure(const std::string& verb, const fs::path& path, const std::string& why) {
    return Error{verb + " \"" + PathText(path) + "\": " + why + ".", ErrorKind::File};
}

std::string HeldOpenOr(const std::string& why) {
#ifdef _WIN32
    const DWORD err = GetLastError();
    if (err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION)
        return "another program has the file open; close it there and try again, or use another "
               "name";
#endif
    return why;
}

Result<FilePtr> OpenForReading(const fs::path& path, const std::string& verb) {
#ifdef _WIN32
    if (IsDevice(path)) return FileFailure(verb, path, NotAFile(fs::file_type::character));
    std::error_code ec;
    const auto st = fs::status(path, ec);
    if (!ec && fs::exists(st) && !fs::is_regular_file(st))
        return FileFailure(verb, path, NotAFile(st.type()));
    errno = 0;
    FilePtr f(OpenFile(path, "rb"));
    if (!f) return FileFailure(verb, path, HeldOpenOr(SystemReason(errno)));
    return f;
#else
    // A socket cannot be opened at all; say what it is rather than the system's puzzle.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return FileFailure(verb, path, NotAFile(TypeOf(st.st_mode)));
    // Non-blocking, so that opening a FIFO with no writer returns at once and can be refused.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return FileFailure(verb, path, SystemReason(errno));
    // Checked again on what was opened: the name may have changed hands meanwhile.
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return FileFailure(verb, path, SystemReason(err));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return FileFailure(verb, path, NotAFile(TypeOf(st.st_mode)));
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    FilePtr f(::fdopen(fd, "rb"));
    if (!f) {
        const int err = errno;
        ::close(fd);
        return FileFailure(verb, path, SystemReason(err));
    }
    return f;
#endif
}

Result<WriteTarget> CheckWriteTarget(const fs::path& path, const std::string& verb) {
    WriteTarget t{path, false};
    std::error_code ec;
    // Write through a link (or a chain of them) to the file it names, not over the link.
    if (fs::is_symlink(t.path, ec)) {
        const auto real = fs::weakly_canonical(t.path, ec);
        if (ec) return FileFailure(verb, path, ec.message());
        t.path = real;
    }
#ifdef _WIN32
    if (IsDevice(t.path)) return FileFailure(verb, path, NotAFile(fs::file_type::character));
#endif
    const auto st = fs::status(t.path, ec);
    if (ec && ec != std::errc::no_such_file_or_directory)
        return FileFailure(verb, path, ec.message());
    if (!fs::exists(st)) return t;
    if (!fs::is_regular_file(st)) return FileFailure(verb, path, NotAFile(st.type()));
    t.exists = true;
#ifdef _WIN32
    if ((st.permissions() & fs::perms::owner_write) == fs::perms::none)
        return FileFailure(verb, path, "the file is read-only");
#else
    // No write bit at all is read-only for everyone, also for an administrator.
    if ((st.permissions() & (fs::perms::owner_write | fs::perms::group_write |
                             fs::perms::others_write)) == fs::perms::none)
        return FileFailure(verb, path, "the file is read-only");
    if (::access(t.path.c_str(), W_OK) != 0) {
        if (errno == EROFS) return FileFailure(verb, path, "it is on a read-only file system");
        if (errno == EACCES || errno == EPERM)
            return FileFailure(verb, path, "the file is read-only for you (permission denied)");
        return FileFailure(verb, path, SystemReason(errno));
    }
#endif
    return t;
}

fs::path TemporaryFor(const fs::path& target) {
    // Saves may run on several threads at once: each takes its own step of one shared sequence
    // that starts somewhere random, so two never pick the same name.
    static std::atomic<uint64_t> next{std::random_device{}()};
    const auto tag = std::to_string(next.fetch_add(1) % 1000000000ULL);
    fs::path name = target.filename();  // never narrowed: any name on any system
    name += std::string(kTempMarker) + tag + std::string(kTempEnd);
    return target.parent_path() / name;
}

int RemoveStaleTemporaries(const fs::path& target, std::chrono::seconds age) {
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    const std::string name = PathText(target.filename());
    const auto before = fs::file_time_type::clock::now() - age;
    std::error_code ec;
    int removed = 0;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator{}; it.increment(ec)) {
        const std::string entry = PathText(it->path().filename());
        if (!IsTemporaryOf(entry, name, kTempMarker) && !IsTemporaryOf(entry, name, kOldTempMarker))
            continue;
        std::error_code fec;
        if (!fs::is_regular_file(it->symlink_status(fec)) || fec) continue;
        const auto written = fs::last_write_time(it->path(), fec);
        if (fec || written > before) continue;
        if (fs::remove(it->path(), fec) && !fec) ++removed;
    }
    return removed;
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

}  // namespace zez
