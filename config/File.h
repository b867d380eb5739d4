#pragma once
// C stdio files closed by their owner, and the system's words for an errno value.

#include <cstdio>
#include <memory>
#include <string>
#include <system_error>

namespace zez {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

inline std::string SystemReason(int err) {
    return std::generic_category().message(err);
}

}  // namespace zez
