#include "app/Termination.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <csignal>

namespace zez {
namespace {

int pipeEnds[2] = {-1, -1};  // written by the handler, read on the event loop

extern "C" void Handler(int sig) {
    const char byte = static_cast<char>(sig);
    [[maybe_unused]] const auto written = ::write(pipeEnds[0], &byte, 1);
}

}  // namespace

void OnTermination(QObject* context, std::function<void(int)> ending) {
    if (pipeEnds[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, pipeEnds) != 0) return;
    auto* notifier = new QSocketNotifier(pipeEnds[1], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [ending = std::move(ending)] {
        char sig = 0;
        if (::read(pipeEnds[1], &sig, 1) == 1) ending(sig);
    });
    struct sigaction action = {};
    action.sa_handler = Handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGHUP, SIGINT}) sigaction(sig, &action, nullptr);
}

}  // namespace zez

#else

namespace zez {

void OnTermination(QObject*, std::function<void(int)>) {}

}  // namespace zez

#endif
