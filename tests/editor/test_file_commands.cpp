#ifndef _WIN32
#include <unistd.h>
#endif

#include <QTest>
#include <filesystem>

#include "EditorFixture.h"
#include "TestUtil.h"
#include "config/CdfFile.h"
#include "editor/Palette.h"

namespace zez::test {
namespace {

bool RunningAsAdministrator() {
#ifdef _WIN32
    return true;  // folder permissions work differently there; not checked
#else
    return geteuid() == 0;
#endif
}

class FileTest : public EditorTest {
  protected:
    void SetUp() override {
        EditorTest::SetUp();
        window->show();
    }
    QString Path(const char* name) const { return QString::fromStdString(dir.File(name)); }
    // A file on disk holding a configuration with `code` in segment 0 of output 1.
    QString Saved(const char* name, int code) {
        Config c;
        c.SegType[0][0] = static_cast<int16_t>(code);
        EXPECT_TRUE(SaveToFile(c, dir.File(name)));
        return Path(name);
    }
    // Edits on output 3 with the selection list open, then shows output 3.
    void EditSomething() {
        window->client().cboOutput->setCurrentIndex(2);
        DropPalette(window->client().imgSegment[5], 12);
        QTest::mouseClick(window->client().lblSeg[5], Qt::LeftButton);
        ASSERT_TRUE(state.ConfigChanged);
        ASSERT_TRUE(window->client().cboSelect->isVisibleTo(window.get()));
    }
    bool ListShown() const { return window->client().cboSelect->isVisibleTo(window.get()); }

    TempDir dir;
};

TEST_F(FileTest, NewAsksOnlyWhenChangedAndKeepsFileNameAndFlag) {
    EditSomething();
    const Config edited = state.record;
    dialogs.answers = {Answer::No};
    window->mnuNew_Click();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, "Discard Changes?");
    EXPECT_EQ(dialogs.boxes[0].title, "New");
    EXPECT_EQ(dialogs.boxes[0].buttons, Buttons::YesNo);
    EXPECT_EQ(dialogs.boxes[0].icon, Icon::None);
    EXPECT_EQ(state.record, edited);
    EXPECT_EQ(window->document().output(), 2);
    EXPECT_TRUE(ListShown());

    dialogs.answers = {Answer::Yes};
    window->mnuNew_Click();
    EXPECT_EQ(state.record, Config{});
    EXPECT_TRUE(state.ConfigChanged);  // New leaves the flag
    EXPECT_EQ(window->document().fileName(), "None");
    EXPECT_EQ(window->document().output(), 0);
    EXPECT_EQ(window->client().cboOutput->currentIndex(), 0);
    EXPECT_TRUE(NotCompiled());
    EXPECT_FALSE(ListShown());

    // Still changed, so Exit asks again.
    dialogs.answers = {Answer::No};
    window->mnuExit_Click();
    EXPECT_EQ(dialogs.boxes.back().title, "Exit Program");
    EXPECT_TRUE(window->isVisible());
}

TEST_F(FileTest, OpenRefusedOrCancelledChangesNothingButTheView) {
    EditSomething();
    const Config edited = state.record;
    window->mnuCompile_Click();
    dialogs.answers = {Answer::No};
    window->mnuOpen_Click();
    EXPECT_EQ(dialogs.boxes.back().text, "Discard Any Changes?");
    EXPECT_EQ(dialogs.boxes.back().title, "Open");
    EXPECT_EQ(dialogs.boxes.back().icon, Icon::Question);
    EXPECT_TRUE(dialogs.openRequests.empty());
    EXPECT_EQ(state.record, edited);
    EXPECT_TRUE(state.ConfigChanged);
    EXPECT_EQ(window->document().fileName(), "None");
    EXPECT_EQ(window->document().output(), 0);
    EXPECT_TRUE(NotCompiled());
    EXPECT_FALSE(ListShown());
    EXPECT_FALSE(window->files().dialogPathSet());

    // Cancelled dialogs: an empty name, or the default name handed back.
    for (const QString& cancel : {QString(), FileFlow::DefaultDialogName()}) {
        dialogs.answers = {Answer::Yes};
        dialogs.openNames = {cancel};
        window->mnuOpen_Click();
        EXPECT_EQ(state.record, edited);
        EXPECT_TRUE(state.ConfigChanged);
        EXPECT_EQ(window->document().fileName(), "None");
    }
    ASSERT_EQ(dialogs.openRequests.size(), 2u);
    EXPECT_EQ(dialogs.openRequests[0].initialName, FileFlow::DefaultDialogName());
    EXPECT_TRUE(dialogs.openRequests[0].mustExist);
    EXPECT_EQ(dialogs.openRequests[0].filter,
              "Lumacor Zaruzizivav Data Files (*.CDF)|*.CDF|All Files (*.*)|*.*");
    EXPECT_TRUE(dialogs.openRequests[1].initialName.isEmpty());
}

TEST_F(FileTest, OpenLoadsAndClearsTheFlag) {
    const QString file = Saved("a.CDF", 7);
    EditSomething();
    dialogs.answers = {Answer::Yes};
    dialogs.openNames = {file};
    window->mnuOpen_Click();
    EXPECT_EQ(state.record.SegType[0][0], 7);
    EXPECT_FALSE(state.ConfigChanged);
    EXPECT_EQ(window->document().fileName(), file);
    EXPECT_EQ(window->client().imgSegment[0]->shown(), PalettePicture(7));
    EXPECT_EQ(window->document().output(), 0);
}

TEST_F(FileTest, SaveAsBeforeTheFirstOpenUsesTheDefaultOnceOnly) {
    dialogs.saveNames = {QString()};
    window->mnuSaveAs_Click();
    EXPECT_TRUE(window->files().dialogPathSet());
    EXPECT_EQ(dialogs.saveRequests.back().initialName, FileFlow::DefaultDialogName());
    EXPECT_FALSE(dialogs.saveRequests.back().mustExist);
    dialogs.openNames = {QString()};
    window->mnuOpen_Click();
    EXPECT_TRUE(dialogs.openRequests.back().initialName.isEmpty());
    dialogs.saveNames = {QString()};
    window->mnuSaveAs_Click();
    EXPECT_EQ(dialogs.saveRequests.back().initialName, FileFlow::DefaultDialogName());
}

TEST_F(FileTest, FirstSaveAsksForANameThenSavesWithoutAsking) {
    EditSomething();
    dialogs.saveNames = {QString()};  // cancelled: nothing written, list hidden
    window->mnuSave_Click();
    EXPECT_TRUE(state.ConfigChanged);
    EXPECT_FALSE(ListShown());
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

    const QString file = Path("first.CDF");
    dialogs.saveNames = {file};
    window->mnuSave_Click();
    EXPECT_FALSE(state.ConfigChanged);
    EXPECT_EQ(window->document().fileName(), file);
    EXPECT_EQ(LoadFromFile(file.toStdString()).value().config, state.record);

    DropPalette(window->client().imgSegment[9], 4);
    window->mnuSave_Click();  // no dialog this time
    EXPECT_EQ(dialogs.saveRequests.size(), 2u);
    EXPECT_FALSE(state.ConfigChanged);
    EXPECT_EQ(LoadFromFile(file.toStdString()).value().config, state.record);
}

TEST_F(FileTest, NewThenSaveOverwritesTheLastFileWithoutAQuestion) {
    const QString file = Saved("keep.CDF", 11);
    dialogs.openNames = {file};
    window->mnuOpen_Click();
    window->mnuNew_Click();  // unchanged: no question
    window->mnuSave_Click();
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_EQ(LoadFromFile(file.toStdString()).value().config, Config{});
}

TEST_F(FileTest, ExitAsksTwiceAndTheCloseBoxOnce) {
    EditSomething();
    dialogs.answers = {Answer::Yes, Answer::No};
    window->mnuExit_Click();
    EXPECT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(state.ConfigChanged);

    dialogs.boxes.clear();
    dialogs.answers = {Answer::No};
    window->close();  // the title bar's close box
    EXPECT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].title, "Exit Program");
    EXPECT_TRUE(window->isVisible());

    dialogs.answers = {Answer::Yes, Answer::Yes};
    window->mnuExit_Click();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(FileTest, ExitWithoutChangesClosesAtOnce) {
    window->mnuExit_Click();
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_FALSE(window->isVisible());
}

TEST_F(FileTest, FailedOpenSaysWhyAndKeepsEverything) {
    const QString good = Saved("good.CDF", 5);
    dialogs.openNames = {good};
    window->mnuOpen_Click();
    EditSomething();
    const Config edited = state.record;
    test::WriteBytes(dir.File("short.CDF"), std::vector<uint8_t>(100, 4));
    struct Case {
        QString path;
        QString says;
    };
    const Case cases[] = {{Path("missing.CDF"), "No such file"},
                          {Path("short.CDF"), "100 bytes"},
                          {QString::fromStdString(dir.path().string()), "directory"}};
    for (const auto& c : cases) {
        dialogs.boxes.clear();
        dialogs.answers = {Answer::Yes};
        dialogs.openNames = {c.path};
        window->mnuOpen_Click();
        ASSERT_EQ(dialogs.boxes.size(), 2u) << c.path.toStdString();
        const Box& box = dialogs.boxes[1];
        EXPECT_EQ(box.title, "Open");
        EXPECT_EQ(box.icon, Icon::Critical);
        EXPECT_TRUE(box.text.contains(c.path)) << box.text.toStdString();
        EXPECT_TRUE(box.text.contains(c.says)) << box.text.toStdString();
        EXPECT_EQ(state.record, edited);
        EXPECT_EQ(window->document().fileName(), good);
        EXPECT_TRUE(state.ConfigChanged);
        EXPECT_EQ(window->document().output(), 0);
    }
}

TEST_F(FileTest, OpenWarnsOnceAboutValuesOutsideTheCodes) {
    Config c;
    c.SegType[1][3] = 40;
    c.SegInput[2][3] = -7;
    c.SegInput[2][4] = 16;
    ASSERT_TRUE(SaveToFile(c, dir.File("odd.CDF")));
    dialogs.openNames = {Path("odd.CDF")};
    window->mnuOpen_Click();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].icon, Icon::Warning);
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith("3 segment(s)"))
        << dialogs.boxes[0].text.toStdString();
    EXPECT_EQ(state.record, c);
    EXPECT_FALSE(state.ConfigChanged);
}

TEST_F(FileTest, FailedSaveKeepsTheFileTheNameAndTheFlag) {
    const QString file = Saved("old.CDF", 6);
    dialogs.openNames = {file};
    window->mnuOpen_Click();
    const auto before = test::ReadBytes(file.toStdString());
    EditSomething();

    const QString nowhere = Path("no/such/folder/x.CDF");
    dialogs.saveNames = {nowhere};
    window->mnuSaveAs_Click();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].title, "Save As");
    EXPECT_EQ(dialogs.boxes[0].icon, Icon::Critical);
    EXPECT_TRUE(dialogs.boxes[0].text.contains(nowhere));
    EXPECT_EQ(window->document().fileName(), file);
    EXPECT_TRUE(state.ConfigChanged);
    EXPECT_EQ(test::ReadBytes(file.toStdString()), before);
}

TEST_F(FileTest, SaveIntoAReadOnlyFolderKeepsTheOldFile) {
    if (RunningAsAdministrator())
        GTEST_SKIP() << "running as root: folder permissions do not apply";
    const QString file = Saved("old.CDF", 6);
    dialogs.openNames = {file};
    window->mnuOpen_Click();
    const auto before = test::ReadBytes(file.toStdString());
    EditSomething();
    namespace fs = std::filesystem;
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    window->mnuSave_Click();
    fs::permissions(dir.path(), fs::perms::owner_all);
    EXPECT_EQ(dialogs.boxes.back().title, "Save");
    EXPECT_EQ(dialogs.boxes.back().icon, Icon::Critical);
    EXPECT_TRUE(state.ConfigChanged);
    EXPECT_EQ(test::ReadBytes(file.toStdString()), before);
}

TEST_F(FileTest, SaveOverADirectoryFails) {
    EditSomething();
    dialogs.saveNames = {QString::fromStdString(dir.path().string())};
    window->mnuSaveAs_Click();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].icon, Icon::Critical);
    EXPECT_EQ(window->document().fileName(), "None");
    EXPECT_TRUE(state.ConfigChanged);
}

}  // namespace
}  // namespace zez::test

namespace zez::test {
namespace {

TEST_F(FileTest, FileNamedAtStartGoesThroughOpen) {
    const QString good = Saved("start.CDF", 13);
    window->OpenNamedFile(good);
    EXPECT_EQ(state.record.SegType[0][0], 13);
    EXPECT_EQ(window->document().fileName(), good);
    EXPECT_FALSE(state.ConfigChanged);
    EXPECT_EQ(window->client().lblSeg[0]->text(), "I 1");
    EXPECT_TRUE(dialogs.boxes.empty());

    test::WriteBytes(dir.File("bad.CDF"), std::vector<uint8_t>(10, 0));
    window->OpenNamedFile(Path("bad.CDF"));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].icon, Icon::Critical);
    EXPECT_EQ(window->document().fileName(), good);
    EXPECT_EQ(state.record.SegType[0][0], 13);
}

}  // namespace
}  // namespace zez::test
