// zezudi-cli: the commands that write files from files: previous versions, the text form, diff,
// report, draw, tidy and rewire.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "CliFixture.h"
#include "TestUtil.h"
#include "app/Cli.h"
#include "compiler/Compiler.h"
#include "logic/Layout.h"
#include "support/SampleConfigs.h"
#include "system/CdfFile.h"
#include "system/Versions.h"

namespace zez::test {
namespace {

// Every write that replaces a configuration keeps what it replaced, the last 20 per file;
// versions are listed newest first and restored byte for byte.
TEST(CliVersions, WhatAWriteReplacesIsKeptAndCanBeRestored) {
    test::TempDir dir;
    const std::string site = dir.File("site.CDF");
    std::filesystem::copy_file(Example("stairwell.CDF"), site);
    TransferCli t;
    t.env.versionsDir = dir.File("versions");
    ASSERT_EQ(t.Corridor().code, 0);
    ASSERT_EQ(t.Run({"upload", "--port", "sim", "-o", site, "--yes", "--force"}).code, 0);
    ASSERT_EQ(t.Run({"compile", site, "-o", dir.File("other.CDF")}).code, 0);  // no CDF there
    const auto listed = t.Run({"versions", site});                             // one version so far
    EXPECT_EQ(listed.out.rfind("1  20", 0), 0u) << listed.out;
    EXPECT_TRUE(listed.out.find("  12288 bytes\n") != npos && listed.out.find("\n2  ") == npos);
    EXPECT_EQ(t.Run({"versions", site, "--restore", "1", "-o", dir.File("back.CDF")}).code, 0);
    EXPECT_EQ(test::ReadBytes(dir.File("back.CDF")), test::ReadBytes(Example("stairwell.CDF")));
    // Restoring over the file itself keeps what it held.
    EXPECT_EQ(t.Run({"versions", site, "--restore", "1", "-o", site}).code, 0);
    EXPECT_EQ(test::ReadBytes(site), test::ReadBytes(Example("stairwell.CDF")));
    EXPECT_EQ(ListVersions(t.env.versionsDir, site).size(), 2u);
    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"versions", site, "--restore", "3", "-o", dir.File("x.CDF")},
             {"versions", site, "--restore", "0", "-o", dir.File("x.CDF")},
             {"versions", site, "--restore", "1"}}) {
        EXPECT_TRUE(t.Run(bad).code == 2 && !std::filesystem::exists(dir.File("x.CDF")));
    }
    // To standard output; over another configuration only with --force.
    const auto bytes = test::ReadBytes(ListVersions(t.env.versionsDir, site)[1].path.string());
    const auto piped = t.Run({"versions", site, "--restore", "2", "-o", "-"}).out;
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), piped.begin(), piped.end()));
    const auto other = Example("interlock.CDF");
    EXPECT_EQ(t.Run({"versions", site, "--restore", "1", "-o", other}).code, 2);
    // The last 20 stay; versions kept in one millisecond are listed in the order they were kept.
    for (int i = 0; i < 25; ++i) ASSERT_TRUE(KeepVersion(t.env.versionsDir, site));
    EXPECT_EQ(ListVersions(t.env.versionsDir, site).size(), kVersionsKept);
    const auto folder = ListVersions(t.env.versionsDir, site)[0].path.parent_path();
    for (const char* n : {"", "-1", "-10", "-2"})
        test::WriteBytes((folder / ("29991231T235959999Z" + std::string(n) + ".CDF")).string(), {});
    const auto listed2 = ListVersions(t.env.versionsDir, site);
    const std::array<std::string, 4> order = {"-10", "-2", "-1", ""};
    for (std::size_t i = 0; i < order.size(); ++i)
        EXPECT_EQ(listed2[i].path.stem().string(), "29991231T235959999Z" + order[i]);
    // A file that changes while it is read (as those of /proc do) is not claimed as kept.
    if (std::filesystem::exists("/proc/self/stat")) {
        EXPECT_FALSE(KeepVersion(t.env.versionsDir, "/proc/self/stat"));
    }
    // A picture is replaced by draw only with --force, and then kept as a version.
    const std::string picture = dir.File("p.png");
    std::vector<uint8_t> png(13000, 0);
    std::copy_n("\x89PNG\r\n\x1a\n", 8, png.begin());
    test::WriteBytes(picture, png);
    EXPECT_EQ(t.Run({"draw", picture, "--output", "1", "I1"}).code, 2);
    EXPECT_EQ(test::ReadBytes(picture), png);
    EXPECT_EQ(t.Run({"draw", picture, "--output", "1", "I1", "--force"}).code, 0);
    EXPECT_EQ(test::ReadBytes(ListVersions(t.env.versionsDir, picture)[0].path.string()), png);
    // A versions folder that cannot be written stops the write, unless --force.
    t.env.versionsDir = Example("corridor.CDF");  // a file, no folder
    const auto before = test::ReadBytes(site);
    const auto stopped = t.Run({"draw", site, "--output", "1", "I1"});
    EXPECT_TRUE(stopped.code == 1 && stopped.err.find("could not be kept") != npos);
    EXPECT_EQ(test::ReadBytes(site), before);
    const auto up = t.Run({"upload", "--port", "sim", "-o", site, "--yes", "--force"});
    EXPECT_TRUE(up.code == 0 && up.err.find("previous version was not kept") != npos);
    EXPECT_EQ(test::ReadBytes(site), test::ReadBytes(Example("corridor.CDF")));
}

// totext, fromtext, diff and report: a round trip through files, what each says, and every failure
// exits with its status and writes nothing.
TEST(CliText, RoundTripDiffAndEveryFailure) {
    test::TempDir dir;
    const std::string corridor = Example("corridor.CDF"), text = dir.File("c.zez");
    ASSERT_EQ(Cli({"totext", corridor, "-o", text}).code, 0);
    const auto written = test::ReadBytes(text);
    EXPECT_EQ(Cli({"totext", corridor}).out, std::string(written.begin(), written.end()));
    ASSERT_EQ(Cli({"fromtext", text, "-o", dir.File("back.CDF")}).code, 0);
    EXPECT_EQ(test::ReadBytes(dir.File("back.CDF")), test::ReadBytes(corridor));
    EXPECT_EQ(Cli({"diff", corridor, text}).code, 0);
    const auto differs = Cli({"diff", text, Example("stairwell.CDF")});
    EXPECT_EQ(differs.code, 3);
    EXPECT_NE(differs.out.find("LC Input 2: function differs in 32768 of 65,536 words\n  A: P2\n"
                               "  B: 0\n"),
              npos)
        << differs.out;
    auto longer = test::ReadBytes(corridor);
    longer.resize(longer.size() + 10, 7);
    test::WriteBytes(dir.File("long.CDF"), longer);
    EXPECT_NE(Cli({"totext", dir.File("long.CDF")}).err.find("10 bytes after the first 12,288"),
              npos);
    // The report of the text form (what it holds is the report's own test).
    EXPECT_NE(Cli({"report", text}).out.find("<title>Report: c.zez</title>"), npos);

    test::WriteBytes(dir.File("bad.zez"), {'z', 'e', 'z', 'u', 'd', 'i', '-', 'c', 'o', 'n', 'f',
                                           'i', 'g', ' ', '1', '\n', 'x', '\n'});
    ExpectFailures({
        {{"totext", dir.File("missing.CDF")}, 2, "No such file"},
        {{"totext", corridor, "-o", corridor}, 2, "is the input file"},
        {{"totext", corridor, "-o", dir.File("back.CDF")}, 2, "give --force"},
        {{"totext", corridor, "-o", dir.File("no/such/t.zez")}, 1, "no/such/t.zez"},
        {{"fromtext", text}, 2, "-o OUT.CDF is required"},
        {{"fromtext", dir.File("bad.zez"), "-o", dir.File("x.CDF")}, 2, "line 2, column 1"},
        {{"fromtext", text, "-o", dir.File("no/such/x.CDF")}, 1, "no/such/x.CDF"},
        {{"fromtext", text, "-o", dir.File("back.CDF")}, 2, "give --force"},
        {{"diff", corridor}, 2, "expected 2 arguments"},
        {{"diff", corridor, dir.File("bad.zez")}, 2, "line 2, column 1"},
        {{"report", text, "-o", text}, 2, "is the input file"},
        {{"report", corridor, "-o", dir.File("back.CDF")}, 2, "give --force"},
        {{"report", corridor, "-o", dir.File("no/such/r.html")}, 1, "no/such/r.html"},
    });
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.CDF")));
    EXPECT_EQ(test::ReadBytes(dir.File("back.CDF")), test::ReadBytes(corridor));
}

// draw and tidy: what they write and print, and every failure writes nothing.
TEST(CliDraw, DrawAndTidyKeepTheRestAndRefuseWhatTheyCannotDo) {
    test::TempDir dir;
    const std::string file = dir.File("c.CDF"), other = dir.File("other.CDF");
    std::filesystem::copy_file(Example("corridor.CDF"), file);
    std::filesystem::copy_file(Example("stairwell.CDF"), other);
    const auto drawn = Cli({"draw", file, "--output", "3", "(I1 | I2) & !P5"});
    ASSERT_EQ(drawn.code, 0) << drawn.err;
    EXPECT_NE(drawn.out.find("LC Input 3\n"), npos);
    EXPECT_EQ(Cli({"expr", file, "--output", "3"}).out, "I1&!P5|I2&!P5\n");
    const Config was = LoadFromFile(Example("corridor.CDF")).value().config,
                 now = LoadFromFile(file).value().config;
    for (int o : {0, 1, 3, 4, 5, 6, 7})  // the other outputs and the note stay as they were
        EXPECT_TRUE(was.SegType[o] == now.SegType[o] && was.SegInput[o] == now.SegInput[o]);
    EXPECT_EQ(was.NoteData, now.NoteData);
    const auto after = test::ReadBytes(file);
    ExpectFailures({
        {{"draw", file, "--output", "3", "I1 &"}, 2, "column 5: expected a signal"},
        {{"draw", file, "I1"}, 2, "--output N is required"},
        {{"draw", file, "--output", "2", "I1^I2"}, 2, "column 3"},
        {{"draw", file, "--output", "2",
          "(I1|I2)&(I3|I4)&(I5|I6)&(I7|I8)&(P1|P2)&(P3|P4)&(P5|P6)&(P7|P8)&(I1|I3)&(I1|I4)&(I1|I5)&"
          "(I1|I6)&(I1|I7)&(I1|I8)&(I1|P1)&(I1|P2)&(I2|I3)"},
         1,
         "does not fit in 16 x 16: needs"},
        {{"draw", file, "--output", "2", "I1", "-o", "-"}, 2, "-o needs a file name"},
        {{"tidy", file, "-o", "-"}, 2, "-o needs a file name"},
        {{"rewire", file, "I1<>I2", "-o", "-"}, 2, "-o needs a file name"},
        {{"draw", file, "--output", "2", "I1", "-o", other}, 2, "give --force"},
        {{"tidy", dir.File("missing.CDF")}, 2, "No such file"},
        {{"tidy", file, "--output", "9"}, 2, "output must be 1..8"},
        {{"draw", file, "--output", "2", "I1", "-o", dir.File("no/such/x.CDF")}, 1, "no/such"},
        {{"tidy", file, "-o", dir.File("no/such/x.CDF")}, 1, "no/such"},
    });
    EXPECT_EQ(test::ReadBytes(file), after);
    EXPECT_EQ(test::ReadBytes(other), test::ReadBytes(Example("stairwell.CDF")));
    // A long way round for I3: redrawn as the single contact and a wire, the rest kept.
    Config c = LoadFromFile(file).value().config;
    for (int s = 0; s < 16; ++s) c.SegType[5][s] = s < 8 ? 8 + 2 * (s == 0) : 4;  // I1..I1 wired
    c.SegType[5][16] = 9;  // a contact on I1 below, linked up to the first
    ASSERT_TRUE(SaveToFile(c, file));
    const auto tidy = Cli({"tidy", file});
    EXPECT_NE(tidy.out.find("LC Input 2: kept\n"), npos) << tidy.out;
    EXPECT_NE(tidy.out.find("LC Input 6: redrawn: 17 -> 16 segments\n"), npos) << tidy.out;
    // Generated configurations: every function kept, no diagram grows.
    ControlArray untidy{}, tidied{};
    std::mt19937 rng(4);
    for (int i = 0; i < 6; ++i) {
        const Config before = i % 2 ? samples::Typical(rng) : samples::Serpentine(rng);
        ASSERT_TRUE(SaveToFile(before, file));
        ASSERT_EQ(Cli({"tidy", file}).code, 0);
        const Config after = LoadFromFile(file).value().config;
        Compile(before, untidy);
        Compile(after, tidied);
        EXPECT_EQ(untidy, tidied) << i;
        for (int o = 0; o < kOutputs; ++o)
            EXPECT_LE(SegmentCount(after.SegType[o]), SegmentCount(before.SegType[o]));
    }
}

// rewire: contacts moved in every output or in one, nothing written when nothing moves, and
// every failure writes nothing.
TEST(CliRewire, MovesContactsAndRefusesWhatItCannotDo) {
    test::TempDir dir;
    const std::string file = dir.File("c.CDF"), other = dir.File("other.CDF");
    std::filesystem::copy_file(Example("corridor.CDF"), file);
    std::filesystem::copy_file(Example("stairwell.CDF"), other);
    const auto moved = Cli({"rewire", file, "P1=P3, I3<>I4"});
    ASSERT_EQ(moved.code, 0) << moved.err;
    EXPECT_EQ(moved.out, "I3 -> I4, I4 -> I3, P1 -> P3\nLC Input 1: 3 contact(s) moved\n");
    EXPECT_EQ(Cli({"expr", file}).out, "LC Input 1: I3&!P3|I4&!P3|P2\nLC Input 2: P2\n");
    ASSERT_EQ(Cli({"rewire", file, "P2=I8", "--output", "2"}).code, 0);
    EXPECT_EQ(Cli({"expr", file}).out, "LC Input 1: I3&!P3|I4&!P3|P2\nLC Input 2: I8\n");
    const auto before = test::ReadBytes(file);
    const auto none = Cli({"rewire", file, "I7=I6"});
    EXPECT_NE(none.out.find("nothing was written"), npos) << none.out;
    ExpectFailures({
        {{"rewire", file}, 2, "expected 2 arguments"},
        {{"rewire", file, "P2"}, 2, "column 3: expected = or <> after P2"},
        {{"rewire", dir.File("missing.CDF"), "I1=I2"}, 2, "No such file"},
        {{"rewire", file, "I3=I4", "--output", "9"}, 2, "output must be 1..8"},
        {{"rewire", file, "I3=I4", "-o", other}, 2, "give --force"},
        {{"rewire", file, "I3=I4", "-o", dir.File("no/such/x.CDF")}, 1, "no/such"},
    });
    EXPECT_EQ(test::ReadBytes(file), before);
    EXPECT_EQ(test::ReadBytes(other), test::ReadBytes(Example("stairwell.CDF")));
}

}  // namespace
}  // namespace zez::test
