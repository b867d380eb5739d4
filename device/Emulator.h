#pragma once
// The device side of the protocol: stores what a download sends, answers every command and
// computes both checksums. Faults can be switched on to try the host's failure paths.

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/Protocol.h"
#include "device/SerialPort.h"

namespace zez::device {

struct Faults {
    int silentAfter = -1;  // answer nothing from this many commands on (-1: never)
    int dropEvery = 0;     // ignore every Nth command entirely (0: none)
    int lateEvery = 0;     // delay every Nth reply by `lateBy` (0: none)
    Millis lateBy{0};
    bool shortReplies = false;       // every reply one character short
    bool lowerCaseChecksum = false;  // checksum digits in lower case
    bool wrongChecksum = false;      // checksum off by one in its last digit
    bool noteByte4095 = false;       // a non-zero byte at the note's last address
    int corruptEvery = 0;  // one digit of every Nth reply changed to another digit (0: none)
    int garbleEvery = 0;   // one character of every Nth reply replaced by an escape (0: none)
    int floodEvery = 0;    // every Nth reply followed by control bytes and noise (0: none)
    Millis dribble{0};     // each reply's characters this far apart
    bool pace = false;     // each reply also waits the time its command and it take on the line
};

// A fault's count or milliseconds: a whole number from 0 to kMaxFaultNumber (zezudi-devsim's
// options and the module's emulator refuse anything else).
inline constexpr double kMaxFaultNumber = 100000000;
constexpr bool IsFaultNumber(double v) {
    return v >= 0 && v <= kMaxFaultNumber && v == static_cast<double>(static_cast<long long>(v));
}

class DeviceEmulator {
  public:
    using Memory = std::array<uint8_t, kDownloadValues>;

    explicit DeviceEmulator(Faults faults = {});

    struct Reply {
        std::string text;
        Millis delay{0};
        Millis perByte{0};  // the characters this far apart after the first
        // Paced: the line time of the command and the reply at the speed the command came at.
        std::chrono::microseconds wire{0};
    };
    // Takes bytes as they arrive; every command ends with ']'. Returns the replies due.
    std::vector<Reply> Feed(std::string_view bytes);

    Memory& memory() { return memory_; }
    const Memory& memory() const { return memory_; }
    bool fast() const { return fast_; }
    int commands() const { return commands_; }

  private:
    std::optional<std::string> Handle(std::string_view cmd);
    std::string ChecksumText(const TransferChecksum& sum) const;
    // The reply faults that change a reply's text.
    void Spoil(std::string& text) const;

    Faults faults_;
    Memory memory_{};
    std::string pending_;
    int block_ = 0;
    TransferChecksum received_;  // over the values received since the start command
    int commands_ = 0;
    int replies_ = 0;
    bool fast_ = false;
};

// A simulated clock: waiting takes no real time.
class SimTime final : public TimeSource {
  public:
    TimePoint Now() override { return now_; }
    void SleepUntil(TimePoint t) override {
        if (t > now_) now_ = t;
    }

  private:
    TimePoint now_{};
};

// A serial port with the emulator at its other end, on simulated time. Replies arrive after
// their delay; `unplugAfterWrites` makes the port fail like a pulled adapter.
class EmulatedPort final : public SerialPort {
  public:
    EmulatedPort(DeviceEmulator& device, SimTime& time) : device_(device), time_(time) {}

    Result<void> Open(const std::string& name, std::string_view settings) override;
    void Close() override;
    void DtrOff() override {}
    int Waiting() override;
    std::string ReadAll() override;
    Result<void> Write(std::string_view text) override;
    Result<void> WaitForData(TimePoint deadline) override;

    std::string openError;             // when set, Open fails with it
    int unplugAfterWrites = -1;        // -1: never
    std::vector<std::string> opened;   // settings of every Open, in order
    std::vector<std::string> written;  // every command written

  private:
    struct Pending {
        TimePoint at;
        std::string text;
    };
    DeviceEmulator& device_;
    SimTime& time_;
    std::deque<Pending> pending_;
    bool open_ = false;
    bool unplugged_ = false;
};

}  // namespace zez::device
