// What the transfer tests share: the page (built with esbuild), the relay, Chromium with the
// navigator.serial stand-in, message boxes answered by their buttons, the native command line.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import esbuild from 'esbuild';
import { chromium } from 'playwright-core';
import { startDevice, startRelay, stopDevices } from './relay.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
export const root = path.resolve(here, '../../..');
const build = process.env.ZEZ_BUILD || path.join(root, 'build');
export const cli = path.join(build, 'ci/zezudi-cli');
export const devsim = path.join(build, 'ci/zezudi-devsim');
const wasm = path.join(build, 'wasm/wasm');
export const example = path.join(root, 'examples/corridor.CDF');
export const work = fs.mkdtempSync(path.join(os.tmpdir(), 'zez-serial-'));

// The texts the page shows, as the page has them.
const texts = await esbuild.build({ entryPoints: [path.join(root, 'web/src/serial/texts.ts')], bundle: true, format: 'esm', write: false });
export const T = await import('data:text/javascript,' + encodeURIComponent(texts.outputFiles[0].text));

const app = await esbuild.build({ entryPoints: [path.join(here, 'page.ts')], bundle: true, format: 'iife', write: false });
export const relay = await startRelay({
  '/': fs.readFileSync(path.join(here, 'page.html')),
  '/app.js': app.outputFiles[0].contents,
  '/zezudi.js': fs.readFileSync(path.join(wasm, 'zezudi.js')),
  '/zezudi.wasm': fs.readFileSync(path.join(wasm, 'zezudi.wasm')),
});
const standin = fs.readFileSync(path.join(here, 'standin.js'), 'utf8');
export const browser = await chromium.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', headless: true, args: (process.env.CHROMIUM_ARGS || '').split(' ').filter(Boolean) });

// Adapters the stand-in offers: two alike (the order tells them apart) and another.
export const ADAPTERS = [
  { usbVendorId: 0x0403, usbProductId: 0x6001 },
  { usbVendorId: 0x0403, usbProductId: 0x6001 },
  { usbVendorId: 0x10c4, usbProductId: 0xea60 },
];

/** A page with the stand-in (none: a browser without serial ports), `granted` ports granted. */
export async function openPage({ serial = true, granted = [0], context = null } = {}) {
  const ctx = context ?? (await browser.newContext());
  const page = await ctx.newPage();
  if (serial) {
    const config = { relay: relay.relay, ports: ADAPTERS, granted };
    await page.addInitScript({ content: `window.__standinConfig = ${JSON.stringify(config)};\n${standin}` });
  } else {
    await page.addInitScript({ content: 'delete Navigator.prototype.serial;' });
  }
  await page.goto(relay.url + '/');
  await page.waitForFunction(() => window.ready);
  return page;
}

/** The Connect menu item whose caption starts with `caption`. */
export const menuItem = (page, caption) => page.locator('#connect button', { hasText: caption }).first();

/** The next message box: its title and text; answered with `button`. */
export async function box(page, button = 'OK') {
  const dialog = page.getByRole('dialog').first();
  await dialog.waitFor({ timeout: 120000 });
  const seen = { title: await dialog.getAttribute('aria-label'), text: await dialog.locator('p').textContent() };
  await dialog.getByRole('button', { name: button, exact: true }).click();
  return seen;
}

/** Answers the boxes of a transfer up to its start: `questions` Yes, then Upload's notice. */
export async function start(page, command) {
  await page.click(`#${command}`);
  if (command === 'upload') await box(page, 'OK'); // the notice
  return box(page, 'Yes'); // the power-cycle question
}

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

export async function closeAll() {
  stopDevices();
  await browser.close();
  await relay.close();
  fs.rmSync(work, { recursive: true, force: true });
}
