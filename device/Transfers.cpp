#include "device/Transfers.h"

#include <algorithm>

namespace zez::device {
namespace {

// Runs the transfer's commands, stopping it when the port fails, the device falls silent or the
// transfer runs past its deadline.
class Session {
  public:
    Session(Link& link, TransferResult& result) : link_(link), result_(result) {}

    // False when the transfer must stop; `result_` then says why.
    bool Command(std::string_view cmd, int replyLength) {
        last_ = link_.DeviceCommand(cmd, replyLength);
        switch (last_) {
            case Exchange::Replied:
                silent_ = 0;
                return true;
            case Exchange::TimedOut:
                if (++silent_ < kSilentLimit) return true;
                result_.silent = true;
                return Stop("The device stopped answering (" + std::to_string(kSilentLimit) +
                            " commands in a row without a reply).");
            case Exchange::PortFailed:
                return Stop(link_.PortError());
            case Exchange::TooSlow:
                return Stop("The device answers too slowly: the transfer did not end in time.");
            case Exchange::Cancelled:  // no reason: the outcome says it, as at the connect
                Stop({});
                result_.outcome = Outcome::Cancelled;
                return false;
        }
        return true;
    }

    // A command whose reply is used: only a reply that came in answer to it and has the form
    // `wellFormed` accepts counts; asked up to three times, then the transfer fails naming
    // `what`. The reply is then DeviceReply().
    bool Ask(std::string_view cmd, int replyLength, bool (*wellFormed)(std::string_view),
             const std::string& what) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (!Command(cmd, replyLength)) return false;
            if (last_ == Exchange::Replied && link_.ReplyIsFresh() &&
                wellFormed(link_.DeviceReply()))
                return true;
        }
        return Stop("No reply to " + what + " (asked three times).");
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
    Exchange last_ = Exchange::Replied;
    int silent_ = 0;
};

// The time a transfer may take: ten times its characters' line time at 115,200 baud (ten bits a
// character), and a minute more.
Millis Budget(int characters) {
    return Millis(60000 + 10LL * characters * 10 * 1000 / 115200);
}

std::string ReadWhat(int block) {
    return "the read of block " + std::to_string(block);
}

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
        case Exchange::TooSlow:
            link.End();
            result.outcome = Outcome::Failed;
            result.reason = "The device answers too slowly: the transfer did not end in time.";
            return false;
        case Exchange::Cancelled:
            link.End();
            result.outcome = Outcome::Cancelled;
            return false;
    }
    const Exchange e = link.DeviceFastBaud();
    if (e == Exchange::Cancelled) {
        link.End();
        result.outcome = Outcome::Cancelled;
        return false;
    }
    if (e == Exchange::PortFailed || e == Exchange::TooSlow) {
        link.End();
        result.outcome = Outcome::Failed;
        result.reason = e == Exchange::TooSlow
                            ? "The device answers too slowly: the transfer did not end in time."
                            : link.PortError();
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

// The outcome of the two checksums, with both in the reason when they differ.
void Decide(TransferResult& result) {
    if (result.deviceChecksum == result.hostChecksum) {
        result.outcome = Outcome::Complete;
        return;
    }
    result.outcome = Outcome::Failed;
    result.reason = "The device's checksum " + Printable(result.deviceChecksum) +
                    " differs from the host's " + result.hostChecksum + ".";
}

}  // namespace

TransferResult Download(Link& link, const std::string& portName, const ControlArray& array,
                        const Config& config, const CaptionFn& caption) {
    TransferResult result;
    Say(caption, "Block 0 of 2304");
    // Commands and replies: connect, start, 9,216 data commands, checksum.
    link.StartDeadline(Budget(40 + (kDownloadBlocks * 4 + 2) * 21));
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
    if (!session.Ask(kDownloadChecksumCommand, kChecksumReplyLength, IsChecksumReply,
                     "the checksum request"))
        return result;
    result.deviceChecksum = ChecksumOfReply(link.DeviceReply());
    Decide(result);
    link.End();
    return result;
}

TransferResult Upload(Link& link, const std::string& portName, const CaptionFn& caption) {
    TransferResult result;
    Say(caption, "Block 0 of 32");
    link.StartDeadline(Budget(40 + (kReadBlocks + 1) * (19 + kReadReplyLength)));
    if (!Connect(link, portName, result)) return result;
    Session session(link, result);
    // Received values go into a staging record; the caller adopts it only when Complete.
    Config staging;
    for (int b = 0; b < kReadBlocks; ++b) {
        Say(caption, "Block " + std::to_string(b) + " of 32");
        if (!session.Ask(ReadCommand(kConfigAddress + kReadValues * b), kReadReplyLength,
                         IsReadReply, ReadWhat(b)))
            return result;
        StoreReadBlock(staging, b, ParseReadReply(link.DeviceReply()));
    }
    Say(caption, "Host Checksum");
    result.hostChecksum = UploadHostChecksum(staging);
    Say(caption, "Device Checksum");
    if (!session.Ask(kStoredChecksumCommand, kChecksumReplyLength, IsChecksumReply,
                     "the checksum request"))
        return result;
    result.deviceChecksum = ChecksumOfReply(link.DeviceReply());
    Decide(result);
    if (result.outcome == Outcome::Complete) result.uploaded = staging;
    link.End();
    return result;
}

VerifyResult Verify(Link& link, const std::string& portName, const ControlArray& array,
                    const Config& config, bool quick, const CaptionFn& caption) {
    VerifyResult v;
    v.quick = quick;
    TransferResult& result = v.transfer;
    const int blocks = quick ? 0 : kArrayReadBlocks + kReadBlocks;
    if (!quick) Say(caption, "Block 0 of " + std::to_string(blocks));
    // Room for a second read of every array block that differs.
    link.StartDeadline(Budget(40 + (blocks + (quick ? 0 : kArrayReadBlocks) + 1) * 533));
    if (!Connect(link, portName, result)) return v;
    Session session(link, result);
    auto read = [&](int b) {
        const int address = b < kArrayReadBlocks
                                ? kReadValues * b
                                : kConfigAddress + kReadValues * (b - kArrayReadBlocks);
        return session.Ask(ReadCommand(address), kReadReplyLength, IsReadReply, ReadWhat(b));
    };
    ControlArray device{};
    Config stored;
    for (int b = 0; b < blocks; ++b) {
        if (b % 8 == 0)
            Say(caption, "Block " + std::to_string(b) + " of " + std::to_string(blocks));
        if (!read(b)) return v;
        const auto values = ParseReadReply(link.DeviceReply());
        if (b < kArrayReadBlocks)
            std::copy(values.begin(), values.end(), device.begin() + kReadValues * b);
        else
            StoreReadBlock(stored, b - kArrayReadBlocks, values);
    }
    Say(caption, "Device Checksum");
    if (!session.Ask(kStoredChecksumCommand, kChecksumReplyLength, IsChecksumReply,
                     "the checksum request"))
        return v;
    result.deviceChecksum = ChecksumOfReply(link.DeviceReply());
    // The device's checksum does not cover the control array: an array block that differs
    // counts only once two reads in a row gave the same values.
    for (int b = 0; b < (quick ? 0 : kArrayReadBlocks); ++b) {
        const auto at = device.begin() + kReadValues * b;
        if (std::equal(at, at + kReadValues, array.begin() + kReadValues * b)) continue;
        std::array<uint8_t, kReadValues> last;
        std::copy(at, at + kReadValues, last.begin());
        bool agreed = false;
        for (int attempt = 0; attempt < 2 && !agreed; ++attempt) {
            if (!read(b)) return v;
            const auto again = ParseReadReply(link.DeviceReply());
            agreed = again == last;
            last = again;
        }
        if (!agreed) {
            session.Stop("The reads of " + ReadWhat(b) +
                         " did not agree: the line is unreliable; nothing was compared.");
            return v;
        }
        std::copy(last.begin(), last.end(), at);
    }
    link.End();
    const std::string fileChecksum = UploadHostChecksum(config);
    if (quick) {
        result.hostChecksum = fileChecksum;
        result.outcome = Outcome::Complete;
        v.match = result.deviceChecksum == fileChecksum;
        return v;
    }
    // What was read must be what the device holds, or the comparison means nothing.
    result.hostChecksum = UploadHostChecksum(stored);
    if (result.deviceChecksum != result.hostChecksum) {
        result.outcome = Outcome::Failed;
        result.reason = "What was read back does not agree with the device's own checksum (" +
                        Printable(result.deviceChecksum) + " against " + result.hostChecksum +
                        "): the read was corrupted; nothing was compared.";
        return v;
    }
    result.outcome = Outcome::Complete;
    v.stored = stored;
    for (int w = 0; w < kInputWords; ++w) {
        const unsigned diff =
            device[static_cast<std::size_t>(w)] ^ array[static_cast<std::size_t>(w)];
        for (int o = 0; o < kOutputs; ++o)
            v.tableWords[static_cast<std::size_t>(o)] += static_cast<int>((diff >> o) & 1u);
    }
    // Compared as the device stores them: one byte a value, the last note byte not kept.
    const auto want = StoredValues(config);
    const auto got = StoredValues(stored);
    for (int o = 0; o < kOutputs; ++o) {
        for (int i = 0; i < kSegments; ++i) {
            const auto t = static_cast<std::size_t>(kSegments * o + i);
            const auto s = t + static_cast<std::size_t>(kOutputs * kSegments);
            if (want[t] == got[t] && want[s] == got[s]) continue;
            v.segmentDiffers[static_cast<std::size_t>(o)][static_cast<std::size_t>(i)] = true;
            v.diagramDiffers[static_cast<std::size_t>(o)] = true;
        }
    }
    for (int i = 0; i < kNoteBytes - 1; ++i) {
        const auto at = static_cast<std::size_t>(2 * kOutputs * kSegments + i);
        if (want[at] != got[at]) v.noteDiffers = true;
    }
    v.match = !v.noteDiffers;
    for (int o = 0; o < kOutputs; ++o)
        v.match = v.match && v.tableWords[static_cast<std::size_t>(o)] == 0 &&
                  !v.diagramDiffers[static_cast<std::size_t>(o)];
    return v;
}

std::vector<std::string> VerifyReport(const VerifyResult& v) {
    if (v.quick) {
        return {std::string(v.match ? "match" : "differs") +
                " (quick: the configuration and the note only; the control array was not "
                "compared)"};
    }
    if (v.match) return {"match"};
    std::vector<std::string> lines;
    bool table = false, diagrams = false;
    for (int o = 0; o < kOutputs; ++o) {
        const int words = v.tableWords[static_cast<std::size_t>(o)];
        const bool diagram = v.diagramDiffers[static_cast<std::size_t>(o)];
        if (!words && !diagram) continue;
        std::string line = "LC Input " + std::to_string(o + 1) + ":";
        if (words) line += " table differs in " + std::to_string(words) + " of 65536 words";
        if (words && diagram) line += ";";
        if (diagram) line += " diagram differs";
        lines.push_back(line);
        table = table || words;
        diagrams = diagrams || diagram;
    }
    if (v.noteDiffers) lines.push_back("note differs");
    std::string summary = "differs:";
    if (table && !diagrams && !v.noteDiffers) {
        summary += " only the table (the device holds these diagrams compiled differently)";
    } else {
        if (diagrams) summary += " diagrams";
        if (v.noteDiffers) summary += std::string(diagrams ? "," : "") + " note";
        if (table) summary += ", table";
    }
    lines.push_back(summary);
    return lines;
}

std::optional<Config> DeviceDiagrams(const VerifyResult& v, const Config& compared) {
    Config other = compared;
    bool differs = false;
    for (int o = 0; o < kOutputs; ++o)
        for (int s = 0; s < kSegments; ++s) {
            if (!v.segmentDiffers[static_cast<std::size_t>(o)][static_cast<std::size_t>(s)])
                continue;
            other.SegType[o][s] = v.stored.SegType[o][s];
            other.SegInput[o][s] = v.stored.SegInput[o][s];
            differs = true;
        }
    if (!differs) return std::nullopt;
    return other;
}

}  // namespace zez::device
