// Every text of the desktop editor's window, menus, files, editing and recovery that the browser
// shows is one of web/src/texts.ts's constants, equal to the desktop's; the rest are listed
// below with the reason the browser does not show them.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { transformSync } from 'esbuild';
import { root } from './lib/browser.mjs';

/** The string literals of a C++ file's QStringLiteral(...) and QString::fromLatin1 tables. */
function desktopTexts(file) {
  const src = fs.readFileSync(path.join(root, file.includes('/') ? file : `editor/${file}`), 'utf8');
  const texts = [];
  for (const m of src.matchAll(/QStringLiteral\(((?:\s*"(?:[^"\\]|\\.)*")+)\s*\)/g))
    texts.push([...m[1].matchAll(/"((?:[^"\\]|\\.)*)"/g)].map((p) => JSON.parse(`"${p[1]}"`)).join(''));
  return texts;
}

async function browserTexts() {
  const all = [];
  for (const file of ['web/src/texts.ts', 'web/src/logic/texts.ts']) {
    const src = fs.readFileSync(path.join(root, file), 'utf8');
    const js = transformSync(src, { loader: 'ts', format: 'esm' }).code;
    const module = await import(`data:text/javascript;base64,${Buffer.from(js).toString('base64')}`);
    all.push(...Object.values(module).flatMap((v) => (Array.isArray(v) ? v : [v])).filter((v) => typeof v === 'string'));
  }
  return new Set(all);
}

// What the browser does not show, by the reason.
const notShown = {
  'settings keys, separators and formats, not texts': ['verifyAfterDownload', 'liveTest', 'windowPos', '\r\n', '; ',
    '&%1 %2', '&&', ': ', ', ', 'Block'],
  'desktop folders and dialog filters: the browser chooses files with its own pickers': [
    'C:\\Brantel Lumacor\\*.CDF', '/Brantel Lumacor/*.CDF', 'Configurations (*.CDF *.zez)|*.CDF;*.zez|All Files (*.*)|*.*',
    'Lumacor Zaruzizivav Data Files (*.CDF)|*.CDF|All Files (*.*)|*.*'],
  'the folders of kept files: the browser keeps them in its storage': [
    'ZezUdi %1 (Qt %2)\r\n\r\nSettings: %3\r\nRecovery copies: %4\r\nPrevious versions: %5\r\nTransfer log: %6\r\n\r\nThe command line: zezudi-cli --help',
  ],
  'the browser\'s save picker asks before it replaces a file': ['%1 already exists.\r\nReplace it with the configuration shown?',
    '%1 does not hold a configuration; it may be a picture, a document or another program\'s file.\r\nReplace it with the configuration shown?'],
  'the transfer flows show these (web/src/serial)': [': connecting', '%1: block %2 of %3'],
  'ports of the desktop: the browser lists the ports the user granted': ['&Other Port...', '&Emulated Device', 'COM%1'],
  'names of undo steps, in editor.ts beside the edits they name': ['Drop', 'Choose Input', 'Cut', 'Delete', 'Delete Row'],
  'the clipboard mime type of the desktop': ['application/x-zezudi-segments'],
  'F1 topics, kept on the parts of the window as data-help': ['module.md', 'files.md#The note', 'testing.md#The Logic window'],
  'Export PDF: the browser\'s print dialog writes the file; the exports\' dialog filters': [
    'PDF Files (*.pdf)|*.pdf', '.pdf', '%1 page(s) written to %2.', 'HTML Files (*.html)|*.html', '.html',
    'Print', '/*'],
  'the PDF\'s creator, an SVG\'s description and file dialog filters: no files are written by printing': ['ZezUdi', '%1, %2',
    ';;', '\n', '*.'],
  'Del, U and D are keys named in the palette tips': ['U', 'D', 'Del'],
};

test('the browser shows the desktop\'s texts as they are', async () => {
  const shown = await browserTexts();
  const excused = new Set(Object.values(notShown).flat());
  const files = ['MainMenus.cpp', 'MainWindow.cpp', 'MainWindow.h', 'Dialogs.h', 'Document.h', 'ClientArea.cpp',
                 'StatusPanel.cpp', 'FileFlow.cpp', 'FileFlow.h', 'GridEditor.cpp', 'RecoveryFlow.cpp',
                 'FrmNotes.cpp', 'LogicView.cpp', 'PrintFlow.cpp', 'QtDialogs.cpp', 'export/DiagramDrawing.cpp'];
  const missing = [];
  for (const f of files)
    for (const t of desktopTexts(f)) if (!shown.has(t) && !excused.has(t)) missing.push(`${f}: ${JSON.stringify(t)}`);
  assert.deepEqual(missing, []);
  // An excuse for a text the browser does show, or for none the desktop has, is out of date.
  const desktop = new Set(files.flatMap(desktopTexts));
  const stale = [...excused].filter((t) => shown.has(t) || !desktop.has(t));
  assert.deepEqual(stale, []);
});
