#include "editor/MainWindow.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLocale>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyle>

#include "config/DiagramText.h"
#include "editor/FrmNotes.h"
#include "export/LocalPath.h"
#include "logic/Compare.h"

namespace zez {

namespace {

QString NowText() {
    const QLocale l = QLocale::system();
    return l.toString(QDateTime::currentDateTime(),
                      l.dateFormat(QLocale::ShortFormat) + ' ' + l.timeFormat(QLocale::LongFormat));
}

}  // namespace

FrmZezUdiMain::FrmZezUdiMain(ProgramState& state, Dialogs& dialogs, DeviceAccess device,
                             QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), device_(std::move(device)) {
    setWindowTitle(kMainCaption);
    setAcceptDrops(true);
    doc_ = new Document(state, this);
    files_ = new FileFlow(*doc_, dialogs_, this);
    ports_ = new PortChoice(state, dialogs_, device_, this);
    transfers_ = new TransferFlow(*doc_, dialogs_, *ports_, device_, this);
    editor_ = new GridEditor(*doc_, dialogs_, this);
    printing_ = new PrintFlow(*doc_, dialogs_, this);
    BuildMenus();
    client_ = new ClientArea(this);
    scroll_ = new ClientScroll(client_, this);
    setCentralWidget(scroll_);
    view_ = std::make_unique<DiagramView>(*client_);
    // Below the client area, which keeps its size and places.
    statusBar()->setFixedHeight(kStatusHeight);
    status_ = new StatusPanel(statusBar(), *doc_, *ports_);
    Wire();
    // As large as the client area wants; smaller on a screen without room for it, where the
    // client area then scrolls. Centred, with the title bar and menus reachable.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    setMaximumSize(sizeHint() + QSize(bar, bar));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        const QSize frame(16, 40);  // a usual border and title bar: not known before the show
        resize(Fitted(sizeHint(), frame, bar, area));
        const QSize framed = size() + frame;
        move(
            Clamped(area.center() - QPoint(framed.width() / 2, framed.height() / 2), framed, area));
    }
    ShowConfig();
    ShowCompiled(doc_->compiled());
    ShowPorts();
    ports_->Refresh();
}

FrmZezUdiMain::~FrmZezUdiMain() {
    // The grid loses the focus while the widgets go, after the view they would draw on.
    disconnect(client_->grid, nullptr, this, nullptr);
}

void FrmZezUdiMain::Wire() {
    ClientArea& c = *client_;
    connect(doc_, &Document::Changed, this, [this](int output) {
        if (output == doc_->output()) ShowConfig();
    });
    connect(doc_, &Document::OutputShown, this, [this](int output) {
        const QSignalBlocker block(client_->cboOutput);
        client_->cboOutput->setCurrentIndex(output);
        ShowConfig();
    });
    connect(doc_, &Document::Restarted, this, [this] {
        tmrCloseCBO_Timer();
        compared_.reset();
        editor_->Reset();  // a new record: no cursor or selection left from the old one
    });
    connect(doc_, &Document::CompiledChanged, this, [this](bool on) { ShowCompiled(on); });
    connect(files_, &FileFlow::RecentChanged, this, [this] { FillRecentMenu(); });
    connect(files_, &FileFlow::SaveEnded, this, [this] { tmrCloseCBO_Timer(); });
    connect(ports_, &PortChoice::Changed, this, [this] { ShowPorts(); });
    connect(transfers_, &TransferFlow::Busy, this, [this](bool busy) {
        for (QWidget* w : {static_cast<QWidget*>(menuBar()), static_cast<QWidget*>(client_)})
            w->setEnabled(!busy);
        status_->ShowTransfer(busy);
    });
    connect(status_->cancel(), &QPushButton::clicked, transfers_, &TransferFlow::Cancel);
    connect(transfers_, &TransferFlow::Caption, this, [this](const QString& caption) {
        status_->Progress(caption);
        client_->ShowCaption(caption);
    });
    connect(transfers_, &TransferFlow::UploadFailed, files_, &FileFlow::New);
    connect(files_, &FileFlow::Said, status_, &StatusPanel::Say);
    auto compared = [this](const std::optional<Config>& other, const QString& name) {
        compared_ = other;
        comparedName_ = name;
        ShowFindings();
    };
    connect(files_, &FileFlow::Compared, this, compared);
    connect(transfers_, &TransferFlow::Compared, this, compared);
    connect(transfers_, &TransferFlow::Said, status_, &StatusPanel::Say);
    connect(editor_, &GridEditor::Said, status_, &StatusPanel::Say);
    connect(editor_, &GridEditor::MarksChanged, this, [this] {
        view_->ShowMarks(*editor_, client_->grid->hasFocus());
        UpdateEditActions();
        if (editor_->cursorShown())  // where the client area scrolls, the cursor stays in sight
            scroll_->ensureWidgetVisible(client_->imgSegment[editor_->cursor()], 0, 0);
    });
    // Editing keys act only while the grid has the keyboard focus.
    connect(c.grid, &GridFocus::KeyPressed, this,
            [this](int key, Qt::KeyboardModifiers m, bool* used) {
                if ((m & ~(Qt::KeypadModifier | Qt::ShiftModifier)) == Qt::NoModifier)
                    *used = editor_->Key(key, m & Qt::ShiftModifier);
            });
    connect(c.grid, &GridFocus::FocusChanged, this,
            [this](bool focused) { view_->ShowMarks(*editor_, focused); });
    connect(editor_, &GridEditor::OpenInputList, this, [this](int index) {
        curSegment_ = index;
        client_->OpenInputList(index, doc_->record().SegInput[doc_->output()][index]);
    });
    for (int k = 0; k < 16; ++k)
        connect(c.imgSelect[k], &PaletteItem::ClickedWithoutDrop, editor_, &GridEditor::Arm);
    for (int s = 0; s < kSegments; ++s) {
        connect(c.imgSegment[s], &SegmentPicture::Dropped, this,
                [this](int index, int code) { imgSegment_DragDrop(index, code); });
        connect(c.imgSegment[s], &SegmentPicture::Pressed, this,
                [this](int index, Qt::KeyboardModifiers m) { segment_Pressed(index, m); });
        connect(c.lblSeg[s], &SegmentLabel::Dropped, this,
                [this](int index, int code) { imgSegment_DragDrop(index, code); });
        connect(c.lblSeg[s], &SegmentLabel::Clicked, this,
                [this](int index) { lblSeg_Click(index); });
    }
    connect(&c, &ClientArea::DraggedTo, editor_, &GridEditor::SelectTo);
    connect(c.cboOutput, &QComboBox::currentIndexChanged, this, [this] { cboOutput_Click(); });
    connect(c.cboSelect, &QComboBox::activated, this, [this] { cboSelect_Click(); });
    connect(c.tmrCloseCBO, &QTimer::timeout, this, [this] { tmrCloseCBO_Timer(); });
    connect(c.cmdTest, &QPushButton::clicked, this, [this] { cmdTest_Click(); });
    connect(&c, &ClientArea::TestRequested, this, [this] { cmdTest_Click(); });
    for (auto* box : c.chkIn)
        connect(box, &QCheckBox::toggled, this, [this] {
            RefreshLogic();
            LiveTest();
        });
}

void FrmZezUdiMain::ShowConfig() {
    view_->Show(doc_->record(), doc_->output());
    view_->ShowMarks(*editor_, client_->grid->hasFocus());
    UpdateEditActions();
    RefreshLogic();
    LiveTest();
    ShowFindings();
}

void FrmZezUdiMain::ShowCompiled(bool compiled) {
    menus.mnuCompile->setEnabled(!compiled);
    menus.mnuDownload->setEnabled(compiled);
}

void FrmZezUdiMain::ShowPorts() {
    for (int i = 0; i < 8; ++i) {
        menus.mnuCOM[i]->setText(ports_->ComCaption(i));
        menus.mnuCOM[i]->setChecked(ports_->kind() == PortChoice::Kind::Com &&
                                    i + 1 == ports_->comNumber());
    }
    menus.mnuOtherPort->setChecked(ports_->kind() == PortChoice::Kind::Other);
    menus.mnuOtherPort->setText(ports_->OtherCaption());
    menus.mnuEmulated->setChecked(ports_->kind() == PortChoice::Kind::Emulated);
}

void FrmZezUdiMain::UpdateEditActions() {
    if (!menus.mnuCut) return;
    for (QAction* a : {menus.mnuCut, menus.mnuCopy, menus.mnuDelete})
        a->setEnabled(editor_->hasSelection());
    for (QAction* a : {menus.mnuInsertRow, menus.mnuDeleteRow})
        a->setEnabled(editor_->cursorShown());
    menus.mnuPaste->setEnabled(editor_->canPaste());
}

void FrmZezUdiMain::FillRecentMenu() {
    menus.mnuRecent->clear();
    const QStringList recent = files_->Recent();
    for (int i = 0; i < recent.size(); ++i) {
        const QString& path = recent[i];
        QString shown = path;  // an & in a name is shown, not taken as a shortcut mark
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        menus.mnuRecent->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown), files_,
                                   [this, path] { files_->OpenRecent(path); });
    }
    if (recent.isEmpty()) menus.mnuRecent->addAction(QStringLiteral("(none)"))->setEnabled(false);
}

void FrmZezUdiMain::cboOutput_Click() {
    editor_->Reset();  // another output chosen: its own cursor, nothing selected
    doc_->ShowOutput(std::max(0, client_->cboOutput->currentIndex()));
}

void FrmZezUdiMain::imgSegment_DragDrop(int index, int code) {
    editor_->Drop(index, code);
}

void FrmZezUdiMain::lblSeg_Click(int index) {
    editor_->LabelClicked(index);
}

void FrmZezUdiMain::segment_Pressed(int index, Qt::KeyboardModifiers modifiers) {
    client_->grid->setFocus(Qt::MouseFocusReason);
    editor_->Press(index, modifiers & Qt::ShiftModifier);
}

void FrmZezUdiMain::cboSelect_Click() {
    if (client_->listArming) return;
    const int sel = client_->cboSelect->currentIndex();
    if (sel < 0) return;
    tmrCloseCBO_Timer();
    editor_->ChooseInput(curSegment_, sel);
}

void FrmZezUdiMain::tmrCloseCBO_Timer() {
    client_->CloseInputList();
}

void FrmZezUdiMain::cmdTest_Click() {
    const bool on = TestShownOutput();
    dialogs_.Message(QStringLiteral("Lumacor Input %1%2")
                         .arg(doc_->output() + 1)
                         .arg(on ? QStringLiteral(" On") : QStringLiteral(" Off")),
                     kAppTitle, Buttons::Ok, Icon::None);
}

bool FrmZezUdiMain::TestShownOutput() {
    const TestResult r = test_.Run(doc_->record(), doc_->output(), client_->TickedInputs());
    view_->ShowEnergised(r);  // every segment, lit or not
    return r.on;
}

// With Tools > Live Test on, the circuit stays lit for the ticked inputs whatever changes, and
// the status bar says what the Test button's box would.
void FrmZezUdiMain::LiveTest() {
    if (!menus.mnuLiveTest || !menus.mnuLiveTest->isChecked()) return;
    const bool on = TestShownOutput();
    status_->Say(
        QStringLiteral("Live test: LC Input %1 %2").arg(doc_->output() + 1).arg(on ? "On" : "Off"));
}

void FrmZezUdiMain::mnuCompile_Click() {
    const QString start = NowText();
    client_->ShowProgress(0);
    doc_->Compile([this](int step) { client_->ShowProgress(step); });
    const QString end = NowText();
    dialogs_.Message(QStringLiteral("Complete\r\n") + start + QStringLiteral("\r\n") + end,
                     QStringLiteral("Compile"), Buttons::Ok, Icon::None);
    client_->prgCompile->hide();
    status_->Say(
        QStringLiteral("Compile complete: ready to download"));  // the state says "Compiled"
}

void FrmZezUdiMain::mnuNotes_Click() {
    NoteBytes note = doc_->record().NoteData;
    bool changed = doc_->changed(), edited = false;
    FrmNotes notes(
        note, changed,
        [&] {
            edited = true;
            doc_->NoteEdited(note, changed);
        },
        dialogs_, this);
    notes.exec();
    if (edited) doc_->NoteEdited(note, changed);  // the flag as the window left it
}

void FrmZezUdiMain::mnuExit_Click() {
    if (files_->MayExit()) close();
}

void FrmZezUdiMain::closeEvent(QCloseEvent* event) {
    // A transfer cannot be abandoned halfway.
    if (transfers_->running() || !files_->MayExit()) return event->ignore();
    if (session_) {
        session_->SetValue(QStringLiteral("windowPos"), Saved(pos()));
        session_->Close();  // a clean exit leaves no recovery copy
    }
    event->accept();
}

namespace {

// One local file, and not while a transfer runs; the picture and label drops take only the
// palette's segments and leave everything else to the window.
QString DroppedFile(const QMimeData* mime) {
    const QList<QUrl> urls = mime->urls();
    return urls.size() == 1 && urls[0].isLocalFile() ? urls[0].toLocalFile() : QString();
}

}  // namespace

void FrmZezUdiMain::dragEnterEvent(QDragEnterEvent* event) {
    if (!transfers_->running() && !DroppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void FrmZezUdiMain::dropEvent(QDropEvent* event) {
    const QString path = DroppedFile(event->mimeData());
    if (transfers_->running() || path.isEmpty()) return;
    event->acceptProposedAction();
    // After the drag has ended, so that its source is not held while Open's question waits.
    QMetaObject::invokeMethod(
        this, [this, path] { files_->OpenAsked(path); }, Qt::QueuedConnection);
}

void FrmZezUdiMain::StartSession(const Storage& storage) {
    session_ = std::make_unique<Session>(storage);
    files_->SetSession(session_.get());
    menus.mnuVerifyAfter->setChecked(session_->Value(QStringLiteral("verifyAfterDownload")) == "1");
    menus.mnuLiveTest->setChecked(session_->Value(QStringLiteral("liveTest")) == "1");
    ports_->Restore(*session_);
    if (!storage.transferLog.isEmpty()) transfers_->SetLog(LocalPath(storage.transferLog));
    move(Restored(session_->Value(QStringLiteral("windowPos")), frameGeometry().size(), pos()));
    recovery_ = new RecoveryFlow(
        *doc_, dialogs_, *session_, [this] { return transfers_->running(); }, this);
    connect(recovery_, &RecoveryFlow::Said, status_, &StatusPanel::Say);
    recovery_->Offer();
    recovery_->Start();
}

// A window of its own (the Logic window, the guide) beside this one, never over the output
// selector where that can be helped.
void FrmZezUdiMain::PlaceBeside(QWidget* window) {
    const QRect selector(client_->cboOutput->mapToGlobal(QPoint()), client_->cboOutput->size());
    if (const QScreen* screen = this->screen())
        window->move(
            Beside(frameGeometry(), window->size(), screen->availableGeometry(), selector));
}

// The Logic window.

void FrmZezUdiMain::mnuLogic_Click() {
    if (!logicView_) {
        logicView_ = new LogicView(this);
        PlaceBeside(logicView_);
        connect(logicView_, &LogicView::Shown, this, [this] { ShowFindings(); });
        connect(logicView_, &LogicView::Hidden, this, [this] { ShowFindings(); });
        connect(logicView_, &LogicView::RedrawMinimal, this,
                [this](int output, const OutputSegments& drawing, quint64 revision) {
                    // Worked out from the diagram as it was: never over a later edit.
                    if (revision == doc_->revision()) editor_->Redraw(output, drawing);
                });
    }
    logicView_->show();
    logicView_->raise();
    logicView_->activateWindow();
    RefreshLogic();
}

void FrmZezUdiMain::RefreshLogic() {
    if (!logicView_ || !logicView_->isVisible()) return;
    logicView_->Request(doc_->record(), doc_->output(), client_->TickedInputs(), doc_->revision());
}

// Framed on the grid: the Logic window's findings while it is open, and the segments that differ
// from the file last compared with.
void FrmZezUdiMain::ShowFindings() {
    const int output = doc_->output();
    std::array<QString, kSegments> reasons;
    if (logicView_ && logicView_->isVisible() && logicView_->shown().output == output &&
        logicView_->shownRevision() == doc_->revision())  // found in this diagram
        for (const auto& f : logicView_->shown().findings)
            if (f.segment >= 0)
                reasons[static_cast<std::size_t>(f.segment)] =
                    QString::fromStdString(FindingReason(f.kind));
    for (int s = 0; s < kSegments && compared_; ++s) {
        if (!SegmentDiffers(*compared_, doc_->record(), output, s)) continue;
        const std::string there =
            SegmentWords(compared_->SegType[output][s], compared_->SegInput[output][s]);
        QString& r = reasons[static_cast<std::size_t>(s)];
        r += (r.isEmpty() ? QString() : QStringLiteral("; ")) +
             QStringLiteral("differs from %1, which has %2 here")
                 .arg(comparedName_, QString::fromStdString(there));
    }
    view_->ShowFindings(reasons);
}

}  // namespace zez
