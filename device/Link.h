#pragma once
// The exchanges with the device: drain, write a command, wait for the expected number of reply
// characters or the time-out, then read everything or keep the old reply.

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "device/Protocol.h"
#include "device/SerialPort.h"

namespace zez::device {

inline constexpr Millis kConnectTimeout{2500};
inline constexpr Millis kFastBaudPause{500};
// The pause is slept in steps this long, so a cancel made meanwhile ends it.
inline constexpr Millis kPauseStep{20};
inline constexpr Millis kCommandTimeout{3000};

// How an exchange ended. TooSlow: the transfer's overall deadline passed; Cancelled: the user
// asked to stop before it began or while it waited for the reply.
enum class Exchange { Replied, TimedOut, PortFailed, TooSlow, Cancelled };

class Link {
  public:
    Link(SerialPort& port, TimeSource& time) : port_(port), time_(time) {}

    // The last reply that arrived in time; kept when an exchange times out.
    const std::string& DeviceReply() const { return reply_; }
    // Whether DeviceReply came in answer to the last exchange (not kept from an earlier one).
    bool ReplyIsFresh() const { return fresh_; }

    // A whole transfer must end within a deadline, however slowly the device dribbles its
    // replies: `budget` from now, unless SetBudget chose another.
    void StartDeadline(Millis budget);
    void SetBudget(std::optional<Millis> budget) { budget_ = budget; }
    // Set from another thread (or by the host while the port waits) to stop the transfer: seen
    // before each exchange, each time the wait for a reply wakes and during the speed change's
    // pause.
    void SetCancel(const std::atomic<bool>* cancel) { cancel_ = cancel; }
    Millis budget(Millis fallback) const { return budget_.value_or(fallback); }
    // Why the port failed, after an exchange answered PortFailed.
    const std::string& PortError() const { return portError_; }

    Exchange DeviceConnect();
    // Tells the device to change speed, then pauses (until a cancel); reads nothing.
    Exchange DeviceFastBaud();
    Exchange DeviceCommand(std::string_view cmd, int replyLength);

    // Link start: open at 38,400 baud, DTR off. Fails when the port cannot be opened.
    Result<void> Start(const std::string& portName);
    // Speed switch after the connect: reopen at 115,200 baud.
    Result<void> SwitchToFast();
    // Link end: the port closed.
    void End();

  private:
    Exchange Run(std::string_view cmd, int replyLength, Millis timeout);
    bool Cancelled() const { return cancel_ && cancel_->load(); }
    SerialPort& port_;
    TimeSource& time_;
    std::string portName_;
    std::string reply_;
    bool fresh_ = false;
    std::string portError_;
    std::optional<Millis> budget_;
    std::optional<TimePoint> deadline_;
    const std::atomic<bool>* cancel_ = nullptr;
};

}  // namespace zez::device
