// The window's menus: the program's own items first, in their order, then what was added.
#include <QActionGroup>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QMenuBar>

#include "editor/MainWindow.h"

namespace zez {

void FrmZezUdiMain::BuildMenus() {
    MainMenus& m = menus;
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    m.mnuNew = file->addAction(QStringLiteral("&New"), this, [this] { mnuNew_Click(); });
    m.mnuNew->setShortcut(QKeySequence::New);
    m.mnuOpen = file->addAction(QStringLiteral("&Open"), this, [this] { mnuOpen_Click(); });
    m.mnuOpen->setShortcut(QKeySequence::Open);
    m.mnuSave = file->addAction(QStringLiteral("&Save"), this, [this] { mnuSave_Click(); });
    m.mnuSave->setShortcut(QKeySequence::Save);
    m.mnuSaveAs = file->addAction(QStringLiteral("Save &As"), this, [this] { mnuSaveAs_Click(); });
    m.mnuSaveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    // Added after the program's own items, before Exit.
    file->addSeparator();
    m.mnuPrintPreview = file->addAction(QStringLiteral("Print Pre&view..."), printing_,
                                        [this] { printing_->Print(true); });
    m.mnuPrint = file->addAction(QStringLiteral("&Print..."), printing_,
                                 [this] { printing_->Print(false); });
    m.mnuPrint->setShortcut(QKeySequence::Print);
    m.mnuExportPdf = file->addAction(QStringLiteral("&Export PDF..."), printing_,
                                     [this] { printing_->ExportPdf(); });
    m.mnuExportReport = file->addAction(QStringLiteral("Export Repor&t..."), printing_,
                                        [this] { printing_->ExportReport(); });
    m.mnuRecent = file->addMenu(QStringLiteral("&Recent Files"));
    connect(m.mnuRecent, &QMenu::aboutToShow, this, [this] { FillRecentMenu(); });
    FillRecentMenu();
    m.mnuVersions = file->addAction(QStringLiteral("Previous &Versions..."), files_,
                                    &FileFlow::PreviousVersions);
    m.mnuCompareFile = file->addAction(QStringLiteral("Co&mpare With File..."), files_,
                                       &FileFlow::CompareWithFile);
    file->addSeparator();
    m.mnuExit = file->addAction(QStringLiteral("E&xit"), this, [this] { mnuExit_Click(); });
    m.mnuExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* connectMenu = menuBar()->addMenu(QStringLiteral("&Connect"));
    connectMenu->setProperty(kHelpTopic, QStringLiteral("module.md"));
    m.mnuCompile =
        connectMenu->addAction(QStringLiteral("&Compile"), this, [this] { mnuCompile_Click(); });
    m.mnuDownload =
        connectMenu->addAction(QStringLiteral("&Download"), this, [this] { mnuDownload_Click(); });
    m.mnuUpload =
        connectMenu->addAction(QStringLiteral("&Upload"), this, [this] { mnuUpload_Click(); });
    connect(connectMenu, &QMenu::aboutToShow, ports_, &PortChoice::Refresh);
    connectMenu->addSeparator();
    auto* group = new QActionGroup(this);
    for (int i = 0; i < 8; ++i) {
        m.mnuCOM[i] = connectMenu->addAction(QStringLiteral("COM%1").arg(i + 1), this,
                                             [this, i] { mnuCOM_Click(i); });
        group->addAction(m.mnuCOM[i]);
    }
    // Added after the program's own items.
    m.mnuOtherPort =
        connectMenu->addAction(QStringLiteral("&Other Port..."), ports_, &PortChoice::AskOther);
    m.mnuEmulated = connectMenu->addAction(QStringLiteral("&Emulated Device"), ports_,
                                           &PortChoice::SelectEmulated);
    group->addAction(m.mnuOtherPort);
    group->addAction(m.mnuEmulated);
    for (QAction* a : group->actions()) a->setCheckable(true);
    connectMenu->addSeparator();
    m.mnuCompare = connectMenu->addAction(QStringLiteral("Compare &with Device..."), transfers_,
                                          [this] { transfers_->Compare(true); });
    m.mnuVerifyAfter = connectMenu->addAction(QStringLiteral("&Verify After Download"));
    m.mnuVerifyAfter->setCheckable(true);
    connect(m.mnuVerifyAfter, &QAction::toggled, this, [this](bool on) {
        if (session_) session_->SetValue(QStringLiteral("verifyAfterDownload"), on ? "1" : "0");
    });
    m.mnuNotes = menuBar()->addAction(QStringLiteral("&Notes"), this, [this] { mnuNotes_Click(); });

    // Added after the menus the program has always had.
    BuildEditMenu();
    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    m.mnuLogic = tools->addAction(QStringLiteral("&Logic"), this, [this] { mnuLogic_Click(); });
    m.mnuLogic->setShortcut(QKeySequence(Qt::Key_F6));
    m.mnuDrawFormula = tools->addAction(QStringLiteral("&Draw From Formula..."), editor_,
                                        &GridEditor::DrawFromFormula);
    m.mnuRewire =
        tools->addAction(QStringLiteral("&Rewire Signals..."), editor_, &GridEditor::RewireSignals);
    // The contacts on a signal in turn, the grid then taking the keys.
    m.mnuFindSignal = tools->addAction(QStringLiteral("&Find Signal..."), this, [this] {
        editor_->FindSignal();
        client_->grid->setFocus(Qt::ShortcutFocusReason);
    });
    m.mnuFindSignal->setShortcut(QKeySequence::Find);
    m.mnuFindNext = tools->addAction(QStringLiteral("Find Ne&xt"), this, [this] {
        editor_->FindNext();
        client_->grid->setFocus(Qt::ShortcutFocusReason);
    });
    m.mnuFindNext->setShortcut(QKeySequence::FindNext);
    // The outputs in turn from the keyboard, as tabs go in other programs.
    tools->addSeparator();
    auto step = [this](int by) {
        QComboBox* box = client_->cboOutput;
        box->setCurrentIndex((box->currentIndex() + by + kOutputs) % kOutputs);
    };
    m.mnuNextOutput = tools->addAction(QStringLiteral("&Next Output"), this, [step] { step(1); });
    m.mnuNextOutput->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    m.mnuPreviousOutput =
        tools->addAction(QStringLiteral("&Previous Output"), this, [step] { step(-1); });
    m.mnuPreviousOutput->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp));
    // The Test button's run after every tick, edit and output change, without its box.
    tools->addSeparator();
    m.mnuLiveTest = tools->addAction(QStringLiteral("Li&ve Test"));
    m.mnuLiveTest->setCheckable(true);
    connect(m.mnuLiveTest, &QAction::toggled, this, [this](bool on) {
        if (session_) session_->SetValue(QStringLiteral("liveTest"), on ? "1" : "0");
        if (on) return LiveTest();
        view_->ClearEnergised();
        status_->Say(QString());
    });
    tools->addSeparator();
    m.mnuTransferLog =
        tools->addAction(QStringLiteral("Transfer Lo&g..."), transfers_, &TransferFlow::ShowLog);
    // The version and where the program keeps its own files, for whoever supports the user.
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    m.mnuUserGuide =
        help->addAction(QStringLiteral("&User Guide"), this, [this] { ContextHelp(); });
    m.mnuUserGuide->setShortcut(QKeySequence::HelpContents);
    // Also over the Logic, notes and guide windows, each of which names its own section.
    m.mnuUserGuide->setShortcutContext(Qt::ApplicationShortcut);
    m.mnuAbout = help->addAction(QStringLiteral("&About ZezUdi..."), this, [this] {
        const Storage none;
        const Storage& s = session_ ? session_->storage() : none;
        auto place = [](const QString& path) {
            return QDir::toNativeSeparators(path.isEmpty() ? QStringLiteral("(none)") : path);
        };
        dialogs_.Message(
            QStringLiteral("ZezUdi %1 (Qt %2)\r\n\r\nSettings: %3\r\nRecovery copies: %4\r\n"
                           "Previous versions: %5\r\nTransfer log: %6\r\n\r\n"
                           "The command line: zezudi-cli --help")
                .arg(QStringLiteral(ZEZ_VERSION), QString::fromLatin1(qVersion()),
                     place(s.settingsFile), place(s.recoveryDir), place(s.versionsDir),
                     place(s.transferLog)),
            QStringLiteral("About ZezUdi"), Buttons::Ok, Icon::Information);
    });
}

void FrmZezUdiMain::BuildEditMenu() {
    MainMenus& m = menus;
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    m.mnuUndo = doc_->undoStack()->createUndoAction(this, QStringLiteral("&Undo"));
    m.mnuUndo->setShortcut(QKeySequence::Undo);
    m.mnuRedo = doc_->undoStack()->createRedoAction(this, QStringLiteral("&Redo"));
    m.mnuRedo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    edit->addAction(m.mnuUndo);
    edit->addAction(m.mnuRedo);
    edit->addSeparator();
    auto add = [&](const char* text, void (GridEditor::*f)()) {
        return edit->addAction(QString::fromLatin1(text), editor_, f);
    };
    m.mnuCut = add("Cu&t", &GridEditor::Cut);
    m.mnuCut->setShortcut(QKeySequence::Cut);
    m.mnuCopy = add("&Copy", &GridEditor::Copy);
    m.mnuCopy->setShortcut(QKeySequence::Copy);
    m.mnuPaste = add("&Paste", &GridEditor::Paste);
    m.mnuPaste->setShortcut(QKeySequence::Paste);
    m.mnuDelete = add("&Delete", &GridEditor::Delete);
    m.mnuDelete->setShortcuts({QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_Backspace)});
    m.mnuSelectAll = add("Select &All", &GridEditor::SelectAll);
    m.mnuSelectAll->setShortcut(QKeySequence::SelectAll);
    edit->addSeparator();
    m.mnuInsertRow = add("&Insert Row", &GridEditor::InsertRow);
    m.mnuDeleteRow = add("Delete Ro&w", &GridEditor::DeleteRow);
    UpdateEditActions();
}

void FrmZezUdiMain::ShowHelp(const QString& topic) {
    if (!help_) {
        help_ = new HelpWindow(this);
        PlaceBeside(help_);
    }
    help_->ShowTopic(topic);
    help_->show();
    help_->raise();
    help_->activateWindow();
}

void FrmZezUdiMain::ShowHelpForMessage(const QString& message) {
    ShowHelp(QString::fromLatin1(HelpWindow::kTroubleshooting));
    help_->ShowMessage(message);
}

void FrmZezUdiMain::ContextHelp() {
    // An open menu first (F1 in the Connect menu), then what the pointer is over.
    QString topic = HelpWindow::TopicOf(QApplication::activePopupWidget());
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    if (topic.isEmpty()) topic = HelpWindow::TopicOf(QApplication::widgetAt(QCursor::pos()));
    if (topic.isEmpty()) topic = HelpWindow::TopicOf(QApplication::focusWidget());
    ShowHelp(topic.isEmpty() ? QString::fromLatin1(HelpWindow::kContents) : topic);
}

}  // namespace zez
