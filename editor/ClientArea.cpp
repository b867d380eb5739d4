#include "editor/ClientArea.h"

#include "editor/Fonts.h"
#include "editor/HelpWindow.h"

#include <QKeyEvent>
#include <QPainter>
#include <QShortcut>
#include <QStringList>

#include "compiler/Compiler.h"
#include "compiler/LogicGrid.h"
#include "config/DiagramText.h"

namespace zez {
namespace {

QFont ClassicFont(bool bold) {
    QFont f = ClassicSans(8.25);
    f.setBold(bold);
    return f;
}

// What palette picture `code` places and the keys that make it on the grid.
QString PaletteTip(int code) {
    static const char* const kElements[] = {"", "Wire", "Normally open contact",
                                            "Normally closed contact"};
    static const char* const kKeys[] = {"", "W", "C", "N"};
    const int element = code >> 2;
    const bool up = code & kLinkUp, down = code & kLinkDown;
    QStringList keys;
    if (element > 0) keys << QString::fromLatin1(kKeys[element]);
    if (up) keys << QStringLiteral("U");
    if (down) keys << QStringLiteral("D");
    const QString links = QString::fromStdString(LinkWords(code));
    QString what = QString::fromLatin1(kElements[element]);
    if (element == 0)
        what = up || down ? links.left(1).toUpper() + links.mid(1) : QStringLiteral("Blank");
    else if (up || down)
        what += QStringLiteral(" with ") + links;
    if (code == 0) keys << QStringLiteral("Del");
    return QStringLiteral(
               "%1 (keys: %2). Drag onto a segment, or click to place it with each "
               "click.")
        .arg(what, keys.join(QStringLiteral(", ")));
}

}  // namespace

RailLine::RailLine(QWidget* parent, QRect line) : QWidget(parent) {
    setGeometry(line);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    SetLit(false);
}

void RailLine::SetLit(bool lit) {
    lit_ = lit;
    update();
}

void RailLine::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), lit_ ? QColor(255, 0, 0) : QColor(0, 0, 0));
}

ClientScroll::ClientScroll(QWidget* client, QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setWidget(client);
}

QSize ClientScroll::sizeHint() const {
    return widget()->size();  // not bounded as a scroll area's own hint is
}

GridFocus::GridFocus(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Diagram"));
}

void GridFocus::keyPressEvent(QKeyEvent* event) {
    bool used = false;
    emit KeyPressed(event->key(), event->modifiers(), &used);
    if (!used) QWidget::keyPressEvent(event);
}

void GridFocus::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    emit FocusChanged(true);
}

void GridFocus::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    emit FocusChanged(false);
}

ClientArea::ClientArea(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::ClickFocus);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(ClassicFont(false));
    for (int k = 0; k < 16; ++k) {
        imgSelect[k] = new PaletteItem(k, this);
        imgSelect[k]->setGeometry(16 + 48 * (k % 2), 8 + 48 * (k / 2), 40, 40);
        imgSelect[k]->setToolTip(PaletteTip(k));
    }
    // Under the pictures, which it takes the keys for.
    grid = new GridFocus(this);
    grid->setGeometry(120, 8, 640, 640);
    for (int s = 0; s < kSegments; ++s) {
        imgSegment[s] = new SegmentPicture(s, this);
        imgSegment[s]->setGeometry(120 + 40 * (s % 16), 8 + 40 * (s / 16), 40, 40);
        connect(imgSegment[s], &SegmentPicture::DraggedTo, this, [this](QPoint global) {
            const QPoint at = mapFromGlobal(global) - QPoint(120, 8);
            if (at.x() < 0 || at.y() < 0 || at.x() >= 640 || at.y() >= 640) return;
            emit DraggedTo(at.x() / 40 + 16 * (at.y() / 40));
        });
    }
    for (int s = 0; s < kSegments; ++s) {
        lblSeg[s] = new SegmentLabel(s, this);
        lblSeg[s]->setGeometry(127 + 40 * (s % 16), 12 + 40 * (s / 16), 24, 15);
        lblSeg[s]->setFont(ClassicFont(true));
        lblSeg[s]->setAutoFillBackground(true);
        lblSeg[s]->hide();
    }

    cboOutput = new QComboBox(this);
    cboOutput->setGeometry(788, 374, 81, 21);
    for (int n = 1; n <= 8; ++n) cboOutput->addItem(QStringLiteral("LC Input %1").arg(n));
    cboSelect = new QComboBox(this);
    cboSelect->setGeometry(0, 0, 65, 21);
    for (int n = 1; n <= 8; ++n) cboSelect->addItem(QStringLiteral("Input %1").arg(n));
    for (int n = 1; n <= 8; ++n) cboSelect->addItem(QStringLiteral("Pilot %1").arg(n));
    cboSelect->hide();
    tmrCloseCBO = new QTimer(this);
    tmrCloseCBO->setInterval(5000);

    Frame1 = new QGroupBox(QStringLiteral("Test"), this);
    Frame1->setGeometry(8, 416, 105, 233);
    for (int k = 0; k < 16; ++k) {
        const bool pilot = k >= 8;
        chkIn[k] = new QCheckBox(
            pilot ? QStringLiteral("P%1").arg(k - 7) : QStringLiteral("I%1").arg(k + 1), Frame1);
        chkIn[k]->setGeometry(pilot ? 64 : 16, 16 + 24 * (k % 8), 33, 17);
    }
    cmdTest = new QPushButton(QStringLiteral("&Test"), Frame1);
    cmdTest->setGeometry(16, 208, 73, 17);
    cmdTest->setDefault(true);
    // Enter anywhere in the test frame presses Test.
    for (auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* enter = new QShortcut(QKeySequence(key), Frame1);
        enter->setContext(Qt::WidgetWithChildrenShortcut);
        connect(enter, &QShortcut::activated, this, [this] { emit TestRequested(); });
    }

    linIO[0] = new RailLine(this, QRect(121, 8, 1, 641));
    linIO[1] = new RailLine(this, QRect(759, 8, 1, 641));
    linIO[2] = new RailLine(this, QRect(760, 384, 29, 1));

    prgCompile = new QProgressBar(this);
    prgCompile->setGeometry(8, 664, 865, 17);
    prgCompile->setRange(0, kProgressSteps);
    prgCompile->setTextVisible(false);
    prgCompile->hide();
    lblComPrg = new QLabel(this);
    lblComPrg->setGeometry(768, 8, 105, 17);
    lblComPrg->hide();

    // Where F1 leads from each part of the window.
    auto topic = [](QWidget* w, const char* t) {
        w->setProperty(kHelpTopic, QString::fromLatin1(t));
    };
    for (PaletteItem* p : imgSelect) topic(p, "drawing.md#The palette");
    topic(this, "drawing.md#Editing on the grid");  // the grid and the segments, its children
    for (SegmentLabel* l : lblSeg) topic(l, "drawing.md#Choosing a contact's input");
    topic(cboSelect, "drawing.md#Choosing a contact's input");
    topic(cboOutput, "drawing.md#Choosing the output");
    topic(Frame1, "testing.md#The Test frame");
}

void ClientArea::OpenInputList(int index, int sel) {
    listArming = true;
    cboSelect->move(lblSeg[index]->pos());
    cboSelect->show();
    cboSelect->setCurrentIndex(IsValidSelection(sel) ? sel : -1);
    listArming = false;
    cboSelect->raise();
    cboSelect->setFocus();
    tmrCloseCBO->start();
}

void ClientArea::ShowCaption(const QString& caption) {
    lblComPrg->setText(caption);
    lblComPrg->setVisible(!caption.isEmpty());
    lblComPrg->repaint();
}

void ClientArea::ShowProgress(int step) {
    prgCompile->setValue(step);
    prgCompile->show();
    prgCompile->repaint();
}

void ClientArea::CloseInputList() {
    cboSelect->hide();
    tmrCloseCBO->stop();
}

int32_t ClientArea::TickedInputs() const {
    int32_t inputs = 0;
    for (int i = 0; i < 16; ++i)
        if (chkIn[i]->checkState() != Qt::Unchecked) inputs += InputBit(i);
    return inputs;
}

}  // namespace zez
