// The browser edition's download against the paced emulator (every reply comes after the wire
// time of its command and reply at 115,200 baud), beside the native command line, interleaved:
// - native: zezudi-cli against zezudi-devsim --pace on a pseudo-terminal;
// - desktop (paced only): the desktop editor's port (QSerialPort) against the same, as
//   build/ci/bench/transfer times it (its download alone, of a configuration of its own: the
//   same exchanges);
// - node: the WebAssembly core under Node against the same;
// - browser: the editor in Chromium through the tests' navigator.serial stand-in, relayed over a
//   WebSocket to the same (the relay's round trip is most of its gap: measured at the end);
// - worker: the editor in Chromium through a navigator.serial whose adapter leads to the module's
//   own emulator, paced alike, in a worker of the page (bench/paced-serial.js): the editor's own
//   path to a device (its WebSerialPort and the browser's streams; not Chrome's serial service,
//   which the stand-in port replaces), with a transport about as quick as the terminal's;
// - page: the same, but the module's download with the editor's WebSerialPort alone in a bare
//   page (bench/paced-core.mjs): the core and its port without the editor around them.
// Then the first three unpaced. Usage (after scripts/test-web has built what it needs):
// node bench/browser_transfer.mjs [ROUNDS [PATHS]], PATHS a comma-separated choice of the six
// (all by default; the round trips at the end are measured with the browser's path).
// The downloads in Chromium are timed in the page, from the click on Yes to the outcome's box
// opening: the tests' wait for a box polls, which made the editor's download look about 0.3 s
// longer with its page in front, and 4 s longer with another page in front.
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import tty from 'node:tty';
import { TtyPort } from '../wasm/node/tty-port.mjs';
import { launch, menu, messageBox, root, serve, siteDir, ways } from '../web/tests/lib/browser.mjs';
import { ADAPTER, box, choosePort, cli, closeSerial, devsim, example, openWith, relay, startDevice, withSerial, work } from '../web/tests/lib/serial.mjs';

const rounds = Number(process.argv[2] || 5);
if (!(Number.isInteger(rounds) && rounds > 0)) throw new Error(`ROUNDS must be a whole number above 0, not ${process.argv[2]}`);
const kPaths = ['native', 'desktop', 'node', 'browser', 'worker', 'page'];
const paths = (process.argv[3] || kPaths.join(',')).split(',');
for (const p of paths) if (!kPaths.includes(p)) throw new Error(`no path "${p}": choose from ${kPaths.join(', ')}`);
const cdf = fs.readFileSync(example);
const esbuild = createRequire(path.join(root, 'web/package.json'))('esbuild');
const core = await createRequire(import.meta.url)(path.join(root, 'build/wasm/wasm/zezudi.js'))();
const seconds = (t0) => (performance.now() - t0) / 1000;

// The command line's own time, from its start to its end (the device already waiting).
async function nativeRun(faults) {
  const device = await startDevice(devsim, work, 'native', faults);
  const t0 = performance.now();
  const child = spawn(cli, ['download', example, '--port', device.pty, '--yes'], { stdio: ['ignore', 'pipe', 'inherit'] });
  let out = '';
  child.stdout.on('data', (d) => (out += d));
  await new Promise((resolve) => child.once('close', resolve));
  const s = seconds(t0);
  await device.stop();
  if (!out.includes('Download Complete.')) throw new Error(out);
  return s;
}

function desktopRun() {
  const out = execFileSync(path.join(root, 'build/ci/bench/transfer'), [devsim, '--pace'], { encoding: 'utf8' });
  const m = /^download: ([\d.]+) s, complete/m.exec(out);
  if (!m) throw new Error(out);
  return Number(m[1]);
}

async function nodeRun(faults) {
  const device = await startDevice(devsim, work, 'node', faults);
  const t0 = performance.now();
  const r = await core.download(cdf, new TtyPort(), device.pty);
  const s = seconds(t0);
  await device.stop();
  if (r.outcome !== 'complete') throw new Error(r.reason);
  return s;
}

// One download in `page`, from the power-cycle question's Yes to the outcome's box.
async function download(page) {
  await menu(page, 'Connect', 'Download');
  await messageBox(page);
  const yes = page.locator('dialog.box[open] .box-buttons button', { hasText: 'Yes' });
  await yes.evaluate((button) => {
    const open = () => document.querySelector('dialog.box[open]');
    window.__timed = new Promise((resolve, reject) => {
      setTimeout(() => reject(new Error('no box within 120 s of Yes')), 120000);
      button.addEventListener('click', () => {
        const t0 = performance.now();
        const seen = new MutationObserver(() => {
          if (!open()) return;
          seen.disconnect();
          resolve((performance.now() - t0) / 1000);
        });
        seen.observe(document.body, { subtree: true, attributeFilter: ['open'] });
      }, { once: true, capture: true });
    });
  });
  await yes.click();
  const s = await page.evaluate(() => window.__timed);
  const outcome = await box(page);
  if (!outcome.text.startsWith('Download Complete.')) throw new Error(outcome.text);
  return s;
}

let sends = 0;
async function browserRun(page, faults) {
  const device = await startDevice(devsim, work, 'browser', faults);
  relay.connect(device.pty);
  const s = await download(page);
  sends += await page.evaluate(() => window.__sends);
  await page.evaluate(() => (window.__sends = 0));
  await device.stop();
  return s;
}

// The bare page: the module's loader and the bundled port, nothing else.
const bare = path.join(work, 'bench-page');
fs.mkdirSync(bare, { recursive: true });
fs.writeFileSync(path.join(bare, 'core.html'), '<!doctype html><script src="/zezudi.js"></script><script src="/paced-core.js"></script>');
await esbuild.build({ entryPoints: [path.join(root, 'bench/paced-core.mjs')], bundle: true, format: 'iife', target: 'es2020',
                      outfile: path.join(bare, 'paced-core.js'), logLevel: 'warning' });

// The served editor, isolated (so the worker's clock reads to the microsecond), with the worker.
const isolated = await serve(siteDir, {
  headers: { 'Cross-Origin-Opener-Policy': 'same-origin', 'Cross-Origin-Embedder-Policy': 'require-corp' },
  extra: { '/paced-device.js': path.join(root, 'bench/paced-device.js'), '/core.html': path.join(bare, 'core.html'),
           '/paced-core.js': path.join(bare, 'paced-core.js') },
});

const browser = await launch();
const site = await ways[0].open();
await withSerial(browser.context);
// Every message the page sends to the relay is a write of the port.
await browser.context.addInitScript(() => {
  const send = WebSocket.prototype.send;
  window.__sends = 0;
  WebSocket.prototype.send = function (data) {
    ++window.__sends;
    return send.call(this, data);
  };
});
const page = await openWith(browser.context, site.url, cdf);
await choosePort(page, ADAPTER);
const workerContext = await browser.newContext();
await workerContext.addInitScript({ path: path.join(root, 'bench/paced-serial.js') });
const workerPage = await openWith(workerContext, isolated.url, cdf);
if (!(await workerPage.evaluate(() => crossOriginIsolated))) throw new Error('the worker page is not isolated');
const barePage = paths.includes('page') ? await workerContext.newPage() : null;
await barePage?.goto(`${isolated.url}core.html`);
await choosePort(workerPage, ADAPTER);
const median = (a) => [...a].sort((x, y) => x - y)[Math.floor(a.length / 2)];
for (const faults of [['--pace'], []]) {
  // Each page is brought to the front for its download, as a user's would be.
  const front = (p, f) => async (faults) => (await p.bringToFront(), f(faults));
  const run = { native: nativeRun, desktop: desktopRun, node: nodeRun, browser: front(page, (f) => browserRun(page, f)),
                worker: front(workerPage, () => download(workerPage)),
                page: front(barePage, () => barePage.evaluate((bytes) => globalThis.coreDownload(bytes), [...cdf])) };
  const times = Object.fromEntries(paths.filter((p) => !['desktop', 'worker', 'page'].includes(p) || faults.length).map((p) => [p, []]));
  for (let i = 0; i < rounds; ++i) for (const [name, t] of Object.entries(times)) t.push(await run[name](faults));
  const how = faults.length ? 'paced' : 'unpaced';
  for (const [name, t] of Object.entries(times))
    console.log(`${how} download, ${name.padEnd(7)}: median ${median(t).toFixed(2)} s, ` +
                `from ${Math.min(...t).toFixed(2)} to ${Math.max(...t).toFixed(2)} (${t.map((x) => x.toFixed(2)).join(', ')})`);
  for (const name of ['desktop', 'browser', 'worker', 'page'].filter((n) => times[n] && times.native))
    console.log(`${how} ${name} / native (medians): ${(median(times[name]) / median(times.native)).toFixed(3)}`);
}

if (paths.includes('browser')) {
  // The exchange alone: the stand-in's round trip through the relay, without the core.
  const probe = await startDevice(devsim, work, 'probe');
  relay.connect(probe.pty);
  const roundTrip = await page.evaluate(async () => {
    const [port] = await navigator.serial.getPorts();
    await port.open({ baudRate: 38400 });
    const w = port.writable.getWriter();
    const r = port.readable.getReader();
    const cmd = new TextEncoder().encode('[200700--]');
    const t0 = performance.now();
    for (let i = 0; i < 300; ++i) {
      await w.write(cmd);
      for (let got = 0; got < 8;) got += (await r.read()).value.length;
    }
    const ms = (performance.now() - t0) / 300;
    w.releaseLock();
    await r.cancel();
    r.releaseLock();
    await port.close();
    return ms;
  }, null);
  console.log(`stand-in round trip (page -> relay -> zezudi-devsim -> page): ${roundTrip.toFixed(2)} ms`);
  // The same exchange from Node straight on the pseudo-terminal: the device's own share.
  const fd = fs.openSync(probe.pty, fs.constants.O_RDWR | fs.constants.O_NOCTTY);
  execFileSync('stty', ['-F', probe.pty, '38400', 'raw', '-echo']);
  const stream = new tty.ReadStream(fd);
  stream.setRawMode(true);
  let got = 0;
  let wake = () => {};
  stream.on('data', (d) => {
    got += d.length;
    wake();
  });
  const t1 = performance.now();
  for (let i = 0; i < 300; ++i) {
    got = 0;
    fs.writeSync(fd, '[200700--]');
    while (got < 8) await new Promise((resolve) => (wake = resolve));
  }
  console.log(`the same exchange from Node on the pseudo-terminal: ${((performance.now() - t1) / 300).toFixed(2)} ms`);
  stream.destroy();
  await probe.stop();
  console.log(`messages the page sent per download: ${sends / (2 * rounds)}`);
}

await browser.close();
await site.close();
await isolated.close();
await closeSerial();
process.exit(0);
