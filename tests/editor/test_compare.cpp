// Comparing with the device from the editor, the built-in emulated device, other ports and the
// remembered port.
#include "EditorFixture.h"
#include "TestUtil.h"

namespace zez::test {
namespace {

class CompareTest : public EditorTest {
  protected:
    void Download() {
        window->mnuCompile_Click();
        dialogs.answers = {Answer::Yes};
        window->mnuDownload_Click();
    }
};

TEST_F(CompareTest, TheEmulatedDeviceTakesADownloadAndComparesWithTheDiagram) {
    window->ports().SelectEmulated();
    EXPECT_TRUE(window->menus.mnuEmulated->isChecked());
    EXPECT_FALSE(window->menus.mnuCOM[0]->isChecked());
    EXPECT_EQ(window->ports().CurrentPortName(), "Emulated device");
    for (int s = 0; s < 16; ++s) window->imgSegment_DragDrop(s, s == 3 ? 8 : 4);
    Download();
    EXPECT_EQ(dialogs.boxes.back().text, "Download Complete.\r\nPower Cycle Device.");
    dialogs.answers = {Answer::Yes};
    window->transfers().Compare(true);
    EXPECT_EQ(dialogs.boxes.back().title, "Compare");
    EXPECT_EQ(dialogs.boxes.back().icon, Icon::Information);
    window->imgSegment_DragDrop(3, 12);
    dialogs.answers = {Answer::Yes};
    window->transfers().Compare(true);
    EXPECT_EQ(dialogs.boxes.back().icon, Icon::Warning);
    EXPECT_TRUE(dialogs.boxes.back().text.contains(
        "LC Input 1: table differs in 65536 of 65536 words; diagram differs"))
        << dialogs.boxes.back().text.toStdString();
    // Cancelled at the question: nothing is read.
    const auto count = dialogs.boxes.size();
    dialogs.answers = {Answer::No};
    window->transfers().Compare(true);
    EXPECT_EQ(dialogs.boxes.size(), count + 1);
}

TEST_F(CompareTest, VerifyAfterDownloadComparesAtOnce) {
    window->ports().SelectEmulated();
    window->menus.mnuVerifyAfter->setChecked(true);
    window->imgSegment_DragDrop(0, 4);
    Download();
    ASSERT_GE(dialogs.boxes.size(), 2u);
    EXPECT_EQ(dialogs.boxes[dialogs.boxes.size() - 2].text,
              "Download Complete.\r\nPower Cycle Device.");
    EXPECT_EQ(dialogs.boxes.back().title, "Compare");
    EXPECT_EQ(dialogs.boxes.back().icon, Icon::Information);
}

TEST_F(CompareTest, OtherPortsAreTypedAndTheChoiceIsRemembered) {
    TempDir dir;
    const Storage storage{QString::fromStdString(dir.File("s.ini")),
                          QString::fromStdString(dir.File("rec"))};
    window->StartSession(storage);
    dialogs.texts = {QStringLiteral("/dev/null")};
    window->ports().AskOther();
    EXPECT_TRUE(window->menus.mnuOtherPort->isChecked());
    EXPECT_EQ(window->ports().CurrentPortName(), "/dev/null");
    // A port that is no serial port fails with a reason; nothing else changes.
    window->mnuCompile_Click();
    dialogs.answers = {Answer::Yes};
    window->mnuDownload_Click();
    EXPECT_EQ(dialogs.boxes.back().icon, Icon::Critical);
    // The next editor starts with the same port; a cancelled question keeps it.
    ProgramState other;
    ScriptedDialogs otherDialogs;
    FrmZezUdiMain next(other, otherDialogs);
    next.StartSession(storage);
    EXPECT_EQ(next.ports().CurrentPortName(), "/dev/null");
    next.ports().AskOther();  // no answer scripted: cancelled
    EXPECT_EQ(next.ports().CurrentPortName(), "/dev/null");
    next.ports().SelectEmulated();
    FrmZezUdiMain third(other, otherDialogs);
    third.StartSession(storage);
    EXPECT_TRUE(third.menus.mnuEmulated->isChecked());
    window.reset();  // before its folder goes
}

}  // namespace
}  // namespace zez::test
