#include "device/Emulator.h"

#include <algorithm>
#include <cctype>

namespace zez::device {

DeviceEmulator::DeviceEmulator(Faults faults) : faults_(faults) {
    if (faults_.noteByte4095) memory_[kNoteAddress + kNoteBytes - 1] = 0x5A;
}

namespace {

// The line time of `chars` characters at `baud`, 10 bits a character. A command is counted as
// the longest one (19 characters), as a module's reply comes after it has read a whole frame.
std::chrono::microseconds WireTime(std::size_t chars, int baud) {
    constexpr std::size_t kCommandChars = 19;
    return std::chrono::microseconds{static_cast<long long>(
        (kCommandChars + chars) * 10 * 1000000ULL / static_cast<std::size_t>(baud))};
}

}  // namespace

std::vector<DeviceEmulator::Reply> DeviceEmulator::Feed(std::string_view bytes) {
    std::vector<Reply> replies;
    for (char c : bytes) {
        if (c == '[') pending_.clear();
        pending_.push_back(c);
        if (c != ']') continue;
        const std::string cmd = std::move(pending_);
        pending_.clear();
        ++commands_;
        if (faults_.silentAfter >= 0 && commands_ > faults_.silentAfter) continue;
        if (faults_.dropEvery > 0 && commands_ % faults_.dropEvery == 0) continue;
        auto text = Handle(cmd);
        if (!text) continue;
        ++replies_;
        if (faults_.shortReplies && !text->empty()) text->pop_back();
        Spoil(*text);
        Reply r{std::move(*text), Millis{0}, faults_.dribble};
        if (faults_.lateEvery > 0 && replies_ % faults_.lateEvery == 0) r.delay = faults_.lateBy;
        // At the speed the command came at: only the speed change switches to the fast one,
        // and it has no reply; a connect comes at the slow one.
        if (faults_.pace) r.wire = WireTime(r.text.size(), fast_ ? 115200 : 38400);
        replies.push_back(std::move(r));
    }
    return replies;
}

void DeviceEmulator::Spoil(std::string& text) const {
    auto due = [this](int every) { return every > 0 && replies_ % every == 0; };
    if (text.size() > 2 && due(faults_.corruptEvery)) {
        char& c = text[1 + static_cast<std::size_t>(replies_) % (text.size() - 2)];
        c = c == '0' ? '1' : '0';
    }
    if (text.size() > 2 && due(faults_.garbleEvery))
        text[1 + static_cast<std::size_t>(replies_ * 7) % (text.size() - 2)] = '\x1b';
    if (due(faults_.floodEvery)) text += std::string("\x1b[2J\0[00]NOISE\x07", 15);
}

std::string DeviceEmulator::ChecksumText(const TransferChecksum& sum) const {
    std::string text = sum.Text();
    if (faults_.wrongChecksum) text.back() = text.back() == '0' ? '1' : '0';
    if (faults_.lowerCaseChecksum)
        for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return "[" + text + "]";
}

std::optional<std::string> DeviceEmulator::Handle(std::string_view cmd) {
    if (cmd == kConnectCommand) {
        fast_ = false;
        return std::string("[2007OK]");
    }
    if (cmd == kFastBaudCommand) {
        fast_ = true;
        return std::nullopt;
    }
    if (cmd.size() != 19 || cmd.front() != '[' || cmd.back() != ']') return std::string("[E]");
    const char op = cmd[1];
    const std::string_view field = cmd.substr(2, 16);
    switch (op) {
        case '1':
            block_ = 0;
            received_ = TransferChecksum{};
            return std::string("[]");
        case '2':
        case '3':
        case '4':
        case '5': {
            const int part = op - '2';
            const int base = 32 * block_ + 8 * part;
            for (int i = 0; i < 8; ++i) {
                const auto v = static_cast<uint8_t>(HexValue(field.substr(2 * i, 2)));
                received_.Add(v);
                if (base + i < kDownloadValues) memory_[base + i] = v;
            }
            if (part == 3) ++block_;
            return std::string("[]");
        }
        case '6':
            return ChecksumText(received_);
        case '7': {
            TransferChecksum stored;
            stored.Add(memory_.data() + kConfigAddress, kStoredValues);
            return ChecksumText(stored);
        }
        case '8': {
            int address = 0;
            for (char ch : field.substr(11)) address = address * 16 + HexValue(std::string(1, ch));
            std::string reply = "[";
            for (int i = 0; i < kReadValues; ++i)
                reply += HexByte(address + i < kDownloadValues ? memory_[address + i] : 0);
            return reply + "]";
        }
        default:
            return std::string("[E]");
    }
}

Result<void> EmulatedPort::Open(const std::string& name, std::string_view settings) {
    if (!openError.empty())
        return Error{"Cannot open " + name + ": " + openError + ".", ErrorKind::Device};
    opened.emplace_back(settings);
    open_ = true;
    return {};
}

void EmulatedPort::Close() {
    open_ = false;
    pending_.clear();
}

int EmulatedPort::Waiting() {
    int n = 0;
    for (const auto& p : pending_) {
        if (p.at > time_.Now()) break;
        n += static_cast<int>(p.text.size());
    }
    return n;
}

std::string EmulatedPort::ReadAll() {
    std::string out;
    while (!pending_.empty() && pending_.front().at <= time_.Now()) {
        out += pending_.front().text;
        pending_.pop_front();
    }
    return out;
}

Result<void> EmulatedPort::Write(std::string_view text) {
    if (!open_) return Error{"the port is not open"};
    if (unplugAfterWrites >= 0 && static_cast<int>(written.size()) >= unplugAfterWrites)
        unplugged_ = true;
    if (unplugged_) return Error{"device disconnected"};
    written.emplace_back(text);
    // Replies come down the line in order: one held back holds back those after it.
    for (auto& r : device_.Feed(text)) {
        TimePoint at = time_.Now() + r.delay + r.wire;
        if (!pending_.empty() && pending_.back().at > at) at = pending_.back().at;
        if (r.perByte == Millis{0}) {
            pending_.push_back({at, std::move(r.text)});
            continue;
        }
        for (const char c : r.text) {
            pending_.push_back({at, std::string(1, c)});
            at += r.perByte;
        }
    }
    return {};
}

Result<void> EmulatedPort::WaitForData(TimePoint deadline) {
    if (unplugged_) return Error{"device disconnected"};
    for (const auto& p : pending_) {
        if (p.at <= time_.Now()) continue;
        time_.SleepUntil(std::min(p.at, deadline));
        return {};
    }
    time_.SleepUntil(deadline);
    return {};
}

}  // namespace zez::device
