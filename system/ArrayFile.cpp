#include "system/ArrayFile.h"

#include "system/ReplaceFile.h"

namespace zez {

Result<void> WriteControlArray(const ControlArray& array, const std::filesystem::path& path) {
    return ReplaceFile(path, array, {}, "Cannot write");
}

}  // namespace zez
