// The browser editor's window: the menus, the client area and the status bar, wired to the core
// (every record edit, evaluation and compile is the core's), the files, recovery and the guide.
import type { ZezUdiModule } from '../../wasm/zezudi';
import { loadCore } from './core';
import { ClientArea } from './client';
import { Doc } from './doc';
import { GridEditor } from './editor';
import { FileFlow } from './files';
import { compareWithFile } from './compare';
import { exportReport } from './report';
import { Recovery } from './recovery';
import { HelpWindow } from './help';
import { Tools } from './tools';
import { StatusBar } from './status';
import { Item, Menu, MenuBar } from './menus';
import * as dialogs from './dialogs';
import { createTransfers } from './serial/transfers';
import * as T from './texts';
import { wireLogic } from './logic/wire';

const kLiveTestKey = 'zezudi.liveTest';
const kVerifyAfterKey = 'zezudi.verifyAfterDownload';

function nowText(): string {
  const d = new Date();
  return `${d.toLocaleDateString(undefined, { dateStyle: 'short' })} ${d.toLocaleTimeString(undefined, { timeStyle: 'long' })}`;
}

const nextFrame = () => new Promise<void>((r) => requestAnimationFrame(() => setTimeout(r, 0)));

function topicOf(el: Element | null): string | null {
  return el?.closest<HTMLElement>('[data-help]')?.dataset.help ?? null;
}

function build(core: ZezUdiModule): void {
  const app = document.getElementById('app')!;
  const doc = new Doc(core);
  const client = new ClientArea();
  const editor = new GridEditor(core, doc, client);
  const files = new FileFlow(core, doc);
  const recovery = new Recovery(core, doc);
  const help = new HelpWindow();
  const status = new StatusBar(doc);
  const tools = new Tools(core, doc, editor);
  let liveTest = localStorage.getItem(kLiveTestKey) === '1';
  let verifyAfter = localStorage.getItem(kVerifyAfterKey) === '1';
  let busy = false;

  dialogs.boxHelp.show = (message) => help.showMessage(message);
  const later = () => dialogs.message(T.kNotInBrowser, T.kAppTitle, 'information');
  const say = (text: string) => status.say(text);
  editor.say = files.say = recovery.say = tools.say = say;
  files.onClean = () => void recovery.keepNow();

  const transfers = createTransfers(core, {
    ui: {
      ask: (text, title) => dialogs.ask(text, title, 'question'),
      message: (text, title, icon) => dialogs.message(text, title, icon),
      progress: (caption) => {
        client.showCaption(caption ?? '');
        status.progress.textContent = caption ?? '';
        status.progress.hidden = caption === null;
      },
      busy: (cancel) => {
        busy = cancel !== null;
        status.cancel.hidden = !busy;
        status.cancel.onclick = cancel;
        status.cancel.disabled = !busy;
        menubar.element.inert = busy;
        client.element.inert = busy;
      },
    },
    current: () => doc.cdf,
    replace: (cdf) => doc.replace(cdf, null, true),
    changed: () => doc.changed,
    fileName: () => (doc.hasFile ? doc.fileName : ''),
    cleared: () => files.newFile(),
    say,
    compared: (other, name) => logic.compareWith(other, name),
    // Told while the transfers are still being made (without Web Serial the port list is known
    // at once): after they are.
    portChanged: () =>
      queueMicrotask(() => {
        status.portName = transfers.portName();
        status.refresh();
      }),
  });
  status.portName = transfers.portName();

  async function showTransferLog(): Promise<void> {
    // The newest entries, as many as the desktop's box shows.
    const lines = transfers.logText().split('\n').filter((l) => l !== '');
    const text = lines.slice(-20).join('\r\n') + '\r\n' + T.kTransferLogKept;
    await dialogs.message(text, T.kTransferLogTitle, 'information');
  }

  function runLiveTest(): void {
    if (!liveTest) return;
    const on = editor.test();
    say(T.fill(T.kLiveTest, doc.output + 1, on ? 'On' : 'Off'));
  }

  function refreshAll(): void {
    client.cboOutput.selectedIndex = doc.output;
    editor.show();
    status.refresh();
    runLiveTest();
  }

  doc.on((what) => {
    if (what === 'restart') editor.reset();
    if (what !== 'status') {
      editor.clearLit();
      status.forgetStale();
    }
    refreshAll();
    recovery.changed();
  });

  async function test(): Promise<void> {
    const on = editor.test();
    await dialogs.message(T.fill(T.kTestResult, doc.output + 1, on ? T.kOn : T.kOff), T.kAppTitle);
  }

  async function compile(): Promise<void> {
    const start = nowText();
    client.prgCompile.value = 0;
    client.prgCompile.hidden = false;
    await nextFrame();
    // Values outside the codes compile all the same, as the desktop editor compiles them.
    core.compile(doc.cdf, false, { force: true });
    client.prgCompile.value = client.prgCompile.max;
    doc.setCompiled();
    const end = nowText();
    await dialogs.message(T.kCompileComplete + start + '\r\n' + end, T.kCompileTitle);
    client.prgCompile.hidden = true;
    say(T.kCompileSaid);
  }

  function stepOutput(by: number): void {
    editor.reset();
    doc.showOutput((doc.output + by + 8) % 8);
  }

  /** Exit: the changes discarded when the user says so, then the tab closed where the browser
   *  lets a page close itself; else the editor starts afresh. */
  async function exit(): Promise<void> {
    if (!(await files.mayDiscard(T.kTitleExit))) return;
    doc.replace(Doc.empty(core), T.kNoFile, false, null);
    await recovery.keepNow();
    window.close();
  }

  const hasSelection = () => editor.hasSelection;
  const cursorShown = () => editor.cursorShown;
  const menus: Menu[] = [
    { text: T.kMenuFile, help: 'files.md', items: [
      { text: T.kMenuNew, keys: ['Ctrl+N'], run: () => void files.newFile() },
      { text: T.kMenuOpen, keys: ['Ctrl+O'], run: () => void files.open() },
      { text: T.kMenuSave, keys: ['Ctrl+S'], run: () => void files.save() },
      { text: T.kMenuSaveAs, keys: ['Ctrl+Shift+S'], run: () => void files.saveAs() },
      { separator: true },
      { text: T.kMenuPrintPreview, run: later },
      { text: T.kMenuPrint, keys: ['Ctrl+P'], run: later },
      { text: T.kMenuExportPdf, run: later },
      { text: T.kMenuExportReport, run: () => void exportReport(core, doc, files) },
      { text: T.kMenuRecent, submenu: (): Item[] => files.recent.length === 0
          ? [{ text: T.kRecentNone, enabled: () => false }]
          : files.recent.map((r, i) => ({ text: `&${i + 1} ${r.name.replace(/&/g, '&&')}`, run: () => void files.openRecent(r) })) },
      { text: T.kMenuVersions, run: () => void files.previousVersions() },
      { text: T.kMenuCompareFile, run: () => void compareWithFile(core, doc, files, say, logic.compareWith) },
      { separator: true },
      { text: T.kMenuExit, keys: ['Ctrl+Q'], run: () => void exit() },
    ] },
    { text: T.kMenuConnect, help: 'module.md', render: (slot) => transfers.renderConnectMenu(slot), items: [
      { text: T.kMenuCompile, enabled: () => !doc.compiled, run: () => void compile() },
      { text: T.kMenuDownload, enabled: () => doc.compiled, run: () => void transfers.download(verifyAfter) },
      { text: T.kMenuUpload, run: () => void transfers.upload() },
      { separator: true },
      { slot: true },
      { separator: true },
      { text: T.kMenuCompare, run: () => void transfers.compare() },
      { text: T.kMenuVerifyAfter, checked: () => verifyAfter, run: () => {
        verifyAfter = !verifyAfter;
        localStorage.setItem(kVerifyAfterKey, verifyAfter ? '1' : '0');
      } },
    ] },
    { text: T.kMenuNotes, run: later },
    { text: T.kMenuEdit, help: 'drawing.md#Undo and redo', items: [
      { text: T.kMenuUndo, keys: ['Ctrl+Z'], enabled: () => doc.undoText !== null, run: () => doc.undo() },
      { text: T.kMenuRedo, keys: ['Ctrl+Shift+Z', 'Ctrl+Y'], enabled: () => doc.redoText !== null, run: () => doc.redo() },
      { separator: true },
      { text: T.kMenuCut, keys: ['Ctrl+X'], enabled: hasSelection, run: () => editor.cut() },
      { text: T.kMenuCopy, keys: ['Ctrl+C'], enabled: hasSelection, run: () => editor.copy() },
      { text: T.kMenuPaste, keys: ['Ctrl+V'], enabled: () => editor.canPaste, run: () => void editor.paste() },
      { text: T.kMenuDelete, keys: ['Delete', 'Backspace'], enabled: hasSelection, run: () => editor.delete() },
      { text: T.kMenuSelectAll, keys: ['Ctrl+A'], run: () => editor.selectAll() },
      { separator: true },
      { text: T.kMenuInsertRow, enabled: cursorShown, run: () => void editor.insertRow() },
      { text: T.kMenuDeleteRow, enabled: cursorShown, run: () => editor.deleteRow() },
    ] },
    { text: T.kMenuTools, help: 'testing.md', items: [
      { text: T.kMenuLogic, keys: ['F6'], run: later },
      { text: T.kMenuDrawFormula, run: later },
      { text: T.kMenuRewire, run: () => void tools.rewire() },
      { text: T.kMenuFindSignal, keys: ['Ctrl+F'], run: () => void tools.findSignal() },
      { text: T.kMenuFindNext, keys: ['F3'], run: () => void tools.findNext() },
      { separator: true },
      { text: T.kMenuNextOutput, keys: ['Ctrl+PageDown'], run: () => stepOutput(1) },
      { text: T.kMenuPreviousOutput, keys: ['Ctrl+PageUp'], run: () => stepOutput(-1) },
      { separator: true },
      { text: T.kMenuLiveTest, checked: () => liveTest, run: () => {
        liveTest = !liveTest;
        localStorage.setItem(kLiveTestKey, liveTest ? '1' : '0');
        if (liveTest) return runLiveTest();
        editor.clearLit();
        editor.show();
        say('');
      } },
      { separator: true },
      { text: T.kMenuTransferLog, run: () => void showTransferLog() },
      { text: T.kMenuSaveTransferLog, run: async () => {
        const name = await files.saveText(transfers.logText(), T.kTransferLogFile, T.kTransferLogTitle);
        if (name !== null) say(T.fill(T.kSaved, name));
      } },
    ] },
    { text: T.kMenuHelp, help: 'index.md', items: [
      { text: T.kMenuUserGuide, keys: ['F1'], run: () => contextHelp() },
      { text: T.kMenuAbout, run: () => void dialogs.message(`ZezUdi ${core.version()} (browser)`, T.kAboutTitle, 'information') },
    ] },
  ];
  // Undo and Redo name the edit they undo, as the desktop's do.
  const edit = menus[3].items!;
  edit[0].text = T.kMenuUndo;
  Object.defineProperty(edit[0], 'text', { get: () => T.kMenuUndo + (doc.undoText ? ` ${doc.undoText}` : '') });
  Object.defineProperty(edit[1], 'text', { get: () => T.kMenuRedo + (doc.redoText ? ` ${doc.redoText}` : '') });

  const logic = wireLogic(core, doc, editor, client, menus, (topic) => help.show(topic));
  const menubar = new MenuBar(menus, () => !busy);
  let pointer: [number, number] = [-1, -1];
  document.addEventListener('pointermove', (e) => { pointer = [e.clientX, e.clientY]; }, { passive: true });
  function contextHelp(): void {
    // An open menu first, then what the pointer is over, then what has the focus.
    const topic = menubar.openHelp ?? topicOf(document.elementFromPoint(pointer[0], pointer[1])) ??
      topicOf(document.activeElement) ?? 'index.md';
    menubar.close();
    help.show(topic);
  }
  document.addEventListener('keydown', (e) => {
    if (e.key === 'F1' && !dialogs.boxOpen()) {
      e.preventDefault();
      e.stopPropagation();
      contextHelp();
    }
  }, true);

  // The client area's own controls.
  client.cboOutput.addEventListener('change', () => {
    editor.reset();
    doc.showOutput(client.cboOutput.selectedIndex);
  });
  client.cmdTest.addEventListener('click', () => void test());
  client.frame.addEventListener('keydown', (e) => {
    if (e.key === 'Enter') {
      e.preventDefault();
      void test();
    }
  });
  for (const box of client.chkIn) box.addEventListener('change', runLiveTest);
  editor.onMarks = () => {};

  // A file dropped on the window is opened, after the question.
  document.addEventListener('dragover', (e) => {
    if (e.dataTransfer?.types.includes('Files') && !busy) e.preventDefault();
  });
  document.addEventListener('drop', (e) => {
    const item = e.dataTransfer?.items[0];
    const file = e.dataTransfer?.files[0];
    if (!file || busy || e.dataTransfer!.files.length !== 1) return;
    e.preventDefault();
    const handle = (item as unknown as { getAsFileSystemHandle?: () => Promise<FileSystemHandle | null> })
      ?.getAsFileSystemHandle?.();
    void (async () => {
      const h = handle ? await handle.catch(() => null) : null;
      await files.openAsked(file, h && h.kind === 'file' ? (h as FileSystemFileHandle) : null);
    })();
  });
  // Leaving with unsaved changes: the browser asks; the recovery copy keeps them either way.
  window.addEventListener('beforeunload', (e) => {
    if (doc.changed) e.preventDefault();
  });

  const window_ = document.createElement('div');
  window_.className = 'window';
  const scroll = document.createElement('div');
  scroll.className = 'client-scroll';
  scroll.append(client.element);
  window_.append(menubar.element, scroll, status.element);
  app.replaceChildren(window_, help.element);
  document.title = T.kMainCaption;
  refreshAll();
  (window as unknown as { zezudi: unknown }).zezudi = { core, doc, editor, files, client, status, help, menus, logic, transfers };
  void recovery.offer().then(() => {
    app.removeAttribute('aria-busy');
    performance.mark('zezudi-ready');
    document.body.dataset.ready = '1';
  });
}

async function start(): Promise<void> {
  const app = document.getElementById('app')!;
  try {
    build(await loadCore());
  } catch (e) {
    app.textContent = `The editor could not start: ${e instanceof Error ? e.message : String(e)}`;
    document.body.dataset.failed = '1';
  }
}

void start();
