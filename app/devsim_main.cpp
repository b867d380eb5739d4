// zezudi-devsim: the device emulator on a pseudo-terminal. Prints the terminal's path on its
// first line, then answers the host until killed.

#include <fcntl.h>
#include <poll.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <utility>

#include "device/Emulator.h"
#include "system/FileAccess.h"
#include "system/ReplaceFile.h"

namespace {

using namespace zez::device;

volatile std::sig_atomic_t stopRequested = 0;
void OnSignal(int) {
    stopRequested = 1;
}

const char* kUsage =
    "usage: zezudi-devsim [options]\n"
    "Serves an emulated input module on a pseudo-terminal; prints its path on the first line.\n"
    "  --memory FILE            load the device's 73,728 values from FILE, save them back after\n"
    "                           each transfer and on exit\n"
    "  --record FILE            write every byte the host sent to FILE, with the speed it set\n"
    "                           (after each transfer and on exit)\n"
    "  --exit-after-transfer    exit after answering a checksum query\n"
    "  --exit-after-commands N  exit (hang up) after N commands, like an unplugged adapter\n"
    "  --pace                   delay each reply by the wire time of command and reply\n"
    "  --silent-after N         answer nothing from the Nth command on\n"
    "  --drop-every N           ignore every Nth command\n"
    "  --late-every N --late-ms MS   delay every Nth reply by MS milliseconds\n"
    "  --short-replies          every reply one character short\n"
    "  --lower-case-checksum    checksums in lower case\n"
    "  --wrong-checksum         checksums off in their last digit\n"
    "  --note-byte-4095         a non-zero byte at the note's last address\n"
    "  --corrupt-every N        change one digit of every Nth reply\n"
    "  --garble-every N         replace a character of every Nth reply by an escape\n"
    "  --flood-every N          follow every Nth reply with control bytes and noise\n"
    "  --dribble-ms MS          send each reply's characters MS milliseconds apart\n"
    "exit codes: 0 success, 1 failure, 2 bad usage\n";

struct Options {
    Faults faults;
    std::string memory;
    std::string record;
    bool exitAfterTransfer = false;
    int exitAfterCommands = -1;
    bool help = false;
};

bool ParseInt(const char* text, int& out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!end || *end || !IsFaultNumber(static_cast<double>(v))) return false;
    out = static_cast<int>(v);
    return true;
}

bool Parse(int argc, char** argv, Options& o) {
    int lateMs = 0, dribbleMs = 0;
    const std::pair<const char*, int*> numbers[] = {{"--exit-after-commands", &o.exitAfterCommands},
                                                    {"--silent-after", &o.faults.silentAfter},
                                                    {"--drop-every", &o.faults.dropEvery},
                                                    {"--late-every", &o.faults.lateEvery},
                                                    {"--late-ms", &lateMs},
                                                    {"--corrupt-every", &o.faults.corruptEvery},
                                                    {"--garble-every", &o.faults.garbleEvery},
                                                    {"--flood-every", &o.faults.floodEvery},
                                                    {"--dribble-ms", &dribbleMs}};
    const std::pair<const char*, bool*> switches[] = {
        {"--exit-after-transfer", &o.exitAfterTransfer},
        {"--pace", &o.faults.pace},
        {"--short-replies", &o.faults.shortReplies},
        {"--lower-case-checksum", &o.faults.lowerCaseChecksum},
        {"--wrong-checksum", &o.faults.wrongChecksum},
        {"--note-byte-4095", &o.faults.noteByte4095}};
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            o.help = true;
            return true;
        }
        if (a == "--memory" && i + 1 < argc) {
            o.memory = argv[++i];
            continue;
        }
        if (a == "--record" && i + 1 < argc) {
            o.record = argv[++i];
            continue;
        }
        bool known = false;
        for (const auto& [name, flag] : switches)
            if (a == name) known = *flag = true;
        for (const auto& [name, number] : numbers)
            if (a == name) known = i + 1 < argc && ParseInt(argv[++i], *number);
        if (!known) {
            std::cerr << "zezudi-devsim: unknown or incomplete option " << a << "\n" << kUsage;
            return false;
        }
    }
    o.faults.lateBy = Millis{lateMs};
    o.faults.dribble = Millis{dribbleMs};
    return true;
}

// A missing file is a new device (all zeros); a file that is there must be a regular file.
bool LoadMemory(const std::string& path, DeviceEmulator& device) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) && !std::filesystem::is_symlink(path, ec)) return true;
    auto f = zez::OpenForReading(path, "Cannot read the device memory");
    if (!f) {
        std::cerr << "zezudi-devsim: " << f.error() << "\n";
        return false;
    }
    // A memory file is written whole: a shorter one is damaged, not a device with some zeros.
    auto& memory = device.memory();
    const std::size_t read = std::fread(memory.data(), 1, memory.size(), f.value().get());
    if (read != memory.size()) {
        std::cerr << "zezudi-devsim: the device memory \"" << path << "\" holds " << read
                  << " bytes, not " << memory.size() << "; move it away to start a new device.\n";
        return false;
    }
    return true;
}

bool SaveMemory(const std::string& path, const DeviceEmulator& device) {
    if (path.empty()) return true;
    const auto& m = device.memory();
    auto saved = zez::ReplaceFile(path, {m.data(), m.size()}, {}, "Cannot save the device memory");
    if (!saved) std::cerr << "zezudi-devsim: " << saved.error() << "\n";
    return saved.ok();
}

// What the host sent: its bytes as they came, and before them, whenever the terminal's speed is
// another than before, a line "@SPEED" (the commands hold no '@').
class Recording {
  public:
    explicit Recording(std::string path) : path_(std::move(path)) {}
    void Add(int terminal, std::string_view bytes) {
        if (path_.empty()) return;
        termios t{};
        const speed_t speed = tcgetattr(terminal, &t) == 0 ? cfgetospeed(&t) : B0;
        if (speed != speed_ || text_.empty()) {
            speed_ = speed;
            text_ += "\n@" + std::to_string(Baud(speed)) + "\n";
        }
        text_ += bytes;
    }
    bool Save() const {
        if (path_.empty()) return true;
        auto saved =
            zez::ReplaceFile(path_, {reinterpret_cast<const uint8_t*>(text_.data()), text_.size()},
                             {}, "Cannot save the record");
        if (!saved) std::cerr << "zezudi-devsim: " << saved.error() << "\n";
        return saved.ok();
    }

  private:
    static int Baud(speed_t s) {
        const std::pair<speed_t, int> known[] = {{B9600, 9600},     {B19200, 19200},
                                                 {B38400, 38400},   {B57600, 57600},
                                                 {B115200, 115200}, {B230400, 230400}};
        for (const auto& [code, baud] : known)
            if (s == code) return baud;
        return 0;
    }
    std::string path_;
    std::string text_;
    speed_t speed_ = B0;
};

// poll() to the nanosecond where the system has ppoll(), to the millisecond elsewhere.
int WaitReadable(pollfd& p, const timespec* timeout) {
#ifdef __linux__
    return ppoll(&p, 1, timeout, nullptr);
#else
    const long long ms = timeout->tv_sec * 1000LL + (timeout->tv_nsec + 999999) / 1000000;
    return poll(&p, 1, static_cast<int>(ms));
#endif
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!Parse(argc, argv, o)) return 2;
    if (o.help) {
        std::cout << kUsage;
        return 0;
    }
#ifdef __linux__
    // Paced replies are due every 2 ms or so; the default 50 us timer slack would add up.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    DeviceEmulator device(o.faults);
    if (!o.memory.empty() && !LoadMemory(o.memory, device)) return 1;
    if (o.faults.noteByte4095) device.memory()[kNoteAddress + zez::kNoteBytes - 1] = 0x5A;

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("zezudi-devsim: cannot create a pseudo-terminal");
        return 1;
    }
    char path[256];
    if (ptsname_r(master, path, sizeof path) != 0) {
        std::perror("zezudi-devsim: cannot name the pseudo-terminal");
        return 1;
    }
    // Holding the terminal open ourselves keeps it alive between the host's transfers.
    const int slave = open(path, O_RDWR | O_NOCTTY);
    if (slave < 0) {
        std::perror("zezudi-devsim: cannot open the pseudo-terminal");
        return 1;
    }
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    // The host reads the terminal's name from this line: a device it cannot name is no device.
    Recording recording(o.record);
    if (std::printf("%s\n", path) < 0 || std::fflush(stdout) != 0) return 1;

    // Without SA_RESTART, so that a blocking read ends on a signal.
    struct sigaction stop {};
    stop.sa_handler = OnSignal;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGTERM, &stop, nullptr);

    struct Due {
        TimePoint at;
        std::string text;
        bool last;  // a checksum reply: the end of a transfer
    };
    std::deque<Due> due;
    int rc = 0;
    bool done = false;
    while (!stopRequested && !done) {
        // Replies wait to the microsecond: --pace delays are a few milliseconds each.
        timespec wait{};
        timespec* timeout = nullptr;
        if (!due.empty()) {
            // Sleep until shortly before the reply is due and watch the rest of the time: a
            // timer wakes up about a tenth of a millisecond late, too late for paced replies.
            constexpr long long kWatchNs = 250000;
            long long left =
                std::chrono::duration_cast<std::chrono::nanoseconds>(due.front().at - Clock::now())
                    .count();
            left = left > kWatchNs ? left - kWatchNs : 0;
            wait.tv_sec = static_cast<time_t>(left / 1000000000);
            wait.tv_nsec = static_cast<long>(left % 1000000000);
            timeout = &wait;
        }
        // With no reply pending a plain blocking read saves a system call per exchange.
        pollfd p{master, POLLIN, 0};
        const int ready = timeout ? WaitReadable(p, timeout) : 1;
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0 && (!timeout || (p.revents & POLLIN))) {
            char buf[4096];
            const ssize_t n = read(master, buf, sizeof buf);
            if (n < 0 && errno != EINTR && errno != EAGAIN) break;
            if (n > 0) {
                recording.Add(slave, std::string_view(buf, static_cast<std::size_t>(n)));
                const int before = device.commands();
                for (auto& r : device.Feed(std::string_view(buf, static_cast<std::size_t>(n)))) {
                    TimePoint at = Clock::now() + r.delay + r.wire;
                    if (!due.empty() && due.back().at > at) at = due.back().at;
                    const bool last = r.text.size() == 18;
                    if (r.perByte == Millis{0}) {
                        due.push_back({at, std::move(r.text), last});
                        continue;
                    }
                    for (std::size_t k = 0; k < r.text.size(); ++k, at += r.perByte)
                        due.push_back(
                            {at, std::string(1, r.text[k]), last && k + 1 == r.text.size()});
                }
                if (o.exitAfterCommands >= 0 && device.commands() >= o.exitAfterCommands &&
                    before < o.exitAfterCommands)
                    done = true;  // hang up like a pulled adapter, replies unsent
            }
        }
        while (!done && !due.empty() && due.front().at <= Clock::now()) {
            const Due d = std::move(due.front());
            due.pop_front();
            if (write(master, d.text.data(), d.text.size()) < 0) break;
            if (d.last) {
                if (!SaveMemory(o.memory, device) || !recording.Save()) rc = 1;
                if (o.exitAfterTransfer) done = true;
            }
        }
    }
    if (!SaveMemory(o.memory, device) || !recording.Save()) rc = 1;
    if (o.exitAfterTransfer) tcdrain(master);
    close(slave);
    close(master);
    return rc;
}
