#include "device/Protocol.h"

namespace zez::device {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";
constexpr uint64_t kFold = 0xEFF5A0A1EFF5A0A1ull;

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string HexByte(int value) {
    const unsigned v = static_cast<unsigned>(value) & 0xFF;
    return {kDigits[v >> 4], kDigits[v & 15]};
}

int32_t HexValue(std::string_view text) {
    int32_t v = 0;
    for (std::size_t i = 0; i < 2 && i < text.size(); ++i) {
        const int d = DigitValue(text[i]);
        if (d < 0) break;
        v = v * 16 + d;
    }
    return v;
}

std::string DataCommand(int part, const uint8_t* values) {
    std::string cmd = "[";
    cmd += static_cast<char>('2' + part);
    for (int i = 0; i < 8; ++i) cmd += HexByte(values[i]);
    cmd += ']';
    return cmd;
}

std::string ReadCommand(int address) {
    std::string digits;
    for (int shift = 16; shift >= 0; shift -= 4) digits += kDigits[(address >> shift) & 15];
    return "[800000000000" + digits + "]";
}

void TransferChecksum::Add(uint8_t value) {
    r_ ^= value;
    const bool out = (r_ & 1) != 0;
    r_ >>= 1;
    if (out) r_ ^= kFold;
}

std::string TransferChecksum::Text() const {
    std::string text;
    for (int shift = 60; shift >= 0; shift -= 4) text += kDigits[(r_ >> shift) & 15];
    return text;
}

std::array<uint8_t, kStoredValues> StoredValues(const Config& config) {
    std::array<uint8_t, kStoredValues> v{};
    for (int o = 0; o < kOutputs; ++o) {
        for (int s = 0; s < kSegments; ++s) {
            v[256 * o + s] = static_cast<uint8_t>(config.SegType[o][s] & 0xFF);
            v[2048 + 256 * o + s] = static_cast<uint8_t>(config.SegInput[o][s] & 0xFF);
        }
    }
    std::copy(config.NoteData.begin(), config.NoteData.end(), v.begin() + 4096);
    return v;
}

std::vector<uint8_t> DownloadStream(const ControlArray& array, const Config& config) {
    std::vector<uint8_t> stream(array.begin(), array.end());
    const auto stored = StoredValues(config);
    stream.insert(stream.end(), stored.begin(), stored.end());
    return stream;
}

std::string UploadHostChecksum(const Config& config) {
    auto stored = StoredValues(config);
    stored.back() = 0;  // the last note byte never belongs to a note of at most 4000 characters
    TransferChecksum sum;
    sum.Add(stored.data(), stored.size());
    return sum.Text();
}

std::array<uint8_t, kReadValues> ParseReadReply(std::string_view reply) {
    std::array<uint8_t, kReadValues> values{};
    for (int i = 0; i < kReadValues; ++i) {
        const std::size_t at = 2 * static_cast<std::size_t>(i) + 1;
        if (at < reply.size()) values[i] = static_cast<uint8_t>(HexValue(reply.substr(at, 2)));
    }
    return values;
}

void StoreReadBlock(Config& config, int block, const std::array<uint8_t, kReadValues>& values) {
    for (int i = 0; i < kReadValues; ++i) {
        if (block < 8)
            config.SegType[block][i] = values[i];
        else if (block < 16)
            config.SegInput[block - 8][i] = values[i];
        else
            config.NoteData[256 * (block - 16) + i] = values[i];
    }
}

std::string ChecksumOfReply(std::string_view reply) {
    return reply.size() <= 1 ? std::string() : std::string(reply.substr(1, 16));
}

namespace {

bool Framed(std::string_view reply, std::size_t digits) {
    if (reply.size() != digits + 2 || reply.front() != '[' || reply.back() != ']') return false;
    for (char c : reply.substr(1, digits))
        if (DigitValue(c) < 0) return false;
    return true;
}

}  // namespace

bool IsReadReply(std::string_view reply) {
    return Framed(reply, 2 * kReadValues);
}

bool IsChecksumReply(std::string_view reply) {
    return Framed(reply, 16);
}

std::string Printable(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F && c != '\\') {
            out += c;
        } else {
            out += "\\x";
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
    }
    return out;
}

}  // namespace zez::device
