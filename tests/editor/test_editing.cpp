// Undo and redo through the document, cursor and selection, the clipboard, rows, the editing
// keys and click-to-stamp, driven as a user drives them.
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTest>

#include "EditorFixture.h"
#include "TestUtil.h"
#include "config/CdfFile.h"

namespace zez::test {
namespace {

class EditingTest : public EditorTest {
  protected:
    void Click(int seg, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::mouseClick(window->client().imgSegment[seg], Qt::LeftButton, m, QPoint(20, 30));
    }
    void Keys(std::initializer_list<Qt::Key> keys) {
        for (Qt::Key k : keys) QTest::keyClick(window.get(), k);
    }
    int Type(int seg, int output = 0) const { return state.record.SegType[output][seg]; }
    int Sel(int seg, int output = 0) const { return state.record.SegInput[output][seg]; }
    QUndoStack* Stack() { return window->document().undoStack(); }
};

TEST_F(EditingTest, UndoRestoresTheRecordsShowsTheOutputAndEndsTheCompiledState) {
    TempDir dir;
    Config file;
    file.SegType[3][10] = 8;
    file.SegInput[3][10] = 6;
    ASSERT_TRUE(SaveToFile(file, dir.File("f.CDF")));
    window->OpenNamedFile(QString::fromStdString(dir.File("f.CDF")));
    window->client().cboOutput->setCurrentIndex(3);
    DropPalette(window->client().imgSegment[10], 12);  // the selection stays 6
    DropPalette(window->client().imgSegment[11], 4);
    EXPECT_TRUE(state.ConfigChanged);
    window->client().cboOutput->setCurrentIndex(0);
    window->mnuCompile_Click();
    ASSERT_TRUE(Compiled());

    window->menus.mnuUndo->trigger();  // the wire on output 4
    EXPECT_EQ(window->document().output(), 3);
    EXPECT_EQ(Type(11, 3), 0);
    EXPECT_TRUE(NotCompiled());
    EXPECT_TRUE(state.ConfigChanged);
    window->menus.mnuUndo->trigger();  // back to the file as opened
    EXPECT_EQ(state.record, file);
    EXPECT_FALSE(state.ConfigChanged);
    EXPECT_FALSE(window->menus.mnuUndo->isEnabled());
    window->menus.mnuRedo->trigger();
    window->menus.mnuRedo->trigger();
    EXPECT_EQ(Type(10, 3), 12);
    EXPECT_EQ(Sel(10, 3), 6);
    EXPECT_EQ(Type(11, 3), 4);
    EXPECT_TRUE(state.ConfigChanged);
    EXPECT_EQ(window->menus.mnuUndo->text(), "&Undo Drop");
}

TEST_F(EditingTest, TheCleanStateFollowsSavesAndTheNote) {
    TempDir dir;
    dialogs.saveNames = {QString::fromStdString(dir.File("s.CDF"))};
    DropPalette(window->client().imgSegment[0], 4);
    window->mnuSaveAs_Click();
    EXPECT_FALSE(state.ConfigChanged);
    DropPalette(window->client().imgSegment[1], 4);
    window->menus.mnuUndo->trigger();
    EXPECT_FALSE(state.ConfigChanged);  // back at the saved state
    window->menus.mnuUndo->trigger();
    EXPECT_TRUE(state.ConfigChanged);  // before the save: differs from the file
    window->menus.mnuRedo->trigger();
    EXPECT_FALSE(state.ConfigChanged);
    // A note typed since the save keeps the configuration changed whatever is undone.
    DropPalette(window->client().imgSegment[2], 4);
    state.record.NoteData[0] = 'x';
    window->menus.mnuUndo->trigger();
    EXPECT_TRUE(state.ConfigChanged);
}

TEST_F(EditingTest, NewAndOpenClearTheHistoryAndAnUnchangedDropRecordsNoStep) {
    TempDir dir;
    ASSERT_TRUE(SaveToFile(Config{}, dir.File("e.CDF")));
    DropPalette(window->client().imgSegment[0], 0);  // blank on blank: a change by the rules, no step
    EXPECT_TRUE(state.ConfigChanged);
    EXPECT_EQ(Stack()->count(), 0);
    DropPalette(window->client().imgSegment[0], 4);
    EXPECT_EQ(Stack()->count(), 1);
    dialogs.answers = {Answer::Yes};
    window->mnuNew_Click();
    EXPECT_EQ(Stack()->count(), 0);
    EXPECT_TRUE(state.ConfigChanged);  // New leaves the flag as it was
    DropPalette(window->client().imgSegment[0], 4);
    window->menus.mnuUndo->trigger();
    EXPECT_TRUE(state.ConfigChanged);  // the flag New kept
    dialogs.answers = {Answer::Yes};
    dialogs.openNames = {QString::fromStdString(dir.File("e.CDF"))};
    DropPalette(window->client().imgSegment[5], 4);
    window->mnuOpen_Click();
    EXPECT_EQ(Stack()->count(), 0);
    EXPECT_FALSE(window->menus.mnuUndo->isEnabled());
}

TEST_F(EditingTest, ClickingMovesTheCursorAndSelectsWithoutChangingAnything) {
    EXPECT_FALSE(window->menus.mnuCopy->isEnabled());
    Click(0);
    EXPECT_EQ(window->editor().cursor(), 0);
    EXPECT_TRUE(window->client().imgSegment[0]->cursor());
    Click(33, Qt::ShiftModifier);
    EXPECT_EQ(window->editor().selection(), (SegRect{0, 0, 2, 1}));
    EXPECT_TRUE(window->client().imgSegment[17]->selected());
    EXPECT_FALSE(window->client().imgSegment[2]->selected());
    EXPECT_TRUE(window->menus.mnuCopy->isEnabled());
    window->editor().SelectTo(255);  // a drag to the far corner
    EXPECT_EQ(window->editor().selection(), (SegRect{0, 0, 15, 15}));
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->editor().hasSelection());
    EXPECT_FALSE(window->menus.mnuCopy->isEnabled());
    window->menus.mnuSelectAll->trigger();
    EXPECT_EQ(window->editor().selection(), SegRect::Whole());
    EXPECT_FALSE(state.ConfigChanged);
    EXPECT_EQ(state.record, Config{});
}

TEST_F(EditingTest, CopyAndPasteGoThroughTheSystemClipboardAsOneStep) {
    for (int s : {0, 1, 16, 17, 32, 33}) {
        state.record.SegType[0][s] = static_cast<int16_t>(8 + s % 4);
        state.record.SegInput[0][s] = static_cast<int16_t>(s % 16);
    }
    window->ShowConfig();
    const Config before = state.record;
    Click(0);
    Click(33, Qt::ShiftModifier);
    window->menus.mnuCopy->trigger();
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(mime->hasFormat(GridEditor::kClipMime));
    EXPECT_TRUE(mime->text().contains("-[ I1]")) << mime->text().toStdString();
    window->client().cboOutput->setCurrentIndex(5);  // another output
    Click(96);
    window->menus.mnuPaste->trigger();
    for (int s : {0, 1, 16, 17, 32, 33}) {
        EXPECT_EQ(Type(s + 96, 5), before.SegType[0][s]);
        EXPECT_EQ(Sel(s + 96, 5), before.SegInput[0][s]);
    }
    EXPECT_EQ(Stack()->count(), 1);
    window->menus.mnuUndo->trigger();
    EXPECT_EQ(state.record, before);
    // Pasting at the edge keeps what fits.
    Click(255);
    window->menus.mnuPaste->trigger();
    EXPECT_EQ(Type(255, 5), before.SegType[0][0]);
    // Cut blanks the selection and keeps the stored inputs.
    window->client().cboOutput->setCurrentIndex(0);
    Click(0);
    Click(33, Qt::ShiftModifier);
    window->menus.mnuCut->trigger();
    for (int s : {0, 1, 16, 17, 32, 33}) {
        EXPECT_EQ(Type(s), 0);
        EXPECT_EQ(Sel(s), before.SegInput[0][s]);
    }
}

TEST_F(EditingTest, KeysEditTheCursorOrTheSelectionOneStepEach) {
    Click(50);
    Keys({Qt::Key_C, Qt::Key_I, Qt::Key_5});
    EXPECT_EQ(Type(50), 8);
    EXPECT_EQ(Sel(50), 4);
    Keys({Qt::Key_U});
    EXPECT_EQ(Type(50), 9);
    Keys({Qt::Key_N});  // closed contact, links kept
    EXPECT_EQ(Type(50), 13);
    Keys({Qt::Key_P, Qt::Key_8});
    EXPECT_EQ(Sel(50), 15);
    EXPECT_EQ(Stack()->count(), 5);
    // Arrows move, Shift+arrows extend; W on a selection wires it all.
    Keys({Qt::Key_Right});
    EXPECT_EQ(window->editor().cursor(), 51);
    QTest::keyClick(window.get(), Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(window.get(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(window->editor().selection(), (SegRect{3, 3, 4, 4}));
    Keys({Qt::Key_W, Qt::Key_D});
    for (int s : {51, 52, 67, 68}) EXPECT_EQ(Type(s), 6) << s;
    EXPECT_EQ(Type(50), 13);
    // I and P change only contacts.
    Keys({Qt::Key_I, Qt::Key_2});
    for (int s : {51, 52, 67, 68}) EXPECT_EQ(Sel(s), 0) << s;
    window->menus.mnuDelete->trigger();
    for (int s : {51, 52, 67, 68}) EXPECT_EQ(Type(s), 0) << s;
    // Enter on a contact opens its input list.
    Click(50);
    Keys({Qt::Key_Return});
    EXPECT_TRUE(window->client().cboSelect->isVisibleTo(window.get()));
    EXPECT_EQ(window->client().cboSelect->currentIndex(), 15);
}

TEST_F(EditingTest, RowsShiftAndAFullLastRowIsRefused) {
    state.record.SegType[0][16 * 2 + 4] = 4;
    window->ShowConfig();
    Click(16 * 1);
    window->menus.mnuInsertRow->trigger();
    EXPECT_EQ(Type(16 * 3 + 4), 4);
    window->menus.mnuDeleteRow->trigger();
    EXPECT_EQ(Type(16 * 2 + 4), 4);
    state.record.SegType[0][255] = 4;
    window->ShowConfig();
    const Config before = state.record;
    const int steps = Stack()->count();
    window->menus.mnuInsertRow->trigger();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].title, "Insert Row");
    EXPECT_TRUE(dialogs.boxes[0].text.contains("last row"));
    EXPECT_EQ(state.record, before);
    EXPECT_EQ(Stack()->count(), steps);
}

TEST_F(EditingTest, AClickedPalettePictureStampsUnderTheDropRules) {
    window->editor().Arm(9);
    EXPECT_TRUE(window->client().imgSelect[9]->armed());
    state.record.SegInput[0][20] = 3;
    Click(20);
    Click(21);
    EXPECT_EQ(Type(20), 9);
    EXPECT_EQ(Sel(20), 3);  // a drop keeps the selection
    EXPECT_EQ(Type(21), 9);
    EXPECT_TRUE(state.ConfigChanged);
    EXPECT_TRUE(NotCompiled());
    window->editor().Arm(9);  // clicking it again disarms
    EXPECT_EQ(window->editor().armed(), -1);
    Click(22);
    EXPECT_EQ(Type(22), 0);
    window->editor().Arm(4);
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->client().imgSelect[4]->armed());
}

TEST_F(EditingTest, TheEditItemsHaveTheirShortcuts) {
    EXPECT_EQ(window->menus.mnuUndo->shortcut(), QKeySequence(QKeySequence::Undo));
    EXPECT_EQ(window->menus.mnuRedo->shortcuts(),
              (QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                                   QKeySequence(Qt::CTRL | Qt::Key_Y)}));
    EXPECT_EQ(window->menus.mnuSaveAs->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    EXPECT_EQ(window->menus.mnuExit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(window->menus.mnuDelete->shortcuts().size(), 2);
}

}  // namespace
}  // namespace zez::test
