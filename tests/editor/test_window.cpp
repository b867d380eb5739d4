// The window: its fixed layout, menus and captions, and the wiring from its widgets, keys and
// menus to the document and the flows.
#include <QDir>
#include <QImage>
#include <QMenuBar>
#include <QTest>
#include <numeric>
#include <random>

#include "EditorFixture.h"
#include "TestUtil.h"
#include "compiler/Compiler.h"
#include "editor/Palette.h"
#include "system/CdfFile.h"

namespace zez::test {
namespace {

QStringList Captions(const QList<QAction*>& actions) {
    QStringList out;
    for (QAction* a : actions) out << a->text().remove(QLatin1Char('&'));
    return out;
}

TEST_F(EditorTest, StartsEmptyOnOutputOneWithItsControlsWhereTheLayoutPutsThem) {
    EXPECT_EQ(window->windowTitle(), "Brantel Lumacor Dadiraze Viruzuvivav Odori Devira Rev 1.0");
    EXPECT_TRUE(ui().size() == QSize(881, 689) && window->document().fileName() == "None");
    EXPECT_TRUE(ui().cboOutput->count() == 8 && ui().cboOutput->itemText(7) == "LC Input 8");
    EXPECT_TRUE(ui().cboSelect->count() == 16 && ui().cboSelect->itemText(10) == "Pilot 3");
    for (int i = 0; i < 8; ++i) EXPECT_EQ(window->menus.mnuCOM[i]->isChecked(), i == 0);
    EXPECT_TRUE(NotCompiled() && state.ComPortNumber == 1 && !state.ConfigChanged);
    for (int s = 0; s < kSegments; ++s) {
        EXPECT_EQ(ui().imgSegment[s]->shown(), PalettePicture(0)) << s;
        EXPECT_FALSE(ui().lblSeg[s]->isVisibleTo(window.get())) << s;
    }
    for (QWidget* hidden :
         std::initializer_list<QWidget*>{ui().cboSelect, ui().prgCompile, ui().lblComPrg})
        EXPECT_FALSE(hidden->isVisibleTo(window.get()));

    const std::pair<QWidget*, QRect> places[] = {
        {ui().imgSegment[0], {120, 8, 40, 40}},   {ui().imgSegment[15], {720, 8, 40, 40}},
        {ui().imgSegment[16], {120, 48, 40, 40}}, {ui().imgSegment[255], {720, 608, 40, 40}},
        {ui().lblSeg[17], {167, 52, 24, 15}},     {ui().imgSelect[0], {16, 8, 40, 40}},
        {ui().imgSelect[15], {64, 344, 40, 40}},  {ui().cboOutput, {788, 374, 81, 21}},
        {ui().Frame1, {8, 416, 105, 233}},        {ui().chkIn[0], {16, 16, 33, 17}},
        {ui().chkIn[15], {64, 184, 33, 17}},      {ui().cmdTest, {16, 208, 73, 17}},
        {ui().prgCompile, {8, 664, 865, 17}},     {ui().lblComPrg, {768, 8, 105, 17}},
    };
    for (const auto& [w, rect] : places)
        EXPECT_EQ(w->geometry(), rect) << w->metaObject()->className();
    for (const auto& [code, tip] : {std::pair{0, "Blank (keys: Del)"},
                                    {4, "Wire (keys: W)"},
                                    {13, "Normally closed contact with an up link (keys: N, U)"},
                                    {3, "Up and down links (keys: U, D)"}})
        EXPECT_TRUE(ui().imgSelect[code]->toolTip().startsWith(tip)) << code;
    EXPECT_TRUE(ui().chkIn[8]->text() == "P1" && ui().lblSeg[0]->font().bold());

    // The program's own menus and items first, in their order; what was added comes after.
    const auto bar = window->menuBar()->actions();
    EXPECT_EQ(Captions(bar), (QStringList{"File", "Connect", "Notes", "Edit", "Tools", "Help"}));
    EXPECT_EQ(Captions(bar[0]->menu()->actions()),
              (QStringList{"New", "Open", "Save", "Save As", "", "Print Preview...", "Print...",
                           "Export PDF...", "Export Report...", "Recent Files",
                           "Previous Versions...", "Compare With File...", "", "Exit"}));
    EXPECT_EQ(Captions(bar[1]->menu()->actions()),
              (QStringList{"Compile", "Download", "Upload", "", "COM1", "COM2", "COM3", "COM4",
                           "COM5", "COM6", "COM7", "COM8", "Other Port...", "Emulated Device", "",
                           "Compare with Device...", "Verify After Download"}));
    EXPECT_EQ(Captions(bar[4]->menu()->actions()),
              (QStringList{"Logic", "Draw From Formula...", "Rewire Signals...", "Find Signal...",
                           "Find Next", "", "Next Output", "Previous Output", "", "Live Test", "",
                           "Transfer Log..."}));
    EXPECT_EQ(window->menus.mnuUndo->shortcut(), QKeySequence(QKeySequence::Undo));
    EXPECT_EQ(window->menus.mnuRedo->shortcuts(),
              (QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                                   QKeySequence(Qt::CTRL | Qt::Key_Y)}));
    EXPECT_EQ(window->menus.mnuSaveAs->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    EXPECT_EQ(window->menus.mnuLogic->shortcut(), QKeySequence(Qt::Key_F6));
}

TEST_F(EditorTest, DropsOnPicturesAndLabelsEditTheOutputShown) {
    window->mnuCompile_Click();  // compiled state, so the drop must undo it
    ASSERT_TRUE(Compiled());
    DropPalette(ui().imgSegment[0], 12);
    EXPECT_TRUE(state.record.SegType[0][0] == 12 && state.ConfigChanged && NotCompiled());
    EXPECT_TRUE(window->menus.mnuUndo->isEnabled() &&
                ui().imgSegment[0]->shown() == PalettePicture(12));
    EXPECT_TRUE(ui().lblSeg[0]->isVisibleTo(window.get()) && ui().lblSeg[0]->text() == "I 1");
    window->ShowConfig();
    DropPalette(ui().lblSeg[0], 4);  // on the label: same as on the picture
    EXPECT_TRUE(state.record.SegType[0][0] == 4 && !ui().lblSeg[0]->isVisibleTo(window.get()));
    // A link that meets no link beside it is drawn as an open end.
    DropPalette(ui().imgSegment[5], 5);   // up link on row 0: nothing above
    DropPalette(ui().imgSegment[22], 5);  // up link under ...
    EXPECT_TRUE(ui().imgSegment[5]->openUp() && ui().imgSegment[22]->openUp());
    DropPalette(ui().imgSegment[6], 6);  // ... a down link: joined
    EXPECT_FALSE(ui().imgSegment[22]->openUp() || ui().imgSegment[6]->openDown());
    // Something that is not a palette picture is refused.
    QMimeData text;
    text.setText(QStringLiteral("4"));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(ui().imgSegment[3], &enter);
    EXPECT_FALSE(enter.isAccepted());
    // The list of outputs picks what is shown and edited.
    ui().cboOutput->setCurrentIndex(5);
    EXPECT_EQ(window->document().output(), 5);
    DropPalette(ui().imgSegment[17], 7);
    EXPECT_EQ(state.record.SegType[5][17], 7);
    ui().cboOutput->setCurrentIndex(0);
    EXPECT_EQ(ui().imgSegment[17]->shown(), PalettePicture(0));
    window->menus.mnuUndo->trigger();  // an undo shows the output it changed
    EXPECT_TRUE(ui().cboOutput->currentIndex() == 5 &&
                ui().imgSegment[17]->shown() == PalettePicture(0));
    // A file dropped anywhere goes past the pictures to the window, which opens it after Open's
    // question; two files are refused.
    const QString file = QStringLiteral(ZEZ_EXAMPLES_DIR "/corridor.CDF");
    QMimeData urls;
    for (const int files : {2, 1}) {
        urls.setUrls(QList<QUrl>(files, QUrl::fromLocalFile(file)));
        QDragEnterEvent over(QPoint(5, 5), Qt::CopyAction, &urls, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(ui().imgSegment[3], &over);
        EXPECT_EQ(over.isAccepted(), files == 1);
    }
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &urls, Qt::LeftButton, Qt::NoModifier);
    dialogs.answers = {Answer::Yes};
    QCoreApplication::sendEvent(window.get(), &drop);
    QCoreApplication::processEvents();  // opened once the drop has ended
    EXPECT_EQ(dialogs.boxes.back().text, "Discard Any Changes?");
    EXPECT_TRUE(window->document().fileName() == QDir::toNativeSeparators(file) &&
                !state.ConfigChanged);
}

TEST_F(EditorTest, TheLabelOpensTheListWhichStoresTheChoiceOrTimesOut) {
    DropPalette(ui().imgSegment[20], 8);
    state.ConfigChanged = false;
    window->mnuCompile_Click();
    dialogs.boxes.clear();
    QTest::mouseClick(ui().lblSeg[20], Qt::LeftButton);
    QComboBox* list = ui().cboSelect;
    EXPECT_TRUE(list->isVisibleTo(window.get()) && list->pos() == ui().lblSeg[20]->pos());
    EXPECT_TRUE(ui().tmrCloseCBO->interval() == 5000 && ui().tmrCloseCBO->isActive() && Compiled());
    EXPECT_FALSE(state.ConfigChanged);  // presetting the list is no change
    list->setCurrentIndex(10);
    emit list->activated(10);
    EXPECT_TRUE(state.record.SegInput[0][20] == 10 && ui().lblSeg[20]->text() == "P 3");
    EXPECT_FALSE(list->isVisibleTo(window.get()) || ui().tmrCloseCBO->isActive());
    EXPECT_TRUE(state.ConfigChanged && NotCompiled());
    // Opened again it shows the choice; it closes by itself without a change.
    QTest::mouseClick(ui().lblSeg[20], Qt::LeftButton);
    EXPECT_EQ(list->currentIndex(), 10);
    const Config before = state.record;
    window->tmrCloseCBO_Timer();
    EXPECT_TRUE(!list->isVisibleTo(window.get()) && state.record == before);
    // An output change leaves it open; the choice goes to the output shown.
    QTest::mouseClick(ui().lblSeg[20], Qt::LeftButton);
    ui().cboOutput->setCurrentIndex(2);
    EXPECT_TRUE(list->isVisibleTo(window.get()));
    list->setCurrentIndex(5);
    emit list->activated(5);
    EXPECT_TRUE(state.record.SegInput[2][20] == 5 && state.record.SegInput[0][20] == 10);
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(EditorTest, CompileFillsTheArrayShowsItsStepsAndSwitchesTheMenus) {
    std::mt19937 rng(21);
    const Config before = samples::Typical(rng);
    window->document().Replace(before, std::nullopt, true);
    ui().cboOutput->setCurrentIndex(4);
    std::vector<int> steps;
    QObject::connect(ui().prgCompile, &QProgressBar::valueChanged,
                     [&](int v) { steps.push_back(v); });
    bool barShownDuringBox = false;
    dialogs.onMessage = [&](const Box&) {
        barShownDuringBox =
            ui().prgCompile->isVisibleTo(window.get()) && ui().prgCompile->value() == 256;
    };
    window->mnuCompile_Click();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    ExpectSaid(dialogs.boxes[0], "Complete\r\n", "Compile", Icon::None);
    EXPECT_EQ(dialogs.boxes[0].text.count(QStringLiteral("\r\n")), 2);
    EXPECT_TRUE(barShownDuringBox && !ui().prgCompile->isVisibleTo(window.get()));
    std::vector<int> wantSteps(257);  // set to 0, then 1..256
    std::iota(wantSteps.begin(), wantSteps.end(), 0);
    EXPECT_EQ(steps, wantSteps);
    EXPECT_TRUE(Compiled() && state.ConfigChanged && window->document().output() == 4);
    EXPECT_EQ(state.record, before);
    ControlArray want{};
    Compile(before, want);
    EXPECT_EQ(state.controlArray, want);
}

TEST_F(EditorTest, ThePortItemsFollowTheChoiceAndATransferShowsItsCaption) {
    window->menus.mnuCOM[2]->trigger();
    EXPECT_EQ(state.ComPortNumber, 3);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(window->menus.mnuCOM[i]->isChecked(), i == 2);
    window->menus.mnuEmulated->trigger();
    EXPECT_TRUE(window->menus.mnuEmulated->isChecked() && !window->menus.mnuCOM[2]->isChecked());
    window->mnuCompile_Click();
    bool captionShown = false, barEnabled = true;
    dialogs.onMessage = [&](const Box& b) {
        if (b.icon != Icon::Information) return;
        captionShown = ui().lblComPrg->isVisibleTo(window.get()) &&
                       ui().lblComPrg->text() == "Device Checksum";
        barEnabled = window->menuBar()->isEnabled();
    };
    dialogs.answers = {Answer::Yes};
    window->mnuDownload_Click();
    EXPECT_EQ(dialogs.boxes.back().text, "Download Complete.\r\nPower Cycle Device.");
    EXPECT_TRUE(captionShown && barEnabled && !ui().lblComPrg->isVisibleTo(window.get()));
    // While a transfer runs, the window's commands and shortcuts do nothing; Cancel stays.
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    DropPalette(ui().imgSegment[0], 4);
    emit window->transfers().Busy(true);
    EXPECT_TRUE(window->status().cancel()->isVisibleTo(window.get()));
    QTest::keySequence(window.get(), QKeySequence::New);
    QTest::keySequence(window.get(), QKeySequence::Undo);
    EXPECT_EQ(state.record.SegType[0][0], 4);
    emit window->transfers().Busy(false);
    EXPECT_TRUE(!window->status().cancel()->isVisibleTo(window.get()) &&
                window->menus.mnuUndo->isEnabled());
    QTest::keySequence(window.get(), QKeySequence::Undo);  // after it, the shortcuts work again
    EXPECT_EQ(state.record.SegType[0][0], 0);
}

TEST_F(EditorTest, ExitAsksTwiceTheCloseBoxOnceAndACleanExitLeavesNoRecoveryCopy) {
    TempDir dir;
    // A file named on the command line, opened before the session starts, is a recent file;
    // an & in its name is shown as one.
    const QString named = QString::fromStdString(dir.File("R&D plant.CDF"));
    ASSERT_TRUE(SaveToFile(Config{}, QFile::encodeName(named).toStdString()));
    window->OpenNamedFile(named);
    window->StartSession(StorageIn(dir));
    emit window->menus.mnuRecent->aboutToShow();
    ASSERT_FALSE(window->menus.mnuRecent->actions().isEmpty());
    EXPECT_EQ(window->menus.mnuRecent->actions()[0]->text(),
              "&1 " + QString(named).replace("&", "&&"));
    window->show();
    DropPalette(ui().imgSegment[0], 4);
    window->recovery()->Autosave();
    EXPECT_TRUE(window->session()->HasRecovery());
    dialogs.answers = {Answer::Yes, Answer::No};
    window->mnuExit_Click();
    EXPECT_TRUE(dialogs.boxes.size() == 2u && window->isVisible());
    window->menus.mnuAbout->trigger();  // says where the session's files are
    EXPECT_TRUE(dialogs.boxes.back().text.startsWith("ZezUdi " ZEZ_VERSION) &&
                dialogs.boxes.back().text.contains(
                    QDir::toNativeSeparators(QString::fromStdString(dir.File("transfers.log")))));
    dialogs.boxes.clear();
    dialogs.answers = {Answer::No};
    window->close();  // the title bar's close box
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(dialogs.boxes[0].title == "Exit Program" && window->isVisible());
    dialogs.answers = {Answer::Yes, Answer::Yes};
    window->mnuExit_Click();
    EXPECT_TRUE(!window->isVisible() && QDir(QString::fromStdString(dir.File("recovery")))
                                            .entryList({QStringLiteral("*.CDF")}, QDir::Files)
                                            .isEmpty());
}

// F1 opens the guide (compiled in) at the section about what has the focus; a message box's F1
// at the troubleshooting place of its text; find goes on into the next chapter that has it.
TEST_F(EditorTest, F1LandsOnTheSectionOfTheControlOrMessageAndFindCrossesChapters) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QCursor::setPos(window->frameGeometry().bottomRight() + QPoint(50, 50));
    const std::pair<QWidget*, QString> cases[] = {
        {ui().imgSelect[4], "The palette"},
        {ui().chkIn[10], "The Test frame"},
        {ui().cboOutput, "Choosing the output"},
        {ui().grid, "Editing on the grid"},
    };
    for (const auto& [widget, heading] : cases) {
        widget->setFocus();
        window->ContextHelp();
        ASSERT_TRUE(window->helpWindow() && window->helpWindow()->isVisible());
        EXPECT_EQ(window->helpWindow()->CurrentHeading(), heading) << heading.toStdString();
    }
    window->ShowHelpForMessage("Unable to connect to device.\r\nNo answer on COM3.");
    EXPECT_EQ(window->helpWindow()->CurrentHeading(), "Transfers");
    HelpWindow& help = *window->helpWindow();
    help.ShowTopic("drawing.md");
    help.findBox()->setText("latency");
    QTest::keyClick(help.findBox(), Qt::Key_Return);
    EXPECT_EQ(help.text()->source().fileName(), "module.md");
    EXPECT_EQ(help.text()->textCursor().selectedText().toLower(), "latency");
    // Pictures come from the program itself.
    EXPECT_FALSE(QImage(":/guide/images/editor.png").isNull());
}

// Windows stay where their title bar and menus can be reached (a 2x scale on a 1400 x 1000
// screen makes the main window larger than the screen), and the Logic window goes beside the
// main window without covering its output selector.
TEST(Placement, WindowsStayReachableAndTheSelectorVisible) {
    const QRect area(0, 0, 1400, 1000);
    const std::tuple<QPoint, QSize, QPoint> clamped[] = {
        {{-383, -200}, {1766, 1420}, {0, 0}},  // larger than the screen: top left shown
        {{900, 700}, {883, 740}, {517, 260}},  // moved in from the bottom right
        {{100, 50}, {883, 740}, {100, 50}},    // fits where it is
    };
    for (const auto& [wanted, size, want] : clamped) EXPECT_EQ(Clamped(wanted, size, area), want);
    // The Logic window with no room beside: over the main window, but not its selector.
    const QSize logic(500, 600);
    const QRect selector(888, 454, 81, 21);
    const QPoint over = Beside({100, 50, 883, 740}, logic, area, selector);
    EXPECT_TRUE(!QRect(over, logic).intersects(selector) && area.contains(QRect(over, logic)));
    EXPECT_EQ(Restored(Saved({12, 8}), {10, 10}, {5, 5}), QPoint(12, 8));
    for (const char* bad : {"", "x,y", "1", "-90000,-90000"})
        EXPECT_EQ(Restored(QString::fromLatin1(bad), {883, 740}, {5, 5}), QPoint(5, 5)) << bad;
    // All of the window where there is room; else as much as fits, with the scroll bar across.
    EXPECT_EQ(Fitted({881, 733}, {16, 40}, 14, {0, 0, 1920, 1040}), QSize(881, 733));
    EXPECT_EQ(Fitted({881, 733}, {16, 40}, 14, {0, 0, 1280, 680}), QSize(895, 640));
    EXPECT_EQ(Fitted({881, 733}, {16, 40}, 14, {0, 0, 800, 600}), QSize(784, 560));
}

}  // namespace
}  // namespace zez::test
