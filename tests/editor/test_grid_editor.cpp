// Undo and redo through the document, cursor and selection, the clipboard, rows, the editing
// keys and click-to-stamp, on the document without a window.
#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>

#include "EditorFixture.h"
#include "TestUtil.h"
#include "logic/Expression.h"
#include "system/CdfFile.h"

namespace zez::test {
namespace {

class GridEditorTest : public FlowTest {
  protected:
    void Keys(std::initializer_list<Qt::Key> keys, bool shift = false) {
        for (Qt::Key k : keys) EXPECT_TRUE(editor.Key(k, shift)) << k;
    }
    int Type(int seg, int output = 0) const { return state.record.SegType[output][seg]; }
    int Sel(int seg, int output = 0) const { return state.record.SegInput[output][seg]; }
    int Steps() { return doc.undoStack()->count(); }
    void Undo() { doc.undoStack()->undo(); }
    void Redo() { doc.undoStack()->redo(); }
};

TEST_F(GridEditorTest, UndoRestoresTheRecordShowsTheOutputAndEndsTheCompiledState) {
    Config file;
    file.SegType[3][10] = 8;
    file.SegInput[3][10] = 6;
    doc.Replace(file, QStringLiteral("f.CDF"), false);
    Drop(10, 12, 3);  // the selection stays 6
    Drop(11, 4, 3);
    EXPECT_TRUE(state.ConfigChanged);
    doc.ShowOutput(0);
    doc.Compile({});
    Undo();  // the wire on output 4, which is shown again
    EXPECT_TRUE(doc.output() == 3 && Type(11, 3) == 0 && !doc.compiled() && state.ConfigChanged);
    Undo();  // back to the file as opened
    EXPECT_TRUE(state.record == file && !state.ConfigChanged && !doc.undoStack()->canUndo());
    Redo();
    Redo();
    EXPECT_TRUE(Type(10, 3) == 12 && Sel(10, 3) == 6 && Type(11, 3) == 4 && state.ConfigChanged);
    EXPECT_EQ(doc.undoStack()->undoText(), "Drop");
}

TEST_F(GridEditorTest, TheCleanStateFollowsSavesTheNoteAndNew) {
    Drop(0, 0);  // blank on blank: a change by the rules, but no step
    EXPECT_TRUE(state.ConfigChanged && Steps() == 0);
    Drop(0, 4);
    doc.MarkSaved(QStringLiteral("s.CDF"));
    EXPECT_FALSE(state.ConfigChanged);
    Drop(1, 4);
    Undo();
    EXPECT_FALSE(state.ConfigChanged);  // back at the saved state
    Undo();
    EXPECT_TRUE(state.ConfigChanged);  // before the save: differs from the file
    Redo();
    EXPECT_FALSE(state.ConfigChanged);
    // A note typed since the save keeps the configuration changed whatever is undone.
    Drop(2, 4);
    NoteBytes note = state.record.NoteData;
    note[0] = 'x';
    doc.NoteEdited(note, true);
    Undo();
    EXPECT_TRUE(state.ConfigChanged);
    // New starts a history with the flag it leaves.
    dialogs.answers = {Answer::Yes};
    files.New();
    EXPECT_EQ(Steps(), 0);
    Drop(0, 4);
    Undo();
    EXPECT_TRUE(state.ConfigChanged);
}

TEST_F(GridEditorTest, CopyAndPasteGoThroughTheSystemClipboardAsOneStep) {
    Config c;
    for (int s : {0, 1, 16, 17, 32, 33}) {
        c.SegType[0][s] = static_cast<int16_t>(8 + s % 4);
        c.SegInput[0][s] = static_cast<int16_t>(s % 16);
    }
    doc.Replace(c, std::nullopt, false);
    editor.Press(0, false);
    editor.Press(33, true);
    editor.Copy();
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    EXPECT_TRUE(mime->hasFormat(GridEditor::kClipMime) && mime->text().contains("-[ I1]"));
    doc.ShowOutput(5);  // another output
    editor.Press(96, false);
    EXPECT_TRUE(editor.canPaste());
    editor.Paste();
    for (int s : {0, 1, 16, 17, 32, 33})
        EXPECT_TRUE(Type(s + 96, 5) == c.SegType[0][s] && Sel(s + 96, 5) == c.SegInput[0][s]) << s;
    EXPECT_TRUE(Steps() == 1 && editor.selection() == (SegRect{6, 0, 8, 1}));
    Undo();
    EXPECT_EQ(state.record, c);
    editor.Press(255, false);  // at the edge what fits is kept
    editor.Paste();
    EXPECT_EQ(Type(255, 5), c.SegType[0][0]);
    // Cut blanks the selection and keeps the stored inputs.
    doc.ShowOutput(0);
    editor.Press(0, false);
    editor.Press(33, true);
    editor.Cut();
    EXPECT_EQ(doc.undoStack()->undoText(), "Cut");
    for (int s : {0, 1, 16, 17, 32, 33}) EXPECT_TRUE(Type(s) == 0 && Sel(s) == c.SegInput[0][s]);
    // Codes outside 0..15 are pasted as they are, with the warning opening such a file gives;
    // what is not this program's segments is refused with a message.
    const std::pair<std::string, const char*> clips[] = {
        {ClipToText(Clip{1, 2, {40, 4}, {0, -3}}), "2 pasted segment(s) hold values outside 0"},
        {"not segments", ""}};
    for (const auto& [text, says] : clips) {
        auto* mime = new QMimeData;  // owned by the clipboard
        mime->setData(GridEditor::kClipMime, QByteArray::fromStdString(text));
        QGuiApplication::clipboard()->setMimeData(mime);
        editor.Paste();
        ExpectSaid(Last(), says, "Paste", Icon::Warning);
    }
    EXPECT_EQ(Type(0), 40);
}

TEST_F(GridEditorTest, KeysEditTheCursorOrTheSelectionOneStepEach) {
    editor.Press(50, false);
    EXPECT_TRUE(editor.cursorShown());
    // A contact on I5, a link up, closed with the link kept, on P8: five steps.
    Keys({Qt::Key_C, Qt::Key_I, Qt::Key_5, Qt::Key_U, Qt::Key_N, Qt::Key_P, Qt::Key_8});
    EXPECT_TRUE(Type(50) == 13 && Sel(50) == 15 && Steps() == 5);
    // Arrows move, Shift+arrows extend; W on a selection wires it all.
    Keys({Qt::Key_Right});
    EXPECT_EQ(editor.cursor(), 51);
    Keys({Qt::Key_Right, Qt::Key_Down}, true);
    EXPECT_EQ(editor.selection(), (SegRect{3, 3, 4, 4}));
    Keys({Qt::Key_W, Qt::Key_D});
    for (int s : {51, 52, 67, 68}) EXPECT_EQ(Type(s), 6) << s;
    EXPECT_EQ(Type(50), 13);
    Keys({Qt::Key_I, Qt::Key_2});  // I and P change only contacts
    for (int s : {51, 52, 67, 68}) EXPECT_EQ(Sel(s), 0) << s;
    editor.Delete();
    for (int s : {51, 52, 67, 68}) EXPECT_EQ(Type(s), 0) << s;
    editor.SelectTo(255);  // a drag to the far corner
    EXPECT_EQ(editor.selection(), (SegRect{3, 3, 15, 15}));
    Keys({Qt::Key_Escape});
    EXPECT_FALSE(editor.hasSelection());
    EXPECT_FALSE(editor.Key(Qt::Key_F, false));  // not an editing key
    // Enter on a contact opens its input list.
    int listAt = -1;
    QObject::connect(&editor, &GridEditor::OpenInputList, [&](int s) { listAt = s; });
    editor.Press(50, false);
    Keys({Qt::Key_Return});
    EXPECT_EQ(listAt, 50);
}

// Rows shift under the cursor; a last row holding anything (a code that is no segment too) is
// refused with a message and nothing changes.
TEST_F(GridEditorTest, RowsShiftAndAFullLastRowIsRefused) {
    Drop(16 * 2 + 4, 8);
    editor.Press(16, false);
    editor.InsertRow();
    EXPECT_TRUE(Type(16 * 3 + 4) == 8 && Type(16 * 2 + 4) == 0);
    editor.DeleteRow();
    EXPECT_TRUE(Type(16 * 2 + 4) == 8 && Type(16 * 3 + 4) == 0);
    Config full = state.record;
    full.SegType[0][255] = 77;
    doc.Replace(full, std::nullopt, false);
    const int steps = Steps();
    editor.InsertRow();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(Last().title == "Insert Row" && Last().text.contains("last row of LC Input 1"));
    EXPECT_TRUE(state.record == full && Steps() == steps);
}

// Tools > Draw From Formula: starts from the output's own expression, draws what is typed as
// one step, and changes nothing when cancelled or when the formula does not parse.
TEST_F(GridEditorTest, AFormulaIsDrawnAsOneStep) {
    Drop(0, 8);  // I1 in segment 0, then wires
    for (int s = 1; s < 16; ++s) Drop(s, 4);
    const Config before = state.record;
    dialogs.formulas = {QStringLiteral("I2 &"), QStringLiteral("(I1 | I2) & !P5")};
    editor.DrawFromFormula();  // does not parse: nothing drawn
    EXPECT_EQ(dialogs.asked.back(), "Draw LC Input 1 From Formula|I1");
    EXPECT_TRUE(dialogs.drawerSaid.startsWith("column 5") && state.record == before);
    const int steps = Steps();
    editor.DrawFromFormula();
    EXPECT_EQ(Steps(), steps + 1);
    EXPECT_EQ(QString::fromStdString(FormatExpression(ExpressOutput(state.record, 0))),
              "I1&!P5|I2&!P5");
    Undo();
    EXPECT_EQ(state.record, before);
    editor.DrawFromFormula();  // cancelled
    EXPECT_EQ(state.record, before);
}

// Tools > Rewire Signals: moves that do not parse are said and asked again; what is typed then
// moves the contacts of every output as one step.
TEST_F(GridEditorTest, RewiringMovesTheContactsOfEveryOutputAsOneStep) {
    Drop(0, 8, 0);  // I1 on outputs 1 and 3, P2 on output 3
    Drop(1, 12, 2);
    editor.ChooseInput(1, 9);
    Drop(0, 8, 2);
    const Config before = state.record;
    const int steps = Steps();
    QStringList said;
    QObject::connect(&editor, &GridEditor::Said, [&](const QString& s) { said << s; });
    dialogs.texts = {QStringLiteral("I1"), QStringLiteral("I1=P8, P2<>I2")};
    editor.RewireSignals();
    ExpectSaid(Last(), "column 3: expected = or <> after I1", "Rewire Signals", Icon::Warning);
    EXPECT_TRUE(Sel(0, 0) == 15 && Sel(0, 2) == 15 && Sel(1, 2) == 1 && Steps() == steps + 1);
    EXPECT_EQ(said, QStringList{"I1 -> P8, I2 -> P2, P2 -> I2: 3 contact(s) moved"});
    EXPECT_TRUE(state.ConfigChanged && !doc.compiled());
    Undo();
    EXPECT_EQ(state.record, before);
    Redo();
    EXPECT_EQ(Sel(0, 0), 15);
    dialogs.texts = {QStringLiteral("I2=I3")};  // one output only
    editor.RewireSignals();
    EXPECT_TRUE(said.back() == "I2 -> I3: 1 contact(s) moved" && Steps() == steps + 2);
    doc.Compile({});
    doc.MarkSaved(QStringLiteral("s.CDF"));
    dialogs.texts = {QStringLiteral("I5=I6")};  // moves nothing: no step, the flags as they were
    editor.RewireSignals();
    EXPECT_TRUE(said.back().endsWith("nothing changed") && Steps() == steps + 2);
    EXPECT_TRUE(!state.ConfigChanged && doc.compiled());
    editor.RewireSignals();  // cancelled
    EXPECT_EQ(Steps(), steps + 2);
}

// Tools > Find Signal: a signal is asked for (again when what is typed is none), then Find Next
// goes through its contacts from the cursor on, output after output and round; nothing changes.
TEST_F(GridEditorTest, FindGoesThroughTheContactsOnASignal) {
    Drop(20, 8, 0);  // P3 in output 1, segment 20
    editor.ChooseInput(20, 10);
    Drop(5, 8, 2);  // I1 in output 3, then P3 after it
    Drop(3, 12, 2);
    editor.ChooseInput(3, 10);
    const Config before = state.record;
    doc.MarkSaved(QStringLiteral("s.CDF"));
    QStringList said;
    QObject::connect(&editor, &GridEditor::Said, [&](const QString& s) { said << s; });
    doc.ShowOutput(1);
    editor.Reset();
    editor.Arm(4);  // an armed picture is not stamped where Find goes
    dialogs.texts = {QStringLiteral("P33"), QStringLiteral(" p 3 ")};  // as labelled
    editor.FindSignal();
    ExpectSaid(Last(), "\"P33\" is no signal", "Find Signal", Icon::Warning);
    EXPECT_TRUE(doc.output() == 2 && editor.cursor() == 3 && editor.hasSelection());
    EXPECT_EQ(said.back(), "P3: contact 2 of 2, LC Input 3, row 1, column 4");
    editor.FindNext();  // round to the first
    EXPECT_TRUE(doc.output() == 0 && editor.cursor() == 20);
    EXPECT_EQ(said.back(), "P3: contact 1 of 2, LC Input 1, row 2, column 5");
    dialogs.texts = {QStringLiteral("I8")};
    editor.FindSignal();
    EXPECT_EQ(said.back(), "I8: no contact on it");
    EXPECT_TRUE(state.record == before && !state.ConfigChanged);
}

// A palette picture is dragged once the pointer has moved the start-drag distance with the
// button down; a shorter press and release on it is a click, which arms it.
class CountedDrags final : public PaletteItem {
  public:
    using PaletteItem::PaletteItem;
    std::vector<int> drags;  // the codes carried

  protected:
    void RunDrag(QDrag* drag) override { drags.push_back(DroppedCode(drag->mimeData())); }
};

TEST(Palette, DragStartsAtTheStartDragDistanceAndAShorterPressIsAClick) {
    const int d = QApplication::startDragDistance();
    const std::tuple<QPoint, QPoint, Qt::MouseButton, int, int> cases[] = {
        // drags, clicks
        {{20, 20}, {0, 0}, Qt::LeftButton, 0, 1},     {{20, 20}, {d - 1, 0}, Qt::LeftButton, 0, 1},
        {{20, 20}, {0, 1 - d}, Qt::LeftButton, 0, 1}, {{38, 20}, {d - 1, 0}, Qt::LeftButton, 0, 0},
        {{20, 20}, {d, 0}, Qt::LeftButton, 1, 0},     {{20, 20}, {-d, -d}, Qt::LeftButton, 1, 0},
        {{20, 20}, {d, d}, Qt::RightButton, 0, 0}};
    for (const auto& [at, moved, button, drags, clicks] : cases) {
        CountedDrags item(5, nullptr);
        item.resize(40, 40);
        int clicked = 0;
        QObject::connect(&item, &PaletteItem::ClickedWithoutDrop,
                         [&](int code) { clicked += code == 5; });
        auto send = [&](QEvent::Type type, QPoint to, Qt::MouseButtons held) {
            QMouseEvent e(type, to, item.mapToGlobal(to),
                          type == QEvent::MouseMove ? Qt::NoButton : button, held, {});
            QCoreApplication::sendEvent(&item, &e);
        };
        send(QEvent::MouseButtonPress, at, button);
        for (const QPoint& step : {moved / 2, moved, moved})
            send(QEvent::MouseMove, at + step, button);
        send(QEvent::MouseButtonRelease, at + moved, Qt::NoButton);
        EXPECT_EQ(item.drags, std::vector<int>(drags, 5))
            << at.x() << "+" << moved.x() << "," << moved.y();
        EXPECT_EQ(clicked, clicks) << at.x() << "+" << moved.x() << "," << moved.y();
    }
}

}  // namespace
}  // namespace zez::test
