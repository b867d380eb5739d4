// Download, Upload and Compare with Device in Chromium through the navigator.serial stand-in to
// zezudi-devsim: the bytes the device receives, what it holds after, the record read back and
// the messages are those of the native command line run against its own device at the same time.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, test } from 'node:test';
import { T, box, browser, closeAll, devsim, example, menuItem, native, openPage, relay, start, startDevice, work } from './harness.mjs';

after(closeAll);
const ADAPTER = 'USB serial adapter 0403:6001 (FTDI)';
const cdf = fs.readFileSync(example);
const uploaded = path.join(work, 'uploaded.CDF');
let loaded = null; // a device's memory holding the example

// The browser's transfer `command` on a device with `faults` and `memory`; `during` runs while it
// runs. Its boxes from the question on, the device's side, the page.
async function browserRun(command, faults = [], memory = null, { during, page } = {}) {
  const device = await startDevice(devsim, work, 'browser', faults, memory);
  relay.connect(device.pty);
  page ??= await openPage();
  await page.evaluate((bytes) => (window.record = new Uint8Array(bytes)), [...cdf]);
  await menuItem(page, ADAPTER).click();
  const question = await start(page, command);
  if (during) await during(page);
  const outcome = await box(page);
  return { question, outcome, page, ...(await device.stop()) };
}

// Waits until the caption shows block `n` or a later one.
const blockShown = (page, n) => page.waitForFunction((n) => Number(/Block (\d+)/.exec(document.getElementById('caption').textContent)?.[1]) >= n,
  n, { polling: 20, timeout: 120000 });
const record = (page) => page.evaluate(() => [...window.record]).then(Buffer.from);

test('download, upload and compare send what the native command line sends and end as it does', async () => {
  const [ref, got] = await Promise.all([native(['download', example]), browserRun('download')]);
  assert.equal(got.question.text, T.arg(T.PORT_LINE, ADAPTER) + T.arg(T.POWER_CYCLE_QUESTION, 'Download'));
  assert.deepEqual(got.outcome, { title: 'Download', text: T.DOWNLOAD_COMPLETE });
  assert.ok(got.sent.equals(ref.sent), 'the bytes the device received');
  assert.ok(relay.recorded().equals(ref.sent), "the relay's record");
  assert.ok(got.memory.equals(ref.memory), 'what the device holds');
  loaded = ref.memory;

  const [refUp, up] = await Promise.all([native(['upload', '-o', uploaded], [], loaded), browserRun('upload', [], loaded)]);
  assert.deepEqual(up.outcome, { title: 'Upload', text: T.UPLOAD_COMPLETE });
  assert.ok(up.sent.equals(refUp.sent), 'the bytes an upload sends');
  assert.ok((await record(up.page)).equals(fs.readFileSync(uploaded)), 'the record read back');

  const [refCmp, cmp] = await Promise.all([native(['verify', example], [], loaded), browserRun('compare', [], loaded, { page: up.page })]);
  assert.deepEqual(cmp.outcome, { title: 'Compare', text: T.COMPARE_MATCH });
  assert.ok(cmp.sent.equals(refCmp.sent), 'the bytes a compare sends');
  const log = (await up.page.evaluate(() => window.logText())).split('\n');
  assert.match(log[0], /^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d UTC  upload test.CDF on USB serial adapter 0403:6001 \(FTDI\): complete \(device checksum [0-9A-F]{16}\)$/);
  assert.match(log[1], /  compare test.CDF on .*: match \(device checksum/);
});

// A device at fault: the transfer sends what the native one sends, and says why it stopped in
// the desktop's words with the native reason; a failed upload clears the record.
const faults = [
  ['download', ['--silent-after', '20'], T.DOWNLOAD_FAILED, 'Download Failure'],
  ['upload', ['--wrong-checksum'], T.UPLOAD_FAILED, 'Upload Failure'],
  ['compare', ['--wrong-checksum'], T.COMPARE_FAILED, 'Compare Failure'],
  ['download', ['--silent-after', '0'], null, 'Error'],
];
for (const [command, args, failed, title] of faults)
  test(`${command} from a device with ${args.join(' ')}`, async () => {
    const memory = command === 'download' ? null : loaded;
    fs.rmSync(uploaded, { force: true });
    const cliArgs = { download: ['download', example], upload: ['upload', '-o', uploaded], compare: ['verify', example] }[command];
    const [ref, got] = await Promise.all([native(cliArgs, args, memory), browserRun(command, args, memory)]);
    const text = failed ? `${failed}\r\n${ref.reason.split('\n').at(-1)} ${T.arg(T.FAILED_PORT, ADAPTER)}` : T.arg(T.NO_CONNECT, ADAPTER);
    assert.deepEqual(got.outcome, { title, text });
    assert.ok(got.sent.equals(ref.sent), 'the bytes the device received');
    if (command === 'upload') assert.ok((await record(got.page)).equals(Buffer.alloc(12288)), 'the record is cleared');
  });

test('an adapter unplugged during a download: the reason, then shown missing and refused until it is back', async () => {
  const got = await browserRun('download', [], null, {
    during: async (page) => {
      await blockShown(page, 512);
      await page.evaluate(() => window.__serialStandin.unplug(0));
    },
  });
  assert.deepEqual(got.outcome, {
    title: 'Download Failure',
    text: `${T.DOWNLOAD_FAILED}\r\n${T.arg(T.PORT_UNPLUGGED_READ, ADAPTER)} ${T.arg(T.FAILED_PORT, ADAPTER)}`,
  });
  const page = got.page;
  await menuItem(page, ADAPTER + T.MISSING).waitFor();
  await page.click('#download');
  assert.deepEqual(await box(page), { title: 'Error', text: T.arg(T.PORT_NOT_CONNECTED, ADAPTER) });
  await page.evaluate(() => window.__serialStandin.plug(0));
  await page.waitForFunction((caption) => [...document.querySelectorAll('#connect button')]
    .some((b) => b.textContent === caption && b.getAttribute('aria-checked') === 'true'), ADAPTER);
});

test('a line error during a download loses a reply, and the download goes on to complete', async () => {
  const got = await browserRun('download', [], null, {
    during: async (page) => {
      await blockShown(page, 256);
      await page.evaluate(() => window.__serialStandin.lineError(0));
    },
  });
  assert.deepEqual(got.outcome, { title: 'Download', text: T.DOWNLOAD_COMPLETE });
});

test('Cancel stops a download with its message and leaves the port free for the next transfer', async () => {
  const got = await browserRun('download', [], null, {
    during: async (page) => {
      await blockShown(page, 256);
      await page.click('#cancel');
    },
  });
  assert.deepEqual(got.outcome, { title: 'Download', text: 'Download' + T.CANCELLED_LOWER + T.DOWNLOAD_CANCELLED_NOTE });
  assert.ok(got.sent.length < 175179 / 2, 'the download stopped early');
  assert.equal(await got.page.isHidden('#cancel'), true);
  const next = await browserRun('upload', [], loaded, { page: got.page });
  assert.equal(next.outcome.text, T.UPLOAD_COMPLETE);
});

test('a port in use, a refused chooser and two adapters alike', async () => {
  const device = await startDevice(devsim, work, 'trouble');
  relay.connect(device.pty);
  const context = await browser.newContext();
  let page = await openPage({ granted: [0, 1], context });
  await menuItem(page, ADAPTER + ' #2').click();
  await page.evaluate(() => window.__serialStandin.busy.add(1));
  await page.click('#download');
  const name = ADAPTER + ' #2';
  assert.deepEqual(await box(page), { title: 'Error', text: T.arg(T.PORT_IN_USE, name) + T.PORT_UNUSABLE });
  await page.evaluate(() => (window.__serialStandin.deny = true));
  await menuItem(page, 'Add port').click();
  assert.deepEqual(await box(page), { title: 'Error', text: T.SERIAL_DENIED });
  // Granted through the chooser, the third adapter becomes the choice; the choice outlives the page.
  await page.evaluate(() => (window.__serialStandin.deny = false));
  await menuItem(page, 'Add port').click();
  await page.waitForSelector('#connect button[aria-checked=true]:has-text("10C4:EA60")');
  await page.close();
  page = await openPage({ granted: [0, 1], context });
  await page.click('#download');
  assert.deepEqual(await box(page), { title: 'Error', text: T.arg(T.PORT_NOT_CONNECTED, 'USB serial adapter 10C4:EA60 (Silicon Labs)') });
  assert.equal((await device.stop()).sent.length, 0, 'nothing reached the device');
});

test('without Web Serial: said once, and the emulated device still transfers', async () => {
  const context = await browser.newContext();
  let page = await openPage({ serial: false, context });
  assert.deepEqual(await box(page), { title: 'Connect', text: T.NO_SERIAL_NOTICE });
  await page.close();
  page = await openPage({ serial: false, context });
  assert.equal(await page.locator('#connect').innerText(), `${T.NO_SERIAL_ITEM}\nEmulated Device`);
  await menuItem(page, 'Emulated Device').click();
  await start(page, 'upload');
  assert.deepEqual(await box(page), { title: 'Upload', text: T.UPLOAD_COMPLETE });
  assert.equal(await page.getByRole('dialog').count(), 0, 'the notice came only once');
});
