#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>

#include "TestUtil.h"
#include "config/CdfBytes.h"
#include "config/Config.h"
#include "config/DiagramText.h"
#include "support/SampleConfigs.h"
#ifndef ZEZ_PURE_ONLY
#include "system/CdfFile.h"
#endif

namespace zez {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(CdfLayout, ValuesStandAtTheirFlatPositionLittleEndian) {
    EXPECT_EQ(SerializeCdf(Config{}), decltype(SerializeCdf(Config{})){});  // never edited: zeros
    Config c;
    c.SegType[2][17] = 0x0B;     // flat position 138
    c.SegInput[2][17] = 0x0109;  // two bytes, low first
    c.SegType[7][255] = -2;      // position 2047, two's complement
    c.SegType[1][0] = 5;         // position 1
    for (int i = 0; i < 3; ++i) c.NoteData[static_cast<std::size_t>(i)] = "abc"[i];
    const auto a = SerializeCdf(c);
    const std::vector<uint8_t> bytes(a.begin(), a.end());
    ASSERT_EQ(bytes.size(), 12288u);
    EXPECT_EQ(FlatPosition(2, 17), 138);
    const std::pair<int, int> at[] = {{276, 0x0B},  {277, 0},     {4372, 0x09},
                                      {4373, 0x01}, {4094, 0xFE}, {4095, 0xFF},
                                      {2, 5},       {8192, 'a'},  {8194, 'c'}};
    for (auto [offset, value] : at) EXPECT_EQ(bytes[static_cast<std::size_t>(offset)], value);
    EXPECT_EQ(std::count_if(bytes.begin() + 8195, bytes.end(), [](uint8_t b) { return b != 0; }),
              0);
}

#ifndef ZEZ_PURE_ONLY
// Every value comes back; a file longer than a configuration loads its first part and keeps its
// tail when saved.
TEST(CdfFile, SaveAndLoadKeepEveryValueAndALongerFilesTail) {
    TempDir dir;
    std::mt19937 rng(7);
    const auto path = dir.File("long.CDF");
    std::vector<uint8_t> old(12288 + 1000);
    for (std::size_t i = 0; i < old.size(); ++i) old[i] = static_cast<uint8_t>(i * 7 + 3);
    WriteBytes(path, old);
    auto before = LoadFromFile(path);
    ASSERT_TRUE(before) << before.error();
    EXPECT_EQ(before.value().config, ParseCdf(old).value());
    for (int round = 0; round < 5; ++round) {
        Config c = samples::OutOfRange(rng);
        for (auto& b : c.NoteData) b = static_cast<uint8_t>(rng());
        ASSERT_TRUE(SaveToFile(c, path));
        const auto after = ReadBytes(path);
        ASSERT_EQ(after.size(), old.size());
        EXPECT_TRUE(std::equal(after.begin() + 12288, after.end(), old.begin() + 12288));
        EXPECT_EQ(LoadFromFile(path).value().config, c);
    }
}

// What cannot be loaded names the file and the reason: missing, a folder, too short.
TEST(CdfFile, UnreadableOrShortFilesAreRefusedWithTheReason) {
    TempDir dir;
    std::vector<std::pair<std::string, std::string>> cases = {
        {dir.File("missing.CDF"), "No such file"}, {dir.path().string(), "directory"}};
    for (std::size_t size : {0u, 1u, 4096u, 12287u}) {
        const auto path = dir.File("short" + std::to_string(size) + ".CDF");
        WriteBytes(path, std::vector<uint8_t>(size, 1));
        cases.push_back(
            {path, "(" + std::to_string(size) + " bytes; a configuration file holds 12288"});
    }
    for (const auto& [path, reason] : cases) {
        auto loaded = LoadFromFile(path);
        ASSERT_FALSE(loaded) << path;
        EXPECT_NE(loaded.error().find(path), std::string::npos) << loaded.error();
        EXPECT_NE(loaded.error().find(reason), std::string::npos) << loaded.error();
    }
}

// A file that holds no configuration is named by what it looks like; a configuration (a longer
// file too) is none of them.
TEST(CdfFile, SaysWhatAFileThatHoldsNoConfigurationLooksLike) {
    const auto bytes = [](std::string_view s) { return std::vector<uint8_t>(s.begin(), s.end()); };
    const auto cdf = [](const Config& c, std::size_t tail) {
        std::vector<uint8_t> v(kCdfBytes + tail, 'x');
        const auto b = SerializeCdf(c);
        std::copy(b.begin(), b.end(), v.begin());
        return v;
    };
    Config good, damaged;
    good.SegType[0][0] = 15;
    good.NoteData.fill('n');
    damaged.SegType[2][5] = 99;
    damaged.SegInput[3][7] = -1;
    const std::pair<std::vector<uint8_t>, std::string> cases[] = {
        {{}, "an empty file"},
        {bytes("%PDF-1.4\n%\xE2\xE3\n1 0 obj"), "a PDF"},
        {bytes("\x89PNG\r\n\x1A\n\0\0\0\rIHDR"), "a PNG picture"},
        {bytes("# site\nzezudi-config 1\noutput 1 = I1\n"), "the text form of a configuration"},
        {bytes("<!DOCTYPE html>\n<html>"), "an HTML page"},
        {bytes("Corridor: I3, I4 motion sensors\r\n"), "a text file"},
        {std::vector<uint8_t>(65536, 1), "a compiled control array of 65,536 bytes"},
        {std::vector<uint8_t>(100, 0), "a file of 100 bytes, too short for a configuration"},
        {cdf(damaged, 0), "values outside the codes in 2 segments"},
        {cdf(good, 0), ""},
        {cdf(good, 500), ""},
    };
    for (const auto& [head, looks] : cases) {
        const auto said = NotAConfiguration(head, head.size());
        EXPECT_EQ(said.value_or("").rfind(looks, 0), 0u) << looks << ": " << said.value_or("");
        EXPECT_EQ(said.has_value(), !looks.empty()) << looks;
    }
    EXPECT_FALSE(NotAConfiguration(cdf(damaged, 0), kCdfBytes, false));  // values not counted
}

TEST(CdfFile, SaveKeepsPermissionsAndWritesThroughLinks) {
#ifdef _WIN32
    GTEST_SKIP() << "no POSIX permission bits, and links need an administrator on Windows";
#endif
    namespace fs = std::filesystem;
    TempDir dir;
    const auto real = dir.File("real.CDF"), link = dir.File("link.CDF");
    ASSERT_TRUE(SaveToFile(Config{}, real));
    const auto perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(real, perms);
    fs::create_symlink(real, dir.File("middle.CDF"));
    fs::create_symlink(dir.File("middle.CDF"), link);
    Config c;
    c.SegType[5][5] = 7;
    ASSERT_TRUE(SaveToFile(c, link));
    EXPECT_TRUE(fs::is_symlink(link) && fs::status(real).permissions() == perms);
    EXPECT_EQ(LoadFromFile(real).value().config, c);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator{}), 3);
}
#endif  // ZEZ_PURE_ONLY

// A row, a link that meets one below it and a half link, in the text diagram.
TEST(DiagramText, ShowsContactsLinksAndRails) {
    Config c;
    samples::Set(c, 0, 0, 8, 0);       // NO I1
    samples::Set(c, 0, 1, 12 + 2, 9);  // NC P2, link down
    for (int s = 2; s < 16; ++s) samples::Set(c, 0, s, 4);
    samples::Set(c, 0, 17, 4 + 1);  // wire, link up: joined
    samples::Set(c, 0, 32, 2);      // half link: nothing below
    samples::Set(c, 0, 33, 99);     // no segment
    const auto text = DiagramText(c, 0);
    for (const std::string part : {"LC Input 1\n", "|-[ I1]--[/P2]+------", "<bad>",
                                   "\n  |             |   ", "\n  |      :   "})
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
}

}  // namespace
}  // namespace zez
