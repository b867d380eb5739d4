// Transfer benchmark: a full download and upload through QSerialPort to zezudi-devsim over a
// pseudo-terminal. Prints the time of each transfer, exchanges per second and the time per
// exchange.
//   bench/transfer DEVSIM [--pace]
// With --pace the emulator delays each reply by the wire time of command and reply at 115,200
// baud, so the download should take about the 17.3 s the wire itself needs.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "compiler/Compiler.h"
#include "device/Transfers.h"
#include "support/SampleConfigs.h"
#include "system/Clock.h"
#include "system/QtSerialPort.h"

extern char** environ;

namespace {

using namespace zez;

struct Devsim {
    pid_t pid = -1;
    std::string pty;
};

Devsim Start(const char* path, bool pace) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<char*> argv = {const_cast<char*>(path)};
    if (pace) argv.push_back(const_cast<char*>("--pace"));
    argv.push_back(nullptr);
    Devsim d;
    if (posix_spawn(&d.pid, path, &actions, nullptr, argv.data(), environ) != 0) d.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') d.pty.push_back(c);
    close(fds[0]);
    return d;
}

// The floor: the same command and reply sizes bounced over a bare pseudo-terminal by a forked
// echo, with the host's system calls of one exchange (drain poll, write, poll, read).
// With `delay` the echo waits that long before each reply, as the paced emulator does.
double BareRoundTripMicros(int exchanges, std::chrono::microseconds delay = {}) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return -1;
    const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    if (slave < 0) return -1;
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    const pid_t child = fork();
    if (child == 0) {
        close(slave);  // so that the host's close ends the echo
        char buf[64];
        while (read(master, buf, sizeof buf) > 0) {
            // Watch the clock: a sleep would overshoot by more than the host's own cost.
            const auto due = std::chrono::steady_clock::now() + delay;
            while (std::chrono::steady_clock::now() < due) {
            }
            if (write(master, "[]", 2) != 2) break;
        }
        _exit(0);
    }
    char buf[64];
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < exchanges; ++i) {
        pollfd drain{slave, POLLIN, 0};
        poll(&drain, 1, 0);
        if (write(slave, "[20000000000000000]", 19) != 19) break;
        for (int got = 0; got < 2;) {
            pollfd p{slave, POLLIN, 0};
            if (poll(&p, 1, 3000) <= 0) break;
            const ssize_t n = read(slave, buf, sizeof buf);
            if (n <= 0) break;
            got += static_cast<int>(n);
        }
    }
    const double us = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() *
                      1e6 / exchanges;
    close(slave);
    close(master);
    waitpid(child, nullptr, 0);
    return us;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: transfer DEVSIM [--pace]\n");
        return 2;
    }
    const bool pace = argc > 2 && std::strcmp(argv[2], "--pace") == 0;
    Devsim sim = Start(argv[1], pace);
    if (sim.pid < 0 || sim.pty.empty()) {
        std::fprintf(stderr, "cannot start %s\n", argv[1]);
        return 1;
    }
    std::mt19937 rng(5);
    const Config config = samples::Typical(rng);
    ControlArray array{};
    Compile(config, array);
    device::QtSerialPort port;
    device::SteadyTime time;
    device::Link link(port, time);

    auto timed = [&](auto&& run) {
        const auto t0 = std::chrono::steady_clock::now();
        const auto r = run();
        return std::make_pair(
            r, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    };
    const auto [down, downSec] =
        timed([&] { return device::Download(link, sim.pty, array, config); });
    const auto [up, upSec] = timed([&] { return device::Upload(link, sim.pty); });
    kill(sim.pid, SIGTERM);
    waitpid(sim.pid, nullptr, 0);

    // After the 0.5 s speed-change pause: start, 9216 data commands and the checksum; for the
    // upload 32 reads and the checksum. The connect is counted with them.
    const double pause = 0.5;
    const int downEx = 1 + 1 + 9216 + 1, upEx = 1 + 32 + 1;
    std::printf("%s over %s%s\n", "zezudi-devsim", sim.pty.c_str(),
                pace ? " (paced at 115,200 baud)" : "");
    std::printf("download: %.3f s, %s, %d exchanges, %.0f exchanges/s, %.1f us per exchange\n",
                downSec, down.outcome == device::Outcome::Complete ? "complete" : "FAILED", downEx,
                downEx / (downSec - pause), (downSec - pause) / downEx * 1e6);
    std::printf(
        "upload:   %.3f s, %s, %d exchanges, %.0f exchanges/s, %.1f us per exchange\n", upSec,
        up.outcome == device::Outcome::Complete && up.uploaded == config ? "complete" : "FAILED",
        upEx, upEx / (upSec - pause), (upSec - pause) / upEx * 1e6);
    if (pace) {
        // 21 characters of command and reply, 10 bits each, at 115,200 baud.
        const auto wire = std::chrono::microseconds(21 * 10 * 1000000 / 115200);
        const double bare = BareRoundTripMicros(downEx, wire);
        std::printf(
            "download against the 17.3 s of wire time: %+.1f%%; a bare pseudo-terminal "
            "echo with the same delay gives %.3f s (%+.1f%%)\n",
            (downSec / 17.3 - 1) * 100, pause + bare * 1e-6 * downEx,
            ((pause + bare * 1e-6 * downEx) / 17.3 - 1) * 100);
    } else {
        const double bare = BareRoundTripMicros(downEx);
        const double ours = (downSec - pause) / downEx * 1e6;
        std::printf(
            "bare pseudo-terminal round trip: %.1f us; a download exchange costs %.2fx that; the "
            "floor for a download here is %.3f s\n",
            bare, ours / bare, pause + bare * 1e-6 * downEx);
    }
    return down.outcome == device::Outcome::Complete && up.outcome == device::Outcome::Complete ? 0
                                                                                                : 1;
}
