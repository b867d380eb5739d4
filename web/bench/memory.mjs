// What the browser editor holds after an hour of a technician's work done at machine speed: the
// single file over file:// in Debian's chromium, with the serial stand-in relayed to
// zezudi-devsim. Ten rounds, each of drops from the palette, the grid's keys, copy and paste,
// undo and redo, output changes, Test, the Logic window, a note edit, Compile, the recovery copy
// written, and a download. Sampled at the start, after each round and after File > New, each time
// after a full garbage collection: the JavaScript heap, the module's memory, the DOM's nodes and
// listeners, the undo steps and the transfer log's entries.
// Usage (after scripts/test-web has built what it needs): node web/bench/memory.mjs [ROUNDS]
import { pathToFileURL } from 'node:url';
import { launch, menu, singleFile } from '../tests/lib/browser.mjs';
import { ADAPTER, box, choosePort, closeSerial, devsim, example, openWith, relay, start, startDevice, withSerial,
         work } from '../tests/lib/serial.mjs';
import fs from 'node:fs';

const rounds = Number(process.argv[2] || 10);
let seed = 20261209;
const random = (n) => {
  seed = (seed * 1103515245 + 12345) % 2147483648;
  return Math.floor((seed / 2147483648) * n);
};
const pick = (list) => list[random(list.length)];

const browser = await launch();
// The module's memory, whichever way the page instantiates it.
await browser.context.addInitScript(() => {
  const keep = (r) => {
    for (const v of Object.values((r.instance ?? r).exports)) if (v instanceof WebAssembly.Memory) window.__wasmMemory = v;
    return r;
  };
  for (const f of ['instantiate', 'instantiateStreaming']) {
    const original = WebAssembly[f];
    WebAssembly[f] = function (...args) {
      for (const v of Object.values(args[1]?.env ?? {})) if (v instanceof WebAssembly.Memory) window.__wasmMemory = v;
      return original.apply(this, args).then(keep);
    };
  }
});
await withSerial(browser.context);
const page = await openWith(browser.context, pathToFileURL(singleFile).href, fs.readFileSync(example));
const cdp = await page.context().newCDPSession(page);
await choosePort(page, ADAPTER);

const rows = [];
async function sample(when) {
  await cdp.send('HeapProfiler.collectGarbage');
  const heap = (await cdp.send('Runtime.getHeapUsage')).usedSize;
  const dom = await cdp.send('Memory.getDOMCounters');
  let listeners = 0;
  for (const target of ['window', 'document']) {
    const { result } = await cdp.send('Runtime.evaluate', { expression: target });
    listeners += (await cdp.send('DOMDebugger.getEventListeners', { objectId: result.objectId })).listeners.length;
  }
  const own = await page.evaluate(() => ({
    wasm: window.__wasmMemory?.buffer.byteLength ?? NaN,
    elements: document.getElementsByTagName('*').length,
    revision: window.zezudi.doc.revision,
    undo: window.zezudi.doc.steps.length,
    log: JSON.parse(localStorage.getItem('zezudi.serial.log') ?? '[]').length,
  }));
  const mb = (b) => (b / 1048576).toFixed(2);
  rows.push([when, own.revision, mb(heap), mb(own.wasm), dom.nodes, own.elements, dom.jsEventListeners, listeners,
             own.undo, own.log]);
}

const keyEdits = ['w', 'c', 'n', 'u', 'd'];
const moves = ['ArrowLeft', 'ArrowRight', 'ArrowUp', 'ArrowDown'];
let actions = 0;
const press = async (key) => {
  await page.keyboard.press(key);
  ++actions;
};
const segment = (s) => page.locator(`.seg[data-seg="${s}"]`);

async function dropFromPalette(code, s) {
  const from = await page.locator(`.pal[data-code="${code}"]`).boundingBox();
  const to = await segment(s).boundingBox();
  await page.mouse.move(from.x + 20, from.y + 20);
  await page.mouse.down();
  await page.mouse.move(from.x + 30, from.y + 25, { steps: 2 });
  await page.mouse.move(to.x + 20, to.y + 20, { steps: 4 });
  await page.mouse.up();
  ++actions;
}

async function closeWindow(selector) {
  await page.locator(`${selector} button[aria-label="Close"]`).click();
  await page.locator(selector).waitFor({ state: 'hidden' });
}

async function round(n) {
  await press('Control+PageDown');
  for (let i = 0; i < 15; ++i) await dropFromPalette(1 + random(15), random(256));
  await segment(random(256)).click();
  for (let i = 0; i < 200; ++i) {
    if (random(3) === 0) await press(pick(moves));
    else if (random(6) === 0) {
      await press(pick(['i', 'p']));
      await press(String(1 + random(8)));
    } else await press(pick(keyEdits));
  }
  for (let i = 0; i < 15; ++i) {
    for (const key of ['Shift+ArrowRight', 'Shift+ArrowDown', 'Control+C', pick(moves), pick(moves), 'Control+V', 'Escape'])
      await press(key);
  }
  for (let i = 0; i < 40; ++i) await press('Control+Z');
  for (let i = 0; i < 30; ++i) await press('Control+Y');
  for (let i = 0; i < 3; ++i) {
    await page.getByRole('button', { name: 'Test', exact: true }).click();
    await box(page);
  }
  await page.keyboard.press('F6');
  await page.locator('.logic-window').waitFor();
  await dropFromPalette(1 + random(15), random(256)); // the Logic window follows the edit
  await closeWindow('.logic-window');
  await page.getByRole('menubar').getByRole('menuitem', { name: 'Notes', exact: true }).click();
  await page.locator('.txt-notes').pressSequentially(`Round ${n}: checked. `);
  actions += 20;
  await closeWindow('.notes-window');
  await page.waitForFunction(() => document.body.dataset.kept === String(window.zezudi.doc.revision));
  await menu(page, 'Connect', 'Compile');
  await box(page);
  const device = await startDevice(devsim, work, 'memory');
  relay.connect(device.pty);
  await start(page, 'download');
  const outcome = await box(page);
  await device.stop();
  if (outcome.title !== 'Download' || !outcome.text.startsWith('Download Complete')) throw new Error(outcome.text);
}

const t0 = performance.now();
await sample('start');
for (let n = 1; n <= rounds; ++n) {
  await round(n);
  await sample(`round ${n}`);
}
await menu(page, 'File', 'New');
await box(page, 'Yes');
await sample('New');
const minutes = ((performance.now() - t0) / 60000).toFixed(1);

const head = ['after', 'revision', 'JS heap MB', 'wasm MB', 'DOM nodes', 'elements', 'JS listeners', 'on window+document',
              'undo steps', 'log entries'];
console.log(`${actions} actions (keys, drops, notes' characters) and ${rounds} downloads in ${minutes} min`);
for (const r of [head, ...rows]) console.log(r.map((c, i) => String(c).padStart(i === 0 ? 8 : head[i].length)).join('  '));
await browser.close();
await closeSerial();
process.exit(0);
