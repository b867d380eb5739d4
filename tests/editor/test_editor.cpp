#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <numeric>
#include <random>

#include "EditorFixture.h"
#include "compiler/Compiler.h"
#include "editor/Palette.h"
#include "support/SampleConfigs.h"

namespace zez::test {
namespace {

QString Plain(QString caption) {
    return caption.remove(QLatin1Char('&'));
}

TEST_F(EditorTest, StartsEmptyOnOutputOneWithCompileEnabled) {
    EXPECT_EQ(window->windowTitle(), "Brantel Lumacor Dadiraze Viruzuvivav Odori Devira Rev 1.0");
    EXPECT_EQ((&window->client())->size(), QSize(881, 689));
    EXPECT_EQ(window->document().fileName(), "None");
    EXPECT_EQ(window->document().output(), 0);
    EXPECT_EQ(window->client().cboOutput->count(), 8);
    EXPECT_EQ(window->client().cboOutput->currentText(), "LC Input 1");
    EXPECT_EQ(window->client().cboOutput->itemText(7), "LC Input 8");
    EXPECT_EQ(window->client().cboSelect->count(), 16);
    EXPECT_EQ(window->client().cboSelect->itemText(0), "Input 1");
    EXPECT_EQ(window->client().cboSelect->itemText(10), "Pilot 3");
    EXPECT_TRUE(NotCompiled());
    EXPECT_TRUE(window->menus.mnuCOM[0]->isChecked());
    for (int i = 1; i < 8; ++i) EXPECT_FALSE(window->menus.mnuCOM[i]->isChecked());
    EXPECT_EQ(state.ComPortNumber, 1);
    EXPECT_FALSE(state.ConfigChanged);
    const QImage blank = PalettePicture(0);
    for (int s = 0; s < kSegments; ++s) {
        EXPECT_EQ(window->client().imgSegment[s]->shown(), blank) << s;
        EXPECT_FALSE(window->client().lblSeg[s]->isVisibleTo(window.get())) << s;
    }
    EXPECT_FALSE(window->client().cboSelect->isVisibleTo(window.get()));
    EXPECT_FALSE(window->client().prgCompile->isVisibleTo(window.get()));
    EXPECT_FALSE(window->client().lblComPrg->isVisibleTo(window.get()));
}

TEST_F(EditorTest, ControlsSitWhereTheLayoutPutsThem) {
    struct Place {
        QWidget* w;
        QRect rect;
    };
    const Place places[] = {
        {window->client().imgSegment[0], {120, 8, 40, 40}},   {window->client().imgSegment[15], {720, 8, 40, 40}},
        {window->client().imgSegment[16], {120, 48, 40, 40}}, {window->client().imgSegment[255], {720, 608, 40, 40}},
        {window->client().lblSeg[17], {167, 52, 24, 15}},     {window->client().imgSelect[0], {16, 8, 40, 40}},
        {window->client().imgSelect[15], {64, 344, 40, 40}},  {window->client().cboOutput, {788, 374, 81, 21}},
        {window->client().Frame1, {8, 416, 105, 233}},      {window->client().chkIn[0], {16, 16, 33, 17}},
        {window->client().chkIn[15], {64, 184, 33, 17}},      {window->client().cmdTest, {16, 208, 73, 17}},
        {window->client().prgCompile, {8, 664, 865, 17}},   {window->client().lblComPrg, {768, 8, 105, 17}},
    };
    for (const auto& p : places)
        EXPECT_EQ(p.w->geometry(), p.rect) << p.w->metaObject()->className();
    EXPECT_EQ(window->client().chkIn[8]->text(), "P1");
    EXPECT_EQ(window->client().chkIn[7]->text(), "I8");
    EXPECT_EQ(window->client().prgCompile->maximum(), 256);
    EXPECT_TRUE(window->client().lblSeg[0]->font().bold());

    QStringList menus;
    for (QAction* a : window->menuBar()->actions()) menus << Plain(a->text());
    // The program's own menus first; what was added later comes after them.
    EXPECT_EQ(menus.mid(0, 3), (QStringList{"File", "Connect", "Notes"}));
    QStringList file, connect;
    for (QAction* a : window->menuBar()->actions()[0]->menu()->actions()) file << Plain(a->text());
    for (QAction* a : window->menuBar()->actions()[1]->menu()->actions())
        connect << Plain(a->text());
    // The program's own items in their order, the later ones between Save As and Exit.
    EXPECT_EQ(file.mid(0, 5), (QStringList{"New", "Open", "Save", "Save As", ""}));
    EXPECT_EQ(file.mid(5), (QStringList{"Print Preview...", "Print...", "Export PDF...",
                                        "Recent Files", "", "Exit"}));
    EXPECT_EQ(connect.mid(0, 12), (QStringList{"Compile", "Download", "Upload", "", "COM1", "COM2",
                                               "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"}));
    EXPECT_EQ(connect.mid(12), (QStringList{"Other Port...", "Emulated Device", "",
                                            "Compare with Device...", "Verify After Download"}));
}

TEST(Palette, PicturesFollowTheirStrokes) {
    // Black pixels per code: element strokes plus link strokes, less the four they share.
    const int black[16] = {0,   58,  26,  80,  80,  134, 102, 156,
                           118, 172, 140, 194, 144, 198, 166, 220};
    for (int code = 0; code < 16; ++code) {
        const QImage img = PalettePicture(code);
        ASSERT_EQ(img.size(), QSize(40, 40));
        int n = 0, grey = 0, other = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) {
                const QRgb c = img.pixel(x, y);
                n += c == 0xFF000000;
                grey += c == kGrey;
                other += c != 0xFF000000 && c != kGrey && c != 0xFFFFFFFF;
            }
        EXPECT_EQ(n, black[code]) << code;
        EXPECT_EQ(grey, 4 - (code & 1) - ((code >> 1) & 1)) << code;
        EXPECT_EQ(other, 0);
        EXPECT_EQ(img.pixel(0, 0), kGrey);
        EXPECT_EQ(img.pixel(0, 39), kGrey);
    }
    struct Px {
        int code, x, y;
        bool black;
    };
    const Px spots[] = {
        {4, 0, 27, true},   {4, 39, 28, true},  {4, 0, 26, false},   {4, 39, 29, false},
        {1, 39, 0, true},   {1, 38, 28, true},  {1, 38, 29, false},  {2, 38, 27, true},
        {2, 39, 39, true},  {2, 38, 26, false}, {8, 13, 27, true},   {8, 14, 27, false},
        {8, 22, 28, false}, {8, 23, 27, true},  {8, 12, 20, true},   {8, 24, 35, true},
        {8, 12, 19, false}, {8, 24, 36, false}, {12, 21, 21, true},  {12, 20, 21, false},
        {12, 20, 22, true}, {12, 21, 23, true}, {12, 22, 22, false}, {12, 19, 24, true},
        {12, 15, 33, true}, {12, 16, 33, true}, {12, 15, 34, true},  {12, 16, 34, false},
        {15, 21, 21, true}, {15, 39, 39, true},
    };
    for (const auto& p : spots)
        EXPECT_EQ(PalettePicture(p.code).pixel(p.x, p.y) == 0xFF000000, p.black)
            << p.code << " at " << p.x << "," << p.y;
    // The picture of a code that is no segment differs from every valid one.
    for (int code = 0; code < 16; ++code) EXPECT_NE(InvalidPicture(), PalettePicture(code));
}

TEST_F(EditorTest, DroppingAPictureSetsTheTypeAndKeepsTheSelection) {
    window->mnuCompile_Click();  // compiled state, so the drop must undo it
    ASSERT_TRUE(Compiled());
    DropPalette(window->client().imgSegment[0], 12);
    EXPECT_EQ(state.record.SegType[0][0], 12);
    EXPECT_TRUE(state.ConfigChanged);
    EXPECT_TRUE(NotCompiled());
    EXPECT_EQ(window->client().imgSegment[0]->shown(), PalettePicture(12));
    EXPECT_TRUE(window->client().lblSeg[0]->isVisibleTo(window.get()));
    EXPECT_EQ(window->client().lblSeg[0]->text(), "I 1");

    state.record.SegInput[0][0] = 10;
    DropPalette(window->client().lblSeg[0], 4);  // on the label: same as on the picture
    EXPECT_EQ(state.record.SegType[0][0], 4);
    EXPECT_FALSE(window->client().lblSeg[0]->isVisibleTo(window.get()));
    DropPalette(window->client().imgSegment[0], 9);
    EXPECT_EQ(state.record.SegInput[0][0], 10);
    EXPECT_EQ(window->client().lblSeg[0]->text(), "P 3");
    DropPalette(window->client().imgSegment[0], 0);  // blank erases
    EXPECT_EQ(state.record.SegType[0][0], 0);

    // Something that is not a palette picture is refused.
    QMimeData text;
    text.setText(QStringLiteral("4"));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window->client().imgSegment[3], &enter);
    EXPECT_FALSE(enter.isAccepted());
}

TEST_F(EditorTest, DropsGoToTheOutputShown) {
    window->client().cboOutput->setCurrentIndex(5);
    EXPECT_EQ(window->document().output(), 5);
    DropPalette(window->client().imgSegment[17], 7);
    EXPECT_EQ(state.record.SegType[5][17], 7);
    EXPECT_EQ(state.record.SegType[0][17], 0);
    window->client().cboOutput->setCurrentIndex(0);
    EXPECT_EQ(window->client().imgSegment[17]->shown(), PalettePicture(0));
}

TEST_F(EditorTest, LabelOpensTheListWhichStoresTheChoice) {
    DropPalette(window->client().imgSegment[20], 8);
    state.ConfigChanged = false;
    window->mnuCompile_Click();
    dialogs.boxes.clear();
    QTest::mouseClick(window->client().lblSeg[20], Qt::LeftButton);
    QComboBox* list = window->client().cboSelect;
    EXPECT_TRUE(list->isVisibleTo(window.get()));
    EXPECT_EQ(list->pos(), window->client().lblSeg[20]->pos());
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_TRUE(window->client().tmrCloseCBO->isActive());
    EXPECT_EQ(window->client().tmrCloseCBO->interval(), 5000);
    EXPECT_FALSE(state.ConfigChanged);  // presetting the list is no change
    EXPECT_TRUE(Compiled());

    list->setCurrentIndex(10);
    emit list->activated(10);
    EXPECT_EQ(state.record.SegInput[0][20], 10);
    EXPECT_EQ(window->client().lblSeg[20]->text(), "P 3");
    EXPECT_FALSE(list->isVisibleTo(window.get()));
    EXPECT_FALSE(window->client().tmrCloseCBO->isActive());
    EXPECT_TRUE(state.ConfigChanged);
    EXPECT_TRUE(NotCompiled());

    QTest::mouseClick(window->client().lblSeg[20], Qt::LeftButton);
    EXPECT_EQ(list->currentIndex(), 10);
    list->setCurrentIndex(7);
    emit list->activated(7);
    EXPECT_EQ(window->client().lblSeg[20]->text(), "I 8");
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(EditorTest, ListTimesOutWithoutAChange) {
    DropPalette(window->client().imgSegment[3], 12);
    state.ConfigChanged = false;
    QTest::mouseClick(window->client().lblSeg[3], Qt::LeftButton);
    window->tmrCloseCBO_Timer();
    EXPECT_FALSE(window->client().cboSelect->isVisibleTo(window.get()));
    EXPECT_FALSE(window->client().tmrCloseCBO->isActive());
    EXPECT_FALSE(state.ConfigChanged);
    EXPECT_EQ(state.record.SegInput[0][3], 0);
}

TEST_F(EditorTest, OutputChangeLeavesTheListOpenAndTheChoiceFollowsTheOutputShown) {
    DropPalette(window->client().imgSegment[3], 12);
    QTest::mouseClick(window->client().lblSeg[3], Qt::LeftButton);
    window->client().cboOutput->setCurrentIndex(2);
    EXPECT_TRUE(window->client().cboSelect->isVisibleTo(window.get()));
    window->client().cboSelect->setCurrentIndex(5);
    emit window->client().cboSelect->activated(5);
    EXPECT_EQ(state.record.SegInput[2][3], 5);
    EXPECT_EQ(state.record.SegInput[0][3], 0);
}

TEST_F(EditorTest, ValuesOutsideTheCodesShowAsInvalidAndCanBeMended) {
    state.record.SegType[0][1] = 99;
    state.record.SegType[0][2] = 8;
    state.record.SegInput[0][2] = 40;
    state.record.SegType[0][3] = -3;
    window->ShowConfig();
    EXPECT_EQ(window->client().imgSegment[1]->shown(), InvalidPicture());
    EXPECT_EQ(window->client().imgSegment[3]->shown(), InvalidPicture());
    EXPECT_FALSE(window->client().lblSeg[3]->isVisibleTo(window.get()));
    EXPECT_EQ(window->client().lblSeg[2]->text(), "?");
    QTest::mouseClick(window->client().lblSeg[2], Qt::LeftButton);
    EXPECT_EQ(window->client().cboSelect->currentIndex(), -1);
    window->client().cboSelect->setCurrentIndex(1);
    emit window->client().cboSelect->activated(1);
    EXPECT_EQ(state.record.SegInput[0][2], 1);
    EXPECT_EQ(window->client().lblSeg[2]->text(), "I 2");
    window->cmdTest_Click();  // nothing crashes on such values
    EXPECT_EQ(dialogs.boxes.back().text, "Lumacor Input 1 Off");
}

TEST_F(EditorTest, TestPanelAgreesWithTheCompiledArray) {
    std::mt19937 rng(8);
    for (int round = 0; round < 12; ++round) {
        state.record = round % 2 ? samples::Typical(rng) : samples::DenseRandom(rng);
        ControlArray array{};
        Compile(state.record, array);
        for (int k = 0; k < 8; ++k) {
            const int output = static_cast<int>(rng() % 8);
            window->client().cboOutput->setCurrentIndex(output);
            int word = 0;
            for (int i = 0; i < 16; ++i) {
                const auto tick = static_cast<Qt::CheckState>(rng() % 3);  // grey counts as on
                window->client().chkIn[i]->setTristate(true);
                window->client().chkIn[i]->setCheckState(tick);
                if (tick != Qt::Unchecked) word |= 1 << i;
            }
            window->cmdTest_Click();
            EXPECT_EQ(window->client().TickedInputs(), word);
            const bool on = (array[word] >> output) & 1;
            const Box& box = dialogs.boxes.back();
            EXPECT_EQ(box.text,
                      QStringLiteral("Lumacor Input %1 %2").arg(output + 1).arg(on ? "On" : "Off"));
            EXPECT_EQ(box.title, kAppTitle);
            EXPECT_EQ(box.buttons, Buttons::Ok);
            EXPECT_EQ(box.icon, Icon::None);
            EXPECT_EQ(window->view().outputShown(), on);
        }
    }
}

TEST_F(EditorTest, TestLightsTheCircuitUntilTheNextEditAndChangesNothing) {
    // Row 0: normally open on I1, then wires; row 1: an island of wires.
    DropPalette(window->client().imgSegment[0], 8);
    for (int s = 1; s < 16; ++s) DropPalette(window->client().imgSegment[s], 4);
    DropPalette(window->client().imgSegment[20], 4);
    window->mnuCompile_Click();
    state.ConfigChanged = false;
    const Config before = state.record;
    window->client().chkIn[0]->setChecked(true);
    window->cmdTest_Click();
    EXPECT_EQ(dialogs.boxes.back().text, "Lumacor Input 1 On");
    EXPECT_TRUE(window->view().supplyShown());
    EXPECT_TRUE(window->view().outputShown());
    EXPECT_NE(window->client().imgSegment[5]->shown(), PalettePicture(4));   // drawn lit
    EXPECT_EQ(window->client().imgSegment[20]->shown(), PalettePicture(4));  // not reached
    EXPECT_EQ(state.record, before);
    EXPECT_FALSE(state.ConfigChanged);
    EXPECT_TRUE(Compiled());

    window->client().chkIn[0]->setChecked(false);
    window->cmdTest_Click();
    EXPECT_EQ(dialogs.boxes.back().text, "Lumacor Input 1 Off");
    EXPECT_FALSE(window->view().outputShown());
    EXPECT_EQ(window->client().imgSegment[5]->shown(), PalettePicture(4));

    window->client().chkIn[0]->setChecked(true);
    window->cmdTest_Click();
    window->client().cboOutput->setCurrentIndex(1);  // an output change clears the picture
    EXPECT_FALSE(window->view().supplyShown());
    window->client().cboOutput->setCurrentIndex(0);
    EXPECT_EQ(window->client().imgSegment[5]->shown(), PalettePicture(4));
    window->cmdTest_Click();
    DropPalette(window->client().imgSegment[40], 4);  // so does an edit
    EXPECT_FALSE(window->view().supplyShown());
    EXPECT_EQ(window->client().imgSegment[5]->shown(), PalettePicture(4));
}

TEST_F(EditorTest, EnterInTheTestFramePressesTest) {
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->client().chkIn[3]->setFocus();
    QTest::keyClick(window->client().chkIn[3], Qt::Key_Return);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes.back().text, "Lumacor Input 1 Off");
}

TEST_F(EditorTest, CompileFillsTheArrayAndSwitchesTheMenus) {
    std::mt19937 rng(21);
    state.record = samples::Typical(rng);
    state.ConfigChanged = true;
    const Config before = state.record;
    window->client().cboOutput->setCurrentIndex(4);
    std::vector<int> steps;
    QObject::connect(window->client().prgCompile, &QProgressBar::valueChanged,
                     [&](int v) { steps.push_back(v); });
    bool barShownDuringBox = false;
    dialogs.onMessage = [&](const Box&) {
        barShownDuringBox =
            window->client().prgCompile->isVisibleTo(window.get()) && window->client().prgCompile->value() == 256;
    };
    window->mnuCompile_Click();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    const Box& box = dialogs.boxes[0];
    EXPECT_EQ(box.title, "Compile");
    EXPECT_EQ(box.buttons, Buttons::Ok);
    EXPECT_EQ(box.icon, Icon::None);
    const QStringList lines = box.text.split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], "Complete");
    EXPECT_FALSE(lines[1].isEmpty());
    EXPECT_FALSE(lines[2].isEmpty());
    EXPECT_TRUE(barShownDuringBox);
    EXPECT_FALSE(window->client().prgCompile->isVisibleTo(window.get()));
    // The bar is set to 0, then steps through 1..256.
    std::vector<int> wantSteps(257);
    std::iota(wantSteps.begin(), wantSteps.end(), 0);
    EXPECT_EQ(steps, wantSteps);
    EXPECT_TRUE(Compiled());
    EXPECT_EQ(window->document().output(), 4);
    EXPECT_TRUE(state.ConfigChanged);
    EXPECT_EQ(state.record, before);
    ControlArray want{};
    Compile(before, want);
    EXPECT_EQ(state.controlArray, want);
}

TEST_F(EditorTest, ComMenuChecksOneItem) {
    window->menus.mnuCOM[2]->trigger();
    EXPECT_EQ(state.ComPortNumber, 3);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(window->menus.mnuCOM[i]->isChecked(), i == 2);
}

}  // namespace
}  // namespace zez::test

namespace zez::test {
namespace {

TEST_F(EditorTest, PicturesStayCrispAtWholePixelRatios) {
    DropPalette(window->client().imgSegment[0], 14);
    const QImage picture = PalettePicture(14);
    for (int ratio : {1, 2, 3}) {
        QImage canvas(40 * ratio, 40 * ratio, QImage::Format_RGB32);
        canvas.setDevicePixelRatio(ratio);
        canvas.fill(Qt::blue);
        window->client().imgSegment[0]->render(&canvas);
        int wrong = 0;
        for (int y = 0; y < canvas.height(); ++y)
            for (int x = 0; x < canvas.width(); ++x)
                wrong += canvas.pixel(x, y) != picture.pixel(x / ratio, y / ratio);
        EXPECT_EQ(wrong, 0) << "ratio " << ratio;
    }
}

}  // namespace
}  // namespace zez::test
