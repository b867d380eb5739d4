// Every text the desktop's transfer flow shows is, word for word, a text of the browser's
// transfers (in web/src/serial/texts.ts), but for those listed here with the reason.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import esbuild from 'esbuild';

const root = path.resolve(path.dirname(new URL(import.meta.url).pathname), '../..');
const notShown = {
  'COM%1 was remembered by an earlier version of this program by its place in the list of ports, which changes when adapters are plugged in. It is now %2.\r\nUse this port?':
    'the browser keeps its ports by adapter from the start; no earlier choice by place exists',
  '\r\nThe log is kept in %1.': 'the browser keeps the log in its storage and saves it as text',
};

// The C++ string literals of QStringLiteral(...), adjacent literals joined, escapes undone.
function literals(source) {
  const found = [];
  for (const m of source.matchAll(/QStringLiteral\(((?:\s*"(?:[^"\\]|\\.)*")+)\s*\)/g))
    found.push([...m[1].matchAll(/"((?:[^"\\]|\\.)*)"/g)].map((p) => p[1]).join('')
      .replace(/\\(.)/g, (_, c) => ({ r: '\r', n: '\n', t: '\t' })[c] ?? c));
  return found;
}

test('the desktop transfer texts are the browser transfer texts', async () => {
  const built = await esbuild.build({ entryPoints: [path.join(root, 'web/src/serial/texts.ts')], bundle: true, format: 'esm', write: false });
  const texts = await import('data:text/javascript,' + encodeURIComponent(built.outputFiles[0].text));
  const values = Object.values(texts).filter((v) => typeof v === 'string');
  const desktop = literals(fs.readFileSync(path.join(root, 'editor/TransferFlow.cpp'), 'utf8'));
  assert.ok(desktop.length > 30, 'the desktop texts are found');
  const missing = desktop.filter((t) => t.trim().length > 1 && !(t in notShown) && !values.some((v) => v.includes(t)));
  assert.deepEqual(missing, []);
  for (const t of Object.keys(notShown)) assert.ok(desktop.includes(t), `still a desktop text: ${JSON.stringify(t)}`);
});
