#include "app/Console.h"

#ifdef _WIN32
#include <windows.h>
#include <cstdio>
#endif

namespace zez {

bool UseStartingConsole() {
#ifdef _WIN32
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    bool console = out != nullptr && out != INVALID_HANDLE_VALUE &&
                   GetFileType(out) != FILE_TYPE_UNKNOWN;  // redirected to a file or a pipe
    if (!console && AttachConsole(ATTACH_PARENT_PROCESS)) {
        console = std::freopen("CONOUT$", "w", stdout) != nullptr;
        if (std::freopen("CONOUT$", "w", stderr) == nullptr) console = false;
    }
    return console;
#else
    return false;
#endif
}

}  // namespace zez
