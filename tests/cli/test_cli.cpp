// zezudi-cli: each command's output and exit status, its overwrite guards, and what a
// misbehaving device cannot make it do.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "CliFixture.h"
#include "TestUtil.h"
#include "app/Cli.h"
#include "compiler/Compiler.h"
#include "device/Emulator.h"
#include "logic/Layout.h"
#include "support/SampleConfigs.h"
#include "system/CdfFile.h"

namespace zez::test {
namespace {

TEST(CliParse, OutputsAndSignalLists) {
    for (const char* bad : {"0", "9", "", "12", "x", "-1"})
        EXPECT_FALSE(cli::ParseOutput(bad)) << bad;
    EXPECT_EQ(cli::ParseSignalList("none"), 0);
    EXPECT_EQ(cli::ParseSignalList("I1"), 1);
    EXPECT_EQ(cli::ParseSignalList("I1,P2"), 1 | (1 << 9));
    EXPECT_EQ(cli::ParseSignalList("i8, p8"), (1 << 7) | (1 << 15));
    for (const char* bad : {"", "I0", "I9", "P9", "X1", "I1,", ",I1", "I1,,I2", "I12", "None,I1"})
        EXPECT_FALSE(cli::ParseSignalList(bad)) << bad;
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
        {"eval", ok, ok, "--output", "1", "--inputs", "I1"},
        {"show", ok},
        {"signals", ok, ok},
        {"expr", ok, "--output", "9"},
        {"check", "/nonexistent/x.CDF"},
        {"compile", ok, "--engine", "slow"},
    };
    for (const auto& args : bad) {
        const auto r = Cli(args);
        EXPECT_TRUE(r.code == 2 && r.out.empty() && !r.err.empty()) << args.size() << r.err;
    }
    EXPECT_NE(Cli({"check", "/nonexistent/x.CDF"}).err.find("\"/nonexistent/x.CDF\": No such file"),
              npos);
}

// The commands that print what a file holds: a state, diagrams, truth tables, expressions,
// findings (exit 1 when there are some; the examples are clean) and the signals each output reads.
TEST(CliShow, EachReadingCommandPrintsWhatTheFileHolds) {
    const std::string stair = Example("stairwell.CDF"), corridor = Example("corridor.CDF");
    test::TempDir dir;
    Config off;  // I3 and not I3: always off
    for (int s = 0; s < 16; ++s) samples::Set(off, 0, s, s == 2 ? 8 : s == 3 ? 12 : 4, 2);
    ASSERT_TRUE(SaveToFile(off, dir.File("off.CDF")));
    const std::tuple<std::vector<std::string>, int, const char*> runs[] = {
        // The examples do what their notes say.
        {{"eval", stair, "--output", "1", "--inputs", "I2"}, 0, "Lumacor Input 1 On\n"},
        {{"eval", stair, "--output", "1", "--inputs", "I1,I2"}, 0, "Lumacor Input 1 Off\n"},
        {{"eval", corridor, "--output", "1", "--inputs", "I4,P1"}, 0, "Lumacor Input 1 Off\n"},
        {{"eval", corridor, "--output", "1", "--inputs", "P1,P2"}, 0, "Lumacor Input 1 On\n"},
        {{"eval", Example("interlock.CDF"), "--output", "2", "--inputs", "I6,P8"},
         0,
         "Lumacor Input 2 Off\n"},
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
        {{"check", corridor}, 0, ""},
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
    const auto refused = Cli({"compile", dir.File("w.CDF")});
    EXPECT_EQ(refused.code, 2);
    EXPECT_NE(refused.err.find("w.CDF holds values outside the codes in 1 segment; nothing"), npos);
    const auto r = Cli({"compile", dir.File("w.CDF"), "--time", "--force"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Compiled in"), npos);
    EXPECT_NE(r.err.find("1 segment(s) hold values outside 0..15"), npos) << r.err;
    const auto bytes = test::ReadBytes(dir.File("w.bin"));
    ASSERT_EQ(bytes.size(), 65536u);
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 2; }));

    ASSERT_EQ(
        Cli({"compile", dir.File("w.CDF"), "-o", dir.File("r"), "--engine", "reference", "--force"})
            .code,
        0);
    EXPECT_EQ(test::ReadBytes(dir.File("r")), bytes);

    const auto fail =
        Cli({"compile", dir.File("w.CDF"), "-o", dir.File("no/such/dir/x.bin"), "--force"});
    EXPECT_EQ(fail.code, 1);
    EXPECT_NE(fail.err.find("no/such/dir/x.bin"), npos);
}

TEST(CliTransfer, DownloadThenUploadGivesTheFileBackAndBothAreLogged) {
    test::TempDir dir;
    TransferCli t;
    t.env.transferLog = dir.File("transfers.log");
    const auto down =
        t.Run({"download", Example("corridor.CDF"), "--port", "sim", "--yes", "--progress"});
    EXPECT_EQ(down.code, 0) << down.err;
    // Progress on standard error, the result alone on standard output.
    EXPECT_NE(down.err.find("Block 2048 of 2304\n"), npos);
    EXPECT_EQ(down.out.find("Block"), npos);
    EXPECT_EQ(down.out, "Download Complete.\n");  // the question and reminders on standard error
    EXPECT_NE(down.err.find("Port: sim\nPower Cycle Device Prior To Download.\nDevice Node Must "
                            "Be 00\nContinue? [y/N] yes\n"),
              npos);
    t.env.errIsTerminal = true;  // on a terminal: one line that updates itself
    const auto shown = t.Corridor();
    EXPECT_NE(shown.err.find("\rBlock 16 of 2304\x1b[K\rBlock 32 of"), npos);
    EXPECT_EQ(shown.err.back(), '\n');
    t.env.errIsTerminal = false;
    const auto up = t.Run({"upload", "--port", "sim", "-o", dir.File("up.CDF"), "--yes"});
    EXPECT_EQ(up.code, 0) << up.err;
    EXPECT_EQ(up.out, "Upload Complete.\n");
    EXPECT_EQ(test::ReadBytes(dir.File("up.CDF")), test::ReadBytes(Example("corridor.CDF")));
    // Complete only once the file is written.
    const auto unwritable = t.Run({"upload", "--port", "sim", "-o", "/no-folder/u.CDF", "--yes"});
    EXPECT_TRUE(unwritable.code == 1 && unwritable.out.find("Upload Complete.") == npos);
    EXPECT_TRUE(unwritable.out.find("Upload Failed.") != npos &&
                unwritable.err.find("/no-folder/u.CDF") != npos);
    // Four entries: two downloads, an upload, an upload whose file could not be written.
    const auto log = t.Run({"log", "--last", "3"});
    for (const char* says : {"  download ", "corridor.CDF on sim: complete (device checksum ",
                             "up.CDF on sim: complete", "u.CDF on sim: failed: "})
        EXPECT_NE(log.out.find(says), npos) << says << "\n" << log.out;
    EXPECT_EQ(std::count(log.out.begin(), log.out.end(), '\n'), 3);
    // A configuration is replaced only with --force (nothing is read); - is standard output.
    const int read = t.device.commands();
    EXPECT_EQ(t.Run({"upload", "--port", "sim", "-o", dir.File("up.CDF"), "--yes"}).code, 2);
    EXPECT_EQ(t.device.commands(), read);
    const auto piped = t.Run({"upload", "--port", "sim", "-o", "-", "--yes"});
    EXPECT_EQ(std::vector<uint8_t>(piped.out.begin(), piped.out.end()),
              test::ReadBytes(Example("corridor.CDF")));
    TransferCli none;
    none.env.transferLog = dir.path();  // a folder: cannot be read
    EXPECT_EQ(none.Run({"log"}).code, 1);
    none.env.transferLog = dir.File("new.log");
    EXPECT_EQ(none.Run({"log"}).out, "No transfer has been logged yet.\n");
    test::WriteBytes(dir.File("damaged.log"), {0x1b, '[', '2', 'J', 0, 0xff});
    none.env.transferLog = dir.File("damaged.log");  // never shown raw, never "nothing logged"
    const auto damaged = none.Run({"log"});
    EXPECT_TRUE(damaged.code == 1 && damaged.out.empty() &&
                damaged.err.find("set aside as") != npos)
        << damaged.err;
    for (const char* last : {"0", "1001", "x"})
        EXPECT_EQ(none.Run({"log", "--last", last}).code, 2);
    EXPECT_EQ(Cli({"log"}).code, 1);  // no log where it was built without one
}

TEST(CliTransfer, RefusalsAndFailuresExitWith1AndUsageWith2) {
    TransferCli t;
    t.in.str("n\n");
    const auto no = t.Run({"download", Example("corridor.CDF"), "--port", "sim"});
    EXPECT_EQ(no.code, 1);
    EXPECT_NE(no.err.find("Prior To Download.\nDevice Node Must Be 00\nContinue?"), npos);
    EXPECT_NE(no.err.find("Download Cancelled"), npos);
    // A file that holds no configuration is refused before the question, unless --force.
    test::TempDir dir;
    ASSERT_EQ(Cli({"compile", Example("corridor.CDF"), "-o", dir.File("c.bin")}).code, 0);
    for (const char* cmd : {"download", "verify", "compile"}) {
        const bool device = cmd[0] != 'c';
        const auto r = t.Run(
            {cmd, dir.File("c.bin"), device ? "--port" : "-o", device ? "sim" : dir.File("x")});
        EXPECT_EQ(r.code, 2);
        EXPECT_NE(r.err.find("looks like a compiled control array of 65,536 bytes"), npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("x")));
    EXPECT_EQ(t.device.commands(), 0);
    EXPECT_EQ(t.Run({"download", dir.File("c.bin"), "--port", "sim", "--yes", "--force"}).code, 0);
    TransferCli bad({.wrongChecksum = true});
    const auto failed = bad.Corridor();
    EXPECT_EQ(failed.code, 1);
    EXPECT_NE(failed.out.find("Download Failed.\nDevice Will NOT Function Properly.\n"), npos);
    TransferCli none;
    EXPECT_EQ(none.Run({"download", Example("corridor.CDF"), "--yes"}).code, 2);  // no --port
    EXPECT_EQ(none.Run({"upload", "--port", "sim", "--yes"}).code, 2);            // no -o
    std::istringstream no2("n\n");
    t.env.in = &no2;
    EXPECT_EQ(t.Run({"verify", Example("corridor.CDF"), "--port", "sim"}).code, 1);  // cancelled
    EXPECT_EQ(t.Run({"verify", Example("corridor.CDF"), "--yes"}).code, 2);          // no port
    // A port that cannot be opened is said before the question; a silent module with its port
    // and what to check.
    TransferCli closed;
    closed.env.makePort = [&closed] {
        auto port = std::make_unique<device::EmulatedPort>(closed.device, closed.time);
        port->openError = "it is not a serial port";
        return port;
    };
    const auto refused = closed.Corridor();
    EXPECT_TRUE(refused.code == 1 && refused.err.find("Continue?") == npos &&
                refused.err.find("Cannot open sim: it is not a serial port.\n") != npos &&
                refused.err.find("(zezudi-cli ports lists them)") != npos)
        << refused.err;
    EXPECT_EQ(closed.device.commands(), 0);
    TransferCli silent({.silentAfter = 0});
    const auto unanswered = silent.Corridor();
    EXPECT_EQ(unanswered.out, "Unable to connect to device.\n");
    EXPECT_NE(unanswered.err.find("no answer from the module on sim. Check that the module is "
                                  "powered"),
              npos);
    TransferCli later({.silentAfter = 3});  // answers the connect, then falls silent
    EXPECT_NE(later.Corridor().err.find("no answer from the module on sim. Check"), npos);
    // ports: the name --port takes, the device and the adapter; --port takes that name.
    t.env.listPorts = [] {
        return std::vector<device::PortInfo>{{"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI_A1-port0",
                                              "A1", "FT232R USB UART", "FTDI", 0x0403, 0x6001}};
    };
    EXPECT_EQ(t.Run({"ports"}).out,
              "/dev/serial/by-id/usb-FTDI_A1-port0\t/dev/ttyUSB0\tFT232R USB "
              "UART, FTDI, serial number A1, USB 0403:6001\n");
    EXPECT_NE(t.Run({"download", Example("corridor.CDF"), "--port", "usb-FTDI_A1-port0", "--yes"})
                  .err.find("Port: /dev/ttyUSB0 (FT232R USB UART, FTDI"),
              npos);
    EXPECT_EQ(none.Run({"ports"}).code, 1);
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
    auto run = [&](std::vector<std::string> args) { return Cli(std::move(args), env); };
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
    EXPECT_EQ(Cli({"export", file, "--pdf", "a.pdf"}).code, 2);  // no drawing here
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
    auto run = [&](std::vector<std::string> args) { return Cli(std::move(args), env); };
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
    const Case cases[] = {{"drop", {.dropEvery = 150}},
                          {"corrupt", {.corruptEvery = 25}},
                          {"garble", {.garbleEvery = 25}},
                          {"flood", {.floodEvery = 25}}};
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
            EXPECT_EQ(r.code == 1, r.err.find("zezudi-cli: ") != npos);  // a failure says why
            EXPECT_EQ(r.err.find('\x1b'), npos);                         // device bytes never raw
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
    TransferCli t({.dribble = device::Millis{50}});
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

}  // namespace
}  // namespace zez::test
