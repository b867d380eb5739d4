#pragma once
// C stdio files closed by their owner, and the system's words for an errno value.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#endif

namespace zez {

struct FileCloser {
    // Closing a file that was only read; a writer closes its file itself and checks the result.
    void operator()(std::FILE* f) const { (void)std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

inline std::string SystemReason(int err) {
    return std::generic_category().message(err);
}

// A path as text for messages: UTF-8 on every system, so that a Windows file name is never
// narrowed to the code page (which cannot hold most names).
inline std::string PathText(const std::filesystem::path& p) {
    const auto u8 = p.u8string();
    return std::string(u8.begin(), u8.end());
}

// std::fopen for a path, through the wide API on Windows, so that any file name opens.
inline std::FILE* OpenFile(const std::filesystem::path& p, const char* mode) {
#ifdef _WIN32
    const std::wstring wide(mode, mode + std::strlen(mode));
    return _wfopen(p.c_str(), wide.c_str());
#else
    return std::fopen(p.c_str(), mode);
#endif
}

// A new file opened for writing, or none when the name is taken: created exclusively, also on
// Windows, whose C runtime ignores fopen's "x".
inline std::FILE* CreateNewFile(const std::filesystem::path& p) {
#ifdef _WIN32
    const int fd =
        _wopen(p.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return nullptr;
    std::FILE* f = _fdopen(fd, "wb");
    if (!f) _close(fd);
    return f;
#else
    return std::fopen(p.c_str(), "wxb");
#endif
}

}  // namespace zez
