#include <QMenuBar>
#include <QTest>
#include <random>

#include "EditorFixture.h"
#include "device/Emulator.h"
#include "support/SampleConfigs.h"

namespace zez::test {
namespace {

class DeviceCommandTest : public ::testing::Test {
  protected:
    void Make(device::Faults faults = {}, int ports = 1) {
        emulator = std::make_unique<device::DeviceEmulator>(faults);
        DeviceAccess access;
        access.makePort = [this] {
            return std::make_unique<device::EmulatedPort>(*emulator, time);
        };
        access.time = &time;
        access.listPorts = [ports] {
            std::vector<std::pair<std::string, std::string>> list;
            for (int i = 0; i < ports; ++i) list.push_back({"sim" + std::to_string(i), "emulated"});
            return list;
        };
        window = std::make_unique<FrmZezUdiMain>(state, dialogs, std::move(access));
    }
    void CompileSample(unsigned seed) {
        std::mt19937 rng(seed);
        state.record = samples::Typical(rng);
        state.record.NoteData[0] = 'N';
        window->ShowConfig();
        window->mnuCompile_Click();
        dialogs.boxes.clear();
    }
    const Box& Last() const { return dialogs.boxes.back(); }

    ProgramState state;
    ScriptedDialogs dialogs;
    device::SimTime time;
    std::unique_ptr<device::DeviceEmulator> emulator;
    std::unique_ptr<FrmZezUdiMain> window;
};

TEST_F(DeviceCommandTest, DownloadSendsWhatWasCompiledAndChangesNothing) {
    Make();
    CompileSample(1);
    state.ConfigChanged = true;
    bool captionShown = false;
    dialogs.onMessage = [&](const Box& b) {
        if (b.title == "Download" && b.icon == Icon::Information)
            captionShown = window->client().lblComPrg->isVisibleTo(window.get()) &&
                           window->client().lblComPrg->text() == "Device Checksum";
    };
    dialogs.answers = {Answer::Yes};
    window->mnuDownload_Click();
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(dialogs.boxes[0].text,
              "Power Cycle Device Prior To Download.\r\nDevice Node Must Be 00\r\nContinue?");
    EXPECT_EQ(dialogs.boxes[0].title, "Download");
    EXPECT_EQ(dialogs.boxes[0].buttons, Buttons::YesNo);
    EXPECT_EQ(dialogs.boxes[0].icon, Icon::None);
    EXPECT_EQ(Last().text, "Download Complete.\r\nPower Cycle Device.");
    EXPECT_EQ(Last().title, "Download");
    EXPECT_EQ(Last().icon, Icon::Information);
    EXPECT_TRUE(captionShown);
    EXPECT_FALSE(window->client().lblComPrg->isVisibleTo(window.get()));
    const auto stream = device::DownloadStream(state.controlArray, state.record);
    EXPECT_TRUE(std::equal(stream.begin(), stream.end(), emulator->memory().begin()));
    EXPECT_TRUE(state.ConfigChanged);
    EXPECT_FALSE(window->menus.mnuCompile->isEnabled());
    EXPECT_TRUE(window->menus.mnuDownload->isEnabled());
    EXPECT_TRUE(window->menuBar()->isEnabled());
}

TEST_F(DeviceCommandTest, DownloadCancelledSendsNothing) {
    Make();
    CompileSample(2);
    dialogs.answers = {Answer::No};
    window->mnuDownload_Click();
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(Last().text, "Download Cancelled");
    EXPECT_EQ(Last().title, "Download");
    EXPECT_EQ(Last().icon, Icon::None);
    EXPECT_EQ(emulator->commands(), 0);
}

TEST_F(DeviceCommandTest, DownloadFailuresSayWhy) {
    struct Case {
        device::Faults faults;
        const char* text;
        const char* title;
    };
    device::Faults silent, wrong;
    silent.silentAfter = 0;
    wrong.wrongChecksum = true;
    const Case cases[] = {
        {silent, "Unable to connect to device.", "Error"},
        {wrong, "Download Failed.\r\nDevice Will NOT Function Properly.", "Download Failure"}};
    for (const auto& c : cases) {
        Make(c.faults);
        CompileSample(3);
        dialogs.answers = {Answer::Yes};
        window->mnuDownload_Click();
        EXPECT_EQ(Last().text, c.text);
        EXPECT_EQ(Last().title, c.title);
        EXPECT_EQ(Last().icon, Icon::Critical);
        EXPECT_FALSE(window->client().lblComPrg->isVisibleTo(window.get()));
        dialogs.boxes.clear();
    }
}

TEST_F(DeviceCommandTest, ComEntryWithoutAPortIsReportedAndNothingIsSent) {
    Make({}, 1);
    CompileSample(4);
    window->menus.mnuCOM[1]->trigger();
    dialogs.answers = {Answer::Yes};
    window->mnuDownload_Click();
    EXPECT_EQ(Last().title, "Error");
    EXPECT_EQ(Last().icon, Icon::Critical);
    EXPECT_TRUE(Last().text.contains("COM2")) << Last().text.toStdString();
    EXPECT_EQ(emulator->commands(), 0);
    EXPECT_TRUE(window->menus.mnuCOM[0]->text().startsWith("COM1\tsim0"));
    EXPECT_TRUE(window->menus.mnuCOM[1]->text().startsWith("COM2\t(no port)"));
}

TEST_F(DeviceCommandTest, UploadReplacesTheConfigurationOnlyWhenVerified) {
    Make();
    CompileSample(5);
    const Config sent = state.record;
    dialogs.answers = {Answer::Yes};
    window->mnuDownload_Click();
    window->mnuNew_Click();  // unchanged flag: no question
    state.ConfigChanged = false;
    window->mnuCompile_Click();
    dialogs.boxes.clear();
    dialogs.answers = {Answer::Yes};
    window->mnuUpload_Click();
    ASSERT_EQ(dialogs.boxes.size(), 3u);
    EXPECT_EQ(dialogs.boxes[0].title, "Upload Notice");
    EXPECT_EQ(dialogs.boxes[0].icon, Icon::Information);
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith(
        "When downloading, the compiled control array, configuration data, and notes are all "
        "stored in the device. The device operates"));
    EXPECT_TRUE(dialogs.boxes[0].text.endsWith(
        "operating differently than the configuration data would indicate"));
    EXPECT_EQ(dialogs.boxes[1].text,
              "Power Cycle Device Prior To Upload.\r\nDevice Node Must Be 00\r\nContinue?");
    EXPECT_EQ(Last().text, "Upload Complete.\r\nPower Cycle Device.");
    EXPECT_EQ(Last().title, "Upload");
    EXPECT_EQ(state.record, sent);
    EXPECT_TRUE(state.ConfigChanged);
    EXPECT_TRUE(window->menus.mnuCompile->isEnabled());
    EXPECT_FALSE(window->menus.mnuDownload->isEnabled());
}

TEST_F(DeviceCommandTest, UploadClearsTheEditHistory) {
    Make();
    CompileSample(9);
    dialogs.answers = {Answer::Yes};
    window->mnuDownload_Click();
    window->imgSegment_DragDrop(200, 4);
    ASSERT_TRUE(window->menus.mnuUndo->isEnabled());
    dialogs.answers = {Answer::Yes, Answer::Yes};  // discard changes, power cycle
    window->mnuUpload_Click();
    EXPECT_EQ(Last().text, "Upload Complete.\r\nPower Cycle Device.");
    EXPECT_FALSE(window->menus.mnuUndo->isEnabled());
    EXPECT_EQ(window->document().undoStack()->count(), 0);
}

TEST_F(DeviceCommandTest, UploadAsksBeforeDiscardingChanges) {
    Make();
    state.ConfigChanged = true;
    dialogs.answers = {Answer::No};
    window->mnuUpload_Click();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, "Discard Changes?");
    EXPECT_EQ(dialogs.boxes[0].title, "Upload");
    EXPECT_EQ(emulator->commands(), 0);

    dialogs.answers = {Answer::Yes, Answer::No};  // discard, then no at the power-cycle question
    window->mnuUpload_Click();
    EXPECT_EQ(Last().text, "Upload Cancelled");
    EXPECT_EQ(emulator->commands(), 0);
}

TEST_F(DeviceCommandTest, FailedUploadNeverBecomesTheConfiguration) {
    device::Faults wrong;
    wrong.wrongChecksum = true;
    Make(wrong);
    CompileSample(6);
    const Config mine = state.record;
    // The device holds something else entirely.
    std::mt19937 rng(77);
    for (auto& v : emulator->memory()) v = static_cast<uint8_t>(rng() % 16);
    state.ConfigChanged = true;
    // Discard changes: yes; power cycle: yes; then New asks again: no.
    dialogs.answers = {Answer::Yes, Answer::Yes, Answer::No};
    window->mnuUpload_Click();
    const auto failure = std::find_if(dialogs.boxes.begin(), dialogs.boxes.end(),
                                      [](const Box& b) { return b.title == "Upload Failure"; });
    ASSERT_NE(failure, dialogs.boxes.end());
    EXPECT_EQ(failure->text, "Upload Failed.\r\nHost Program Cleared.");
    EXPECT_EQ(failure->icon, Icon::Critical);
    EXPECT_EQ(Last().title, "New");
    EXPECT_EQ(state.record, mine);  // kept: New was refused, and nothing was received into it
    EXPECT_TRUE(state.ConfigChanged);

    state.ConfigChanged = false;
    dialogs.answers = {Answer::Yes};
    window->mnuUpload_Click();  // New without a question this time: cleared
    EXPECT_EQ(state.record, Config{});
    EXPECT_TRUE(state.ConfigChanged);
}

TEST_F(DeviceCommandTest, UnansweredConnectOnUploadStillMarksTheConfiguration) {
    device::Faults silent;
    silent.silentAfter = 0;
    Make(silent);
    CompileSample(7);
    const Config mine = state.record;
    state.ConfigChanged = false;
    dialogs.answers = {Answer::Yes};
    window->mnuUpload_Click();
    EXPECT_EQ(Last().text, "Unable to connect to device.");
    EXPECT_EQ(state.record, mine);
    EXPECT_TRUE(state.ConfigChanged);
    EXPECT_TRUE(window->menus.mnuCompile->isEnabled());
    EXPECT_FALSE(window->menus.mnuDownload->isEnabled());
}

}  // namespace
}  // namespace zez::test
