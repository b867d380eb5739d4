// The browser edition's download against the paced emulator (zezudi-devsim --pace: every reply
// comes after the wire time of its command and reply at 115,200 baud), beside the native command
// line and the WebAssembly core under Node in the same run; then the page's JavaScript heap
// after ten downloads, all in the editor's page. Usage (after scripts/test-web has built what it needs):
//   node bench/browser_transfer.mjs [ROUNDS]
import fs from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import { TtyPort } from '../wasm/node/tty-port.mjs';
import { launch, menu, messageBox, root, ways } from '../web/tests/lib/browser.mjs';
import { ADAPTER, box, choosePort, closeSerial, devsim, example, native, openWith, relay, startDevice, withSerial, work } from '../web/tests/lib/serial.mjs';

const rounds = Number(process.argv[2] || 2);
const cdf = fs.readFileSync(example);
const core = await createRequire(import.meta.url)(path.join(root, 'build/wasm/wasm/zezudi.js'))();
const seconds = (t0) => (performance.now() - t0) / 1000;

async function nativeRun() {
  const t0 = performance.now();
  const r = await native(['download', example], ['--pace']);
  if (!r.out.includes('Download Complete.')) throw new Error(r.out + r.reason);
  return seconds(t0);
}

async function nodeRun() {
  const device = await startDevice(devsim, work, 'node', ['--pace']);
  const t0 = performance.now();
  const r = await core.download(cdf, new TtyPort(), device.pty);
  const s = seconds(t0);
  await device.stop();
  if (r.outcome !== 'complete') throw new Error(r.reason);
  return s;
}

// One download in `page`, from the power-cycle question's Yes to the outcome's box.
async function browserRun(page, faults = ['--pace']) {
  const device = await startDevice(devsim, work, 'browser', faults);
  relay.connect(device.pty);
  await menu(page, 'Connect', 'Download');
  await messageBox(page);
  const t0 = performance.now();
  await page.locator('dialog.box[open] .box-buttons button', { hasText: 'Yes' }).click();
  const outcome = await box(page);
  const s = seconds(t0);
  await device.stop();
  if (!outcome.text.startsWith('Download Complete.')) throw new Error(outcome.text);
  return s;
}

const browser = await launch();
const site = await ways[0].open();
await withSerial(browser.context);
const page = await openWith(browser.context, site.url, cdf);
await choosePort(page, ADAPTER);
const times = { native: [], node: [], browser: [] };
for (let i = 0; i < rounds; ++i) {
  times.native.push(await nativeRun());
  times.node.push(await nodeRun());
  times.browser.push(await browserRun(page));
}
const best = (a) => Math.min(...a);
for (const [name, t] of Object.entries(times))
  console.log(`paced download, ${name.padEnd(7)}: best ${best(t).toFixed(2)} s of ${t.map((x) => x.toFixed(2)).join(', ')}`);
console.log(`browser / native: ${(best(times.browser) / best(times.native)).toFixed(3)}`);

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
await probe.stop();
console.log(`stand-in round trip (page -> relay -> zezudi-devsim -> page): ${roundTrip.toFixed(2)} ms`);

// The heap after ten downloads (unpaced), each figure after a full garbage collection.
const cdp = await page.context().newCDPSession(page);
const heap = async () => {
  await cdp.send('HeapProfiler.collectGarbage');
  return (await cdp.send('Runtime.getHeapUsage')).usedSize / 1048576;
};
const before = await heap();
const after = [];
for (let i = 1; i <= 10; ++i) {
  await browserRun(page, []);
  if (i === 1 || i === 5 || i === 10) after.push(`${i}: ${(await heap()).toFixed(2)} MB`);
}
console.log(`JavaScript heap used: before ${before.toFixed(2)} MB; after downloads ${after.join(', ')}`);
await browser.close();
await site.close();
await closeSerial();
process.exit(0);
