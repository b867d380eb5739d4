#pragma once
// The device protocol's texts and arithmetic: hexadecimal fields, command frames, the transfer
// checksum, and the order in which a transfer streams its values.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/Compiler.h"
#include "config/Config.h"

namespace zez::device {

// The low 8 bits as two upper-case hexadecimal digits ("00".."FF").
std::string HexByte(int value);
// The first two characters read as hexadecimal, stopping at the first non-digit: 0..255.
int32_t HexValue(std::string_view text);

inline constexpr std::string_view kConnectCommand = "[200700--]";
inline constexpr std::string_view kFastBaudCommand = "[2004A1--]";
inline constexpr std::string_view kStartDownloadCommand = "[10000000000000000]";
inline constexpr std::string_view kDownloadChecksumCommand = "[60000000000000000]";
inline constexpr std::string_view kStoredChecksumCommand = "[70000000000000000]";
inline constexpr std::string_view kSlowSettings = "38400,n,8,1";
inline constexpr std::string_view kFastSettings = "115200,n,8,1";

inline constexpr int kConnectReplyLength = 8;
inline constexpr int kShortReplyLength = 2;
inline constexpr int kChecksumReplyLength = 18;
inline constexpr int kReadReplyLength = 514;

// Stream layout: control array, then the configuration, then the note.
inline constexpr int kBlockValues = 32;
inline constexpr int kDownloadBlocks = 2304;
inline constexpr int kDownloadValues = kDownloadBlocks * kBlockValues;  // 73,728
inline constexpr int kConfigAddress = 0x10000;
inline constexpr int kNoteAddress = 0x11000;
inline constexpr int kStoredValues = 8192;  // configuration and note, 10000..11FFF
inline constexpr int kReadBlocks = 32;
inline constexpr int kReadValues = 256;

// Data command `part` (0..3) of a block: "[2".."[5", 8 values as HexByte gives them, "]".
std::string DataCommand(int part, const uint8_t* values);
// "[800000000000" + the address in 5 upper-case digits + "]".
std::string ReadCommand(int address);

// The 64-bit shift register: one shift per value, then a constant folded in when the bit
// shifted out was set. Starts at all ones.
class TransferChecksum {
  public:
    void Add(uint8_t value);
    void Add(const uint8_t* values, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) Add(values[i]);
    }
    uint64_t value() const { return r_; }
    // 16 upper-case digits, most significant first.
    std::string Text() const;

  private:
    uint64_t r_ = ~uint64_t{0};
};

// The configuration in device order: SegType[o][s] at 256 o + s, then SegInput likewise, then
// the 4096 note bytes. Each value goes out as its low 8 bits.
std::array<uint8_t, kStoredValues> StoredValues(const Config& config);
// What a download sends after the start command: the control array, then StoredValues.
std::vector<uint8_t> DownloadStream(const ControlArray& array, const Config& config);
// The host's checksum for an upload: StoredValues with the last note byte taken as 0.
std::string UploadHostChecksum(const Config& config);

// The 256 values of a read reply: value i from positions 2i+2 and 2i+3 (counting from 1);
// values beyond the end of a short reply are 0.
std::array<uint8_t, kReadValues> ParseReadReply(std::string_view reply);
// Stores read block b (0..31) into the configuration, as an upload does.
void StoreReadBlock(Config& config, int block, const std::array<uint8_t, kReadValues>& values);

// Positions 2..17 of a checksum reply (shorter when the reply is).
std::string ChecksumOfReply(std::string_view reply);

// Whether a reply has exactly the form its command is answered with: "[" + 512 hexadecimal
// digits + "]" for a read, "[" + 16 digits + "]" for a checksum (either case).
bool IsReadReply(std::string_view reply);
bool IsChecksumReply(std::string_view reply);
// Device data fit for a message: printable characters as they are, others as \xNN.
std::string Printable(std::string_view bytes);

}  // namespace zez::device
