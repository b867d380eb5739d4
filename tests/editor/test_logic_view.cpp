// The Logic window follows the shown output, edits and the ticked inputs, and marks findings on
// the grid without changing the record, the flags or the main window's layout. What the status
// bar and the formula field say is current.
#include <QApplication>
#include <QDialog>
#include <QLayout>
#include <QLineEdit>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include "EditorFixture.h"
#include "editor/QtDialogs.h"
#include "logic/Layout.h"
#include "system/CdfFile.h"

namespace zez::test {
namespace {

class LogicViewTest : public EditorTest {
  protected:
    void OpenExample(const char* name) {
        window->OpenNamedFile(QString::fromStdString(std::string(ZEZ_EXAMPLES_DIR) + "/" + name));
    }
    LogicView* Show() {
        window->mnuLogic_Click();
        window->logicView()->Finish();
        return window->logicView();
    }
};

TEST_F(LogicViewTest, ShowsExpressionTableFindingsAndStatesOfTheShownOutput) {
    OpenExample("corridor.CDF");
    const Config before = state.record;
    auto* view = Show();
    EXPECT_EQ(view->expression()->text(), "I3&!P1|I4&!P1|P2");
    auto* model = view->table()->model();
    ASSERT_EQ(model->rowCount(), 16);  // I3 I4 P1 P2
    ASSERT_EQ(model->columnCount(), 5);
    EXPECT_EQ(model->headerData(4, Qt::Horizontal).toString(), "LC Input 1");
    int on = 0;
    for (int r = 0; r < 16; ++r) on += model->index(r, 4).data().toString() == "On";
    EXPECT_EQ(on, 11);  // P2 on: 8 rows; P1 and P2 off with I3 or I4: 3 more
    EXPECT_EQ(view->findings()->item(0)->text(), "No findings.");
    EXPECT_TRUE(view->states()->text().contains("1 Off, 2 Off"));
    EXPECT_EQ(view->signalUse()->text(),
              "Outputs that read each signal: I3: 1; I4: 1; P1: 1; P2: 1, 2 | "
              "free: I1 I2 I5 I6 I7 I8 P3 P4 P5 P6 P7 P8");

    window->client().chkIn[9]->setChecked(true);  // P2
    view->Finish();
    EXPECT_TRUE(view->states()->text().contains("1 On, 2 On"))
        << view->states()->text().toStdString();

    window->client().cboOutput->setCurrentIndex(1);
    view->Finish();
    EXPECT_EQ(view->expression()->text(), "P2");
    // Looking changes nothing.
    EXPECT_TRUE(state.record == before && !state.ConfigChanged);
    EXPECT_EQ((&window->client())->size(), QSize(kClientWidth, kClientHeight));
    // "Redraw minimal", offered when the minimal drawing is smaller, redraws as one step what
    // computes the same.
    EXPECT_FALSE(view->redraw()->isEnabled());  // already as small as it gets
    window->client().cboOutput->setCurrentIndex(0);
    for (int s = 100; s < 104; ++s) DropPalette(window->client().imgSegment[s], 4);  // dead wires
    view->Finish();
    ASSERT_TRUE(view->redraw()->isEnabled());
    const int steps = window->document().undoStack()->count();
    view->redraw()->click();
    view->Finish();
    EXPECT_EQ(window->document().undoStack()->count(), steps + 1);
    EXPECT_EQ(view->expression()->text(), "I3&!P1|I4&!P1|P2");
    EXPECT_FALSE(view->redraw()->isEnabled() || state.record.SegType[0][100]);
    // An edit made while the next report is worked out is not undone by the one shown.
    DropPalette(window->client().imgSegment[100], 4);
    view->Finish();
    DropPalette(window->client().imgSegment[0], 4);  // the contact on I3 becomes a wire
    view->redraw()->click();
    emit view->RedrawMinimal(0, *view->shown().minimal, view->shownRevision());
    EXPECT_EQ(state.record.SegType[0][0], 4);
    view->Finish();
    EXPECT_EQ(view->expression()->text(), "!P1|P2");
}

TEST_F(LogicViewTest, FindingsAreFramedOnTheGridAndFollowEdits) {
    OpenExample("stairwell.CDF");
    auto* view = Show();
    EXPECT_EQ(view->expression()->text(), "I1&!I2|!I1&I2");
    DropPalette(window->client().imgSegment[200], 4);  // a wire that touches nothing
    view->Finish();
    EXPECT_EQ(view->findings()->item(0)->text(),
              "LC Input 1: row 13, column 9 (segment 200): not connected");
    EXPECT_TRUE(window->client().imgSegment[200]->toolTip() == "not connected" &&
                window->client().imgSegment[0]->finding().isEmpty());
    // Another output has its own findings; closing the window clears the frames.
    window->client().cboOutput->setCurrentIndex(3);
    view->Finish();
    EXPECT_TRUE(window->client().imgSegment[200]->finding().isEmpty());
    window->client().cboOutput->setCurrentIndex(0);
    view->Finish();
    EXPECT_FALSE(window->client().imgSegment[200]->finding().isEmpty());
    DropPalette(window->client().imgSegment[201], 4);  // framed where the next report says
    EXPECT_TRUE(window->client().imgSegment[200]->finding().isEmpty());
    view->hide();
    EXPECT_TRUE(window->client().imgSegment[200]->finding().isEmpty());
}

// Compare With File frames the segments that differ from the file with what the file has there,
// until they are the same again or another configuration is opened.
TEST_F(LogicViewTest, SegmentsThatDifferFromTheComparedFileAreFramed) {
    OpenExample("corridor.CDF");
    DropPalette(window->client().imgSegment[100], 4);
    DropPalette(window->client().imgSegment[0], 4);  // the contact on I3 becomes a wire
    dialogs.openNames = {QStringLiteral(ZEZ_EXAMPLES_DIR "/corridor.CDF")};
    window->files().CompareWithFile();
    auto frame = [&](int s) { return window->client().imgSegment[s]->finding(); };
    EXPECT_EQ(frame(100), "differs from corridor.CDF, which has blank here");
    EXPECT_TRUE(
        frame(0).startsWith("differs from corridor.CDF, which has a normally open contact on I3"))
        << frame(0).toStdString();
    EXPECT_TRUE(frame(1).isEmpty());
    window->client().cboOutput->setCurrentIndex(1);  // the same in output 2
    EXPECT_TRUE(frame(100).isEmpty());
    window->client().cboOutput->setCurrentIndex(0);
    window->menus.mnuUndo->trigger();  // segment 0 as in the file again
    EXPECT_TRUE(frame(0).isEmpty() && !frame(100).isEmpty());
    dialogs.answers = {Answer::Yes};
    window->mnuNew_Click();
    EXPECT_TRUE(frame(100).isEmpty());
}

// Said once and current (no earlier file's "Saved" after Open); long texts cut after a word.
TEST_F(EditorTest, TheStatusBarSaysWhatIsCurrentOnceAndCutsLongTextsAtAWord) {
    TempDir dir;
    dialogs.saveNames = {QString::fromStdString(dir.File("a.CDF"))};
    window->files().SaveAs();
    window->OpenNamedFile(QStringLiteral(ZEZ_EXAMPLES_DIR "/corridor.CDF"));
    EXPECT_EQ(window->status().message()->text(), "Opened corridor.CDF");
    DropPalette(window->client().imgSegment[100], 4);  // said of what is no longer shown
    EXPECT_TRUE(window->status().message()->text().isEmpty());
    window->mnuCompile_Click();
    QString bar;
    for (const QLabel* label : window->statusBar()->findChildren<QLabel*>())
        bar += label->text() + ' ';
    EXPECT_TRUE(bar.count(QStringLiteral("compiled"), Qt::CaseInsensitive) == 1)
        << bar.toStdString();
    window->show();
    window->statusBar()->layout()->activate();
    const QString full = QStringLiteral("Saved corridor.CDF ").repeated(30), shown = [&] {
        window->status().Say(full);
        return window->status().message()->text();
    }();
    ASSERT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(full.startsWith(shown.chopped(1)) && full[shown.size() - 1] == QLatin1Char(' '));
    EXPECT_EQ(window->status().message()->toolTip(), full);
}

// Draw From Formula starts from the output's own formula, chosen so that typing replaces it.
TEST(FormulaField, WhatIsTypedReplacesTheFormulaShown) {
    QString typed;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            poll.stop();
            QTest::keyClicks(dialog->findChild<QLineEdit*>(), "(I1 | I2)");
            typed = dialog->findChild<QLineEdit*>()->text();
            dialog->reject();
        }
    });
    poll.start(10);
    QtDialogs().AskDrawing({}, QStringLiteral("0"),
                           [](const QString& f) { return DrawFormula(f.toStdString()); });
    EXPECT_EQ(typed, "(I1 | I2)");
}

}  // namespace
}  // namespace zez::test
