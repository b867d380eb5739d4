// The wire protocol's frames, checksums and stream, and whole transfers against the emulator.
#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <optional>
#include <random>
#include <thread>
#include <tuple>

#include "TestUtil.h"
#include "device/Emulator.h"
#include "device/Protocol.h"
#include "device/Transfers.h"
#include "support/SampleConfigs.h"
#ifndef ZEZ_PURE_ONLY
#include "export/Report.h"
#include "system/TransferLog.h"
#endif

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
    const std::pair<std::vector<uint8_t>, const char*> cases[] = {
        {{}, "FFFFFFFFFFFFFFFF"},
        {{0}, "900A5F5E100A5F5E"},
        {{0x61, 0x62, 0x63}, "68052FAF08052F8A"}};
    for (const auto& [bytes, want] : cases) {
        TransferChecksum sum;
        for (const uint8_t b : bytes) sum.Add(b);
        EXPECT_EQ(sum.Text(), want);
    }
}

TEST(TransferChecksum, DownloadAndUploadOfEmptyConfiguration) {
    const ControlArray array{};
    const Config config{};
    const auto stream = DownloadStream(array, config);
    ASSERT_EQ(stream.size(), 73728u);
    TransferChecksum sum;
    sum.Add(stream.data(), stream.size());
    EXPECT_TRUE(sum.Text() == "C2EEE100EABDC38F" &&
                UploadHostChecksum(config) == "AA1BBA5324EA011D");
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
    EXPECT_TRUE(stream[0x10205] == 0x0C && stream[0x10A05] == 0x0D);
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
    EXPECT_TRUE(ChecksumOfReply("[01") == "01" && ChecksumOfReply("").empty());
}

struct Bench {
    explicit Bench(Faults f = {}) : device(f), port(device, time), link(port, time) {}
    double Seconds() { return std::chrono::duration<double>(time.Now() - TimePoint{}).count(); }
    DeviceEmulator device;
    SimTime time;
    EmulatedPort port;
    Link link;
    std::vector<std::string> captions;
    CaptionFn Record() {
        return [this](const std::string& c) { captions.push_back(c); };
    }
};

Config Sample(unsigned seed) {
    std::mt19937 rng(seed);
    Config c = samples::Typical(rng);
    const char* note = "Stairs\r\nsecond line";
    for (int i = 0; note[i]; ++i) c.NoteData[i] = static_cast<uint8_t>(note[i]);
    return c;
}

TEST(Transfers, DownloadStoresTheStreamAndAgreesOnTheChecksum) {
    Bench b;
    const Config config = Sample(1);
    ControlArray array{};
    Compile(config, array);
    const auto r = Download(b.link, "ttyX", array, config, b.Record());
    EXPECT_EQ(r.outcome, Outcome::Complete) << r.reason;
    EXPECT_EQ(r.hostChecksum, r.deviceChecksum);
    const auto stream = DownloadStream(array, config);
    EXPECT_TRUE(std::equal(stream.begin(), stream.end(), b.device.memory().begin()));
    EXPECT_EQ(b.port.opened, (std::vector<std::string>{"38400,n,8,1", "115200,n,8,1"}));
    // Connect, speed change, start, 9216 data commands, checksum.
    ASSERT_EQ(b.port.written.size(), 9220u);
    EXPECT_EQ(std::vector(b.port.written.begin(), b.port.written.begin() + 3),
              (std::vector<std::string>{"[200700--]", "[2004A1--]", "[10000000000000000]"}));
    EXPECT_EQ(b.port.written.back(), "[60000000000000000]");
    // SegType[2][5] is the sixth value of command "[2" of block 2064.
    EXPECT_EQ(b.port.written[3 + 4 * 2064].substr(0, 2), "[2");
    EXPECT_EQ(b.port.written[3 + 4 * 2064].substr(2 + 2 * 5, 2), HexByte(config.SegType[2][5]));

    ASSERT_EQ(b.captions.size(), 1u + 128 + 16 + 16 + 2);
    const std::pair<int, const char*> captions[] = {
        {0, "Block 0 of 2304"},      {1, "Block 0 of 2304"},      {2, "Block 16 of 2304"},
        {128, "Block 2032 of 2304"}, {129, "Block 2048 of 2304"}, {160, "Block 2296 of 2304"},
        {161, "Host Checksum"},      {162, "Device Checksum"}};
    for (const auto& [i, caption] : captions) EXPECT_EQ(b.captions[i], caption) << i;
}

TEST(Transfers, UploadAfterDownloadGivesTheConfigurationBack) {
    Bench b;
    const Config config = Sample(2);
    ASSERT_EQ(Download(b.link, "ttyX", ControlArray{}, config).outcome, Outcome::Complete);
    b.port.written.clear();
    const auto r = Upload(b.link, "ttyX", b.Record());
    EXPECT_EQ(r.outcome, Outcome::Complete) << r.reason;
    EXPECT_EQ(r.uploaded, config);
    ASSERT_EQ(b.captions.size(), 1u + 32 + 2);
    EXPECT_TRUE(b.captions[1] == "Block 0 of 32" && b.captions[32] == "Block 31 of 32" &&
                b.captions.back() == "Device Checksum");
    EXPECT_TRUE(b.port.written[2] == "[80000000000010000]" &&
                b.port.written[12] == "[80000000000010A00]" &&
                b.port.written.back() == "[70000000000000000]");
}

// A comparison gives the compared record with the device's segments where they differ (its note
// stays), and nothing where no segment differs (the note alone, a quick comparison).
TEST(Transfers, CompareGivesTheDevicesSegmentsWhereTheyDiffer) {
    Bench b;
    Config stored = Sample(8), note = stored, mine;
    ASSERT_EQ(Download(b.link, "ttyX", ControlArray{}, stored).outcome, Outcome::Complete);
    note.NoteData[0] = '#';
    mine = note;
    mine.SegType[1][7] ^= 4;
    mine.SegInput[6][200] ^= 1;
    const std::tuple<Config, bool, std::optional<Config>> cases[] = {
        {mine, false, note}, {note, false, std::nullopt}, {mine, true, std::nullopt}};
    for (const auto& [config, quick, want] : cases)
        EXPECT_EQ(DeviceDiagrams(Verify(b.link, "ttyX", ControlArray{}, config, quick), config),
                  want);
}

#ifndef ZEZ_PURE_ONLY
// The report's checksums are those the device gives for a download of the compiled
// configuration and for what it then stores, as the transfer log records them.
TEST(Transfers, TheReportsChecksumsAreTheDevicesAfterADownload) {
    Bench b;
    const Config config = Sample(7);
    ControlArray array;
    Compile(config, array);
    const auto download = Download(b.link, "ttyX", array, config);
    const std::string html = ReportHtml(config, {});
    for (const auto& sum : {download.deviceChecksum, Upload(b.link, "ttyX").deviceChecksum}) {
        ASSERT_EQ(sum.size(), 16u);
        EXPECT_NE(html.find("<code>" + sum + "</code>"), std::string::npos) << sum;
    }
}
#endif  // ZEZ_PURE_ONLY

TEST(Transfers, ChecksumFaultsFailBothTransfers) {
    struct Case {
        const char* name;
        Faults faults;
        bool downloadFails, uploadFails;
    };
    const Case cases[] = {{"lower case", {.lowerCaseChecksum = true}, true, true},
                          {"wrong", {.wrongChecksum = true}, true, true},
                          {"note byte 4095", {.noteByte4095 = true}, false, true}};
    for (const auto& c : cases) {
        Bench b(c.faults);
        const Config config = Sample(3);
        // The download overwrites byte 4095 with the note's 0; set it again for the upload.
        const auto d = Download(b.link, "ttyX", ControlArray{}, config);
        EXPECT_EQ(d.outcome == Outcome::Failed, c.downloadFails) << c.name;
        if (c.faults.noteByte4095) b.device.memory()[kNoteAddress + 4095] = 0x5A;
        const auto u = Upload(b.link, "ttyX");
        EXPECT_EQ(u.outcome == Outcome::Failed, c.uploadFails) << c.name;
        if (u.outcome == Outcome::Failed) {
            EXPECT_EQ(u.uploaded, Config{}) << c.name;  // never handed over
        }
    }
}

// Each fault ends the transfer with its outcome and reason, after the commands and the time the
// protocol gives it.
TEST(Transfers, FaultsEndTheTransferWithTheirReasonInTime) {
    struct Case {
        const char* name;
        Faults faults;
        Outcome outcome;
        const char* reason;
        std::size_t commands;  // written in all
        double seconds;        // taken, with the speed change's 0.5 s pause and the time-outs
        int unplugAfter = -1;  // the adapter pulled after this many commands
    };
    const Case cases[] = {
        {"silent", {.silentAfter = 0}, Outcome::NoConnect, "", 1, 2.5},
        {"short replies", {.shortReplies = true}, Outcome::NoConnect, "", 1, 2.5},  // 7 of 8
        {"quiet after connect", {.silentAfter = 1}, Outcome::Failed, "stopped answering", 7, 15.5},
        {"quiet after 100", {.silentAfter = 100}, Outcome::Failed, "stopped answering", 105, 15.5},
        {"drops", {.dropEvery = 1000}, Outcome::Failed, "differs from the host's", 9220, 27.5},
        {"unplugged", {}, Outcome::Failed, "disconnected", 500, -1, 500},
        {"unplugged at the connect", {}, Outcome::PortError, "disconnected", 0, -1, 0},
        {"unplugged at the speed change", {}, Outcome::Failed, "disconnected", 1, -1, 1},
    };
    for (const auto& c : cases) {
        Bench b(c.faults);
        b.port.unplugAfterWrites = c.unplugAfter;
        const auto r = Download(b.link, "ttyX", ControlArray{}, Sample(4));
        EXPECT_EQ(r.outcome, c.outcome) << c.name;
        EXPECT_NE(r.reason.find(c.reason), std::string::npos) << c.name << ": " << r.reason;
        EXPECT_EQ(b.port.written.size(), c.commands) << c.name;
        if (c.seconds >= 0)
            EXPECT_NEAR(b.Seconds(), c.seconds, 0.01) << c.name;
        else
            EXPECT_LT(b.Seconds(), 1.0) << c.name;  // at once
    }
    Bench b;  // a port that cannot open: nothing sent, the port and the reason named
    b.port.openError = "Permission denied";
    const auto r = Upload(b.link, "/dev/ttyUSB0");
    EXPECT_TRUE(r.outcome == Outcome::PortError && b.port.written.empty());
    EXPECT_TRUE(r.reason.find("/dev/ttyUSB0") != std::string::npos &&
                r.reason.find("Permission denied") != std::string::npos);
}

TEST(Emulator, PacedRepliesWaitTheLineTimeOfTheSpeedTheCommandCameAt) {
    // Command and reply, 10 bits a character: connect's at 38400 baud, start's at 115200.
    const std::pair<std::string_view, long long> steps[] = {
        {kConnectCommand, (19 + 8) * 10 * 1000000LL / 38400},
        {kFastBaudCommand, -1},  // no reply
        {"[10000000000000000]", (19 + 2) * 10 * 1000000LL / 115200},
        {kConnectCommand, (19 + 8) * 10 * 1000000LL / 38400}};  // a connect after a transfer
    DeviceEmulator paced({.pace = true}), plain;
    for (const auto& [cmd, us] : steps) {
        const auto r = paced.Feed(cmd), q = plain.Feed(cmd);
        ASSERT_EQ(r.size(), us < 0 ? 0u : 1u) << cmd;
        if (us < 0) continue;
        EXPECT_EQ(r[0].wire.count(), us) << cmd;
        EXPECT_EQ(q[0].wire.count(), 0) << cmd;
    }
    // A port on simulated time waits it: a whole download takes about a module's 20 seconds.
    Bench b({.pace = true});
    const Config config = Sample(1);
    ControlArray array{};
    Compile(config, array);
    ASSERT_EQ(Download(b.link, "ttyX", array, config).outcome, Outcome::Complete);
    EXPECT_GT(b.Seconds(), 17.0);
    EXPECT_LT(b.Seconds(), 22.0);
}

TEST(Link, LateReplyKeepsTheOldReplyAndIsDrainedLater) {
    Bench b({.lateEvery = 2, .lateBy = Millis{4000}});  // the reply to start comes after 4 s
    ASSERT_TRUE(b.link.Start("ttyX"));
    ASSERT_EQ(b.link.DeviceConnect(), Exchange::Replied);
    EXPECT_EQ(b.link.DeviceReply(), "[2007OK]");
    ASSERT_EQ(b.link.DeviceCommand(kStartDownloadCommand, 2), Exchange::TimedOut);
    EXPECT_EQ(b.link.DeviceReply(), "[2007OK]");
    b.time.SleepUntil(b.time.Now() + Millis{2000});  // the late reply is now waiting
    ASSERT_EQ(b.link.DeviceCommand(kStoredChecksumCommand, 18), Exchange::Replied);
    EXPECT_EQ(b.link.DeviceReply().size(), 18u);  // the late one was drained first
}

// A cancel made while the link waits (for a reply, or in the speed change's pause), from another
// thread or by a host that wakes the wait, ends that exchange, whatever arrives.
TEST(Link, CancelDuringAWaitEndsTheExchange) {
    struct CancellingTime final : TimeSource {  // the cancel comes once armed
        explicit CancellingTime(SimTime& t) : time(t) {}
        TimePoint Now() override {
            cancel = armed;
            return time.Now();
        }
        void SleepUntil(TimePoint t) override { time.SleepUntil(t); }
        SimTime& time;
        bool armed = false;
        std::atomic<bool> cancel{false};
    };
    for (const bool pause : {false, true}) {
        Bench b({.dribble = Millis{10}});  // the reply comes a character at a time
        CancellingTime time(b.time);
        Link link(b.port, time);
        link.SetCancel(&time.cancel);
        ASSERT_TRUE(link.Start("ttyX"));
        ASSERT_EQ(link.DeviceConnect(), Exchange::Replied);
        time.armed = true;
        EXPECT_EQ(pause ? link.DeviceFastBaud() : link.DeviceCommand(kStoredChecksumCommand, 18),
                  Exchange::Cancelled)
            << pause;
    }
}

#ifndef ZEZ_PURE_ONLY
// The log keeps the newest entries as written (a tab or line break in a name is a space), says
// how each transfer ended, and is never written through a link or into something else.
TEST(TransferLog, KeepsTheNewestEntriesAndSaysHowEachEnded) {
    test::TempDir dir;
    const std::filesystem::path log = dir.path() / "data" / "transfers.log";
    Bench b({.wrongChecksum = true});
    const auto failed = Download(b.link, "ttyX", ControlArray{}, Sample(5));
    ASSERT_TRUE(AppendToLog(log, EntryFor("download", "COM3", "a\tb\nc.CDF", failed)));
    VerifyResult v;
    v.transfer.outcome = Outcome::Complete;
    v.transfer.deviceChecksum = "0123456789ABCDEF";
    ASSERT_TRUE(AppendToLog(log, EntryFor("compare", "COM3", "", v.transfer, &v)));
    auto entries = ReadLog(log).value().entries;
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].file, "a b c.CDF");
    EXPECT_EQ(entries[0].outcome.rfind("failed: ", 0), 0u) << entries[0].outcome;
    EXPECT_EQ(LogText(entries, 1), entries[1].when +
                                       "  compare on COM3: differs (device checksum "
                                       "0123456789ABCDEF)\n");
    std::string full = "zezudi-transfer-log 1\n";  // a full log: the oldest entry goes
    for (std::size_t i = 0; i < kLogKept; ++i)
        full += "t\tupload\tCOM1\t" + std::to_string(i) + "\tcomplete\t\n";
    test::WriteBytes(log.string(), {full.begin(), full.end()});
    ASSERT_TRUE(AppendToLog(log, entries[1]));
    entries = ReadLog(log).value().entries;
    EXPECT_TRUE(entries.size() == kLogKept && entries[0].file == "1" &&
                entries.back().action == "compare");
    std::vector<std::filesystem::path> refused = {dir.path()};  // a folder
#ifndef _WIN32
    std::filesystem::create_symlink(log, dir.File("link.log"));
    refused.push_back(dir.File("link.log"));
#endif
    for (const auto& bad : refused) EXPECT_FALSE(AppendToLog(bad, entries[1])) << bad;
    EXPECT_EQ(ReadLog(log).value().entries, entries);
}

// A log this program did not write as it stands (damaged, another file, grown past what its
// entries can fill) is renamed aside whole, never emptied or read as "nothing logged"; and what
// a log holds reaches a terminal or a message box only as printable text.
TEST(TransferLog, WhatItCannotUseIsSetAsideAndWhatItHoldsIsShownPrintable) {
    test::TempDir dir;
    const std::string header = "zezudi-transfer-log 1\n";
    const std::string odd =
        "\x1b]0;x\x07\x1b[2J \xff\xc3 \xc2\x9b \xe2\x80\xae K\xc3\xbc"
        "che";
    std::string big(64 + kLogKept * 6 * 4097 + 1, 'x');
    const std::pair<std::string, std::string> unusable[] = {
        {std::string("\0\1binary\x1b", 9), "not a transfer log written by this program"},
        {header + "t\tdownload\tCOM1\ta.CDF\tcomplete\t\nhalf a line\n", "line 3 holds no entry"},
        {big, "larger than its newest 1000 entries can be"},
    };
    int n = 0;
    for (const auto& [bytes, why] : unusable) {
        const std::filesystem::path log = dir.path() / ("log" + std::to_string(++n));
        test::WriteBytes(log.string(), {bytes.begin(), bytes.end()});
        const auto read = ReadLog(log);
        ASSERT_TRUE(read) << read.error();
        EXPECT_TRUE(read.value().entries.empty());
        EXPECT_NE(read.value().setAside.find(why), std::string::npos) << read.value().setAside;
        const auto from = read.value().setAside.find("set aside as \"") + 14;
        const std::string aside =
            read.value().setAside.substr(from, read.value().setAside.find('"', from) - from);
        EXPECT_EQ(test::ReadBytes(aside), std::vector<uint8_t>(bytes.begin(), bytes.end()));
        // The next entry starts a new log beside it.
        ASSERT_TRUE(AppendToLog(log, {"t", "upload", "COM2", "", "complete", ""}));
        EXPECT_EQ(ReadLog(log).value().entries.size(), 1u);
    }
    // Entries holding escapes, control characters, broken UTF-8, C1 controls and a direction
    // override; CR LF line ends (an editor on Windows) are read as the log.
    const std::filesystem::path log = dir.path() / "odd.log";
    const std::string text = "zezudi-transfer-log 1\r\nt\tdownload\tCOM1\t" + odd + "\t" + odd +
                             std::string("\0\t", 2) + odd + "\r\n";
    test::WriteBytes(log.string(), {text.begin(), text.end()});
    const auto read = ReadLog(log).value();
    ASSERT_EQ(read.entries.size(), 1u);
    const std::string shown = LogText(read.entries, 1);
    const std::string want =
        "\\x1B]0;x\\x07\\x1B[2J \\xFF\\xC3 \\xC2\\x9B \\xE2\\x80\\xAE K\xc3\xbc"
        "che";
    EXPECT_EQ(shown, "t  download " + want + " on COM1: " + want + "\\x00 (device checksum " +
                         want + ")\n");
}

// Programs that finish transfers at the same moment take turns: no entry is lost.
TEST(TransferLog, WritersAtTheSameTimeLoseNoEntry) {
    test::TempDir dir;
    const std::filesystem::path log = dir.path() / "transfers.log";
    constexpr int kEach = 200;
    std::vector<std::thread> writers;
    std::atomic<int> failed{0};
    for (const char* port : {"COM1", "COM2"})
        writers.emplace_back([&, port] {
            for (int i = 0; i < kEach; ++i)
                if (!AppendToLog(log, {"t", "download", port, std::to_string(i), "complete", ""}))
                    ++failed;
        });
    for (auto& w : writers) w.join();
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(ReadLog(log).value().entries.size(), 2u * kEach);  // one entry an append
}

#endif  // ZEZ_PURE_ONLY
}  // namespace
}  // namespace zez::device
