// The browser edition's download against the paced emulator (zezudi-devsim --pace: every reply
// comes after the wire time of its command and reply at 115,200 baud), beside the native command
// line and the WebAssembly core under Node, interleaved; then the same three unpaced, and the
// stand-in's bare round trip, to tell where a gap goes. Usage (after scripts/test-web has built
// what it needs): node bench/browser_transfer.mjs [ROUNDS]
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import tty from 'node:tty';
import { TtyPort } from '../wasm/node/tty-port.mjs';
import { launch, menu, messageBox, root, ways } from '../web/tests/lib/browser.mjs';
import { ADAPTER, box, choosePort, cli, closeSerial, devsim, example, openWith, relay, startDevice, withSerial, work } from '../web/tests/lib/serial.mjs';

const rounds = Number(process.argv[2] || 5);
const cdf = fs.readFileSync(example);
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

async function nodeRun(faults) {
  const device = await startDevice(devsim, work, 'node', faults);
  const t0 = performance.now();
  const r = await core.download(cdf, new TtyPort(), device.pty);
  const s = seconds(t0);
  await device.stop();
  if (r.outcome !== 'complete') throw new Error(r.reason);
  return s;
}

let sends = 0;
// One download in `page`, from the power-cycle question's Yes to the outcome's box.
async function browserRun(page, faults) {
  const device = await startDevice(devsim, work, 'browser', faults);
  relay.connect(device.pty);
  await menu(page, 'Connect', 'Download');
  await messageBox(page);
  const t0 = performance.now();
  await page.locator('dialog.box[open] .box-buttons button', { hasText: 'Yes' }).click();
  const outcome = await box(page);
  const s = seconds(t0);
  sends += await page.evaluate(() => window.__sends);
  await page.evaluate(() => (window.__sends = 0));
  await device.stop();
  if (!outcome.text.startsWith('Download Complete.')) throw new Error(outcome.text);
  return s;
}

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
const median = (a) => [...a].sort((x, y) => x - y)[Math.floor(a.length / 2)];
for (const faults of [['--pace'], []]) {
  const times = { native: [], node: [], browser: [] };
  for (let i = 0; i < rounds; ++i) {
    times.native.push(await nativeRun(faults));
    times.node.push(await nodeRun(faults));
    times.browser.push(await browserRun(page, faults));
  }
  const how = faults.length ? 'paced' : 'unpaced';
  for (const [name, t] of Object.entries(times))
    console.log(`${how} download, ${name.padEnd(7)}: median ${median(t).toFixed(2)} s, ` +
                `from ${Math.min(...t).toFixed(2)} to ${Math.max(...t).toFixed(2)} (${t.map((x) => x.toFixed(2)).join(', ')})`);
  console.log(`${how} browser / native (medians): ${(median(times.browser) / median(times.native)).toFixed(3)}`);
}

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

await browser.close();
await site.close();
await closeSerial();
process.exit(0);
