// The texts the browser editor shows, copied exactly from the desktop editor (one constant each;
// %1, %2 stand for what fill() puts in, as the desktop's arg() does). web/tests/texts.test.mjs
// holds them equal to the desktop's.

/** `template` with %1, %2, ... replaced by `args` in order. */
export function fill(template: string, ...args: Array<string | number>): string {
  return template.replace(/%(\d)/g, (m, n: string) => {
    const a = args[Number(n) - 1];
    return a === undefined ? m : String(a);
  });
}

/** A desktop text as a browser shows it: its line breaks as "\n". */
export function lines(text: string): string {
  return text.replace(/\r\n/g, '\n');
}

// The window
export const kMainCaption = 'Brantel Lumacor Dadiraze Viruzuvivav Odori Devira Rev 1.0';
export const kAppTitle = 'Brantel LC ZezUdi';
export const kOutputItem = 'LC Input %1';
export const kInputItem = 'Input %1';
export const kPilotItem = 'Pilot %1';
export const kTestFrame = 'Test';
export const kInputBox = 'I%1';
export const kPilotBox = 'P%1';
export const kTestButton = '&Test';
export const kDiagramName = 'Diagram';
/** A segment's place, as Find and the Logic window's findings say it. */
export const kCellPlace = 'row %1, column %2';
/** A row of the grid, for screen readers (its cells say the rest). */
export const kRowName = 'row %1';

// The palette's tips
export const kPaletteTip =
  '%1 (keys: %2). Drag onto a segment, or click to place it with each click.';
export const kElementNames = ['', 'Wire', 'Normally open contact', 'Normally closed contact'];
export const kElementKeys = ['', 'W', 'C', 'N'];
export const kBlank = 'Blank';
export const kWith = ' with ';
export const kLinkWords = ['an up link', 'a down link', 'up and down links'];

// Menus: File
export const kMenuFile = '&File';
export const kMenuNew = '&New';
export const kMenuOpen = '&Open';
export const kMenuSave = '&Save';
export const kMenuSaveAs = 'Save &As';
export const kMenuPrintPreview = 'Print Pre&view...';
export const kMenuPrint = '&Print...';
export const kMenuExportPdf = '&Export PDF...';
export const kMenuExportReport = 'Export Repor&t...';
export const kMenuRecent = '&Recent Files';
export const kRecentNone = '(none)';
export const kMenuVersions = 'Previous &Versions...';
export const kMenuCompareFile = 'Co&mpare With File...';
export const kMenuExit = 'E&xit';
// Connect
export const kMenuConnect = '&Connect';
export const kMenuCompile = '&Compile';
export const kMenuDownload = '&Download';
export const kMenuUpload = '&Upload';
export const kMenuCompare = 'Compare &with Device...';
export const kMenuVerifyAfter = '&Verify After Download';
// Notes, Edit
export const kMenuNotes = '&Notes';
export const kMenuEdit = '&Edit';
export const kMenuUndo = '&Undo';
export const kMenuRedo = '&Redo';
export const kMenuCut = 'Cu&t';
export const kMenuCopy = '&Copy';
export const kMenuPaste = '&Paste';
export const kMenuDelete = '&Delete';
export const kMenuSelectAll = 'Select &All';
export const kMenuInsertRow = '&Insert Row';
export const kMenuDeleteRow = 'Delete Ro&w';
// Tools
export const kMenuTools = '&Tools';
export const kMenuLogic = '&Logic';
export const kMenuDrawFormula = '&Draw From Formula...';
export const kMenuRewire = '&Rewire Signals...';
export const kMenuFindSignal = '&Find Signal...';
export const kMenuFindNext = 'Find Ne&xt';
export const kMenuNextOutput = '&Next Output';
export const kMenuPreviousOutput = '&Previous Output';
export const kMenuLiveTest = 'Li&ve Test';
export const kMenuTransferLog = 'Transfer Lo&g...';
export const kTransferLogTitle = 'Transfer Log';
export const kMenuSaveTransferLog = 'Save Transfer Log...';
export const kTransferLogKept = "\r\nThe log is kept in this browser's storage for this page.";
export const kTransferLogFile = 'zezudi-transfers.txt';
// Help
export const kMenuHelp = '&Help';
export const kMenuUserGuide = '&User Guide';
export const kMenuAbout = '&About ZezUdi...';
export const kAboutTitle = 'About ZezUdi';

// The status bar
export const kStatusFile = 'File: ';
export const kNoFile = 'None';
export const kChangedMark = ' *';
export const kNoFileTip = 'No file: Save asks for a name';
export const kCompiled = 'Compiled';
export const kNotCompiled = 'Not compiled';
export const kUnsavedChanges = 'Unsaved changes; ';
export const kNotFileContent = "Not the file's content: Save replaces %1; ";
export const kPort = 'Port: ';
export const kPortNone = 'none';
export const kCancel = 'Cancel';

// Test and Compile
export const kTestResult = 'Lumacor Input %1%2';
export const kOn = ' On';
export const kOff = ' Off';
export const kLiveTest = 'Live test: LC Input %1 %2';
export const kCompileTitle = 'Compile';
export const kCompileComplete = 'Complete\r\n';
export const kCompileSaid = 'Compile complete: ready to download';

// Files
export const kTitleNew = 'New';
export const kTitleOpen = 'Open';
export const kTitleSave = 'Save';
export const kTitleSaveAs = 'Save As';
export const kTitleExit = 'Exit Program';
export const kDiscardChanges = 'Discard Changes?';
export const kDiscardAnyChanges = 'Discard Any Changes?';
export const kFilter = 'Lumacor Zaruzizivav Data Files (*.CDF)';
export const kExtension = '.CDF';
export const kOpened = 'Opened %1';
export const kSaved = 'Saved %1';
export const kNotAConfiguration = 'This file holds no configuration: it looks like %1.\r\n';
export const kInvalidValues =
  '%1 segment(s) in this file hold values outside 0 to 15.\r\n' +
  'Until they are replaced, a segment with an invalid type acts as an ' +
  'empty segment, and a contact with an invalid input selection acts as ' +
  'if its input were off.';
export const kChangedElsewhere =
  '%1 was changed by another program since it was opened or saved here.\r\n' +
  'Replace it with the configuration shown?';
export const kNoLongerExists = '%1 no longer exists; it was taken off the recent files.';
// Previous versions
export const kKeptNote = '\r\n(What it holds now is kept: File > Previous Versions...)';
export const kNotKeptAsk = 'The previous version of %1 could not be kept: %2\r\nSave all the same?';
export const kNotKept = ' (its previous version was not kept)';
export const kTitleVersions = 'Previous Versions';
export const kNoVersions = 'No previous versions of %1 were kept.';
export const kNoFileVersions = 'There is no file: previous versions are kept of saved files.';
export const kVersionsOf = 'Versions of %1 that saves replaced, newest first:';
export const kVersionItem = '%1 (%2 bytes)';
export const kShowingVersion = 'Showing the version of %1';

// Editing
export const kTitlePaste = 'Paste';
export const kClipboardUnreadable = 'The clipboard holds no segments this program can read.';
export const kPastedInvalid =
  '%1 pasted segment(s) hold values outside 0 to 15.\r\nUntil they are ' +
  'replaced, a segment with an invalid type acts as an empty segment, and ' +
  'a contact with an invalid input selection acts as if its input were off.';
export const kTitleInsertRow = 'Insert Row';

// Recovery
export const kTitleRecovery = 'Recovery';
export const kNewConfiguration = 'a new configuration';
export const kRecoveryOffer =
  'ZezUdi did not end cleanly last time. Unsaved changes ' +
  'to %1, written %2, were kept.\r\nRestore them? (No ' +
  'deletes them.)';
export const kRecoveryFailed =
  'Unsaved changes cannot be kept for recovery after a crash: %1 ' +
  'Save your work to keep it.';

// Message box buttons
export const kYes = '&Yes';
export const kNo = '&No';
export const kOk = 'OK';

// What this build leaves to the desktop editor
/** Save As without the browser's save picker: the name of the download. */
export const kFileNameAsk = 'File name:';
// File > Compare With File
export const kTitleCompareFile = 'Compare With File';
export const kCompareFileText = 'A: the configuration shown\nB: %1\n\n%2';
export const kComparedSame = 'Same as %1';
export const kComparedDiffers = 'Differs from %1';
/** A segment's frame after a comparison. */
export const kDiffersFrom = 'differs from %1, which has %2 here';

// File > Export Report
export const kTitleExportReport = 'Export Report';
export const kReportUnsaved = 'a configuration not saved';
export const kReportGenerated = 'on %1 from %2';
export const kReportWritten = 'Report written to %1.';
export const kHoldsConfiguration = '%1 holds a configuration; nothing was written. Choose another name.';

// File > Export PDF: the browser's print dialog writes the PDF.
export const kTitleExportPdf = 'Export PDF';
export const kExportPdfHow =
  'The print dialog opens next. To write the pages to a PDF file, choose "Save as PDF" (or ' +
  '"Microsoft Print to PDF") as its destination, then save.';

export const kNotInBrowser = 'This is not available in the browser edition yet.';

// Tools
export const kTitleRewire = 'Rewire Signals';
export const kRewireAsk =
  'Move the contacts of every output to other signals, as when a switch ' +
  'was wired to another input.\nA=B moves the contacts on A to B, A<>B ' +
  'swaps A and B; for example: I3=P5, I1<>I2';
export const kRewireNothing = ': no contact is on these signals; nothing changed';
export const kRewireMoved = '%1: %2 contact(s) moved';
export const kTitleFind = 'Find Signal';
export const kFindAsk = 'Go to the contacts on a signal (I1..I8, P1..P8):';
export const kNoSignal = '"%1" is no signal: type I1 to I8 or P1 to P8.';
export const kNoContactOn = ': no contact on it';
export const kFoundContact = '%1: contact %2 of %3, LC Input %4, row %5, column %6';
