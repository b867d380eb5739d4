#pragma once
// frmZezUdiMain: builds the fixed client area and the menus and wires them to the document and
// the flows that do the work; the handlers named after the controls forward to them.

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <array>
#include <memory>

#include "editor/ClientArea.h"
#include "editor/DiagramView.h"
#include "editor/Dialogs.h"
#include "editor/Document.h"
#include "editor/FileFlow.h"
#include "editor/GridEditor.h"
#include "editor/HelpWindow.h"
#include "editor/LogicView.h"
#include "editor/Placement.h"
#include "editor/PortChoice.h"
#include "editor/PrintFlow.h"
#include "editor/ProgramState.h"
#include "editor/RecoveryFlow.h"
#include "editor/Session.h"
#include "editor/StatusPanel.h"
#include "editor/TestRun.h"
#include "editor/TransferFlow.h"

namespace zez {

inline const QString kMainCaption =
    QStringLiteral("Brantel Lumacor Dadiraze Viruzuvivav Odori Devira Rev 1.0");

struct MainMenus {
    QAction *mnuNew = nullptr, *mnuOpen = nullptr, *mnuSave = nullptr, *mnuSaveAs = nullptr;
    QAction *mnuPrintPreview = nullptr, *mnuPrint = nullptr, *mnuExportPdf = nullptr;
    QAction* mnuExportReport = nullptr;
    QMenu* mnuRecent = nullptr;
    QAction* mnuVersions = nullptr;
    QAction* mnuCompareFile = nullptr;
    QAction* mnuDrawFormula = nullptr;
    QAction* mnuRewire = nullptr;
    QAction *mnuNextOutput = nullptr, *mnuPreviousOutput = nullptr;
    QAction* mnuLiveTest = nullptr;
    QAction* mnuTransferLog = nullptr;
    QAction *mnuUserGuide = nullptr, *mnuAbout = nullptr;
    QAction *mnuFindSignal = nullptr, *mnuFindNext = nullptr;
    QAction* mnuExit = nullptr;
    QAction *mnuCompile = nullptr, *mnuDownload = nullptr, *mnuUpload = nullptr;
    std::array<QAction*, 8> mnuCOM{};
    QAction *mnuOtherPort = nullptr, *mnuEmulated = nullptr;
    QAction *mnuCompare = nullptr, *mnuVerifyAfter = nullptr;
    QAction* mnuNotes = nullptr;
    QAction *mnuUndo = nullptr, *mnuRedo = nullptr, *mnuCut = nullptr, *mnuCopy = nullptr;
    QAction *mnuPaste = nullptr, *mnuDelete = nullptr, *mnuSelectAll = nullptr;
    QAction *mnuInsertRow = nullptr, *mnuDeleteRow = nullptr;
    QAction* mnuLogic = nullptr;
};

class FrmZezUdiMain : public QMainWindow {
    Q_OBJECT
  public:
    FrmZezUdiMain(ProgramState& state, Dialogs& dialogs, DeviceAccess device = {},
                  QWidget* parent = nullptr);
    ~FrmZezUdiMain() override;

    // The handlers, named after their controls.
    void ShowConfig();
    void cboOutput_Click();
    void imgSegment_DragDrop(int index, int code);
    void lblSeg_Click(int index);
    void cboSelect_Click();
    void tmrCloseCBO_Timer();
    void cmdTest_Click();
    void mnuCompile_Click();
    void mnuCOM_Click(int index) { ports_->SelectCom(index); }
    void mnuNew_Click() { files_->New(); }
    void mnuOpen_Click() { files_->Open(); }
    void mnuSave_Click() { files_->Save(); }
    void mnuSaveAs_Click() { files_->SaveAs(); }
    void mnuExit_Click();
    void mnuNotes_Click();
    void mnuDownload_Click() { transfers_->Download(menus.mnuVerifyAfter->isChecked()); }
    void mnuUpload_Click() { transfers_->Upload(); }
    void mnuLogic_Click();
    void segment_Pressed(int index, Qt::KeyboardModifiers modifiers);

    // A file named on the command line, through the same path as Open.
    void OpenNamedFile(const QString& path) { files_->OpenNamed(path); }
    // Keeps recent files, the port and recovery copies in `storage`, first offering to restore
    // a copy an editor left when it did not end cleanly.
    void StartSession(const Storage& storage);
    // Ended from outside (a shutdown, a logoff, a closed terminal): unsaved changes go to the
    // recovery copy at once, for the next start to offer back.
    void KeepUnsavedChanges() {
        if (recovery_) recovery_->KeepNow();
    }

    Document& document() { return *doc_; }
    FileFlow& files() { return *files_; }
    PortChoice& ports() { return *ports_; }
    TransferFlow& transfers() { return *transfers_; }
    GridEditor& editor() { return *editor_; }
    PrintFlow& printing() { return *printing_; }
    RecoveryFlow* recovery() { return recovery_; }
    Session* session() const { return session_.get(); }
    ClientArea& client() { return *client_; }
    const DiagramView& view() const { return *view_; }
    const TestRun& testRun() const { return test_; }
    LogicView* logicView() const { return logicView_; }
    StatusPanel& status() { return *status_; }
    MainMenus menus;

    // The user guide at `topic` ("chapter.md#Heading"), in its own window, raised.
    void ShowHelp(const QString& topic);
    // The guide's troubleshooting place for a message box's text.
    void ShowHelpForMessage(const QString& message);
    // F1: the guide's section about what the pointer is over, or else what has the focus.
    void ContextHelp();
    HelpWindow* helpWindow() const { return help_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    // A configuration file dropped on the window is opened as Open opens it.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void BuildMenus();
    void BuildEditMenu();
    void Wire();
    void ShowPorts();
    void ShowCompiled(bool compiled);
    void UpdateEditActions();
    void FillRecentMenu();
    void RefreshLogic();
    void PlaceBeside(QWidget* window);
    void ShowFindings();
    void LiveTest();
    // The Test button's run on the output shown, lit on the grid; whether the output is on.
    bool TestShownOutput();

    Dialogs& dialogs_;
    DeviceAccess device_;
    Document* doc_ = nullptr;
    FileFlow* files_ = nullptr;
    PortChoice* ports_ = nullptr;
    TransferFlow* transfers_ = nullptr;
    GridEditor* editor_ = nullptr;
    PrintFlow* printing_ = nullptr;
    RecoveryFlow* recovery_ = nullptr;
    std::unique_ptr<Session> session_;
    ClientArea* client_ = nullptr;
    ClientScroll* scroll_ = nullptr;
    std::unique_ptr<DiagramView> view_;
    TestRun test_;
    LogicView* logicView_ = nullptr;
    HelpWindow* help_ = nullptr;
    StatusPanel* status_ = nullptr;
    int curSegment_ = 0;  // the segment the input list is open over
    // The file last compared with, while its diagrams differ: its differences are framed.
    std::optional<Config> compared_;
    QString comparedName_;
};

}  // namespace zez
