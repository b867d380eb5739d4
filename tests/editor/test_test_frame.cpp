// The Test frame: its boxes, the lit circuit, and the keys and clicks that reach the grid.
#include <QTest>

#include "EditorFixture.h"
#include "editor/Palette.h"

namespace zez::test {
namespace {

// Each box of the Test frame is its own signal (a grey tick counts as on), on the output shown.
TEST_F(EditorTest, EachTestBoxIsItsSignalOnTheOutputShown) {
    for (int sel = 0; sel < 16; ++sel) {
        Config c;  // a contact on the signal, then wires
        for (int s = 0; s < 16; ++s) samples::Set(c, sel % 8, s, s ? 4 : 8, sel);
        window->document().Replace(c, std::nullopt, false);
        ui().cboOutput->setCurrentIndex(sel % 8);
        for (const bool alone : {true, false}) {  // its box alone, or every box but its own
            for (int i = 0; i < 16; ++i) {
                ui().chkIn[i]->setTristate(true);
                ui().chkIn[i]->setCheckState((i == sel) == alone ? Qt::PartiallyChecked
                                                                 : Qt::Unchecked);
            }
            window->cmdTest_Click();
            ExpectBox(
                dialogs.boxes.back(),
                QStringLiteral("Lumacor Input %1 %2").arg(sel % 8 + 1).arg(alone ? "On" : "Off"),
                kAppTitle, Buttons::Ok, Icon::None);
            EXPECT_EQ(window->view().outputShown(), alone) << sel;
        }
    }
}

TEST_F(EditorTest, TestLightsTheCircuitUntilTheNextEditOrOutputChangeAndChangesNothing) {
    // Row 0: normally open on I1, then wires; row 1: an island of wires.
    DropPalette(ui().imgSegment[0], 8);
    for (int s = 1; s < 16; ++s) DropPalette(ui().imgSegment[s], 4);
    DropPalette(ui().imgSegment[20], 4);
    window->mnuCompile_Click();
    state.ConfigChanged = false;
    const Config before = state.record;
    ui().chkIn[0]->setChecked(true);
    window->cmdTest_Click();
    EXPECT_TRUE(dialogs.boxes.back().text == "Lumacor Input 1 On" && window->view().supplyShown());
    EXPECT_NE(ui().imgSegment[5]->shown(), PalettePicture(4));   // drawn lit
    EXPECT_EQ(ui().imgSegment[20]->shown(), PalettePicture(4));  // not reached
    EXPECT_TRUE(state.record == before && !state.ConfigChanged && Compiled());
    ui().chkIn[0]->setChecked(false);
    window->cmdTest_Click();
    EXPECT_TRUE(dialogs.boxes.back().text == "Lumacor Input 1 Off" &&
                !window->view().outputShown() && ui().imgSegment[5]->shown() == PalettePicture(4));
    ui().chkIn[0]->setChecked(true);
    window->cmdTest_Click();
    ui().cboOutput->setCurrentIndex(1);  // an output change clears the picture
    EXPECT_FALSE(window->view().supplyShown());
    ui().cboOutput->setCurrentIndex(0);
    EXPECT_EQ(ui().imgSegment[5]->shown(), PalettePicture(4));
    window->cmdTest_Click();
    DropPalette(ui().imgSegment[40], 4);  // so does an edit
    EXPECT_TRUE(!window->view().supplyShown() && ui().imgSegment[5]->shown() == PalettePicture(4));
    window->cmdTest_Click();
    ui().chkIn[5]->setChecked(true);  // a tick keeps it
    EXPECT_TRUE(window->view().supplyShown());
    // Live Test: every tick, edit and output change tested at once, said in the status bar.
    const auto boxes = dialogs.boxes.size();
    const QLabel* said = window->status().message();
    window->menus.mnuLiveTest->trigger();
    EXPECT_TRUE(window->view().outputShown() && said->text() == "Live test: LC Input 1 On");
    ui().chkIn[0]->setChecked(false);
    EXPECT_TRUE(!window->view().outputShown() && said->text() == "Live test: LC Input 1 Off");
    DropPalette(ui().imgSegment[0], 4);  // the contact becomes a wire
    EXPECT_TRUE(window->view().outputShown());
    ui().cboOutput->setCurrentIndex(1);  // an empty output: the supply rail alone
    EXPECT_TRUE(window->view().supplyShown() && !window->view().outputShown());
    EXPECT_EQ(said->text(), "Live test: LC Input 2 Off");
    window->menus.mnuLiveTest->trigger();
    EXPECT_FALSE(window->view().supplyShown() || said->text().startsWith("Live"));
    EXPECT_EQ(dialogs.boxes.size(), boxes);
}

TEST_F(EditorTest, EnterInTheTestFrameTestsAndKeysAndClicksReachTheGrid) {
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    ui().chkIn[3]->setFocus();
    QTest::keyClick(ui().chkIn[3], Qt::Key_Return);
    EXPECT_TRUE(dialogs.boxes.size() == 1u && dialogs.boxes.back().text == "Lumacor Input 1 Off");
    // Keys go where the focus is: a ticked box takes no editing key.
    QTest::mouseClick(ui().chkIn[2], Qt::LeftButton);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_N);
    EXPECT_EQ(state.record, Config{});
    QTest::mouseClick(ui().imgSegment[0], Qt::LeftButton, Qt::NoModifier, QPoint(20, 30));
    ASSERT_EQ(QApplication::focusWidget(), ui().grid);
    QTest::mouseClick(ui().imgSegment[33], Qt::LeftButton, Qt::ShiftModifier, QPoint(20, 30));
    EXPECT_TRUE(ui().imgSegment[0]->cursor() && ui().imgSegment[0]->focused());
    EXPECT_TRUE(ui().imgSegment[17]->selected() && !ui().imgSegment[2]->selected() &&
                window->menus.mnuCopy->isEnabled());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_W);
    EXPECT_EQ(state.record.SegType[0][17], 4);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(ui().imgSegment[17]->selected() || window->menus.mnuCopy->isEnabled());
    // Ctrl+Page Up and Down go through the outputs, round from the last to the first.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(ui().cboOutput->currentIndex(), 7);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_TRUE(ui().cboOutput->currentIndex() == 0 && window->document().output() == 0);
    ui().cboOutput->setFocus();  // the cursor shows that the grid has no focus
    EXPECT_FALSE(ui().imgSegment[0]->focused());
    // Ctrl+A, New, then a key on the grid: nothing selected or edited behind the user's back.
    ui().grid->setFocus();
    window->menus.mnuSelectAll->trigger();
    dialogs.answers = {Answer::Yes};
    window->mnuNew_Click();
    EXPECT_FALSE(ui().imgSegment[17]->selected());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_N);
    EXPECT_EQ(state.record, Config{});
    EXPECT_TRUE(ui().imgSegment[0]->cursor());  // the key only showed the cursor
    // An armed palette picture is stamped by a click (on a picture or a label), as its drop.
    window->editor().Arm(9);
    EXPECT_TRUE(ui().imgSelect[9]->armed());
    QTest::mouseClick(ui().imgSegment[40], Qt::LeftButton, Qt::NoModifier, QPoint(20, 30));
    QTest::mouseClick(ui().lblSeg[40], Qt::LeftButton);
    EXPECT_TRUE(state.record.SegType[0][40] == 9 && !ui().cboSelect->isVisibleTo(window.get()));
    // The offscreen screen (800 x 800) is too narrow for the window: it fits the screen, and the
    // client area scrolls, keeping the cursor in sight.
    const QRect area = window->screen()->availableGeometry();
    EXPECT_TRUE(window->width() <= area.width() && window->height() <= area.height())
        << window->width() << "x" << window->height();
    window->editor().Arm(9);  // disarmed: a click selects
    window->resize(500, 400);
    QApplication::processEvents();
    EXPECT_TRUE(ui().imgSegment[255]->visibleRegion().isEmpty());
    window->editor().Press(255, false);
    EXPECT_FALSE(ui().imgSegment[255]->visibleRegion().isEmpty());
}

}  // namespace
}  // namespace zez::test
