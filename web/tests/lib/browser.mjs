// Opens the built editor in Debian's chromium (headless, through playwright-core; no browser is
// ever downloaded): from build/web/site served on a free local port, or as the single file over
// file://. Waits for the page to say it is ready.
import { chromium } from 'playwright-core';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

export const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../..');
export const siteDir = path.join(root, 'build/web/site');
export const singleFile = path.join(root, 'build/web/zezudi-editor.html');
export const screensDir = path.join(root, 'build/web/screens');

const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
                '.wasm': 'application/wasm', '.svg': 'image/svg+xml' };

/** Serves `dir` (and `extra`: address to file) on 127.0.0.1 at a free port with `headers`;
 *  resolves { url, close }. */
export function serve(dir = siteDir, { headers = {}, extra = {} } = {}) {
  const server = http.createServer((req, res) => {
    const name = decodeURIComponent(new URL(req.url, 'http://x').pathname);
    const file = extra[name] ?? path.join(dir, name === '/' ? 'index.html' : name);
    if (!(name in extra || file.startsWith(dir)) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      res.writeHead(404).end();
      return;
    }
    res.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream', ...headers });
    fs.createReadStream(file).pipe(res);
  });
  return new Promise((resolve) => {
    server.listen(0, '127.0.0.1', () => {
      resolve({ url: `http://127.0.0.1:${server.address().port}/`,
                close: () => new Promise((r) => server.close(r)) });
    });
  });
}

/** Starts chromium; `userDataDir` keeps storage between launches (for recovery). */
export async function launch({ userDataDir } = {}) {
  const options = {
    executablePath: process.env.ZEZ_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage'],
  };
  if (userDataDir) {
    const context = await chromium.launchPersistentContext(userDataDir, options);
    return { context, close: () => context.close() };
  }
  const browser = await chromium.launch(options);
  const newContext = () => browser.newContext({ viewport: { width: 1000, height: 760 } });
  return { context: await newContext(), newContext, close: () => browser.close() };
}

/** The two ways the editor is opened: name and how to reach it. */
export const ways = [
  { name: 'served', open: async () => { const s = await serve(); return { url: s.url, close: s.close }; } },
  { name: 'file', open: async () => ({ url: pathToFileURL(singleFile).href, close: async () => {} }) },
];

/** Opens the editor at `url` in a new page of `context` and waits until it is ready. */
export async function openEditor(context, url) {
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(url);
  await page.waitForSelector('body[data-ready]', { timeout: 120000 });
  return { page, errors };
}

/** Saves a screenshot to build/web/screens/NAME.png for a person to look at. */
export async function screenshot(page, name) {
  fs.mkdirSync(screensDir, { recursive: true });
  await page.screenshot({ path: path.join(screensDir, `${name}.png`) });
}

/**
 * Replaces the browser's file pickers with ones over files kept in the page (`window.__files`,
 * name -> bytes): Open picks `window.__pick`, Save As names the file `window.__saveAs`.
 */
export async function fakeFilePickers(context) {
  await context.addInitScript(() => {
    window.__files = {};
    class Handle {
      constructor(name) { this.name = name; this.kind = 'file'; }
      async getFile() {
        if (!(this.name in window.__files)) throw new DOMException('gone', 'NotFoundError');
        return new File([new Uint8Array(window.__files[this.name])], this.name);
      }
      async createWritable() {
        const parts = [];
        return {
          write: async (b) => { parts.push(...new Uint8Array(b instanceof Blob ? await b.arrayBuffer() : b)); },
          close: async () => { window.__files[this.name] = parts; },
        };
      }
      async isSameEntry(other) { return other.name === this.name; }
    }
    window.showOpenFilePicker = async () => [new Handle(window.__pick)];
    window.showSaveFilePicker = async (o) => new Handle(window.__saveAs || o.suggestedName);
  });
}

/** The open message box's text and title, once one shows. */
export async function messageBox(page) {
  const box = page.locator('dialog.box[open]');
  await box.waitFor({ timeout: 60000 });
  return { title: await box.locator('.box-title').textContent(), text: await box.locator('.box-text').innerText() };
}

/** Presses the open box's button `caption` (as shown, without its access key mark). */
export async function answer(page, caption) {
  const box = await page.locator('dialog.box[open]').elementHandle();
  await page.locator('dialog.box[open] .box-buttons button', { hasText: caption }).click();
  await page.waitForFunction((b) => !b.isConnected, box, { timeout: 60000 });
  await box.dispose(); // else the page keeps the box for the handle
}

/** Chooses `item` in the menu `menu` with the mouse. */
export async function menu(page, menuName, item) {
  await page.getByRole('menubar').getByRole('menuitem', { name: menuName, exact: true }).click();
  await page.getByRole('menu', { name: menuName }).getByText(item, { exact: true }).click();
}
