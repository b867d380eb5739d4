#pragma once
// Where a window program's --help and --version go. On Windows a window program has no console
// of its own, and Qt would show them in a message box; run from a command prompt or with its
// output redirected, they belong there instead. Elsewhere nothing changes.

namespace zez {

// On Windows: true when the program was started from a console (now attached, standard output
// and error written into it) or with its output redirected, so that help and version text is
// printed there rather than shown in a box. Elsewhere false: the output is where it always is.
bool UseStartingConsole();

}  // namespace zez
