// Download, Upload and Compare with their questions, captions and outcomes, and the port choice,
// on the document against an emulated device, without a window.
#include <QStringList>
#include <QThread>
#include <algorithm>
#include <future>
#include <random>

#include <filesystem>

#include "EditorFixture.h"
#include "system/CdfFile.h"
#include "system/TransferLog.h"
#include "system/Versions.h"

namespace zez::test {
namespace {

class TransferFlowTest : public FlowTest {
  protected:
    TransferFlowTest() {
        QObject::connect(&transfers, &TransferFlow::Caption,
                         [this](const QString& c) { captions << c; });
        QObject::connect(&transfers, &TransferFlow::Busy, [this](bool b) { busy << b; });
    }
    // The transfers, with the answers their questions will get.
    TransferFlow& Answering(std::initializer_list<Answer> answers) {
        dialogs.answers = answers;
        return transfers;
    }
    QStringList captions;
    QList<bool> busy;
};

TEST_F(TransferFlowTest, DownloadSendsWhatWasCompiledOrSaysWhyNotAndLogsIt) {
    TempDir dir;
    transfers.SetLog(dir.path() / "transfers.log");
    Device();
    CompileSample(1);
    Drop(200, 4);
    doc.Compile({});
    // Values outside the codes are asked about before the power-cycle question; No sends nothing.
    state.record.SegType[2][9] = 99;
    Answering({Answer::No}).Download(false);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(Last().text.startsWith("1 segment(s) of this configuration hold values outside"));
    state.record.SegType[2][9] = 0;
    dialogs.boxes.clear();
    Answering({Answer::No}).Download(false);
    ExpectBox(dialogs.boxes[0],
              "Port: COM1: sim0\r\n\r\nPower Cycle Device Prior To Download.\r\nDevice Node "
              "Must Be 00\r\nContinue?",
              "Download", Buttons::YesNo, Icon::None);
    ExpectBox(Last(), "Download Cancelled", "Download", Buttons::Ok, Icon::None);
    EXPECT_EQ(emulator->commands(), 0);
    Answering({Answer::Yes}).Download(false);
    ExpectBox(Last(), "Download Complete.\r\nPower Cycle Device.", "Download", Buttons::Ok,
              Icon::Information);
    // The captions from the first block to the checksum, hidden at the end.
    EXPECT_TRUE(captions.front() == "Block 0 of 2304" && captions.contains("Device Checksum"));
    EXPECT_EQ(busy, (QList<bool>{true, false}));
    const auto stream = device::DownloadStream(state.controlArray, state.record);
    EXPECT_TRUE(std::equal(stream.begin(), stream.end(), emulator->memory().begin()));
    EXPECT_TRUE(state.ConfigChanged && doc.compiled() && !transfers.running());

    const std::tuple<device::Faults, const char*, const char*> cases[] = {
        {{.silentAfter = 0}, "Unable to connect to device.", "Error"},
        {{.wrongChecksum = true},
         "Download Failed.\r\nDevice Will NOT Function Properly.\r\nThe device's checksum",
         "Download Failure"}};
    for (const auto& [faults, text, title] : cases) {
        Device(faults);
        Answering({Answer::Yes}).Download(true);  // nothing is compared after a failure
        ExpectSaid(Last(), text, title, Icon::Critical);
        EXPECT_TRUE(captions.back().isEmpty());
    }
    // A COM entry without a port is said, and nothing is sent.
    Device({}, 1);
    EXPECT_TRUE(ports.ComCaption(0).startsWith("COM1\tsim0"));
    EXPECT_TRUE(ports.ComCaption(1).startsWith("COM2\t(no port)"));
    ports.SelectCom(1);
    EXPECT_EQ(state.ComPortNumber, 2);
    Answering({Answer::Yes}).Download(false);
    ExpectSaid(Last(), "", "Error", Icon::Critical);
    EXPECT_TRUE(Last().text.contains("COM2") && emulator->commands() == 0);
    // Logged: what reached a device (not the refusal at the question, nor the port-less COM2).
    const auto logged = device::ReadLog(dir.path() / "transfers.log").value().entries;
    ASSERT_EQ(logged.size(), 3u);
    EXPECT_TRUE(logged[0].outcome == "complete" && logged[1].outcome.starts_with("no answer") &&
                logged[2].outcome.starts_with("failed: ") && logged[0].port == "sim0");
    transfers.ShowLog();
    ExpectSaid(Last(), QString::fromStdString(logged[0].when + "  download on sim0: complete"),
               "Transfer Log", Icon::Information);
}

TEST_F(TransferFlowTest, UploadReplacesTheConfigurationOnlyWhenVerified) {
    Device();
    CompileSample(5);
    const Config sent = state.record;
    Answering({Answer::Yes}).Download(false);
    Drop(200, 4);  // an edit with its undo step
    doc.Compile({});
    dialogs.boxes.clear();
    Answering({Answer::Yes, Answer::Yes}).Upload();  // discard changes, power cycle
    ASSERT_EQ(dialogs.boxes.size(), 4u);
    ExpectSaid(dialogs.boxes[0], "Discard Changes?", "Upload", Icon::None);
    ExpectSaid(dialogs.boxes[1], "When downloading, the compiled control array, configuration data",
               "Upload Notice", Icon::Information);
    EXPECT_TRUE(dialogs.boxes[2].text.endsWith(
        "\r\n\r\nPower Cycle Device Prior To Upload.\r\nDevice Node Must Be 00\r\nContinue?"));
    ExpectSaid(Last(), "Upload Complete.\r\nPower Cycle Device.", "Upload", Icon::Information);
    EXPECT_TRUE(state.record == sent && state.ConfigChanged && !doc.compiled() &&
                doc.undoStack()->count() == 0);

    // Refused at either question: nothing is read.
    const int commands = emulator->commands();
    Answering({Answer::No}).Upload();
    Answering({Answer::Yes, Answer::No}).Upload();
    EXPECT_TRUE(Last().text == "Upload Cancelled" && emulator->commands() == commands);
}

TEST_F(TransferFlowTest, AFailedUploadNeverBecomesTheConfiguration) {
    Device({.wrongChecksum = true});
    CompileSample(6);
    const Config mine = state.record;
    std::mt19937 rng(77);  // the device holds something else entirely
    for (auto& v : emulator->memory()) v = static_cast<uint8_t>(rng() % 16);
    Drop(1, 4);
    const Config edited = state.record;
    // Discard changes: yes; power cycle: yes; then New asks again: no.
    Answering({Answer::Yes, Answer::Yes, Answer::No}).Upload();
    ExpectSaid(dialogs.boxes[dialogs.boxes.size() - 2],
               "Upload Failed.\r\nHost Program Cleared.\r\n", "Upload Failure", Icon::Critical);
    EXPECT_EQ(Last().title, "New");
    // Kept: New was refused, nothing was received into it.
    EXPECT_TRUE(state.record == edited && state.ConfigChanged);

    doc.Replace(mine, std::nullopt, false);
    Answering({Answer::Yes}).Upload();  // New without a question this time: cleared
    EXPECT_TRUE(state.record == Config{} && state.ConfigChanged);

    Device({.silentAfter = 0});  // no answer to connect: kept, but marked as not the file's
    doc.Replace(mine, std::nullopt, false);
    Answering({Answer::Yes}).Upload();
    EXPECT_TRUE(Last().text.startsWith(
        "Unable to connect to device.\r\nNo answer from the module on COM1: sim0.\r\nCheck that "
        "the module is powered"));
    EXPECT_TRUE(state.record == mine && state.ConfigChanged && !doc.compiled());
}

TEST_F(TransferFlowTest, TheEmulatedDeviceTakesADownloadAndIsComparedWithTheDiagram) {
    ports.SelectEmulated();
    EXPECT_TRUE(ports.kind() == PortChoice::Kind::Emulated &&
                ports.CurrentPortName() == "Emulated device");
    for (int s = 0; s < 16; ++s) Drop(s, s == 3 ? 8 : 4);
    doc.Compile({});
    std::optional<Config> other = Config{};  // the device's segments where they differ
    QObject::connect(&transfers, &TransferFlow::Compared,
                     [&](const std::optional<Config>& c, const QString&) { other = c; });
    Answering({Answer::Yes}).Download(true);  // verify after download: compared at once
    EXPECT_EQ(dialogs.boxes[dialogs.boxes.size() - 2].text,
              "Download Complete.\r\nPower Cycle Device.");
    ExpectSaid(Last(), "", "Compare", Icon::Information);
    EXPECT_FALSE(other);
    Drop(3, 12);
    Answering({Answer::Yes}).Compare(true);
    ExpectSaid(Last(), "", "Compare", Icon::Warning);
    EXPECT_TRUE(
        Last().text.contains("LC Input 1: table differs in 65536 of 65536 words; diagram differs"));
    ASSERT_TRUE(other);
    EXPECT_EQ(other->SegType[0][3], 8);
    other->SegType[0][3] = 12;  // the only difference
    EXPECT_EQ(*other, state.record);
    const auto count = dialogs.boxes.size();
    Answering({Answer::No}).Compare(true);  // cancelled at the question: nothing is read
    EXPECT_EQ(dialogs.boxes.size(), count + 1);
}

TEST_F(TransferFlowTest, OtherPortsAreTypedAndTheChoiceIsRemembered) {
    TempDir dir;
    Session session(StorageIn(dir));
    ports.Restore(session);
    access.listPorts = [] {  // what the system lists is offered, COM12 too
        return std::vector<device::PortInfo>{{.path = "COM12", .description = "USB Serial"}};
    };
    // A name typed for a port that is there (a plain file here: no serial port in this build).
    const QString typed = QString::fromStdString(dir.File("port"));
    test::WriteBytes(dir.File("port"), {});
    dialogs.texts = {typed};
    ports.AskOther();
    EXPECT_TRUE(dialogs.asked.back().endsWith("Ports found:\n  COM12 (USB Serial)"));
    EXPECT_EQ(ports.kind(), PortChoice::Kind::Other);
    EXPECT_EQ(ports.OtherCaption(), "&Other Port...\t" + typed);
    EXPECT_EQ(ports.CurrentPortName(), typed);
    // Without serial ports in this build a transfer fails with a reason.
    Answering({Answer::Yes}).Download(false);
    EXPECT_EQ(Last().icon, Icon::Critical);
    // The next start has the same port; a cancelled question keeps it.
    ProgramState other;
    ScriptedDialogs otherDialogs;
    auto restored = [&] {
        auto p = std::make_unique<PortChoice>(other, otherDialogs, access);
        p->Restore(session);
        return p;
    };
    auto next = restored();
    next->AskOther();  // no answer scripted: cancelled
    EXPECT_EQ(next->CurrentPortName(), typed);
    next->SelectEmulated();
    EXPECT_EQ(restored()->kind(), PortChoice::Kind::Emulated);
    // A remembered port that is gone stays chosen and is shown as missing, never replaced.
    session.SetValue(QStringLiteral("port"), QStringLiteral("path:/dev/ttyGONE7"));
    EXPECT_TRUE(restored()->missing());
    EXPECT_EQ(restored()->OtherCaption(), "&Other Port...\t/dev/ttyGONE7 (missing)");
    session.SetValue(QStringLiteral("port"), QStringLiteral("com:5"));
    Device({}, 2);  // two ports listed: COM5 has none
    EXPECT_EQ(restored()->CurrentPortName(), "COM5 (missing)");
}

// COM items stand for devices: renumbered or added adapters move nothing; a remembered one that
// is gone is shown missing and nothing is sent; an earlier version's place in the list is used
// only once confirmed; a port that cannot be opened is said before the question.
TEST_F(TransferFlowTest, ComItemsKeepTheirDevicesAndUnusablePortsAreSaidFirst) {
    TempDir dir;
    Session session(StorageIn(dir));
    Device();
    CompileSample(2);
    auto adapter = [](const char* path, const char* serial) {
        return device::PortInfo{.path = path, .serialNumber = serial, .description = "UART"};
    };
    std::vector<device::PortInfo> listed{adapter("/dev/ttyUSB0", "A1"),
                                         adapter("/dev/ttyUSB1", "B2")};
    access.listPorts = [&] { return listed; };
    ProgramState other;
    std::unique_ptr<PortChoice> next;
    auto start = [&] {  // the program started again
        next = std::make_unique<PortChoice>(other, dialogs, access);
        next->Restore(session);
        dialogs.boxes.clear();
        return std::make_unique<TransferFlow>(doc, dialogs, *next, access);
    };
    auto first = start();
    next->SelectCom(1);
    listed = {adapter("/dev/ttyUSB0", "C3"), adapter("/dev/ttyUSB1", "A1"),
              adapter("/dev/ttyUSB2", "B2")};
    next->Refresh();
    const QStringList captions = {"COM1\t/dev/ttyUSB1 (UART, serial number A1)",
                                  "COM2\t/dev/ttyUSB2 (UART, serial number B2)",
                                  "COM3\t/dev/ttyUSB0 (UART, serial number C3)", "COM4\t(no port)"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(next->ComCaption(i), captions[i]);
    dialogs.answers = {Answer::Yes};
    first->Download(false);
    EXPECT_TRUE(
        dialogs.boxes[0].text.startsWith("Port: COM2: /dev/ttyUSB2 (UART, serial number "
                                         "B2)\r\n\r\nPower Cycle Device Prior To"));
    EXPECT_EQ(Last().icon, Icon::Information);
    // The next start, B2 unplugged and another adapter where it was.
    listed = {adapter("/dev/ttyUSB0", "C3"), adapter("/dev/ttyUSB1", "A1"),
              adapter("/dev/ttyUSB2", "D4")};
    const int sent = emulator->commands();
    start()->Download(false);
    EXPECT_EQ(next->ComCaption(1),
              "COM2\tthe adapter with serial number B2 (last on /dev/ttyUSB1) (missing)");
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    ExpectSaid(Last(),
               "The adapter chosen as COM2 is not connected: the adapter with serial "
               "number B2",
               "Error", Icon::Critical);
    session.SetValue(QStringLiteral("port"), QStringLiteral("com:2"));  // an earlier version's
    Answering({Answer::No});
    start()->Download(false);
    EXPECT_TRUE(Last().text.contains("earlier version") &&
                Last().text.endsWith("It is now COM2: /dev/ttyUSB1 (UART, serial number A1)."
                                     "\r\nUse this port?"));
    EXPECT_EQ(emulator->commands(), sent);
    auto restarted = start();
    dialogs.answers = {Answer::Yes, Answer::Yes};  // this port, and the power-cycle question
    restarted->Download(false);
    EXPECT_EQ(Last().icon, Icon::Information);
    EXPECT_EQ(session.Value(QStringLiteral("port")), "device:2:serial:A1@/dev/ttyUSB1");
    access.makePort = [this] {
        auto port = std::make_unique<device::EmulatedPort>(*emulator, time);
        port->openError = "it is not a serial port";
        return port;
    };
    dialogs.boxes.clear();
    const int before = emulator->commands();
    restarted->Download(false);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    ExpectSaid(Last(), "Cannot open /dev/ttyUSB1: it is not a serial port.", "Error",
               Icon::Critical);
    EXPECT_EQ(emulator->commands(), before);
}

// Open a file, Upload another device's configuration, Save: the file's old content is kept as
// a previous version, which Previous Versions shows again as unsaved changes to the file.
TEST_F(TransferFlowTest, UploadThenSaveKeepsTheOldFileAsAPreviousVersion) {
    TempDir dir;
    const QString site = QString::fromStdString(dir.File("site.CDF"));
    std::filesystem::copy_file(ZEZ_EXAMPLES_DIR "/stairwell.CDF", dir.File("site.CDF"));
    const auto before = ReadBytes(dir.File("site.CDF"));
    Session session(StorageIn(dir));
    files.SetSession(&session);
    files.PreviousVersions();  // no file yet: said so
    EXPECT_EQ(Last().title, "Previous Versions");
    files.OpenNamed(site);
    Device();
    CompileSample(3);
    Answering({Answer::Yes}).Download(false);
    Answering({Answer::Yes}).Upload();  // power cycle
    ASSERT_EQ(Last().text, "Upload Complete.\r\nPower Cycle Device.");
    EXPECT_FALSE(doc.fromFile());  // the status bar then says Save replaces the file
    files.Save();
    EXPECT_NE(ReadBytes(dir.File("site.CDF")), before);
    const auto versions = ListVersions(dir.File("versions"), dir.File("site.CDF"));
    ASSERT_EQ(versions.size(), 1u);
    EXPECT_EQ(ReadBytes(versions[0].path.string()), before);
    dialogs.choices = {0};
    files.PreviousVersions();
    ASSERT_EQ(dialogs.offered.size(), 1);
    EXPECT_EQ(state.record, LoadFromFile(versions[0].path.string()).value().config);
    EXPECT_TRUE(state.ConfigChanged && doc.fileName() == site);
}

// A port that holds the transfer at its `at`th command until the test has acted.
class GatedPort final : public device::SerialPort {
  public:
    GatedPort(std::unique_ptr<device::SerialPort> inner, std::shared_future<void> gate)
        : inner_(std::move(inner)), gate_(std::move(gate)) {}
    Result<void> Open(const std::string& n, std::string_view s) override {
        return inner_->Open(n, s);
    }
    void Close() override {
        closed = true;
        inner_->Close();
    }
    void DtrOff() override { inner_->DtrOff(); }
    int Waiting() override { return inner_->Waiting(); }
    std::string ReadAll() override { return inner_->ReadAll(); }
    Result<void> Write(std::string_view t) override {
        if (++writes == at) gate_.wait();
        return inner_->Write(t);
    }
    Result<void> WaitForData(device::TimePoint d) override { return inner_->WaitForData(d); }
    static inline std::atomic<bool> closed{false};
    static inline std::atomic<int> writes{0};
    static inline int at = 0;

  private:
    std::unique_ptr<device::SerialPort> inner_;
    std::shared_future<void> gate_;
};

// Cancel ends a transfer at its next exchange and closes the port: a cancelled download says
// what it leaves on the device, a cancelled upload changes nothing.
TEST_F(TransferFlowTest, CancelEndsATransferAtItsNextExchange) {
    for (const bool download : {true, false}) {
        Device();
        CompileSample(8);
        const Config before = state.record;
        std::promise<void> open;
        auto makeEmulated = access.makePort;
        const std::shared_future<void> gate = open.get_future().share();
        access.makePort = [&] { return std::make_unique<GatedPort>(makeEmulated(), gate); };
        GatedPort::closed = false;
        GatedPort::writes = 0;
        GatedPort::at = download ? 200 : 20;
        // The transfer waits at a command half way; meanwhile the window's Cancel is pressed.
        QMetaObject::invokeMethod(
            &transfers,
            [&] {
                while (GatedPort::writes < GatedPort::at) QThread::msleep(1);
                transfers.Cancel();
                open.set_value();
            },
            Qt::QueuedConnection);
        dialogs.answers = {Answer::Yes};
        download ? transfers.Download(true) : transfers.Upload();
        EXPECT_TRUE(GatedPort::closed);
        EXPECT_LE(GatedPort::writes, GatedPort::at + 1);  // stopped at the next exchange
        ExpectSaid(Last(),
                   download ? "Download cancelled\r\nThe device holds an unfinished download"
                            : "Upload cancelled\r\nNothing was changed.",
                   download ? "Download" : "Upload", Icon::Warning);
        EXPECT_EQ(state.record, before);
        EXPECT_TRUE(doc.compiled() && busy.endsWith(false));  // a cancelled upload changes nothing
        access.makePort = makeEmulated;
    }
}

}  // namespace
}  // namespace zez::test
