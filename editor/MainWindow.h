#pragma once
// frmZezUdiMain: the ladder diagram of one output at a time, the palette, the output list, the
// test panel and the menus.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <array>
#include <memory>

#include "compiler/Compiler.h"
#include "config/Config.h"
#include "config/SegmentEdits.h"
#include "device/Emulator.h"
#include "device/SerialPort.h"
#include "device/Transfers.h"
#include "editor/Dialogs.h"
#include "editor/Document.h"
#include "editor/ImageSurface.h"
#include "editor/LogicView.h"
#include "editor/SegmentWidgets.h"
#include "editor/Session.h"
#include "export/DiagramDrawing.h"
#include "logic/LogicGrid.h"

namespace zez {

inline const QString kMainCaption =
    QStringLiteral("Brantel Lumacor Dadiraze Viruzuvivav Odori Devira Rev 1.0");
inline constexpr int kClientWidth = 881;
inline constexpr int kClientHeight = 689;

// The data that lives as long as the program: the record and the state beside it.
struct ProgramState {
    Config record;
    bool ConfigChanged = false;
    int ComPortNumber = 1;
    ControlArray controlArray{};
};

// How the window reaches the device: a fresh port for each transfer (used on the transfer's own
// thread), a clock, and the ports the Connect menu offers.
struct DeviceAccess {
    std::function<std::unique_ptr<device::SerialPort>()> makePort;
    device::TimeSource* time = nullptr;
    // Menu entry n (0..7) -> port path, and the device behind it for the caption.
    std::function<std::vector<std::pair<std::string, std::string>>()> listPorts;
};

class ClientArea;
class RailLine;

class FrmZezUdiMain : public QMainWindow {
    Q_OBJECT
  public:
    FrmZezUdiMain(ProgramState& state, Dialogs& dialogs, DeviceAccess device = {},
                  QWidget* parent = nullptr);
    ~FrmZezUdiMain() override;

    // The file dialogs' default name: a folder and a pattern.
    static QString DefaultDialogName();
    static const QString kFilter;

    // Handlers, public so that every flow can be driven the way a user drives it.
    void ShowConfig();
    // Tools > Logic: shows the Logic window for the shown output.
    void mnuLogic_Click();
    void cboOutput_Click();
    void imgSegment_DragDrop(int index, int code);
    void lblSeg_Click(int index);
    void cboSelect_Click();
    void tmrCloseCBO_Timer();
    void cmdTest_Click();
    void mnuCompile_Click();
    void mnuCOM_Click(int index);
    void mnuNew_Click();
    void mnuOpen_Click();
    void mnuSave_Click();
    void mnuSaveAs_Click();
    void mnuExit_Click();
    void mnuNotes_Click();
    void mnuDownload_Click();
    void mnuUpload_Click();
    // Editing beyond the drops: cursor, selection, clipboard, rows, keys, click-to-stamp.
    void segment_Pressed(int index, Qt::KeyboardModifiers modifiers);
    void SelectTo(int index);  // a drag over the grid reached `index`
    void SelectAll();
    void ClearSelection();
    void CopySelection();
    void CutSelection();
    void PasteAtCursor();
    void DeleteSelection();
    void InsertRowAtCursor();
    void DeleteRowAtCursor();
    void imgSelect_Clicked(int code);  // a palette picture clicked without a drag: arm it
    int cursorSegment() const { return cursor_; }
    bool hasSelection() const { return hasSelection_; }
    SegRect selection() const { return selection_; }
    int armedCode() const { return armed_; }
    Document& document() { return *doc_; }
    QAction* mnuUndo() const { return mnuUndo_; }
    QAction* mnuRedo() const { return mnuRedo_; }
    QAction* mnuCut() const { return mnuCut_; }
    QAction* mnuCopy() const { return mnuCopy_; }
    QAction* mnuPaste() const { return mnuPaste_; }
    QAction* mnuDelete() const { return mnuDelete_; }
    QAction* mnuSelectAll() const { return mnuSelectAll_; }
    QAction* mnuInsertRow() const { return mnuInsertRow_; }
    QAction* mnuDeleteRow() const { return mnuDeleteRow_; }
    // Print, export, recent files, recovery.
    void mnuPrint_Click(bool preview);
    void mnuExportPdf_Click();
    void OpenRecent(const QString& path);
    // Starts keeping recent files and recovery copies in `storage`, first offering to restore a
    // copy an editor left when it did not end cleanly.
    void StartSession(const Storage& storage);
    // One autosave tick (every 30 s, or ZEZ_AUTOSAVE_MS).
    void Autosave();
    Session* session() const { return session_.get(); }
    QAction* mnuPrint() const { return mnuPrint_; }
    QAction* mnuPrintPreview() const { return mnuPrintPreview_; }
    QAction* mnuExportPdf() const { return mnuExportPdf_; }
    QMenu* mnuRecent() const { return mnuRecent_; }

    // Ports beyond COM1..COM8, and comparing with the device.
    void mnuOtherPort_Click();
    void SelectPortPath(const QString& path);  // a COM entry when it is one of theirs, else Other
    void SelectEmulated();
    void mnuCompare_Click();
    // The port transfers use now, as the user would name it ("Emulated device" for the built-in).
    QString CurrentPortName() const;
    QAction* mnuCompare() const { return mnuCompare_; }
    QAction* mnuVerifyAfter() const { return mnuVerifyAfter_; }
    QAction* mnuOtherPort() const { return mnuOtherPort_; }
    QAction* mnuEmulated() const { return mnuEmulated_; }
    device::DeviceEmulator* emulator() const { return emulator_.get(); }

    // The project's clipboard format.
    static const QString kClipMime;

    // Re-reads the system's serial ports into the COM items' captions.
    void RefreshPorts();
    bool transferRunning() const { return transferRunning_; }
    // Opens a file through the same path as Open, without the dialog (a file named on the
    // command line).
    void OpenNamedFile(const QString& path);

    // Window state.
    int CurOutput() const { return curOutput_; }
    int CurSegment() const { return curSegment_; }
    const QString& FileName() const { return fileName_; }
    bool DialogPathSet() const { return dialogPathSet_; }
    int32_t lInputs() const { return lInputs_; }
    ProgramState& state() { return state_; }

    // Controls.
    PaletteItem* imgSelect(int k) const { return imgSelect_[k]; }
    SegmentPicture* imgSegment(int s) const { return imgSegment_[s]; }
    SegmentLabel* lblSeg(int s) const { return lblSeg_[s]; }
    QComboBox* cboOutput() const { return cboOutput_; }
    QComboBox* cboSelect() const { return cboSelect_; }
    QTimer* tmrCloseCBO() const { return tmrCloseCBO_; }
    QGroupBox* Frame1() const { return frame1_; }
    QCheckBox* chkIn(int i) const { return chkIn_[i]; }
    QPushButton* cmdTest() const { return cmdTest_; }
    QProgressBar* prgCompile() const { return prgCompile_; }
    QLabel* lblComPrg() const { return lblComPrg_; }
    QWidget* clientArea() const;
    const ImageSurface& picTest() const { return picTest_; }
    QAction* mnuNew() const { return mnuNew_; }
    QAction* mnuOpen() const { return mnuOpen_; }
    QAction* mnuSave() const { return mnuSave_; }
    QAction* mnuSaveAs() const { return mnuSaveAs_; }
    QAction* mnuExit() const { return mnuExit_; }
    QAction* mnuCompile() const { return mnuCompile_; }
    QAction* mnuDownload() const { return mnuDownload_; }
    QAction* mnuUpload() const { return mnuUpload_; }
    QAction* mnuCOM(int i) const { return mnuCOM_[i]; }
    QAction* mnuNotes() const { return mnuNotes_; }
    QAction* mnuLogic() const { return mnuLogic_; }
    LogicView* logicView() const { return logicView_; }

    // Whether the rails are drawn as carrying the supply (after a test).
    bool supplyShown() const { return supplyShown_; }
    bool outputShown() const { return outputShown_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void BuildMenus();
    void BuildClient();
    void SetNotCompiled();
    // Asks the Logic window, when it is open, for the shown output and the ticked inputs.
    void RefreshLogic();
    void ShowFindings();
    void BuildEditMenu();
    void OnDocumentChanged(int output);
    // Draws cursor and selection, and enables the Edit items that can act.
    void ShowMarks();
    void UpdateEditActions();
    // The selection, or the cursor's segment when nothing is selected.
    SegRect Target() const;
    // One undo step over the target's segments.
    void EditTarget(const QString& what, const std::function<void(int16_t& type, int16_t& sel)>& f);
    void MoveCursor(int dRow, int dCol, bool extend);
    void FillRecentMenu();
    void OfferRecovery();
    void Remember(const QString& path);
    PrintRequest PrintNow() const;
    void RememberPort();
    void CheckPortItem();
    // Reads back and reports; `ask` puts the power-cycle question first.
    void Compare(bool ask);
    void ShowEnergised(bool on);
    void ClearEnergised();
    void FileOpen();
    void LoadNamedFile(const QString& path);
    // Output 1 shown, not compiled, the selection list closed: how New and Open leave the window.
    void ShowFirstOutputNotCompiled();
    void FileSave();
    void FileSaveAs();
    // Runs a transfer on its own thread while the window stays painted and takes no input.
    device::TransferResult RunTransfer(
        const std::function<device::TransferResult(device::Link&, const std::string&,
                                                   const device::CaptionFn&)>& transfer);
    std::string PortForMenuEntry() const;
    // The message boxes of a transfer's outcome.
    void ReportTransfer(const device::TransferResult& r, const QString& command,
                        const QString& complete, const QString& failed);

    ProgramState& state_;
    Dialogs& dialogs_;
    DeviceAccess device_;
    std::vector<std::pair<std::string, std::string>> ports_;
    bool transferRunning_ = false;
    LogicGrid grid_;
    ImageSurface picTest_;
    int curOutput_ = 0;
    int curSegment_ = 0;
    bool selectArming_ = false;
    QString fileName_ = QStringLiteral("None");
    bool dialogPathSet_ = false;
    int32_t lInputs_ = 0;
    bool supplyShown_ = false;
    bool outputShown_ = false;

    ClientArea* client_ = nullptr;
    std::array<PaletteItem*, 16> imgSelect_{};
    std::array<SegmentPicture*, kSegments> imgSegment_{};
    std::array<SegmentLabel*, kSegments> lblSeg_{};
    QComboBox* cboOutput_ = nullptr;
    QComboBox* cboSelect_ = nullptr;
    QTimer* tmrCloseCBO_ = nullptr;
    QGroupBox* frame1_ = nullptr;
    std::array<QCheckBox*, 16> chkIn_{};
    QPushButton* cmdTest_ = nullptr;
    std::array<RailLine*, 3> linIO_{};
    QProgressBar* prgCompile_ = nullptr;
    QLabel* lblComPrg_ = nullptr;
    QAction* mnuNew_ = nullptr;
    QAction* mnuOpen_ = nullptr;
    QAction* mnuSave_ = nullptr;
    QAction* mnuSaveAs_ = nullptr;
    QAction* mnuExit_ = nullptr;
    QAction* mnuCompile_ = nullptr;
    QAction* mnuDownload_ = nullptr;
    QAction* mnuUpload_ = nullptr;
    std::array<QAction*, 8> mnuCOM_{};
    QAction* mnuNotes_ = nullptr;
    QAction* mnuLogic_ = nullptr;
    LogicView* logicView_ = nullptr;

    Document* doc_ = nullptr;
    int cursor_ = 0;
    int anchor_ = 0;
    bool cursorShown_ = false;  // only once the user has clicked or moved it
    bool hasSelection_ = false;
    SegRect selection_;
    int armed_ = -1;          // the palette code click-to-stamp places, or -1
    char pendingSignal_ = 0;  // 'I' or 'P' typed, waiting for its digit
    QAction* mnuUndo_ = nullptr;
    QAction* mnuRedo_ = nullptr;
    QAction* mnuCut_ = nullptr;
    QAction* mnuCopy_ = nullptr;
    QAction* mnuPaste_ = nullptr;
    QAction* mnuDelete_ = nullptr;
    QAction* mnuSelectAll_ = nullptr;
    QAction* mnuInsertRow_ = nullptr;
    QAction* mnuDeleteRow_ = nullptr;
    QAction* mnuPrint_ = nullptr;
    QAction* mnuPrintPreview_ = nullptr;
    QAction* mnuExportPdf_ = nullptr;
    QMenu* mnuRecent_ = nullptr;
    std::unique_ptr<Session> session_;
    enum class PortKind { Com, Other, Emulated };
    PortKind portKind_ = PortKind::Com;
    std::string otherPort_;
    std::unique_ptr<device::DeviceEmulator> emulator_;
    device::SimTime simTime_;
    QAction* mnuCompare_ = nullptr;
    QAction* mnuVerifyAfter_ = nullptr;
    QAction* mnuOtherPort_ = nullptr;
    QAction* mnuEmulated_ = nullptr;
    QTimer* autosave_ = nullptr;
};

}  // namespace zez
