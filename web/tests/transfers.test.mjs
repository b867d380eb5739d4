// Download, Upload and Compare with Device from the editor's Connect menu, through the
// navigator.serial stand-in to zezudi-devsim: the bytes the device receives, what it holds
// after, the record read back and the messages are those of the native command line run against
// its own device at the same time.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, afterEach, before, test } from 'node:test';
import { fakeFilePickers, launch, menu, screenshot, ways } from './lib/browser.mjs';
import { ADAPTER, T, blockShown, box, choosePort, closeSerial, devsim, example, native, openWith, portItems, record,
         relay, shown, start, startDevice, withSerial, work } from './lib/serial.mjs';

const cdf = fs.readFileSync(example);
const uploaded = path.join(work, 'uploaded.CDF');
let loaded = null; // a device's memory holding the example
const menuDownload = (page) => menu(page, 'Connect', 'Download');
let browser, site;
before(async () => {
  browser = await launch();
  site = await ways[0].open();
});
// Each test's pages go with it: none keeps a port of the next test's device.
const contexts = [];
async function newContext() {
  contexts.push(await browser.newContext());
  await fakeFilePickers(contexts.at(-1));
  return contexts.at(-1);
}
afterEach(async () => {
  for (const c of contexts.splice(0)) await c.close();
});
after(async () => {
  await browser.close();
  await site.close();
  await closeSerial();
});

/** A fresh context with the stand-in and the editor in it, holding the example. */
async function editor({ url = site.url, serial = true, granted = [0], context = null } = {}) {
  const ctx = context ?? (await newContext());
  if (!context) await withSerial(ctx, { serial, granted });
  return openWith(ctx, url, serial ? cdf : null);
}

// The browser's transfer `command` on a device with `faults` and `memory`; `during` runs while it
// runs. Its boxes from the question on, the device's side, the page.
async function browserRun(command, faults = [], memory = null, { during, page, url } = {}) {
  const device = await startDevice(devsim, work, 'browser', faults, memory);
  relay.connect(device.pty);
  page ??= await editor({ url });
  await choosePort(page, ADAPTER);
  const question = await start(page, command);
  if (during) await during(page);
  const outcome = await box(page);
  return { question, outcome, page, ...(await device.stop()) };
}

for (const way of ways)
  test(`download, upload and compare send what the native command line sends and end as it does (${way.name})`, async () => {
    const where = way.name === 'served' ? site : await way.open();
    fs.rmSync(uploaded, { force: true });
    const [ref, got] = await Promise.all([native(['download', example]), browserRun('download', [], null, { url: where.url })]);
    assert.equal(got.question.text, shown(T.arg(T.PORT_LINE, ADAPTER) + T.arg(T.POWER_CYCLE_QUESTION, 'Download')));
    assert.deepEqual(got.outcome, { title: 'Download', text: shown(T.DOWNLOAD_COMPLETE) });
    assert.ok(got.sent.equals(ref.sent), 'the bytes the device received');
    assert.ok(relay.recorded().equals(ref.sent), "the relay's record");
    assert.ok(got.memory.equals(ref.memory), 'what the device holds');
    assert.equal(await got.page.locator('.st-message').textContent(), T.arg(T.SAID_DOWNLOADED, ADAPTER));
    loaded = ref.memory;

    const [refUp, up] = await Promise.all([native(['upload', '-o', uploaded], [], loaded),
      browserRun('upload', [], loaded, { page: got.page })]);
    assert.deepEqual(up.outcome, { title: 'Upload', text: shown(T.UPLOAD_COMPLETE) });
    assert.ok(up.sent.equals(refUp.sent), 'the bytes an upload sends');
    assert.ok((await record(up.page)).equals(fs.readFileSync(uploaded)), 'the record read back');
    assert.equal(await up.page.locator('.st-file').textContent(), 'File: test.CDF *', 'unsaved, under its file name');

    const [refCmp, cmp] = await Promise.all([native(['verify', example], [], loaded), browserRun('compare', [], loaded, { page: up.page })]);
    assert.deepEqual(cmp.outcome, { title: 'Compare', text: shown(T.COMPARE_MATCH) });
    assert.ok(cmp.sent.equals(refCmp.sent), 'the bytes a compare sends');
    const log = (await up.page.evaluate(() => window.zezudi.transfers.logText())).split('\n');
    assert.match(log[0], /^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d UTC  download test.CDF on USB serial adapter 0403:6001 \(FTDI\): complete \(device checksum [0-9A-F]{16}\)$/);
    assert.match(log[1], /  upload test.CDF on .*: complete/);
    assert.match(log[2], /  compare test.CDF on .*: match \(device checksum/);
    if (way.name === 'file') await screenshot(up.page, 'transfers-done-file');
  });

test('Verify After Download compares at once, without another question', async () => {
  const [ref, device] = await Promise.all([native(['download', example]), startDevice(devsim, work, 'browser')]);
  const refCmp = await native(['verify', example], [], ref.memory);
  relay.connect(device.pty);
  const page = await editor();
  await choosePort(page, ADAPTER);
  await menu(page, 'Connect', 'Verify After Download');
  await start(page, 'download');
  assert.deepEqual([await box(page), await box(page)], [{ title: 'Download', text: shown(T.DOWNLOAD_COMPLETE) },
    { title: 'Compare', text: shown(T.COMPARE_MATCH) }]);
  const { sent } = await device.stop();
  assert.ok(sent.subarray(0, ref.sent.length).equals(ref.sent) && sent.subarray(-refCmp.sent.length).equals(refCmp.sent));
});

test('Compare with Device frames the segments the device holds otherwise, with what it holds there', async () => {
  const changed = Buffer.from(loaded); // the example, but for segment 200 of output 1
  [changed[0x10000 + 200], changed[0x10800 + 200]] = [8, 2];
  const { outcome, page } = await browserRun('compare', [], changed);
  assert.match(outcome.text, /^The device holds something else:\nLC Input 1: .*diagram differs\n/);
  await page.locator('.seg.finding').first().waitFor();
  assert.deepEqual(await page.$$eval('.seg.finding', (all) => all.map((e) => [e.dataset.seg, e.title])),
    [['200', `differs from ${T.COMPARED_DEVICE}, which has a normally open contact on I3 here`]]);
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
    assert.deepEqual(got.outcome, { title, text: shown(text) });
    assert.ok(got.sent.equals(ref.sent), 'the bytes the device received');
    if (command === 'upload') {
      const { core } = await got.page.evaluate(() => ({ core: [...window.zezudi.core.fromText('zezudi-config 1\n')] }));
      assert.ok((await record(got.page)).equals(Buffer.from(core)), 'the record is cleared');
      assert.equal(await got.page.locator('.st-file').textContent(), 'File: test.CDF *', 'and unsaved');
    }
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
    text: shown(`${T.DOWNLOAD_FAILED}\r\n${T.arg(T.PORT_UNPLUGGED_READ, ADAPTER)} ${T.arg(T.FAILED_PORT, ADAPTER)}`),
  });
  const page = got.page;
  assert.ok((await portItems(page)).includes(ADAPTER + T.MISSING + ' ✓'));
  await menuDownload(page);
  assert.deepEqual(await box(page), { title: 'Error', text: shown(T.arg(T.PORT_NOT_CONNECTED, ADAPTER)) });
  await page.evaluate(() => window.__serialStandin.plug(0));
  await page.waitForFunction(() => window.zezudi.status.element.textContent.includes('0403:6001 (FTDI)'));
  assert.ok((await portItems(page)).includes(ADAPTER + ' ✓'));
});

test('a line error during a download loses a reply, and the download goes on to complete', async () => {
  const got = await browserRun('download', [], null, {
    during: async (page) => {
      await blockShown(page, 256);
      await page.evaluate(() => window.__serialStandin.lineError(0));
    },
  });
  assert.deepEqual(got.outcome, { title: 'Download', text: shown(T.DOWNLOAD_COMPLETE) });
});

test('Cancel stops a download with its message and leaves the port free for the next transfer', async () => {
  const got = await browserRun('download', [], null, {
    during: async (page) => {
      await blockShown(page, 256);
      await screenshot(page, 'download-running');
      await page.locator('.statusbar button', { hasText: 'Cancel' }).click();
    },
  });
  assert.deepEqual(got.outcome, { title: 'Download', text: shown('Download' + T.CANCELLED_LOWER + T.DOWNLOAD_CANCELLED_NOTE) });
  assert.ok(got.sent.length < 175179 / 2, 'the download stopped early');
  assert.equal(await got.page.locator('.statusbar button', { hasText: 'Cancel' }).isHidden(), true);
  assert.equal(await got.page.locator('.st-message').textContent(), T.arg(T.SAID_DOWNLOAD_CANCELLED, ADAPTER));
  const next = await browserRun('upload', [], loaded, { page: got.page });
  assert.equal(next.outcome.text, shown(T.UPLOAD_COMPLETE));
  await next.page.getByRole('menubar').getByRole('menuitem', { name: 'Tools', exact: true }).click();
  await next.page.getByRole('menu', { name: 'Tools' }).getByText('Transfer Log...', { exact: true }).click();
  const log = await box(next.page);
  assert.equal(log.title, 'Transfer Log');
  assert.match(log.text, /download test\.CDF on .*: cancelled\n.*upload test\.CDF on .*: complete/);
  await menu(next.page, 'Tools', 'Save Transfer Log...'); // the same lines, in a file
  const saved = await next.page.waitForFunction(() => window.__files['zezudi-transfers.txt']).then((h) => h.jsonValue());
  assert.deepEqual(Buffer.from(saved).toString().split('\n'), [...log.text.split('\n').slice(0, 2), '']);
});

test('a port in use, a refused chooser and two adapters alike', async () => {
  const device = await startDevice(devsim, work, 'trouble');
  relay.connect(device.pty);
  const context = await newContext();
  await withSerial(context, { granted: [0, 1] });
  let page = await editor({ context });
  const name = ADAPTER + ' #2';
  await choosePort(page, name);
  await page.evaluate(() => window.__serialStandin.busy.add(1));
  await menuDownload(page);
  assert.deepEqual(await box(page), { title: 'Error', text: shown(T.arg(T.PORT_IN_USE, name) + T.PORT_UNUSABLE) });
  await page.evaluate(() => (window.__serialStandin.deny = true));
  await choosePort(page, 'Add port');
  assert.deepEqual(await box(page), { title: 'Error', text: shown(T.SERIAL_DENIED) });
  // Granted through the chooser, the third adapter becomes the choice; the choice outlives the page.
  await page.evaluate(() => (window.__serialStandin.deny = false));
  await choosePort(page, 'Add port');
  await page.waitForFunction(() => window.zezudi.status.element.textContent.includes('10C4:EA60'));
  await page.close();
  page = await editor({ context });
  await menuDownload(page);
  assert.deepEqual(await box(page), { title: 'Error', text: shown(T.arg(T.PORT_NOT_CONNECTED, 'USB serial adapter 10C4:EA60 (Silicon Labs)')) });
  assert.equal((await device.stop()).sent.length, 0, 'nothing reached the device');
});

test('without Web Serial: said once, and the emulated device still transfers', async () => {
  const context = await newContext();
  const errors = [];
  context.on('weberror', (e) => errors.push(e.error().message));
  await withSerial(context, { serial: false });
  let page = await editor({ context, serial: false });
  await page.getByRole('menubar').getByRole('menuitem', { name: 'Connect', exact: true }).click();
  assert.deepEqual(await box(page), { title: 'Connect', text: shown(T.NO_SERIAL_NOTICE) });
  await page.close();
  page = await editor({ context, serial: false });
  assert.deepEqual(await portItems(page), [T.NO_SERIAL_ITEM, 'Emulated Device']);
  await choosePort(page, 'Emulated Device');
  await start(page, 'upload');
  assert.deepEqual(await box(page), { title: 'Upload', text: shown(T.UPLOAD_COMPLETE) });
  assert.equal(await page.locator('dialog.box[open]').count(), 0, 'the notice came only once');
  assert.deepEqual(errors, []);
});
