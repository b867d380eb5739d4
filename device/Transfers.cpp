#include "device/Transfers.h"

namespace zez::device {
namespace {

// Runs the transfer's commands, stopping it when the port fails or the device falls silent.
class Session {
  public:
    Session(Link& link, TransferResult& result) : link_(link), result_(result) {}

    // False when the transfer must stop; `result_` then says why.
    bool Command(std::string_view cmd, int replyLength) {
        switch (link_.DeviceCommand(cmd, replyLength)) {
            case Exchange::Replied:
                silent_ = 0;
                return true;
            case Exchange::TimedOut:
                if (++silent_ < kSilentLimit) return true;
                return Stop("The device stopped answering (" + std::to_string(kSilentLimit) +
                            " commands in a row without a reply).");
            case Exchange::PortFailed:
                return Stop(link_.PortError());
        }
        return true;
    }

    bool Stop(const std::string& reason) {
        result_.outcome = Outcome::Failed;
        result_.reason = reason;
        link_.End();
        return false;
    }

  private:
    Link& link_;
    TransferResult& result_;
    int silent_ = 0;
};

// Link start and speed switch; false (with the outcome set) when the transfer cannot go on.
bool Connect(Link& link, const std::string& portName, TransferResult& result) {
    if (auto started = link.Start(portName); !started) {
        link.End();
        result.outcome = Outcome::PortError;
        result.reason = started.error();
        return false;
    }
    switch (link.DeviceConnect()) {
        case Exchange::Replied:
            break;
        case Exchange::TimedOut:
            link.End();
            result.outcome = Outcome::NoConnect;
            return false;
        case Exchange::PortFailed:
            link.End();
            result.outcome = Outcome::PortError;
            result.reason = link.PortError();
            return false;
    }
    if (link.DeviceFastBaud() == Exchange::PortFailed) {
        link.End();
        result.outcome = Outcome::Failed;
        result.reason = link.PortError();
        return false;
    }
    if (auto fast = link.SwitchToFast(); !fast) {
        link.End();
        result.outcome = Outcome::Failed;
        result.reason = fast.error();
        return false;
    }
    return true;
}

void Say(const CaptionFn& caption, const std::string& text) {
    if (caption) caption(text);
}

}  // namespace

TransferResult Download(Link& link, const std::string& portName, const ControlArray& array,
                        const Config& config, const CaptionFn& caption) {
    TransferResult result;
    Say(caption, "Block 0 of 2304");
    if (!Connect(link, portName, result)) return result;
    Session session(link, result);
    if (!session.Command(kStartDownloadCommand, kShortReplyLength)) return result;
    const std::vector<uint8_t> stream = DownloadStream(array, config);
    for (int b = 0; b < kDownloadBlocks; ++b) {
        const bool announce = b < 2048 ? b % 16 == 0 : b % 8 == 0;
        if (announce) Say(caption, "Block " + std::to_string(b) + " of 2304");
        for (int part = 0; part < 4; ++part) {
            const std::string cmd = DataCommand(part, &stream[32 * b + 8 * part]);
            if (!session.Command(cmd, kShortReplyLength)) return result;
        }
    }
    Say(caption, "Host Checksum");
    TransferChecksum sum;
    sum.Add(stream.data(), stream.size());
    result.hostChecksum = sum.Text();
    Say(caption, "Device Checksum");
    if (!session.Command(kDownloadChecksumCommand, kChecksumReplyLength)) return result;
    result.deviceChecksum = ChecksumOfReply(link.DeviceReply());
    result.outcome =
        result.deviceChecksum == result.hostChecksum ? Outcome::Complete : Outcome::Failed;
    link.End();
    return result;
}

TransferResult Upload(Link& link, const std::string& portName, const CaptionFn& caption) {
    TransferResult result;
    Say(caption, "Block 0 of 32");
    if (!Connect(link, portName, result)) return result;
    Session session(link, result);
    // Received values go into a staging record; the caller adopts it only when Complete.
    Config staging;
    for (int b = 0; b < kReadBlocks; ++b) {
        Say(caption, "Block " + std::to_string(b) + " of 32");
        if (!session.Command(ReadCommand(kConfigAddress + kReadValues * b), kReadReplyLength))
            return result;
        StoreReadBlock(staging, b, ParseReadReply(link.DeviceReply()));
    }
    Say(caption, "Host Checksum");
    result.hostChecksum = UploadHostChecksum(staging);
    Say(caption, "Device Checksum");
    if (!session.Command(kStoredChecksumCommand, kChecksumReplyLength)) return result;
    result.deviceChecksum = ChecksumOfReply(link.DeviceReply());
    if (result.deviceChecksum == result.hostChecksum) {
        result.outcome = Outcome::Complete;
        result.uploaded = staging;
    } else {
        result.outcome = Outcome::Failed;
    }
    link.End();
    return result;
}

}  // namespace zez::device
