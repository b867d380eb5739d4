#include <gtest/gtest.h>

#include <cctype>
#include <random>

#include "device/Protocol.h"

namespace zez::device {
namespace {

TEST(Hex, ByteAndValue) {
    const std::pair<int, const char*> bytes[] = {{0, "00"},     {10, "0A"}, {255, "FF"},
                                                 {256, "00"},   {-1, "FF"}, {0x1234, "34"},
                                                 {-32768, "00"}};
    for (auto [v, want] : bytes) EXPECT_EQ(HexByte(v), want) << v;
    const std::pair<const char*, int> values[] = {{"FF", 255},  {"0a", 10}, {"7", 7},
                                                  {"G1", 0},    {"", 0},    {"1G", 1},
                                                  {"ABC", 171}, {"fF", 255}};
    for (auto [text, want] : values) EXPECT_EQ(HexValue(text), want) << text;
    for (int v = 0; v < 256; ++v) EXPECT_EQ(HexValue(HexByte(v)), v);
}

TEST(TransferChecksum, KnownValues) {
    TransferChecksum none;
    EXPECT_EQ(none.Text(), "FFFFFFFFFFFFFFFF");
    TransferChecksum zero;
    zero.Add(0);
    EXPECT_EQ(zero.Text(), "900A5F5E100A5F5E");
    TransferChecksum abc;
    abc.Add(0x61);
    abc.Add(0x62);
    abc.Add(0x63);
    EXPECT_EQ(abc.Text(), "68052FAF08052F8A");
}

TEST(TransferChecksum, DownloadAndUploadOfEmptyConfiguration) {
    const ControlArray array{};
    const Config config{};
    const auto stream = DownloadStream(array, config);
    ASSERT_EQ(stream.size(), 73728u);
    TransferChecksum sum;
    sum.Add(stream.data(), stream.size());
    EXPECT_EQ(sum.Text(), "C2EEE100EABDC38F");
    EXPECT_EQ(UploadHostChecksum(config), "AA1BBA5324EA011D");
    // The last note byte is taken as 0 on upload, whatever the device holds.
    Config odd;
    odd.NoteData[4095] = 'x';
    EXPECT_EQ(UploadHostChecksum(odd), "AA1BBA5324EA011D");
}

TEST(Commands, FramesAndStreamPositions) {
    const uint8_t values[8] = {0, 1, 0x0A, 0x7F, 0x80, 0xAB, 0xFE, 0xFF};
    EXPECT_EQ(DataCommand(0, values), "[200010A7F80ABFEFF]");
    EXPECT_EQ(DataCommand(3, values), "[500010A7F80ABFEFF]");
    EXPECT_EQ(ReadCommand(0x10000), "[80000000000010000]");
    EXPECT_EQ(ReadCommand(0x10A00), "[80000000000010A00]");
    EXPECT_EQ(ReadCommand(0x11F00), "[80000000000011F00]");
    for (auto cmd : {kStartDownloadCommand, kDownloadChecksumCommand, kStoredChecksumCommand})
        EXPECT_EQ(cmd.size(), 19u);

    // SegType[2][5] goes out at stream position 10205 hex: block 2064, command "[2", sixth value.
    Config c;
    c.SegType[2][5] = 0x0C;
    c.SegInput[2][5] = 0x0D;
    const auto stream = DownloadStream(ControlArray{}, c);
    EXPECT_EQ(stream[0x10205], 0x0C);
    EXPECT_EQ(0x10205, 2064 * 32 + 5);
    EXPECT_EQ(stream[0x10A05], 0x0D);
    EXPECT_EQ(DataCommand(0, &stream[2064 * 32]), "[20000000000" + HexByte(0x0C) + "0000]");
}

// Replies in lower case fill their block; a short reply gives 0 beyond its end. (Whole uploads
// are in the transfer tests.)
TEST(Upload, ReadRepliesFillTheirBlocks) {
    Config want;
    want.SegType[0][1] = 0xAB;
    want.NoteData[0] = 0xFE;
    const auto stored = StoredValues(want);
    Config got;
    for (int b : {0, 16}) {
        std::string reply = "[";
        for (int i = 0; i < kReadValues; ++i) reply += HexByte(stored[256 * b + i]);
        for (auto& ch : reply) ch = static_cast<char>(std::tolower(ch));
        StoreReadBlock(got, b, ParseReadReply(reply + "]"));
    }
    EXPECT_EQ(got, want);
    const auto values = ParseReadReply("[0102");
    EXPECT_TRUE(values[0] == 1 && values[1] == 2 && values[2] == 0);
    EXPECT_EQ(ChecksumOfReply("[0123456789ABCDEF]"), "0123456789ABCDEF");
    EXPECT_EQ(ChecksumOfReply("[01"), "01");
    EXPECT_EQ(ChecksumOfReply(""), "");
}

}  // namespace
}  // namespace zez::device
