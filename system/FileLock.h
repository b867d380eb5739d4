#pragma once
// An exclusive lock on a small file beside one of the program's own files, held by one program
// (or one thread) at a time. The system releases it when the holder closes it or ends, however
// it ends, so a crashed program never leaves it held.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

#include "config/Result.h"

namespace zez {

class FileLock {
  public:
    // Waits up to `wait` for the lock on `lockFile` (made when missing; never a link, a FIFO or
    // anything but a regular file). Errors read "<verb> "<lockFile>": <reason>.".
    static Result<FileLock> Acquire(const std::filesystem::path& lockFile,
                                    std::chrono::milliseconds wait, const std::string& verb);

    FileLock(FileLock&& other) noexcept : handle_(other.handle_) { other.handle_ = kNone; }
    FileLock& operator=(FileLock&&) = delete;
    FileLock(const FileLock&) = delete;
    ~FileLock();

  private:
    static constexpr std::intptr_t kNone = -1;
    explicit FileLock(std::intptr_t handle) : handle_(handle) {}
    std::intptr_t handle_;
};

}  // namespace zez
