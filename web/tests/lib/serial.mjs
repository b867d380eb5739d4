// What the transfer tests share: the relay to zezudi-devsim, the navigator.serial stand-in
// injected into a browser context, the editor's Connect menu and message boxes, the native
// command line against a device of its own.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import esbuild from 'esbuild';
import { answer, messageBox, menu, openEditor, root } from './browser.mjs';
import { startDevice, startRelay, stopDevices } from './relay.mjs';

export const cli = path.join(root, 'build/ci/zezudi-cli');
export const devsim = path.join(root, 'build/ci/zezudi-devsim');
export const example = path.join(root, 'examples/corridor.CDF');
export const work = fs.mkdtempSync(path.join(os.tmpdir(), 'zez-serial-'));
export const ADAPTER = 'USB serial adapter 0403:6001 (FTDI)';

// The texts the editor shows, as it has them.
const texts = await esbuild.build({ entryPoints: [path.join(root, 'web/src/serial/texts.ts')], bundle: true, format: 'esm', write: false });
export const T = await import('data:text/javascript,' + encodeURIComponent(texts.outputFiles[0].text));

export const relay = await startRelay();
const standin = fs.readFileSync(path.join(root, 'web/tests/lib/standin.js'), 'utf8');

// Adapters the stand-in offers: two alike (the order tells them apart) and another.
export const ADAPTERS = [
  { usbVendorId: 0x0403, usbProductId: 0x6001 },
  { usbVendorId: 0x0403, usbProductId: 0x6001 },
  { usbVendorId: 0x10c4, usbProductId: 0xea60 },
];

/** Gives the pages of `context` the stand-in (serial false: a browser without serial ports). */
export async function withSerial(context, { serial = true, granted = [0] } = {}) {
  if (!serial) return context.addInitScript({ content: 'delete Navigator.prototype.serial;' });
  const config = { relay: relay.relay, ports: ADAPTERS, granted };
  await context.addInitScript({ content: `window.__standinConfig = ${JSON.stringify(config)};\n${standin}` });
}

/** The editor at `url` in `context`, holding `cdf` (named test.CDF, saved and compiled). */
export async function openWith(context, url, cdf = null) {
  const { page } = await openEditor(context, url);
  if (cdf)
    await page.evaluate((bytes) => {
      const { doc } = window.zezudi;
      doc.replace(new Uint8Array(bytes), 'test.CDF', false);
      doc.setCompiled();
    }, [...cdf]);
  return page;
}

/** The desktop's line breaks as the box shows them. */
export const shown = (text) => text.replace(/\r\n/g, '\n');

/** The next message box: its title and text; answered with `button`. */
export async function box(page, button = 'OK') {
  const seen = await messageBox(page);
  await answer(page, button);
  return seen;
}

const connect = (page) => page.getByRole('menu', { name: 'Connect' });
/** Chooses the Connect menu's port item whose caption starts with `caption`. */
export async function choosePort(page, caption) {
  await page.getByRole('menubar').getByRole('menuitem', { name: 'Connect', exact: true }).click();
  await connect(page).locator('.menu-slot .menu-item', { hasText: caption }).first().click();
}

/** The Connect menu's port items, as "caption" or "caption ✓" for the chosen one. */
export async function portItems(page) {
  await page.getByRole('menubar').getByRole('menuitem', { name: 'Connect', exact: true }).click();
  const items = await connect(page).locator('.menu-slot .menu-item').evaluateAll((l) =>
    l.map((b) => b.textContent + (b.getAttribute('aria-checked') === 'true' ? ' ✓' : '')));
  await page.keyboard.press('Escape');
  return items;
}

const ITEMS = { download: 'Download', upload: 'Upload', compare: 'Compare with Device...' };
/** Chooses Connect > `command`; answers Upload's notice and the power-cycle question (Yes). */
export async function start(page, command) {
  await menu(page, 'Connect', ITEMS[command]);
  if (command === 'upload') await box(page, 'OK'); // the notice
  return box(page, 'Yes');
}

/** The record the editor holds. */
export const record = (page) => page.evaluate(() => [...window.zezudi.doc.cdf]).then(Buffer.from);

/** Waits until the transfer caption shows block `n` or a later one. */
export const blockShown = (page, n) => page.waitForFunction(
  (n) => Number(/Block (\d+)/.exec(document.querySelector('.lbl-comprg').textContent)?.[1]) >= n,
  n, { polling: 20, timeout: 120000 });

/** The native command line against its own device: what it said and the device's side. */
export async function native(args, deviceArgs = [], memory = null, name = 'native') {
  const device = await startDevice(devsim, work, name, deviceArgs, memory);
  const child = spawn(cli, [...args, '--port', device.pty, '--yes'], { stdio: ['ignore', 'pipe', 'pipe'] });
  let out = '';
  let err = '';
  child.stdout.on('data', (d) => (out += d));
  child.stderr.on('data', (d) => (err += d));
  await new Promise((resolve) => child.once('close', resolve));
  const reason = err.split('\n').filter((l) => l.startsWith('zezudi-cli: ')).map((l) => l.slice(12)).join('\n');
  return { out, reason, ...(await device.stop()) };
}

export { startDevice };

export async function closeSerial() {
  await stopDevices();
  await relay.close();
  fs.rmSync(work, { recursive: true, force: true, maxRetries: 5 });
}
