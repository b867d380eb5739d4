#include "editor/MainWindow.h"

#include <QActionGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QLocale>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QScreen>
#include <QShortcut>
#include <QThread>

#include "config/CdfFile.h"
#include "export/DiagramDrawing.h"
#include "notes/FrmNotes.h"

namespace zez {

// The client area below the menu bar.
class ClientArea : public QWidget {
  public:
    explicit ClientArea(QWidget* parent) : QWidget(parent) { setFocusPolicy(Qt::ClickFocus); }
};

// linIO(k): a one-pixel line, drawn above the segment pictures it runs along.
class RailLine : public QWidget {
  public:
    RailLine(QWidget* parent, QRect line) : QWidget(parent) {
        setGeometry(line);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        SetLit(false);
    }
    void SetLit(bool lit) {
        lit_ = lit;
        update();
    }
    bool lit() const { return lit_; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), lit_ ? QColor(255, 0, 0) : QColor(0, 0, 0));
    }

  private:
    bool lit_ = false;
};

namespace {

QFont ClassicFont(bool bold) {
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(8.25);
    f.setBold(bold);
    return f;
}

QString NowText() {
    const QLocale locale = QLocale::system();
    return locale.toString(QDateTime::currentDateTime(),
                           locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') +
                               locale.timeFormat(QLocale::LongFormat));
}

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

const QString FrmZezUdiMain::kFilter =
    QStringLiteral("Lumacor Zaruzizivav Data Files (*.CDF)|*.CDF|All Files (*.*)|*.*");

QString FrmZezUdiMain::DefaultDialogName() {
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\Brantel Lumacor\\*.CDF");
#else
    return QDir::homePath() + QStringLiteral("/Brantel Lumacor/*.CDF");
#endif
}

FrmZezUdiMain::FrmZezUdiMain(ProgramState& state, Dialogs& dialogs, DeviceAccess device,
                             QWidget* parent)
    : QMainWindow(parent),
      state_(state),
      dialogs_(dialogs),
      device_(std::move(device)),
      grid_(&picTest_) {
    setWindowTitle(kMainCaption);
    doc_ = new Document(state_, this);
    connect(doc_, &Document::Changed, this, [this](int output) { OnDocumentChanged(output); });
    BuildMenus();
    BuildClient();
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    // Start-up.
    fileName_ = QStringLiteral("None");
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - frameGeometry().width()) / 2,
             area.y() + (area.height() - frameGeometry().height()) / 2);
    }
    cboSelect_->clear();
    for (int n = 1; n <= 8; ++n) cboSelect_->addItem(QStringLiteral("Input %1").arg(n));
    for (int n = 1; n <= 8; ++n) cboSelect_->addItem(QStringLiteral("Pilot %1").arg(n));
    for (int n = 1; n <= 8; ++n) cboOutput_->addItem(QStringLiteral("LC Input %1").arg(n));
    cboOutput_->setCurrentIndex(0);
    cboOutput_Click();
    connect(cboOutput_, &QComboBox::currentIndexChanged, this, [this] { cboOutput_Click(); });
    ShowConfig();
    SetNotCompiled();
    state_.ComPortNumber = 1;
    mnuCOM_[0]->setChecked(true);
    RefreshPorts();
}

FrmZezUdiMain::~FrmZezUdiMain() = default;

QWidget* FrmZezUdiMain::clientArea() const {
    return client_;
}

void FrmZezUdiMain::BuildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    mnuNew_ = file->addAction(QStringLiteral("&New"), this, [this] { mnuNew_Click(); });
    mnuNew_->setShortcut(QKeySequence::New);
    mnuOpen_ = file->addAction(QStringLiteral("&Open"), this, [this] { mnuOpen_Click(); });
    mnuOpen_->setShortcut(QKeySequence::Open);
    mnuSave_ = file->addAction(QStringLiteral("&Save"), this, [this] { mnuSave_Click(); });
    mnuSave_->setShortcut(QKeySequence::Save);
    mnuSaveAs_ = file->addAction(QStringLiteral("Save &As"), this, [this] { mnuSaveAs_Click(); });
    mnuSaveAs_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    // Added after the program's own items, before Exit.
    file->addSeparator();
    mnuPrintPreview_ = file->addAction(QStringLiteral("Print Pre&view..."), this,
                                       [this] { mnuPrint_Click(true); });
    mnuPrint_ =
        file->addAction(QStringLiteral("&Print..."), this, [this] { mnuPrint_Click(false); });
    mnuPrint_->setShortcut(QKeySequence::Print);
    mnuExportPdf_ =
        file->addAction(QStringLiteral("&Export PDF..."), this, [this] { mnuExportPdf_Click(); });
    mnuRecent_ = file->addMenu(QStringLiteral("&Recent Files"));
    connect(mnuRecent_, &QMenu::aboutToShow, this, [this] { FillRecentMenu(); });
    FillRecentMenu();
    file->addSeparator();
    mnuExit_ = file->addAction(QStringLiteral("E&xit"), this, [this] { mnuExit_Click(); });
    mnuExit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* connectMenu = menuBar()->addMenu(QStringLiteral("&Connect"));
    mnuCompile_ =
        connectMenu->addAction(QStringLiteral("&Compile"), this, [this] { mnuCompile_Click(); });
    mnuDownload_ =
        connectMenu->addAction(QStringLiteral("&Download"), this, [this] { mnuDownload_Click(); });
    mnuUpload_ =
        connectMenu->addAction(QStringLiteral("&Upload"), this, [this] { mnuUpload_Click(); });
    connect(connectMenu, &QMenu::aboutToShow, this, [this] { RefreshPorts(); });
    connectMenu->addSeparator();
    auto* ports = new QActionGroup(this);
    ports->setExclusive(true);
    for (int i = 0; i < 8; ++i) {
        mnuCOM_[i] = connectMenu->addAction(QStringLiteral("COM%1").arg(i + 1), this,
                                            [this, i] { mnuCOM_Click(i); });
        mnuCOM_[i]->setCheckable(true);
        ports->addAction(mnuCOM_[i]);
    }
    // Added after the program's own items.
    mnuOtherPort_ = connectMenu->addAction(QStringLiteral("&Other Port..."), this,
                                           [this] { mnuOtherPort_Click(); });
    mnuEmulated_ = connectMenu->addAction(QStringLiteral("&Emulated Device"), this,
                                          [this] { SelectEmulated(); });
    for (QAction* a : {mnuOtherPort_, mnuEmulated_}) {
        a->setCheckable(true);
        ports->addAction(a);
    }
    connectMenu->addSeparator();
    mnuCompare_ = connectMenu->addAction(QStringLiteral("Compare &with Device..."), this,
                                         [this] { mnuCompare_Click(); });
    mnuVerifyAfter_ = connectMenu->addAction(QStringLiteral("&Verify After Download"));
    mnuVerifyAfter_->setCheckable(true);
    connect(mnuVerifyAfter_, &QAction::toggled, this, [this](bool on) {
        if (session_) session_->SetValue(QStringLiteral("verifyAfterDownload"), on ? "1" : "0");
    });
    mnuNotes_ = menuBar()->addAction(QStringLiteral("&Notes"), this, [this] { mnuNotes_Click(); });

    // Added after the menus the program has always had.
    BuildEditMenu();
    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    mnuLogic_ = tools->addAction(QStringLiteral("&Logic"), this, [this] { mnuLogic_Click(); });
    mnuLogic_->setShortcut(QKeySequence(Qt::Key_F6));
}

void FrmZezUdiMain::BuildClient() {
    client_ = new ClientArea(this);
    client_->setFixedSize(kClientWidth, kClientHeight);
    client_->setFont(ClassicFont(false));
    setCentralWidget(client_);

    for (int k = 0; k < 16; ++k) {
        imgSelect_[k] = new PaletteItem(k, client_);
        imgSelect_[k]->setGeometry(16 + 48 * (k % 2), 8 + 48 * (k / 2), 40, 40);
        imgSelect_[k]->setToolTip(
            QStringLiteral("Drag onto a segment, or click to place it with each click"));
        connect(imgSelect_[k], &PaletteItem::ClickedWithoutDrop, this,
                [this](int code) { imgSelect_Clicked(code); });
    }
    for (int s = 0; s < kSegments; ++s) {
        imgSegment_[s] = new SegmentPicture(s, client_);
        imgSegment_[s]->setGeometry(120 + 40 * (s % 16), 8 + 40 * (s / 16), 40, 40);
        connect(imgSegment_[s], &SegmentPicture::Dropped, this,
                [this](int index, int code) { imgSegment_DragDrop(index, code); });
        connect(imgSegment_[s], &SegmentPicture::Pressed, this,
                [this](int index, Qt::KeyboardModifiers m) { segment_Pressed(index, m); });
        connect(imgSegment_[s], &SegmentPicture::DraggedTo, this, [this](QPoint global) {
            const QPoint at = client_->mapFromGlobal(global) - QPoint(120, 8);
            if (at.x() < 0 || at.y() < 0 || at.x() >= 640 || at.y() >= 640) return;
            SelectTo(at.x() / 40 + 16 * (at.y() / 40));
        });
    }
    for (int s = 0; s < kSegments; ++s) {
        lblSeg_[s] = new SegmentLabel(s, client_);
        lblSeg_[s]->setGeometry(127 + 40 * (s % 16), 12 + 40 * (s / 16), 24, 15);
        lblSeg_[s]->setFont(ClassicFont(true));
        lblSeg_[s]->setAutoFillBackground(true);
        lblSeg_[s]->hide();
        connect(lblSeg_[s], &SegmentLabel::Dropped, this,
                [this](int index, int code) { imgSegment_DragDrop(index, code); });
        connect(lblSeg_[s], &SegmentLabel::Clicked, this,
                [this](int index) { lblSeg_Click(index); });
    }

    cboOutput_ = new QComboBox(client_);
    cboOutput_->setGeometry(788, 374, 81, 21);
    cboSelect_ = new QComboBox(client_);
    cboSelect_->setGeometry(0, 0, 65, 21);
    cboSelect_->hide();
    connect(cboSelect_, &QComboBox::activated, this, [this] { cboSelect_Click(); });
    tmrCloseCBO_ = new QTimer(this);
    tmrCloseCBO_->setInterval(5000);
    connect(tmrCloseCBO_, &QTimer::timeout, this, [this] { tmrCloseCBO_Timer(); });

    frame1_ = new QGroupBox(QStringLiteral("Test"), client_);
    frame1_->setGeometry(8, 416, 105, 233);
    for (int k = 0; k < 16; ++k) {
        const bool pilot = k >= 8;
        chkIn_[k] = new QCheckBox(
            pilot ? QStringLiteral("P%1").arg(k - 7) : QStringLiteral("I%1").arg(k + 1), frame1_);
        chkIn_[k]->setGeometry(pilot ? 64 : 16, 16 + 24 * (k % 8), 33, 17);
    }
    cmdTest_ = new QPushButton(QStringLiteral("&Test"), frame1_);
    cmdTest_->setGeometry(16, 208, 73, 17);
    cmdTest_->setDefault(true);
    connect(cmdTest_, &QPushButton::clicked, this, [this] { cmdTest_Click(); });
    // Enter anywhere in the test frame presses Test.
    for (auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* enter = new QShortcut(QKeySequence(key), frame1_);
        enter->setContext(Qt::WidgetWithChildrenShortcut);
        connect(enter, &QShortcut::activated, this, [this] { cmdTest_Click(); });
    }

    linIO_[0] = new RailLine(client_, QRect(121, 8, 1, 641));
    linIO_[1] = new RailLine(client_, QRect(759, 8, 1, 641));
    linIO_[2] = new RailLine(client_, QRect(760, 384, 29, 1));

    prgCompile_ = new QProgressBar(client_);
    prgCompile_->setGeometry(8, 664, 865, 17);
    prgCompile_->setRange(0, kProgressSteps);
    prgCompile_->setTextVisible(false);
    prgCompile_->hide();
    lblComPrg_ = new QLabel(client_);
    lblComPrg_->setGeometry(768, 8, 105, 17);
    lblComPrg_->hide();

    for (auto* box : chkIn_) connect(box, &QCheckBox::toggled, this, [this] { RefreshLogic(); });
}

void FrmZezUdiMain::mnuLogic_Click() {
    if (!logicView_) {
        logicView_ = new LogicView(this);
        // Beside the main window where the screen has room, else over its right part.
        QPoint at = frameGeometry().topRight() + QPoint(8, 0);
        if (const QScreen* screen = this->screen()) {
            const QRect area = screen->availableGeometry();
            at.setX(std::min(at.x(), area.right() - logicView_->width()));
            at.setY(std::max(area.top(), std::min(at.y(), area.bottom() - logicView_->height())));
        }
        logicView_->move(at);
        connect(logicView_, &LogicView::Shown, this, [this] { ShowFindings(); });
        connect(logicView_, &LogicView::Hidden, this, [this] {
            for (auto* seg : imgSegment_) seg->SetFinding({});
        });
    }
    logicView_->show();
    logicView_->raise();
    logicView_->activateWindow();
    RefreshLogic();
}

void FrmZezUdiMain::RefreshLogic() {
    if (!logicView_ || !logicView_->isVisible()) return;
    int32_t inputs = 0;
    for (int i = 0; i < 16; ++i)
        if (chkIn_[i]->checkState() != Qt::Unchecked) inputs += InputBit(i);
    logicView_->Request(state_.record, curOutput_, inputs);
}

void FrmZezUdiMain::ShowFindings() {
    const LogicReport& r = logicView_->shown();
    std::array<QString, kSegments> reasons;
    if (r.output == curOutput_)
        for (const auto& f : r.findings)
            if (f.segment >= 0)
                reasons[static_cast<std::size_t>(f.segment)] =
                    QString::fromStdString(FindingReason(f.kind));
    for (int s = 0; s < kSegments; ++s)
        imgSegment_[s]->SetFinding(reasons[static_cast<std::size_t>(s)]);
}

void FrmZezUdiMain::SetNotCompiled() {
    mnuCompile_->setEnabled(true);
    mnuDownload_->setEnabled(false);
}

void FrmZezUdiMain::ShowConfig() {
    ClearEnergised();
    for (int s = 0; s < kSegments; ++s) {
        const int t = state_.record.SegType[curOutput_][s];
        imgSegment_[s]->SetCode(t);
        if (t < 8) {
            lblSeg_[s]->hide();
            continue;
        }
        // A stored type above 15 is no contact, but its selection is still worth seeing.
        lblSeg_[s]->setText(
            QString::fromStdString(InputLabel(state_.record.SegInput[curOutput_][s])));
        lblSeg_[s]->show();
        lblSeg_[s]->raise();
    }
    for (auto* line : linIO_) line->raise();
    if (cboSelect_->isVisible()) cboSelect_->raise();
    ShowMarks();
    RefreshLogic();
}

void FrmZezUdiMain::cboOutput_Click() {
    curOutput_ = std::max(0, cboOutput_->currentIndex());
    ShowConfig();
}

void FrmZezUdiMain::imgSegment_DragDrop(int index, int code) {
    const int output = curOutput_;
    doc_->Edit(output, QStringLiteral("Drop"),
               [&](Config& c) { c.SegType[output][index] = static_cast<int16_t>(code); });
}

void FrmZezUdiMain::OnDocumentChanged(int output) {
    if (output != curOutput_)
        cboOutput_->setCurrentIndex(output);  // shows it
    else
        ShowConfig();
    SetNotCompiled();
}

void FrmZezUdiMain::lblSeg_Click(int index) {
    // With a palette picture armed, a click on the label places it like a drop on the label.
    if (armed_ >= 0) {
        imgSegment_DragDrop(index, armed_);
        return;
    }
    selectArming_ = true;
    curSegment_ = index;
    cboSelect_->move(lblSeg_[index]->pos());
    cboSelect_->show();
    const int sel = state_.record.SegInput[curOutput_][index];
    cboSelect_->setCurrentIndex(IsValidSelection(sel) ? sel : -1);
    selectArming_ = false;
    cboSelect_->raise();
    cboSelect_->setFocus();
    tmrCloseCBO_->start();
}

void FrmZezUdiMain::cboSelect_Click() {
    if (selectArming_) return;
    const int sel = cboSelect_->currentIndex();
    if (sel < 0) return;
    cboSelect_->hide();
    tmrCloseCBO_->stop();
    const int output = curOutput_, seg = curSegment_;
    doc_->Edit(output, QStringLiteral("Choose Input"),
               [&](Config& c) { c.SegInput[output][seg] = static_cast<int16_t>(sel); });
}

void FrmZezUdiMain::tmrCloseCBO_Timer() {
    cboSelect_->hide();
    tmrCloseCBO_->stop();
}

void FrmZezUdiMain::ClearEnergised() {
    if (!supplyShown_) return;
    supplyShown_ = outputShown_ = false;
    for (auto* seg : imgSegment_) seg->SetEnergised({});
    for (auto* line : linIO_) line->SetLit(false);
}

void FrmZezUdiMain::ShowEnergised(bool on) {
    auto lit = [this](int x, int y) { return picTest_.GetPixel(x, y) == kColourRed; };
    for (int s = 0; s < kSegments; ++s) {
        const int x = BlockX(s);
        const int y = BlockY(s);
        imgSegment_[s]->SetEnergised(
            {lit(x, y + 1), lit(x + 1, y + 1), lit(x + 1, y), lit(x + 1, y + 2)});
    }
    supplyShown_ = true;
    outputShown_ = on;
    linIO_[0]->SetLit(true);
    linIO_[1]->SetLit(on);
    linIO_[2]->SetLit(on);
}

void FrmZezUdiMain::cmdTest_Click() {
    ClearEnergised();
    grid_.bUseMem = false;
    picTest_.Clear();
    lInputs_ = 0;
    for (int i = 0; i < 16; ++i)
        if (chkIn_[i]->checkState() != Qt::Unchecked) lInputs_ += InputBit(i);
    grid_.LogicLoad(state_.record, curOutput_, lInputs_);
    grid_.LogicTest();
    const bool on = picTest_.GetPixel(34, 1) == kColourRed;
    ShowEnergised(on);
    dialogs_.Message(QStringLiteral("Lumacor Input %1%2")
                         .arg(curOutput_ + 1)
                         .arg(on ? QStringLiteral(" On") : QStringLiteral(" Off")),
                     kAppTitle, Buttons::Ok, Icon::None);
}

void FrmZezUdiMain::mnuCompile_Click() {
    const QString start = NowText();
    prgCompile_->setValue(0);
    prgCompile_->show();
    prgCompile_->repaint();
    Compile(state_.record, state_.controlArray, Engine::Fast, [this](int step) {
        prgCompile_->setValue(step);
        prgCompile_->repaint();
    });
    const QString end = NowText();
    dialogs_.Message(QStringLiteral("Complete\r\n") + start + QStringLiteral("\r\n") + end,
                     QStringLiteral("Compile"), Buttons::Ok, Icon::None);
    prgCompile_->hide();
    mnuCompile_->setEnabled(false);
    mnuDownload_->setEnabled(true);
}

void FrmZezUdiMain::mnuCOM_Click(int index) {
    for (int i = 0; i < 8; ++i) mnuCOM_[i]->setChecked(i == index);
    state_.ComPortNumber = index + 1;
    portKind_ = PortKind::Com;
    RememberPort();
}

void FrmZezUdiMain::CheckPortItem() {
    for (int i = 0; i < 8; ++i)
        mnuCOM_[i]->setChecked(portKind_ == PortKind::Com && i + 1 == state_.ComPortNumber);
    mnuOtherPort_->setChecked(portKind_ == PortKind::Other);
    mnuEmulated_->setChecked(portKind_ == PortKind::Emulated);
    mnuOtherPort_->setText(portKind_ == PortKind::Other ? QStringLiteral("&Other Port...\t") +
                                                              QString::fromStdString(otherPort_)
                                                        : QStringLiteral("&Other Port..."));
}

void FrmZezUdiMain::RememberPort() {
    CheckPortItem();
    if (!session_) return;
    QString value = QStringLiteral("com:%1").arg(state_.ComPortNumber);
    if (portKind_ == PortKind::Other)
        value = QStringLiteral("path:") + QString::fromStdString(otherPort_);
    if (portKind_ == PortKind::Emulated) value = QStringLiteral("emulated");
    session_->SetValue(QStringLiteral("port"), value);
}

void FrmZezUdiMain::mnuOtherPort_Click() {
    const QString path = dialogs_.AskText(
        QStringLiteral("Serial port (a path such as /dev/ttyUSB0 or /dev/pts/3, or a name such "
                       "as COM9):"),
        QStringLiteral("Other Port"), QString::fromStdString(otherPort_));
    if (path.isEmpty()) {
        CheckPortItem();  // the choice stays what it was
        return;
    }
    SelectPortPath(path);
}

void FrmZezUdiMain::SelectPortPath(const QString& path) {
    RefreshPorts();
    for (int i = 0; i < 8 && i < static_cast<int>(ports_.size()); ++i)
        if (ports_[static_cast<std::size_t>(i)].first == path.toStdString()) return mnuCOM_Click(i);
    otherPort_ = path.toStdString();
    portKind_ = PortKind::Other;
    RememberPort();
}

void FrmZezUdiMain::SelectEmulated() {
    // A device inside the program, so that download, upload and compare can be tried without
    // hardware; it keeps what it was sent until the program ends.
    if (!emulator_) emulator_ = std::make_unique<device::DeviceEmulator>();
    portKind_ = PortKind::Emulated;
    RememberPort();
}

QString FrmZezUdiMain::CurrentPortName() const {
    switch (portKind_) {
        case PortKind::Emulated:
            return QStringLiteral("Emulated device");
        case PortKind::Other:
            return QString::fromStdString(otherPort_);
        case PortKind::Com:
            break;
    }
    return QString::fromStdString(PortForMenuEntry());
}

void FrmZezUdiMain::mnuCompare_Click() {
    Compare(true);
}

void FrmZezUdiMain::Compare(bool ask) {
    if (ask &&
        dialogs_.Message(QStringLiteral("Power Cycle Device Prior To Compare.\r\n"
                                        "Device Node Must Be 00\r\nContinue?"),
                         QStringLiteral("Compare"), Buttons::YesNo, Icon::None) == Answer::No)
        return;
    ControlArray array{};
    Compile(state_.record, array);
    const Config config = state_.record;
    lblComPrg_->setText(QStringLiteral("Block 0 of 288"));
    lblComPrg_->show();
    lblComPrg_->repaint();
    device::VerifyResult v;
    const auto r = RunTransfer(
        [&](device::Link& link, const std::string& port, const device::CaptionFn& caption) {
            v = device::Verify(link, port, array, config, false, caption);
            return v.transfer;
        });
    lblComPrg_->hide();
    if (r.outcome != device::Outcome::Complete) {
        ReportTransfer(r, QStringLiteral("Compare"), QString(), QStringLiteral("Compare Failed."));
        return;
    }
    QStringList lines;
    for (const auto& line : device::VerifyReport(v)) lines << QString::fromStdString(line);
    dialogs_.Message(v.match ? QStringLiteral("The device holds this configuration, its control "
                                              "array and its note.")
                             : QStringLiteral("The device holds something else:\r\n") +
                                   lines.join(QStringLiteral("\r\n")),
                     QStringLiteral("Compare"), Buttons::Ok,
                     v.match ? Icon::Information : Icon::Warning);
}

void FrmZezUdiMain::mnuNotes_Click() {
    FrmNotes notes(
        state_.record.NoteData, state_.ConfigChanged, [this] { SetNotCompiled(); }, dialogs_, this);
    notes.exec();
}

void FrmZezUdiMain::RefreshPorts() {
    if (!device_.listPorts) return;
    ports_ = device_.listPorts();
    for (int i = 0; i < 8; ++i) {
        QString caption = QStringLiteral("COM%1").arg(i + 1);
        if (i < static_cast<int>(ports_.size())) {
            const auto& [path, what] = ports_[static_cast<std::size_t>(i)];
            caption += QLatin1Char('\t') + QString::fromStdString(path);
            if (!what.empty()) caption += QStringLiteral(" (%1)").arg(QString::fromStdString(what));
        } else {
            caption += QStringLiteral("\t(no port)");
        }
        mnuCOM_[i]->setText(caption);
    }
}

std::string FrmZezUdiMain::PortForMenuEntry() const {
    const auto n = static_cast<std::size_t>(state_.ComPortNumber - 1);
    return n < ports_.size() ? ports_[n].first : std::string();
}

device::TransferResult FrmZezUdiMain::RunTransfer(
    const std::function<device::TransferResult(device::Link&, const std::string&,
                                               const device::CaptionFn&)>& transfer) {
    device::TransferResult result;
    const bool emulated = portKind_ == PortKind::Emulated && emulator_;
    const std::string port = emulated                       ? std::string("emulated")
                             : portKind_ == PortKind::Other ? otherPort_
                                                            : PortForMenuEntry();
    if (!emulated && (port.empty() || !device_.makePort || !device_.time)) {
        result.outcome = device::Outcome::PortError;
        result.reason = portKind_ == PortKind::Other
                            ? "No port is chosen under Other Port."
                            : "There is no serial port for COM" +
                                  std::to_string(state_.ComPortNumber) + " on this computer.";
        return result;
    }
    transferRunning_ = true;
    menuBar()->setEnabled(false);
    client_->setEnabled(false);
    QEventLoop loop;
    QPointer<QLabel> label = lblComPrg_;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        std::unique_ptr<device::SerialPort> serial;
        device::TimeSource* time = device_.time;
        if (emulated) {
            serial = std::make_unique<device::EmulatedPort>(*emulator_, simTime_);
            time = &simTime_;
        } else {
            serial = device_.makePort();
        }
        device::Link link(*serial, *time);
        result = transfer(link, port, [label](const std::string& caption) {
            QMetaObject::invokeMethod(
                label,
                [label, text = QString::fromStdString(caption)] {
                    if (label) label->setText(text);
                },
                Qt::QueuedConnection);
        });
    }));
    connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    QCoreApplication::sendPostedEvents(lblComPrg_);
    menuBar()->setEnabled(true);
    client_->setEnabled(true);
    transferRunning_ = false;
    return result;
}

void FrmZezUdiMain::mnuDownload_Click() {
    if (dialogs_.Message(QStringLiteral("Power Cycle Device Prior To Download.\r\n"
                                        "Device Node Must Be 00\r\nContinue?"),
                         QStringLiteral("Download"), Buttons::YesNo, Icon::None) == Answer::No) {
        dialogs_.Message(QStringLiteral("Download Cancelled"), QStringLiteral("Download"),
                         Buttons::Ok, Icon::None);
        return;
    }
    lblComPrg_->setText(QStringLiteral("Block 0 of 2304"));
    lblComPrg_->show();
    lblComPrg_->repaint();
    const ControlArray array = state_.controlArray;
    const Config config = state_.record;
    const auto r = RunTransfer(
        [&](device::Link& link, const std::string& port, const device::CaptionFn& caption) {
            return device::Download(link, port, array, config, caption);
        });
    ReportTransfer(r, QStringLiteral("Download"),
                   QStringLiteral("Download Complete.\r\nPower Cycle Device."),
                   QStringLiteral("Download Failed.\r\nDevice Will NOT Function Properly."));
    lblComPrg_->hide();
    if (r.outcome == device::Outcome::Complete && mnuVerifyAfter_->isChecked()) Compare(false);
}

void FrmZezUdiMain::ReportTransfer(const device::TransferResult& r, const QString& command,
                                   const QString& complete, const QString& failed) {
    switch (r.outcome) {
        case device::Outcome::Complete:
            dialogs_.Message(complete, command, Buttons::Ok, Icon::Information);
            break;
        case device::Outcome::Failed:
            // A transfer that had to stop says why.
            dialogs_.Message(failed + (r.reason.empty() ? QString()
                                                        : QStringLiteral("\r\n") +
                                                              QString::fromStdString(r.reason)),
                             command + QStringLiteral(" Failure"), Buttons::Ok, Icon::Critical);
            break;
        case device::Outcome::NoConnect:
            dialogs_.Message(QStringLiteral("Unable to connect to device."),
                             QStringLiteral("Error"), Buttons::Ok, Icon::Critical);
            break;
        case device::Outcome::PortError:
            dialogs_.Message(QString::fromStdString(r.reason), QStringLiteral("Error"), Buttons::Ok,
                             Icon::Critical);
            break;
    }
}

void FrmZezUdiMain::mnuUpload_Click() {
    if (state_.ConfigChanged &&
        dialogs_.Message(QStringLiteral("Discard Changes?"), QStringLiteral("Upload"),
                         Buttons::YesNo, Icon::None) == Answer::No)
        return;
    dialogs_.Message(
        QStringLiteral(
            "When downloading, the compiled control array, configuration data, and notes are all "
            "stored in the device. The device operates based on the compiled control array only. "
            "The configuration data and notes are stored in the device as a reference only. This "
            "function uploads the configuration data and notes only. It does NOT upload the "
            "compiled control array. If the last download had failed, the uploaded configuration "
            "data may not match the control array. This situation may result in the device "
            "operating differently than the configuration data would indicate"),
        QStringLiteral("Upload Notice"), Buttons::Ok, Icon::Information);
    if (dialogs_.Message(QStringLiteral("Power Cycle Device Prior To Upload.\r\n"
                                        "Device Node Must Be 00\r\nContinue?"),
                         QStringLiteral("Upload"), Buttons::YesNo, Icon::None) == Answer::No) {
        dialogs_.Message(QStringLiteral("Upload Cancelled"), QStringLiteral("Upload"), Buttons::Ok,
                         Icon::None);
        return;
    }
    SetNotCompiled();
    lblComPrg_->setText(QStringLiteral("Block 0 of 32"));
    lblComPrg_->show();
    lblComPrg_->repaint();
    const auto r = RunTransfer(
        [](device::Link& link, const std::string& port, const device::CaptionFn& caption) {
            return device::Upload(link, port, caption);
        });
    // Only a verified upload becomes the configuration.
    if (r.outcome == device::Outcome::Complete) state_.record = r.uploaded;
    ReportTransfer(r, QStringLiteral("Upload"),
                   QStringLiteral("Upload Complete.\r\nPower Cycle Device."),
                   QStringLiteral("Upload Failed.\r\nHost Program Cleared."));
    if (r.outcome == device::Outcome::Failed) mnuNew_Click();
    lblComPrg_->hide();
    ShowConfig();
    SetNotCompiled();
    tmrCloseCBO_Timer();
    state_.ConfigChanged = true;
    doc_->ResetHistory();
}

// File commands.

void FrmZezUdiMain::mnuNew_Click() {
    if (state_.ConfigChanged &&
        dialogs_.Message(QStringLiteral("Discard Changes?"), QStringLiteral("New"), Buttons::YesNo,
                         Icon::None) == Answer::No)
        return;
    state_.record.Clear();
    doc_->ResetHistory();
    if (session_) session_->RemoveRecovery();
    ShowFirstOutputNotCompiled();
}

void FrmZezUdiMain::mnuOpen_Click() {
    FileOpen();
    ShowFirstOutputNotCompiled();
}

void FrmZezUdiMain::OpenNamedFile(const QString& path) {
    LoadNamedFile(path);
    ShowFirstOutputNotCompiled();
}

void FrmZezUdiMain::ShowFirstOutputNotCompiled() {
    cboOutput_->setCurrentIndex(0);
    curOutput_ = 0;
    ShowConfig();
    SetNotCompiled();
    tmrCloseCBO_Timer();
}

void FrmZezUdiMain::FileOpen() {
    if (state_.ConfigChanged &&
        dialogs_.Message(QStringLiteral("Discard Any Changes?"), QStringLiteral("Open"),
                         Buttons::YesNo, Icon::Question) == Answer::No)
        return;
    QString initial;
    if (!dialogPathSet_) {
        initial = DefaultDialogName();
        dialogPathSet_ = true;
    }
    const QString name = dialogs_.OpenFileName({kFilter, initial, true});
    if (name.isEmpty() || name == DefaultDialogName()) return;
    LoadNamedFile(name);
}

void FrmZezUdiMain::LoadNamedFile(const QString& name) {
    auto loaded = LoadFromFile(LocalPath(name));
    if (!loaded) {
        dialogs_.Message(QString::fromStdString(loaded.error()), QStringLiteral("Open"),
                         Buttons::Ok, Icon::Critical);
        return;
    }
    state_.record = loaded.value().config;
    fileName_ = name;
    state_.ConfigChanged = false;
    doc_->ResetHistory();
    Remember(name);
    const InvalidCounts bad = loaded.value().invalid;
    if (bad.any()) {
        dialogs_.Message(
            QStringLiteral("%1 segment(s) in this file hold values outside 0 to 15.\r\n"
                           "Until they are replaced, a segment with an invalid type acts as an "
                           "empty segment, and a contact with an invalid input selection acts as "
                           "if its input were off.")
                .arg(bad.segments),
            QStringLiteral("Open"), Buttons::Ok, Icon::Warning);
    }
}

void FrmZezUdiMain::mnuSave_Click() {
    if (fileName_ != QStringLiteral("None"))
        FileSave();
    else
        FileSaveAs();
    tmrCloseCBO_Timer();
}

void FrmZezUdiMain::mnuSaveAs_Click() {
    FileSaveAs();
    tmrCloseCBO_Timer();
}

void FrmZezUdiMain::FileSave() {
    auto saved = SaveToFile(state_.record, LocalPath(fileName_));
    if (!saved) {
        dialogs_.Message(QString::fromStdString(saved.error()), QStringLiteral("Save"), Buttons::Ok,
                         Icon::Critical);
        return;
    }
    state_.ConfigChanged = false;
    doc_->MarkClean();
    Remember(fileName_);
}

void FrmZezUdiMain::FileSaveAs() {
    dialogPathSet_ = true;
    const QString name = dialogs_.SaveFileName({kFilter, DefaultDialogName(), false});
    if (name.isEmpty() || name == DefaultDialogName()) return;
    auto saved = SaveToFile(state_.record, LocalPath(name));
    if (!saved) {
        dialogs_.Message(QString::fromStdString(saved.error()), QStringLiteral("Save As"),
                         Buttons::Ok, Icon::Critical);
        return;
    }
    fileName_ = name;
    state_.ConfigChanged = false;
    doc_->MarkClean();
    Remember(name);
}

void FrmZezUdiMain::mnuExit_Click() {
    if (state_.ConfigChanged &&
        dialogs_.Message(QStringLiteral("Discard Changes?"), QStringLiteral("Exit Program"),
                         Buttons::YesNo, Icon::None) == Answer::No)
        return;
    close();
}

void FrmZezUdiMain::closeEvent(QCloseEvent* event) {
    if (transferRunning_) {  // a transfer cannot be abandoned halfway
        event->ignore();
        return;
    }
    if (state_.ConfigChanged &&
        dialogs_.Message(QStringLiteral("Discard Changes?"), QStringLiteral("Exit Program"),
                         Buttons::YesNo, Icon::None) == Answer::No) {
        event->ignore();
        return;
    }
    if (session_) session_->Close();  // a clean exit leaves no recovery copy
    event->accept();
}

// Editing beyond the drops.

const QString FrmZezUdiMain::kClipMime = QStringLiteral("application/x-zezudi-segments");

void FrmZezUdiMain::BuildEditMenu() {
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    mnuUndo_ = doc_->undoStack()->createUndoAction(this, QStringLiteral("&Undo"));
    mnuUndo_->setShortcut(QKeySequence::Undo);
    mnuRedo_ = doc_->undoStack()->createRedoAction(this, QStringLiteral("&Redo"));
    mnuRedo_->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    edit->addAction(mnuUndo_);
    edit->addAction(mnuRedo_);
    edit->addSeparator();
    mnuCut_ = edit->addAction(QStringLiteral("Cu&t"), this, [this] { CutSelection(); });
    mnuCut_->setShortcut(QKeySequence::Cut);
    mnuCopy_ = edit->addAction(QStringLiteral("&Copy"), this, [this] { CopySelection(); });
    mnuCopy_->setShortcut(QKeySequence::Copy);
    mnuPaste_ = edit->addAction(QStringLiteral("&Paste"), this, [this] { PasteAtCursor(); });
    mnuPaste_->setShortcut(QKeySequence::Paste);
    mnuDelete_ = edit->addAction(QStringLiteral("&Delete"), this, [this] { DeleteSelection(); });
    mnuDelete_->setShortcuts({QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_Backspace)});
    mnuSelectAll_ = edit->addAction(QStringLiteral("Select &All"), this, [this] { SelectAll(); });
    mnuSelectAll_->setShortcut(QKeySequence::SelectAll);
    edit->addSeparator();
    mnuInsertRow_ =
        edit->addAction(QStringLiteral("&Insert Row"), this, [this] { InsertRowAtCursor(); });
    mnuDeleteRow_ =
        edit->addAction(QStringLiteral("Delete Ro&w"), this, [this] { DeleteRowAtCursor(); });
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            [this] { UpdateEditActions(); });
    UpdateEditActions();
}

void FrmZezUdiMain::UpdateEditActions() {
    if (!mnuCut_) return;
    for (QAction* a : {mnuCut_, mnuCopy_, mnuDelete_}) a->setEnabled(hasSelection_);
    for (QAction* a : {mnuInsertRow_, mnuDeleteRow_}) a->setEnabled(cursorShown_);
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    mnuPaste_->setEnabled(cursorShown_ && mime && mime->hasFormat(kClipMime));
}

void FrmZezUdiMain::ShowMarks() {
    for (int s = 0; s < kSegments; ++s)
        imgSegment_[s]->SetMarks(hasSelection_ && selection_.Contains(s),
                                 cursorShown_ && s == cursor_);
    for (int k = 0; k < 16; ++k) imgSelect_[k]->SetArmed(k == armed_);
    UpdateEditActions();
}

SegRect FrmZezUdiMain::Target() const {
    return hasSelection_ ? selection_ : SegRect::Spanning(cursor_, cursor_);
}

void FrmZezUdiMain::EditTarget(const QString& what,
                               const std::function<void(int16_t&, int16_t&)>& f) {
    const int output = curOutput_;
    const SegRect r = Target();
    doc_->Edit(output, what, [&](Config& c) {
        for (int s = 0; s < kSegments; ++s)
            if (r.Contains(s)) f(c.SegType[output][s], c.SegInput[output][s]);
    });
}

void FrmZezUdiMain::segment_Pressed(int index, Qt::KeyboardModifiers modifiers) {
    client_->setFocus(Qt::MouseFocusReason);
    if (armed_ >= 0) {  // click-to-stamp: as if the armed picture were dropped here
        imgSegment_DragDrop(index, armed_);
        return;
    }
    if ((modifiers & Qt::ShiftModifier) && cursorShown_) {
        selection_ = SegRect::Spanning(anchor_, index);
    } else {
        cursor_ = anchor_ = index;
        selection_ = SegRect::Spanning(index, index);
    }
    cursorShown_ = true;
    hasSelection_ = true;
    ShowMarks();
}

void FrmZezUdiMain::SelectTo(int index) {
    if (armed_ >= 0 || !cursorShown_) return;
    selection_ = SegRect::Spanning(anchor_, index);
    hasSelection_ = true;
    ShowMarks();
}

void FrmZezUdiMain::SelectAll() {
    cursorShown_ = true;
    hasSelection_ = true;
    selection_ = SegRect::Whole();
    ShowMarks();
}

void FrmZezUdiMain::ClearSelection() {
    hasSelection_ = false;
    armed_ = -1;
    pendingSignal_ = 0;
    ShowMarks();
}

void FrmZezUdiMain::CopySelection() {
    if (!hasSelection_) return;
    const Clip clip = CopyRect(state_.record, curOutput_, selection_);
    auto* mime = new QMimeData;  // owned by the clipboard
    mime->setData(kClipMime, QByteArray::fromStdString(ClipToText(clip)));
    mime->setText(QString::fromStdString(ClipToReadable(clip)));
    QGuiApplication::clipboard()->setMimeData(mime);
    UpdateEditActions();
}

void FrmZezUdiMain::CutSelection() {
    if (!hasSelection_) return;
    CopySelection();
    const int output = curOutput_;
    doc_->Edit(output, QStringLiteral("Cut"), [&](Config& c) { BlankRect(c, output, selection_); });
}

void FrmZezUdiMain::DeleteSelection() {
    if (!hasSelection_) return;
    const int output = curOutput_;
    doc_->Edit(output, QStringLiteral("Delete"),
               [&](Config& c) { BlankRect(c, output, selection_); });
}

void FrmZezUdiMain::PasteAtCursor() {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!mime || !mime->hasFormat(kClipMime)) return;
    const auto clip = ClipFromText(mime->data(kClipMime).toStdString());
    if (!clip) {
        dialogs_.Message(QStringLiteral("The clipboard holds no segments this program can read."),
                         QStringLiteral("Paste"), Buttons::Ok, Icon::Warning);
        return;
    }
    const int output = curOutput_;
    doc_->Edit(output, QStringLiteral("Paste"),
               [&](Config& c) { PasteClip(c, output, cursor_, *clip); });
    // The pasted segments become the selection (clipped at the grid's edge).
    selection_ = {SegRow(cursor_), SegColumn(cursor_),
                  std::min(kSegmentRows - 1, SegRow(cursor_) + clip->rows - 1),
                  std::min(kSegmentColumns - 1, SegColumn(cursor_) + clip->columns - 1)};
    hasSelection_ = true;
    ShowMarks();
}

void FrmZezUdiMain::InsertRowAtCursor() {
    Config trial = state_.record;
    if (auto r = InsertRow(trial, curOutput_, SegRow(cursor_)); !r) {
        dialogs_.Message(QString::fromStdString(r.error()), QStringLiteral("Insert Row"),
                         Buttons::Ok, Icon::Warning);
        return;
    }
    const int output = curOutput_, row = SegRow(cursor_);
    doc_->Edit(output, QStringLiteral("Insert Row"),
               [&](Config& c) { (void)InsertRow(c, output, row); });
}

void FrmZezUdiMain::DeleteRowAtCursor() {
    const int output = curOutput_, row = SegRow(cursor_);
    doc_->Edit(output, QStringLiteral("Delete Row"), [&](Config& c) { DeleteRow(c, output, row); });
}

void FrmZezUdiMain::imgSelect_Clicked(int code) {
    armed_ = armed_ == code ? -1 : code;
    ShowMarks();
}

void FrmZezUdiMain::MoveCursor(int dRow, int dCol, bool extend) {
    const int row = std::clamp(SegRow(cursor_) + dRow, 0, kSegmentRows - 1);
    const int col = std::clamp(SegColumn(cursor_) + dCol, 0, kSegmentColumns - 1);
    if (!cursorShown_) {
        cursorShown_ = true;  // the first key shows the cursor where it is
    } else {
        cursor_ = kSegmentColumns * row + col;
    }
    if (!extend) anchor_ = cursor_;
    selection_ = SegRect::Spanning(anchor_, cursor_);
    hasSelection_ = true;
    ShowMarks();
}

void FrmZezUdiMain::keyPressEvent(QKeyEvent* event) {
    const auto mods = event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    if (mods != Qt::NoModifier) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    const int key = event->key();
    if (pendingSignal_) {
        const char which = pendingSignal_;
        pendingSignal_ = 0;
        if (key >= Qt::Key_1 && key <= Qt::Key_8) {
            const int sel = (key - Qt::Key_1) + (which == 'P' ? 8 : 0);
            EditTarget(QStringLiteral("Choose Input"), [sel](int16_t& t, int16_t& in) {
                if (IsContact(t)) in = static_cast<int16_t>(sel);
            });
            return;
        }
    }
    auto element = [this](Element e, const char* what) {
        EditTarget(QString::fromLatin1(what),
                   [e](int16_t& t, int16_t&) { t = static_cast<int16_t>(WithElement(t, e)); });
    };
    auto link = [this](int l, const char* what) {
        EditTarget(QString::fromLatin1(what),
                   [l](int16_t& t, int16_t&) { t = static_cast<int16_t>(WithLinkToggled(t, l)); });
    };
    switch (key) {
        case Qt::Key_Left:
            return MoveCursor(0, -1, shift);
        case Qt::Key_Right:
            return MoveCursor(0, 1, shift);
        case Qt::Key_Up:
            return MoveCursor(-1, 0, shift);
        case Qt::Key_Down:
            return MoveCursor(1, 0, shift);
        case Qt::Key_Escape:
            return ClearSelection();
        case Qt::Key_W:
            return element(Element::Wire, "Wire");
        case Qt::Key_C:
            return element(Element::NormallyOpen, "Normally Open Contact");
        case Qt::Key_N:
            return element(Element::NormallyClosed, "Normally Closed Contact");
        case Qt::Key_U:
            return link(kLinkUp, "Up Link");
        case Qt::Key_D:
            return link(kLinkDown, "Down Link");
        case Qt::Key_I:
            pendingSignal_ = 'I';
            return;
        case Qt::Key_P:
            pendingSignal_ = 'P';
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (IsContact(state_.record.SegType[curOutput_][cursor_])) lblSeg_Click(cursor_);
            return;
        default:
            QMainWindow::keyPressEvent(event);
    }
}

// Print, export, recent files, recovery.

// What a printed or exported page shows: the record, the file's name and today's date.
PrintRequest FrmZezUdiMain::PrintNow() const {
    return {state_.record, fileName_,
            QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat)};
}

void FrmZezUdiMain::mnuPrint_Click(bool preview) {
    const PrintRequest request = PrintNow();
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QFileInfo(fileName_).fileName());
    dialogs_.Print(printer, preview, [&](QPrinter* target) {
        QPainter p;
        if (!p.begin(target)) return;
        // Drawn in points, whatever the printer's resolution.
        const double dots = target->resolution() / 72.0;
        p.scale(dots, dots);
        const QRectF page(QPointF(0, 0), target->pageLayout().paintRect(QPageLayout::Point).size());
        PrintPages(p, page, request, [&] { target->newPage(); });
    });
}

void FrmZezUdiMain::mnuExportPdf_Click() {
    QString initial = fileName_ == QStringLiteral("None")
                          ? QDir::homePath() + QStringLiteral("/*.pdf")
                          : fileName_;
    if (initial.endsWith(QStringLiteral(".CDF"), Qt::CaseInsensitive))
        initial = initial.left(initial.size() - 4) + QStringLiteral(".pdf");
    const QString name =
        dialogs_.SaveFileName({QStringLiteral("PDF Files (*.pdf)|*.pdf"), initial, false});
    if (name.isEmpty()) return;
    const auto pages = ExportPdf(PrintNow(), name, QPageSize::A4);
    if (!pages) {
        dialogs_.Message(QString::fromStdString(pages.error()), QStringLiteral("Export PDF"),
                         Buttons::Ok, Icon::Critical);
        return;
    }
    dialogs_.Message(QStringLiteral("%1 page(s) written to %2.").arg(pages.value()).arg(name),
                     QStringLiteral("Export PDF"), Buttons::Ok, Icon::Information);
}

void FrmZezUdiMain::Remember(const QString& path) {
    if (!session_) return;
    session_->AddRecent(QFileInfo(path).absoluteFilePath());
    session_->RemoveRecovery();  // saved or opened: nothing left to recover
    FillRecentMenu();
}

void FrmZezUdiMain::FillRecentMenu() {
    mnuRecent_->clear();
    const QStringList recent = session_ ? session_->Recent() : QStringList();
    for (int i = 0; i < recent.size(); ++i) {
        const QString path = recent[i];
        mnuRecent_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(path), this,
                              [this, path] { OpenRecent(path); });
    }
    if (recent.isEmpty()) mnuRecent_->addAction(QStringLiteral("(none)"))->setEnabled(false);
}

void FrmZezUdiMain::OpenRecent(const QString& path) {
    if (!QFileInfo::exists(path)) {
        if (session_) session_->RemoveRecent(path);
        FillRecentMenu();
        dialogs_.Message(
            QStringLiteral("%1 no longer exists; it was taken off the recent files.").arg(path),
            QStringLiteral("Open"), Buttons::Ok, Icon::Warning);
        return;
    }
    if (state_.ConfigChanged &&
        dialogs_.Message(QStringLiteral("Discard Any Changes?"), QStringLiteral("Open"),
                         Buttons::YesNo, Icon::Question) == Answer::No)
        return;
    OpenNamedFile(path);
}

void FrmZezUdiMain::StartSession(const Storage& storage) {
    session_ = std::make_unique<Session>(storage);
    FillRecentMenu();
    mnuVerifyAfter_->setChecked(session_->Value(QStringLiteral("verifyAfterDownload")) == "1");
    // The last port, when it is still there.
    const QString port = session_->Value(QStringLiteral("port"));
    RefreshPorts();
    if (port == QStringLiteral("emulated")) {
        SelectEmulated();
    } else if (port.startsWith(QStringLiteral("path:")) && QFileInfo::exists(port.mid(5))) {
        SelectPortPath(port.mid(5));
    } else if (port.startsWith(QStringLiteral("com:"))) {
        const int n = port.mid(4).toInt();
        if (n >= 1 && n <= 8 && n <= static_cast<int>(ports_.size())) mnuCOM_Click(n - 1);
    }
    OfferRecovery();
    autosave_ = new QTimer(this);
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("ZEZ_AUTOSAVE_MS", &ok);
    autosave_->setInterval(ok && ms > 0 ? ms : 30000);
    connect(autosave_, &QTimer::timeout, this, [this] { Autosave(); });
    autosave_->start();
}

void FrmZezUdiMain::Autosave() {
    if (!session_ || transferRunning_) return;
    if (!state_.ConfigChanged) {
        if (session_->HasRecovery()) session_->RemoveRecovery();
        return;
    }
    // A failure here is not worth a box every 30 s; the next tick tries again.
    (void)session_->WriteRecovery(state_.record, fileName_);
}

void FrmZezUdiMain::OfferRecovery() {
    for (const auto& orphan : session_->FindOrphans()) {
        const QString file = orphan.fileName.isEmpty() || orphan.fileName == QStringLiteral("None")
                                 ? QStringLiteral("a new configuration")
                                 : orphan.fileName;
        const QString when = QLocale::system().toString(orphan.written, QLocale::LongFormat);
        if (dialogs_.Message(QStringLiteral("ZezUdi did not end cleanly last time. Unsaved changes "
                                            "to %1, written %2, were kept.\r\nRestore them? (No "
                                            "deletes them.)")
                                 .arg(file, when),
                             QStringLiteral("Recovery"), Buttons::YesNo,
                             Icon::Question) == Answer::No) {
            session_->Discard(orphan);
            continue;
        }
        auto loaded = session_->Load(orphan);
        if (!loaded) {
            dialogs_.Message(QString::fromStdString(loaded.error()), QStringLiteral("Recovery"),
                             Buttons::Ok, Icon::Critical);
            continue;  // kept for the next start
        }
        state_.record = loaded.value();
        if (!orphan.fileName.isEmpty()) fileName_ = orphan.fileName;
        state_.ConfigChanged = true;  // unsaved: only a Save writes the user's file
        doc_->ResetHistory();
        ShowFirstOutputNotCompiled();
        // This editor's own copy first, so the changes are never in no copy at all.
        if (session_->WriteRecovery(state_.record, fileName_)) session_->Discard(orphan);
        return;
    }
}

}  // namespace zez
