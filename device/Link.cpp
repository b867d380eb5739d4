#include "device/Link.h"

#include <thread>

namespace zez::device {

void SteadyTime::SleepUntil(TimePoint t) {
    std::this_thread::sleep_until(t);
}

Exchange Link::Run(std::string_view cmd, int replyLength, Millis timeout) {
    port_.Drain();  // what came late belongs to no exchange
    if (auto w = port_.Write(cmd); !w) {
        portError_ = w.error();
        return Exchange::PortFailed;
    }
    const TimePoint start = time_.Now();
    const TimePoint deadline = start + timeout;
    if (replyLength <= 0) {
        time_.SleepUntil(deadline);
        return Exchange::Replied;
    }
    while (port_.Waiting() < replyLength && time_.Now() < deadline) {
        if (auto waited = port_.WaitForData(deadline); !waited) {
            portError_ = waited.error();
            return Exchange::PortFailed;
        }
    }
    if (time_.Now() - start >= timeout && port_.Waiting() < replyLength) return Exchange::TimedOut;
    reply_ = port_.ReadAll();
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
