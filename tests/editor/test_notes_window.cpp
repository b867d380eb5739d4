#include <QApplication>
#include <QTest>
#include <QTimer>

#include "EditorFixture.h"
#include "editor/FrmNotes.h"

namespace zez::test {
namespace {

class NotesTest : public EditorTest {
  protected:
    std::unique_ptr<FrmNotes> Open() {
        auto notes = std::make_unique<FrmNotes>(
            state.record.NoteData, state.ConfigChanged, [this] { notCompiledCalls++; }, dialogs);
        notes->show();
        return notes;
    }
    int notCompiledCalls = 0;
};

// Opening shows the stored note without a change of the flag, but ends the compiled state; a
// store of more than 4,000 bytes is cut when opened, and said so.
TEST_F(NotesTest, OpeningShowsTheStoredNoteAndKeepsTheFlag) {
    auto empty = Open();
    EXPECT_TRUE(empty->windowTitle() == "Notes" && empty->size() == QSize(721, 489));
    EXPECT_EQ(empty->txtNotes()->geometry(), QRect(16, 8, 689, 433));
    EXPECT_EQ(empty->lblUnusedChars()->geometry(), QRect(16, 448, 241, 17));
    EXPECT_EQ(empty->lblUnusedChars()->text(), "0 Of 4000 Characters Used");
    EXPECT_TRUE(notCompiledCalls == 0 && !state.ConfigChanged);
    const char* text = "ab\r\ncd";
    for (int i = 0; text[i]; ++i) state.record.NoteData[i] = static_cast<uint8_t>(text[i]);
    for (bool flag : {false, true}) {
        state.ConfigChanged = flag;
        notCompiledCalls = 0;
        auto notes = Open();
        EXPECT_EQ(notes->txtNotes()->toPlainText(), "ab\ncd");
        EXPECT_EQ(notes->lblUnusedChars()->text(), "6 Of 4000 Characters Used");
        EXPECT_TRUE(state.ConfigChanged == flag && notCompiledCalls == 1);
        EXPECT_EQ(NoteText(state.record.NoteData), "ab\r\ncd");
    }
    EXPECT_TRUE(dialogs.boxes.empty());
    state.record.NoteData.fill('q');
    state.ConfigChanged = false;
    auto full = Open();
    EXPECT_EQ(full->txtNotes()->toPlainText().size(), 4000);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(dialogs.boxes[0].text == "Out Of Note Space" && state.record.NoteData[3999] == 'q');
    for (int i = 4000; i < kNoteBytes; ++i) ASSERT_EQ(state.record.NoteData[i], 0);
    EXPECT_FALSE(state.ConfigChanged);
}

// Typing writes the record as it is stored; the 4,000th character is the last one taken.
TEST_F(NotesTest, TypingWritesTheRecordUpToTheLimit) {
    auto notes = Open();
    QTest::keyClicks(notes->txtNotes(), "ab");
    QTest::keyClick(notes->txtNotes(), Qt::Key_Return);
    QTest::keyClicks(notes->txtNotes(), "cdx");
    QTest::keyClick(notes->txtNotes(), Qt::Key_Backspace);
    EXPECT_EQ(NoteText(state.record.NoteData), "ab\r\ncd");
    EXPECT_EQ(notes->lblUnusedChars()->text(), "6 Of 4000 Characters Used");
    EXPECT_TRUE(state.ConfigChanged && notCompiledCalls >= 1);
    notes->txtNotes()->setPlainText(QString(4000, QLatin1Char('x')));
    EXPECT_TRUE(dialogs.boxes.empty());
    notes->txtNotes()->moveCursor(QTextCursor::End);
    QTest::keyClicks(notes->txtNotes(), "y");
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    ExpectBox(dialogs.boxes[0], "Out Of Note Space", "Error", Buttons::Ok, Icon::Critical);
    EXPECT_EQ(notes->txtNotes()->toPlainText(), QString(4000, QLatin1Char('x')));
    EXPECT_EQ(notes->lblUnusedChars()->text(), "4000 Of 4000 Characters Used");
    EXPECT_TRUE(state.record.NoteData[3999] == 'x' && state.record.NoteData[4000] == 0);
}

TEST_F(NotesTest, MenuOpensItModalOverTheMainWindow) {
    state.record.NoteData[0] = 'n';
    window->mnuCompile_Click();
    ASSERT_TRUE(Compiled());
    QString shown;
    QTimer::singleShot(0, [&] {
        if (auto* notes = qobject_cast<FrmNotes*>(QApplication::activeModalWidget())) {
            shown = notes->txtNotes()->toPlainText();
            notes->close();
        }
    });
    window->mnuNotes_Click();
    EXPECT_TRUE(shown == "n" && !state.ConfigChanged && NotCompiled());
}

}  // namespace
}  // namespace zez::test
