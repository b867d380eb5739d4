// The commands that write files or compare them: overwrite guards, previous versions, the text
// form, diff, draw, tidy and rewire; and what a misbehaving device cannot make them do.
#include <filesystem>
#include <random>

#include "CliFixture.h"
#include "TestUtil.h"
#include "compiler/Compiler.h"
#include "config/CdfFile.h"
#include "config/Versions.h"
#include "logic/Layout.h"
#include "support/SampleConfigs.h"

namespace zez::test {
namespace {

// No command writes over its own input, however the output is spelt, or over another
// configuration unless told to; a refusal writes nothing and exits with 2.
TEST(CliSafety, NoCommandWritesOverItsInputOrAConfiguration) {
    namespace fs = std::filesystem;
#ifdef _WIN32
    GTEST_SKIP() << "links need an administrator on Windows";
#endif
    test::TempDir dir;
    const std::string a = dir.File("a.CDF"), other = dir.File("other.CDF");
    fs::copy_file(Example("corridor.CDF"), a);
    fs::copy_file(Example("stairwell.CDF"), other);
    fs::copy_file(Example("corridor.CDF"), dir.File("d.bin"));  // a configuration named .bin
    fs::create_symlink(a, dir.File("link.CDF"));
    const auto before = test::ReadBytes(a), otherBefore = test::ReadBytes(other);
    int exports = 0;
    cli::Environment env;
    env.exportFile = [&](const cli::ExportJob& job) -> Result<int> {
        ++exports;
        test::WriteBytes(job.out, {'%', 'P', 'D', 'F'});
        return 1;
    };
    auto run = [&](std::vector<std::string> args) {
        std::ostringstream out, err;
        const int code = cli::Run(args, out, err, env);
        return Outcome{code, out.str(), err.str()};
    };
    const std::string dotted = (dir.path() / "." / "a.CDF").string();
    const std::vector<std::vector<std::string>> refused = {
        {"compile", a, "-o", a},
        {"compile", a, "-o", dotted},
        {"compile", dir.File("link.CDF"), "-o", a},
        {"compile", dir.File("d.bin")},
        {"compile", a, "-o", other},
        {"compile", a, "-o", ""},
        {"export", a, "--pdf", a},
        {"export", a, "--svg", dotted, "--output", "1"},
        {"export", a, "--pdf", other},
        {"export", a, "--pdf", dir.File("link.CDF"), "--force"},
    };
    for (const auto& args : refused) {
        const auto r = run(args);
        EXPECT_TRUE(r.code == 2 && !r.err.empty()) << args[0] << " " << args.back();
    }
    EXPECT_EQ(exports, 0);
    EXPECT_EQ(test::ReadBytes(a), before);
    EXPECT_EQ(test::ReadBytes(other), otherBefore);
    EXPECT_EQ(test::ReadBytes(dir.File("d.bin")), before);
    EXPECT_NE(run({"compile", a, "-o", other}).err.find("--force"), npos);
    // Told to, another configuration is replaced; "-" is standard output.
    EXPECT_EQ(run({"compile", a, "-o", other, "--force"}).code, 0);
    EXPECT_EQ(test::ReadBytes(other).size(), 65536u);
    const auto piped = run({"compile", a, "-o", "-"});
    EXPECT_EQ(piped.code, 0);
    ControlArray array{};
    Compile(LoadFromFile(a).value().config, array);
    EXPECT_EQ(piped.out, std::string(array.begin(), array.end()));
}

// Against a device that drops, corrupts, garbles or floods its replies, verify never says
// "match" for a device that differs and never "differs" (3) for a transfer fault; upload writes
// nothing it has not read whole.
TEST(CliSafety, AMisbehavingDeviceNeverGivesAFalseResult) {
    struct Case {
        const char* name;
        device::Faults faults;
    };
    std::vector<Case> cases;
    for (int k = 0; k < 4; ++k) {
        device::Faults f;
        (k == 0   ? f.dropEvery
         : k == 1 ? f.corruptEvery
         : k == 2 ? f.garbleEvery
                  : f.floodEvery) = k == 0 ? 150 : 25;
        cases.push_back({k == 0 ? "drop" : k == 1 ? "corrupt" : k == 2 ? "garble" : "flood", f});
    }
    test::TempDir dir;
    Config changed = LoadFromFile(Example("corridor.CDF")).value().config;
    changed.SegType[0][200] = 4;  // another diagram, and so another table
    ASSERT_TRUE(SaveToFile(changed, dir.File("changed.CDF")));
    for (const auto& c : cases) {
        // The device holds the file; the file differs in a diagram; the device's table differs
        // only in block 147, whose read is the 150th command.
        for (const int kind : {0, 1, 2}) {
            TransferCli t;  // a clean download first, then the faults
            ASSERT_EQ(t.Corridor().code, 0);
            TransferCli faulty(c.faults);
            faulty.device.memory() = t.device.memory();
            if (kind == 2) faulty.device.memory()[147 * 256 + 3] ^= 0x01;
            const auto file = kind == 1 ? dir.File("changed.CDF") : Example("corridor.CDF");
            const auto r = faulty.Run({"verify", file, "--port", "sim", "--yes"});
            SCOPED_TRACE(std::string(c.name) + " " + std::to_string(kind) + ": " + r.err);
            EXPECT_NE(r.code, kind == 0 ? 3 : 0);
            if (kind < 2) {  // the quick check sees the diagrams, not the table
                EXPECT_NE(faulty.Run({"verify", file, "--port", "sim", "--yes", "--quick"}).code,
                          kind == 0 ? 3 : 0);
            }
            EXPECT_TRUE(r.code == 1 ? !r.err.empty() : r.err.empty());
            EXPECT_EQ(r.err.find('\x1b'), npos);  // device bytes never raw
        }
        TransferCli t;
        ASSERT_EQ(t.Corridor().code, 0);
        TransferCli faulty(c.faults);
        faulty.device.memory() = t.device.memory();
        const auto up = faulty.Run({"upload", "--port", "sim", "-o", dir.File("up.CDF"), "--yes"});
        if (up.code == 0) {
            EXPECT_EQ(test::ReadBytes(dir.File("up.CDF")), test::ReadBytes(Example("corridor.CDF")))
                << c.name;
        }
        std::filesystem::remove(dir.File("up.CDF"));
    }
}

// A device that dribbles its replies: the download's deadline ends it (the reads of verify
// and upload time out on their own; the pseudo-terminal test covers both).
TEST(CliSafety, ASlowDeviceFailsByTheDeadline) {
    device::Faults slow;
    slow.dribble = device::Millis{50};
    TransferCli t(slow);
    const std::vector<std::string> args = {
        "download", Example("corridor.CDF"), "--port", "sim", "--yes", "--deadline"};
    auto with = [&](const char* deadline) {
        auto a = args;
        a.push_back(deadline);
        return t.Run(a);
    };
    const auto r = with("20");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("answers too slowly"), npos) << r.err;
    EXPECT_LE(t.time.Now() - device::TimePoint{}, device::Millis{21000});
    for (const char* bad : {"0", "x", "", "100000"}) EXPECT_EQ(with(bad).code, 2) << bad;
}

// Messages that say what is wrong: a folder that exists but takes no files is not "missing";
// a file without a diagram has no expression.
TEST(CliSafety, MessagesNameTheRealReason) {
#ifdef __linux__
    const auto proc = Cli({"compile", Example("corridor.CDF"), "-o", "/proc/zezudi-x.bin"});
    EXPECT_EQ(proc.code, 1);
    EXPECT_NE(proc.err.find("no file can be made in the folder \"/proc\""), npos) << proc.err;
#endif
    test::TempDir dir;
    ASSERT_TRUE(SaveToFile(Config{}, dir.File("empty.CDF")));
    const auto none = Cli({"expr", dir.File("empty.CDF")});
    EXPECT_EQ(none.code, 0);
    EXPECT_TRUE(none.out.empty());
    EXPECT_NE(none.err.find("has no diagram"), npos);
}

// Every write that replaces a configuration keeps what it replaced, the last 20 per file;
// versions are listed newest first and restored byte for byte.
TEST(CliVersions, WhatAWriteReplacesIsKeptAndCanBeRestored) {
    test::TempDir dir;
    const std::string site = dir.File("site.CDF");
    std::filesystem::copy_file(Example("stairwell.CDF"), site);
    TransferCli t;
    t.env.versionsDir = dir.File("versions");
    ASSERT_EQ(t.Corridor().code, 0);
    ASSERT_EQ(t.Run({"upload", "--port", "sim", "-o", site, "--yes"}).code, 0);  // over stairwell
    ASSERT_EQ(t.Run({"compile", site, "-o", dir.File("other.CDF")}).code, 0);    // no CDF there
    const auto listed = t.Run({"versions", site});  // one version so far
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
        EXPECT_EQ(t.Run(bad).code, 2);
        EXPECT_FALSE(std::filesystem::exists(dir.File("x.CDF")));
    }
    // The last 20 stay.
    for (int i = 0; i < 25; ++i) ASSERT_TRUE(KeepVersion(t.env.versionsDir, site));
    EXPECT_EQ(ListVersions(t.env.versionsDir, site).size(), kVersionsKept);
    // A versions folder that cannot be written never stops the write itself.
    t.env.versionsDir = Example("corridor.CDF");  // a file, no folder
    const auto up = t.Run({"upload", "--port", "sim", "-o", site, "--yes"});
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
    // The report, of a CDF file or of its text form, to standard output or a file.
    const auto report = Cli({"report", text});
    EXPECT_NE(report.out.find("<title>Report: c.zez</title>"), npos) << report.out;
    EXPECT_NE(report.out.find("<code>I3&amp;!P1|I4&amp;!P1|P2</code>"), npos);
    ASSERT_EQ(Cli({"report", corridor, "-o", dir.File("r.html")}).code, 0);
    const auto html = test::ReadBytes(dir.File("r.html"));
    EXPECT_NE(std::string(html.begin(), html.end()).find("<title>Report: corridor.CDF</title>"),
              npos);

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
        {{"diff", dir.File("missing.CDF"), corridor}, 2, "No such file"},
        {{"report", dir.File("missing.CDF")}, 2, "No such file"},
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
          "(I1|I2)&(I3|I4)&(I5|I6)&(I7|I8)&(P1|P2)&(P3|P4)&(P5|P6)&(P7|P8)"},
         1,
         "does not fit in 16 x 16: needs 256 rows; nothing was written"},
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
    EXPECT_NE(tidy.out.find("LC Input 1: kept\n"), npos) << tidy.out;
    EXPECT_NE(tidy.out.find("LC Input 6: redrawn: 17 -> 16 segments\n"), npos) << tidy.out;
    ControlArray untidy{}, tidied{};
    Compile(c, untidy);
    Compile(LoadFromFile(file).value().config, tidied);
    EXPECT_EQ(untidy, tidied);
    // Generated configurations: every function kept, no diagram grows.
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
