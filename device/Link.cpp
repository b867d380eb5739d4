#include "device/Link.h"

#include <algorithm>

namespace zez::device {

void Link::StartDeadline(Millis budget) {
    deadline_ = time_.Now() + budget_.value_or(budget);
}

Exchange Link::Run(std::string_view cmd, int replyLength, Millis timeout) {
    fresh_ = false;
    if (Cancelled()) return Exchange::Cancelled;
    if (deadline_ && time_.Now() >= *deadline_) return Exchange::TooSlow;
    port_.Drain();  // what came late belongs to no exchange
    if (auto w = port_.Write(cmd); !w) {
        portError_ = w.error();
        return Exchange::PortFailed;
    }
    const TimePoint start = time_.Now();
    const TimePoint deadline = start + timeout;
    // The wait also ends at the transfer's deadline.
    const TimePoint until = deadline_ ? std::min(deadline, *deadline_) : deadline;
    if (replyLength <= 0) {
        for (TimePoint now = start; now < until; now = time_.Now()) {
            if (Cancelled()) return Exchange::Cancelled;
            time_.SleepUntil(std::min(until, now + kPauseStep));
        }
        if (Cancelled()) return Exchange::Cancelled;
        return until < deadline ? Exchange::TooSlow : Exchange::Replied;
    }
    while (port_.Waiting() < replyLength && time_.Now() < until) {
        if (auto waited = port_.WaitForData(until); !waited) {
            portError_ = waited.error();
            return Exchange::PortFailed;
        }
        // A cancel made during the wait ends it at once where the port wakes up for it.
        if (Cancelled()) return Exchange::Cancelled;
    }
    if (port_.Waiting() < replyLength) {
        if (deadline_ && time_.Now() >= *deadline_) return Exchange::TooSlow;
        if (time_.Now() - start >= timeout) return Exchange::TimedOut;
    }
    reply_ = port_.ReadAll();
    fresh_ = true;
    return Exchange::Replied;
}

Exchange Link::DeviceConnect() {
    return Run(kConnectCommand, kConnectReplyLength, kConnectTimeout);
}

Exchange Link::DeviceFastBaud() {
    return Run(kFastBaudCommand, 0, kFastBaudPause);
}

Exchange Link::DeviceCommand(std::string_view cmd, int replyLength) {
    return Run(cmd, replyLength, kCommandTimeout);
}

Result<void> Link::Start(const std::string& portName) {
    portName_ = portName;
    if (auto opened = port_.Open(portName, kSlowSettings); !opened) return opened;
    port_.DtrOff();
    return {};
}

Result<void> Link::SwitchToFast() {
    port_.Close();
    if (auto opened = port_.Open(portName_, kFastSettings); !opened) return opened;
    port_.DtrOff();
    port_.SetLowLatency();
    return {};
}

void Link::End() {
    port_.Close();
}

}  // namespace zez::device
