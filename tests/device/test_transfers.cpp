#include <gtest/gtest.h>

#include <random>

#include "device/Emulator.h"
#include "device/Transfers.h"
#include "logic/Report.h"
#include "support/SampleConfigs.h"

namespace zez::device {
namespace {

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
    EXPECT_EQ(b.port.written[0], "[200700--]");
    EXPECT_EQ(b.port.written[1], "[2004A1--]");
    EXPECT_EQ(b.port.written[2], "[10000000000000000]");
    EXPECT_EQ(b.port.written.back(), "[60000000000000000]");
    // SegType[2][5] is the sixth value of command "[2" of block 2064.
    EXPECT_EQ(b.port.written[3 + 4 * 2064].substr(0, 2), "[2");
    EXPECT_EQ(b.port.written[3 + 4 * 2064].substr(2 + 2 * 5, 2), HexByte(config.SegType[2][5]));

    ASSERT_EQ(b.captions.size(), 1u + 128 + 16 + 16 + 2);
    EXPECT_EQ(b.captions[0], "Block 0 of 2304");
    EXPECT_EQ(b.captions[1], "Block 0 of 2304");
    EXPECT_EQ(b.captions[2], "Block 16 of 2304");
    EXPECT_EQ(b.captions[128], "Block 2032 of 2304");
    EXPECT_EQ(b.captions[129], "Block 2048 of 2304");
    EXPECT_EQ(b.captions[160], "Block 2296 of 2304");
    EXPECT_EQ(b.captions[161], "Host Checksum");
    EXPECT_EQ(b.captions[162], "Device Checksum");
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
    EXPECT_EQ(b.captions[1], "Block 0 of 32");
    EXPECT_EQ(b.captions[32], "Block 31 of 32");
    EXPECT_EQ(b.captions.back(), "Device Checksum");
    EXPECT_EQ(b.port.written[2], "[80000000000010000]");
    EXPECT_EQ(b.port.written[12], "[80000000000010A00]");
    EXPECT_EQ(b.port.written.back(), "[70000000000000000]");
}

// The report's checksum is the one the device gives for the configuration and note it stores.
TEST(Transfers, TheReportsChecksumIsTheDevicesAfterADownload) {
    Bench b;
    const Config config = Sample(7);
    ASSERT_EQ(Download(b.link, "ttyX", ControlArray{}, config).outcome, Outcome::Complete);
    const std::string sum = Upload(b.link, "ttyX").deviceChecksum;
    ASSERT_EQ(sum.size(), 16u);
    EXPECT_NE(ReportHtml(config, {}).find("<code>" + sum + "</code>"), std::string::npos) << sum;
}

TEST(Transfers, ChecksumFaultsFailBothTransfers) {
    struct Case {
        const char* name;
        Faults faults;
        bool downloadFails, uploadFails;
    };
    Faults lower, wrong, byte4095;
    lower.lowerCaseChecksum = true;
    wrong.wrongChecksum = true;
    byte4095.noteByte4095 = true;
    const Case cases[] = {{"lower case", lower, true, true},
                          {"wrong", wrong, true, true},
                          {"note byte 4095", byte4095, false, true}};
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
    };
    Faults silent, shortReply, goesQuiet, drops, unplug;
    silent.silentAfter = 0;
    shortReply.shortReplies = true;  // 7 characters instead of 8
    goesQuiet.silentAfter = 100;
    drops.dropEvery = 1000;  // every 1000th command is ignored
    const Case cases[] = {
        {"silent", silent, Outcome::NoConnect, "", 1, 2.5},
        {"short replies", shortReply, Outcome::NoConnect, "", 1, 2.5},
        {"quiet after 100", goesQuiet, Outcome::Failed, "stopped answering", 105, 15.5},
        {"drops", drops, Outcome::Failed, "differs from the host's", 9220, 0.5 + 9 * 3.0},
        {"unplugged", unplug, Outcome::Failed, "disconnected", 500, -1},
    };
    for (const auto& c : cases) {
        Bench b(c.faults);
        if (std::string(c.name) == "unplugged") b.port.unplugAfterWrites = 500;
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
    EXPECT_EQ(r.outcome, Outcome::PortError);
    EXPECT_TRUE(r.reason.find("/dev/ttyUSB0") != std::string::npos &&
                r.reason.find("Permission denied") != std::string::npos);
    EXPECT_TRUE(b.port.written.empty());
}

TEST(Link, LateReplyKeepsTheOldReplyAndIsDrainedLater) {
    Faults f;
    f.lateEvery = 2;  // the second reply (to the start command) comes after 4 s
    f.lateBy = Millis{4000};
    Bench b(f);
    ASSERT_TRUE(b.link.Start("ttyX"));
    ASSERT_EQ(b.link.DeviceConnect(), Exchange::Replied);
    EXPECT_EQ(b.link.DeviceReply(), "[2007OK]");
    ASSERT_EQ(b.link.DeviceCommand(kStartDownloadCommand, 2), Exchange::TimedOut);
    EXPECT_EQ(b.link.DeviceReply(), "[2007OK]");
    b.time.SleepUntil(b.time.Now() + Millis{2000});  // the late reply is now waiting
    ASSERT_EQ(b.link.DeviceCommand(kStoredChecksumCommand, 18), Exchange::Replied);
    EXPECT_EQ(b.link.DeviceReply().size(), 18u);  // the late one was drained first
}

// A port whose driver hands over the late end of an earlier reply a piece at each read.
class DribblingPort final : public SerialPort {
  public:
    Result<void> Open(const std::string&, std::string_view) override { return {}; }
    void Close() override {}
    void DtrOff() override {}
    int Waiting() override { return static_cast<int>(held_.size()); }
    std::string ReadAll() override {
        std::string out = std::move(held_);
        held_.clear();
        ++reads;
        if (!late.empty()) {
            held_ = late.front();
            late.erase(late.begin());
        }
        return out;
    }
    Result<void> Write(std::string_view) override {
        held_ += reply;
        return {};
    }
    Result<void> WaitForData(TimePoint) override { return {}; }

    std::vector<std::string> late;
    std::string reply;
    int reads = 0;

  private:
    std::string held_;
};

TEST(Link, TheDrainReadsFourTimesSoLateBytesNeverStartAReply) {
    SimTime time;
    DribblingPort port;
    port.late = {"K]", "[20", "07OK"};  // pieces of an earlier reply, still on their way
    port.reply = "[1234567890ABCDEF]";
    Link link(port, time);
    ASSERT_EQ(link.DeviceCommand(kStoredChecksumCommand, 18), Exchange::Replied);
    EXPECT_EQ(link.DeviceReply(), "[1234567890ABCDEF]");
    EXPECT_EQ(port.reads, 5);  // four to drain, one for the reply
}

}  // namespace
}  // namespace zez::device
