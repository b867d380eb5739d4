#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "CliFixture.h"
#include "TestUtil.h"
#include "app/Cli.h"
#include "compiler/Compiler.h"
#include "config/CdfFile.h"
#include "config/Versions.h"
#include "device/Emulator.h"
#include "logic/Layout.h"
#include "support/SampleConfigs.h"

namespace zez::test {
namespace {

TEST(CliParse, OutputsAndSignalLists) {
    EXPECT_EQ(cli::ParseOutput("1"), 0);
    EXPECT_EQ(cli::ParseOutput("8"), 7);
    for (const char* bad : {"0", "9", "", "12", "x", "-1"})
        EXPECT_FALSE(cli::ParseOutput(bad)) << bad;
    EXPECT_EQ(cli::ParseSignalList("none"), 0);
    EXPECT_EQ(cli::ParseSignalList("I1"), 1);
    EXPECT_EQ(cli::ParseSignalList("I1,P2"), 1 | (1 << 9));
    EXPECT_EQ(cli::ParseSignalList("i8, p8"), (1 << 7) | (1 << 15));
    for (const char* bad : {"", "I0", "I9", "P9", "X1", "I1,", ",I1", "I1,,I2", "I12", "None,I1"})
        EXPECT_FALSE(cli::ParseSignalList(bad)) << bad;
}

// The examples do what their notes say.
TEST(CliEval, ExamplesAnswerAsDescribed) {
    const std::array<const char*, 4> cases[] = {
        {"stairwell.CDF", "1", "I2", "Lumacor Input 1 On"},
        {"stairwell.CDF", "1", "I1,I2", "Lumacor Input 1 Off"},
        {"corridor.CDF", "1", "I4,P1", "Lumacor Input 1 Off"},
        {"corridor.CDF", "1", "P1,P2", "Lumacor Input 1 On"},
        {"interlock.CDF", "2", "I6", "Lumacor Input 2 On"},
        {"interlock.CDF", "2", "I6,P8", "Lumacor Input 2 Off"},
    };
    for (const auto& [file, output, inputs, want] : cases) {
        const auto r = Cli({"eval", Example(file), "--output", output, "--inputs", inputs});
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, std::string(want) + "\n") << file << " " << inputs;
    }
}

TEST(CliEval, BadUsageAndUnreadableFilesExitWith2) {
    const std::string ok = Example("stairwell.CDF");
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"eval", ok},
        {"eval", ok, "--output", "9", "--inputs", "I1"},
        {"eval", ok, "--output", "1", "--inputs"},
        {"eval", ok, "--output", "1", "--inputs", "I1", "--bogus"},
        {"eval", "/nonexistent/x.CDF", "--output", "1", "--inputs", "I1"},
        {"eval", ok, ok, "--output", "1", "--inputs", "I1"},
        {"show", ok},
        {"signals", ok, ok},
        {"signals", "/nonexistent/x.CDF"},
        {"expr", ok, "--output", "9"},
        {"check", "/nonexistent/x.CDF"},
        {"compile", ok, "--engine", "slow"},
    };
    for (const auto& args : bad) {
        const auto r = Cli(args);
        EXPECT_TRUE(r.code == 2 && r.out.empty() && !r.err.empty()) << args.size() << r.err;
    }
    const auto missing = Cli({"eval", "/nonexistent/x.CDF", "--output", "1", "--inputs", "I1"});
    EXPECT_NE(missing.err.find("/nonexistent/x.CDF"), npos);
    EXPECT_NE(missing.err.find("No such file"), npos);
}

// The commands that print what a file holds: diagrams, truth tables, expressions, findings
// (exit 1 when there are some; the examples are clean) and the signals each output reads.
TEST(CliShow, EachReadingCommandPrintsWhatTheFileHolds) {
    const std::string stair = Example("stairwell.CDF"), corridor = Example("corridor.CDF");
    test::TempDir dir;
    Config off;  // I3 and not I3: always off
    for (int s = 0; s < 16; ++s) samples::Set(off, 0, s, s == 2 ? 8 : s == 3 ? 12 : 4, 2);
    ASSERT_TRUE(SaveToFile(off, dir.File("off.CDF")));
    const std::tuple<std::vector<std::string>, int, const char*> runs[] = {
        {{"show", stair, "--output", "1"}, 0, "|-[ I1]--[/I2]+-------"},
        {{"table", stair, "--output", "1"}, 0, " 0  1 | On\n 1  0 | On\n 1  1 | Off\n"},
        {{"expr", corridor}, 0, "LC Input 1: I3&!P1|I4&!P1|P2\nLC Input 2: P2\n"},
        {{"expr", corridor, "--output", "1", "--verbose"},
         0,
         "I3&!P1|I4&!P1|P2\n  exact minimum: 3 term(s), 5 literal(s); depends on I3 I4 P1 P2\n"},
        {{"expr", corridor, "--output", "5"}, 0, "0\n"},  // an empty diagram never conducts
        {{"check", dir.File("off.CDF")},
         1,
         "LC Input 1: always off\nLC Input 1: segment 2: no effect\n"
         "LC Input 1: segment 3: no effect\n"},
        {{"check", stair}, 0, ""},
        {{"check", corridor}, 0, ""},
        {{"check", Example("interlock.CDF")}, 0, ""},
        {{"signals", corridor},
         0,
         "signal  LC1  LC2  LC3  LC4  LC5  LC6  LC7  LC8\n"
         "I3       1    -    -    -    -    -    -    -\n"
         "I4       1    -    -    -    -    -    -    -\n"
         "P1       1    -    -    -    -    -    -    -\n"
         "P2       1    1    -    -    -    -    -    -\n"
         "free: I1 I2 I5 I6 I7 I8 P3 P4 P5 P6 P7 P8\n"},
    };
    for (const auto& [args, code, says] : runs) {
        const auto r = Cli(args);
        EXPECT_EQ(r.code, code) << args[0] << " " << args.back();
        EXPECT_TRUE(*says ? r.out.find(says) != npos : r.out.empty()) << r.out;
    }
}

TEST(CliCompile, WritesTheArrayAndWarnsAboutBadValues) {
    test::TempDir dir;
    Config c;
    for (int s = 0; s < 16; ++s) c.SegType[1][s] = 4;
    c.SegType[0][40] = 77;
    ASSERT_TRUE(SaveToFile(c, dir.File("w.CDF")));
    const auto r = Cli({"compile", dir.File("w.CDF"), "--time"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Compiled in"), npos);
    EXPECT_NE(r.err.find("1 segment(s) hold values outside 0..15"), npos) << r.err;
    const auto bytes = test::ReadBytes(dir.File("w.bin"));
    ASSERT_EQ(bytes.size(), 65536u);
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 2; }));

    const auto ref =
        Cli({"compile", dir.File("w.CDF"), "-o", dir.File("ref.out"), "--engine", "reference"});
    ASSERT_EQ(ref.code, 0) << ref.err;
    EXPECT_EQ(test::ReadBytes(dir.File("ref.out")), bytes);

    const auto fail = Cli({"compile", dir.File("w.CDF"), "-o", dir.File("no/such/dir/x.bin")});
    EXPECT_EQ(fail.code, 1);
    EXPECT_NE(fail.err.find("no/such/dir/x.bin"), npos);
}

TEST(CliTransfer, DownloadThenUploadGivesTheFileBack) {
    test::TempDir dir;
    TransferCli t;
    const auto down =
        t.Run({"download", Example("corridor.CDF"), "--port", "sim", "--yes", "--progress"});
    EXPECT_EQ(down.code, 0) << down.err;
    // Progress on standard error, the result alone on standard output.
    EXPECT_NE(down.err.find("Block 2048 of 2304\n"), npos);
    EXPECT_EQ(down.out.find("Block"), npos);
    EXPECT_NE(down.out.find("Download Complete.\nPower Cycle Device.\n"), npos);
    t.env.errIsTerminal = true;  // on a terminal: one line that updates itself
    const auto shown = t.Corridor();
    EXPECT_NE(shown.err.find("\rBlock 16 of 2304\x1b[K\rBlock 32 of"), npos);
    EXPECT_EQ(shown.err.back(), '\n');
    t.env.errIsTerminal = false;
    const auto up = t.Run({"upload", "--port", "sim", "-o", dir.File("up.CDF"), "--yes"});
    EXPECT_EQ(up.code, 0) << up.err;
    EXPECT_NE(up.out.find("Upload Complete.\nPower Cycle Device.\n"), npos);
    EXPECT_EQ(test::ReadBytes(dir.File("up.CDF")), test::ReadBytes(Example("corridor.CDF")));
    // Complete only once the file is written.
    const auto unwritable = t.Run({"upload", "--port", "sim", "-o", "/no-folder/u.CDF", "--yes"});
    EXPECT_TRUE(unwritable.code == 1 && unwritable.out.find("Upload Complete.") == npos);
    EXPECT_TRUE(unwritable.out.find("Upload Failed.") != npos &&
                unwritable.err.find("/no-folder/u.CDF") != npos);
}

TEST(CliTransfer, RefusalsAndFailuresExitWith1AndWriteNothing) {
    TransferCli t;
    t.in.str("n\n");
    const auto no = t.Run({"download", Example("corridor.CDF"), "--port", "sim"});
    EXPECT_EQ(no.code, 1);
    EXPECT_NE(no.out.find("Prior To Download.\nDevice Node Must Be 00\nContinue?"), npos);
    EXPECT_NE(no.out.find("Download Cancelled"), npos);
    EXPECT_EQ(t.device.commands(), 0);
    test::TempDir dir;
    device::Faults wrong, silent;
    wrong.wrongChecksum = true;
    silent.silentAfter = 0;
    const std::tuple<device::Faults, const char*, const char*> cases[] = {
        {wrong, "upload", "Upload Failed."},
        {wrong, "download", "Download Failed.\nDevice Will NOT Function Properly.\n"},
        {silent, "download", "Unable to connect to device."}};
    for (const auto& [faults, cmd, says] : cases) {
        TransferCli bad(faults);
        const auto r = std::string(cmd) == "upload"
                           ? bad.Run({cmd, "--port", "sim", "-o", dir.File("x.CDF"), "--yes"})
                           : bad.Run({cmd, Example("corridor.CDF"), "--port", "sim", "--yes"});
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.out.find(says), npos) << r.out;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.CDF")));
    TransferCli none;
    EXPECT_EQ(none.Run({"download", Example("corridor.CDF"), "--yes"}).code, 2);  // no --port
    EXPECT_EQ(none.Run({"upload", "--port", "sim", "--yes"}).code, 2);            // no -o
}

TEST(CliHelp, EveryCommandHasUsageOptionsAndExitCodes) {
    const auto top = Cli({"--help"});
    EXPECT_EQ(top.code, 0);
    EXPECT_EQ(Cli({"--version"}).out, std::string("zezudi-cli ") + ZEZ_VERSION + "\n");
    EXPECT_EQ(top.out.rfind("usage: zezudi-cli COMMAND", 0), 0u);
    for (const char* cmd : {"eval", "show", "compile", "table", "expr", "check", "export",
                            "download", "upload", "verify", "versions", "totext", "fromtext",
                            "diff", "draw", "tidy", "rewire", "signals", "report"}) {
        EXPECT_NE(top.out.find(std::string("zezudi-cli ") + cmd), npos) << cmd;
        const auto r = Cli({cmd, "--help"});
        EXPECT_EQ(r.code, 0) << cmd;
        EXPECT_EQ(r.out.rfind(std::string("usage: zezudi-cli ") + cmd, 0), 0u) << r.out;
        EXPECT_NE(r.out.find("\noptions:\n"), npos) << cmd;
        EXPECT_NE(r.out.find("exit codes: 0 "), npos) << cmd;
    }
}

TEST(CliExport, PassesTheJobToTheDrawingAndChecksItsArguments) {
    const std::string file = std::string(ZEZ_EXAMPLES_DIR) + "/corridor.CDF";
    std::vector<cli::ExportJob> jobs;
    cli::Environment env;
    env.exportFile = [&](const cli::ExportJob& job) -> Result<int> {
        jobs.push_back(job);
        if (job.out == "fail.pdf") return Error{"Cannot write \"fail.pdf\": disk full."};
        return 3;
    };
    auto run = [&](std::vector<std::string> args) {
        std::ostringstream out, err;
        const int code = cli::Run(args, out, err, env);
        return Outcome{code, out.str(), err.str()};
    };
    const auto pdf = run({"export", file, "--pdf", "c.pdf", "--page", "letter"});
    EXPECT_EQ(pdf.out, "Wrote c.pdf: 3 page(s)\n");
    ASSERT_EQ(run({"export", file, "--svg", "c.svg", "--output", "2"}).code, 0);
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_TRUE(jobs[0].pdf && jobs[0].letter && jobs[0].file == file);
    EXPECT_EQ(jobs[0].config, LoadFromFile(file).value().config);
    EXPECT_TRUE(!jobs[1].pdf && jobs[1].output == 1);
    EXPECT_EQ(run({"export", file, "--pdf", "fail.pdf"}).code, 1);
    const std::vector<std::vector<std::string>> bad = {
        {"export", file},
        {"export", file, "--pdf", "a.pdf", "--svg", "b.svg"},
        {"export", file, "--svg", "b.svg"},
        {"export", file, "--pdf", "a.pdf", "--page", "a3"},
        {"export", "/nonexistent.CDF", "--pdf", "a.pdf"},
    };
    for (const auto& args : bad) EXPECT_EQ(run(args).code, 2) << args.size();
    EXPECT_EQ(jobs.size(), 3u);  // none of the bad ones drew anything
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run({"export", file, "--pdf", "a.pdf"}, out, err), 2);  // no drawing here
}

TEST(CliVerify, MatchAfterDownloadAndNamesWhatDiffers) {
    test::TempDir dir;
    TransferCli t;
    ASSERT_EQ(t.Corridor().code, 0);
    const auto memory = t.device.memory();
    const auto same =
        t.Run({"verify", Example("corridor.CDF"), "--port", "sim", "--yes", "--progress"});
    EXPECT_TRUE(same.code == 0 && same.out.find("match\n") != npos) << same.out;
    EXPECT_NE(same.err.find("Block 280 of 288\nDevice Checksum\n"), npos);
    EXPECT_EQ(t.device.memory(), memory);  // nothing was written

    // One segment of output 1 changed in the file.
    Config changed = LoadFromFile(Example("corridor.CDF")).value().config;
    changed.SegType[0][200] = 4;
    changed.SegType[0][201] = 4;
    ASSERT_TRUE(SaveToFile(changed, dir.File("changed.CDF")));
    const auto diagram = t.Run({"verify", dir.File("changed.CDF"), "--port", "sim", "--yes"});
    EXPECT_EQ(diagram.code, 3);
    EXPECT_NE(diagram.out.find("LC Input 1: diagram differs\ndiffers: diagrams\n"), npos);

    // The device's table changed in output 2's bit for 100 words.
    for (int w = 0; w < 100; ++w) t.device.memory()[static_cast<std::size_t>(w)] ^= 2;
    EXPECT_NE(t.Corridor("verify").out.find("LC Input 2: table differs in 100 of 65536 words\n"
                                            "differs: only the table"),
              npos);

    // Quick compares the stored configuration and note only, and says so.
    const auto quick = t.Run(
        {"verify", Example("corridor.CDF"), "--port", "sim", "--yes", "--quick", "--progress"});
    EXPECT_TRUE(quick.code == 0 && quick.err.find("Block 0 of 0") == npos);
    EXPECT_NE(quick.out.find("match (quick: the configuration and the note only; the control "
                             "array was not compared)"),
              npos);
    EXPECT_EQ(t.Run({"verify", dir.File("changed.CDF"), "--port", "sim", "--yes", "--quick"}).code,
              3);
}

TEST(CliVerify, DeviceFaultsFailWithTheReasonWithinTwentySeconds) {
    device::Faults silent, wrong;
    silent.silentAfter = 40;  // goes quiet during the read-back
    wrong.wrongChecksum = true;
    for (const auto& [faults, reason] : {std::pair{silent, "No reply to the read of block 38"},
                                         std::pair{wrong, "read was corrupted"}}) {
        TransferCli t(faults);
        const auto r = t.Corridor("verify");
        EXPECT_TRUE(r.code == 1 && r.out.find("match") == npos);
        EXPECT_NE(r.err.find(reason), npos) << r.err;
        EXPECT_LT(t.time.Now() - device::TimePoint{}, device::Millis{20000});
    }
    TransferCli t;
    std::istringstream no("n\n");
    t.env.in = &no;
    EXPECT_EQ(t.Run({"verify", Example("corridor.CDF"), "--port", "sim"}).code, 1);  // cancelled
    EXPECT_EQ(t.Run({"verify", Example("corridor.CDF"), "--yes"}).code, 2);          // no port
}

}  // namespace
}  // namespace zez::test
