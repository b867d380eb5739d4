#pragma once
// A request to end the program from outside (SIGTERM at shutdown, SIGHUP when the terminal goes,
// SIGINT from Ctrl+C), handed to the event loop. Windows programs get the session manager's
// request instead (QGuiApplication::commitDataRequest), so nothing is watched there.

#include <QObject>
#include <functional>

namespace zez {

// From now on, `ending` runs on the event loop of `context`'s thread with the signal's number
// when such a request comes. Once per program.
void OnTermination(QObject* context, std::function<void(int)> ending);

}  // namespace zez
