// A person's session in the browser, from the served folder and from the single file: open
// corridor.CDF, draw by dragging and by keys, copy and paste, undo and redo, Test (the energised
// path red), Compile, from the single file Download through the serial stand-in (what the device
// receives and holds is what the command line downloads of the same drawing) and Upload back,
// Save (the bytes the command line makes of the same drawing), then a tab closed with unsaved
// changes and the recovery offer on the next start.
import { after, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { answer, fakeFilePickers, launch, menu, messageBox, openEditor, root, screenshot, ways } from './lib/browser.mjs';
import { ADAPTER, T, box, choosePort, closeSerial, devsim, native, record, relay, shown, start, startDevice, withSerial,
         work } from './lib/serial.mjs';

after(closeSerial);

const cli = path.join(root, 'build/ci/zezudi-cli');
const corridor = fs.readFileSync(path.join(root, 'examples/corridor.CDF'));

/** What the command line writes for corridor.CDF with output 1's rows (0-based) replaced. */
function expectedCdf(rows) {
  const text = execFileSync(cli, ['totext', path.join(root, 'examples/corridor.CDF')], { encoding: 'utf8' }).split('\n');
  const first = text.indexOf('output 1') + 1;
  for (const [row, tokens] of Object.entries(rows))
    text[first + Number(row)] = [...tokens, ...Array(16 - tokens.length).fill('.')].join(' ');
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'zez-web-'));
  fs.writeFileSync(path.join(dir, 'edited.txt'), text.join('\n'));
  execFileSync(cli, ['fromtext', path.join(dir, 'edited.txt'), '-o', path.join(dir, 'edited.CDF')]);
  const bytes = fs.readFileSync(path.join(dir, 'edited.CDF'));
  fs.rmSync(dir, { recursive: true });
  return [...bytes];
}

/** Download of the drawing through the stand-in to one device, and of `edited` (its bytes) by
 *  the command line to another: the same bytes sent and held; then Upload back. */
async function downloadAndUpload(page, edited) {
  const file = path.join(work, 'edited.CDF');
  fs.writeFileSync(file, Buffer.from(edited));
  const device = await startDevice(devsim, work, 'browser');
  relay.connect(device.pty);
  await choosePort(page, ADAPTER);
  const [ref] = await Promise.all([native(['download', file]), start(page, 'download')]);
  await screenshot(page, 'journey-downloaded');
  assert.deepEqual(await box(page), { title: 'Download', text: shown(T.DOWNLOAD_COMPLETE) });
  const got = await device.stop();
  assert.ok(got.sent.equals(ref.sent), 'the bytes the device received');
  assert.ok(got.memory.equals(ref.memory), 'what the device holds');

  const again = await startDevice(devsim, work, 'browser', [], got.memory);
  relay.connect(again.pty);
  await menu(page, 'Connect', 'Upload');
  assert.equal((await box(page, 'Yes')).text, 'Discard Changes?');
  await box(page, 'OK'); // the notice
  await box(page, 'Yes'); // the power cycle
  assert.deepEqual(await box(page), { title: 'Upload', text: shown(T.UPLOAD_COMPLETE) });
  await again.stop();
  assert.deepEqual([...(await record(page))], edited, 'the record read back');
  assert.equal(await page.locator('.st-message').textContent(), T.arg(T.SAID_UPLOADED, ADAPTER));
  await screenshot(page, 'journey-uploaded');
}

/** The centre of segment `s` or of palette picture `code`, in page coordinates. */
async function centre(page, selector) {
  const b = await page.locator(selector).boundingBox();
  return [b.x + b.width / 2, b.y + b.height / 2];
}

/** The fills of segment `s`'s strokes at the left edge (its element's wire), by row. */
const leftWireFill = (page, s) =>
  page.locator(`.seg[data-seg="${s}"] svg rect[x="0"][y="27"]`).getAttribute('fill');

for (const way of ways) {
  test(`open, draw, test, compile, save and recover (${way.name})`, async () => {
    const where = await way.open();
    const browser = await launch();
    try {
      await fakeFilePickers(browser.context);
      if (way.name === 'file') await withSerial(browser.context);
      const { page, errors } = await openEditor(browser.context, where.url);
      await page.evaluate((bytes) => { window.__files['corridor.CDF'] = bytes; window.__pick = 'corridor.CDF'; }, [...corridor]);
      await page.keyboard.press('Control+O');
      await page.locator('.st-file', { hasText: 'File: corridor.CDF' }).waitFor();
      assert.equal(await page.locator('.lbl[data-seg="0"]').textContent(), 'I 3');

      // Row 4: a wire dragged from the palette to column 1, then a contact on I5 and a wire by keys.
      const [fx, fy] = await centre(page, '.pal[data-code="4"]');
      const [tx, ty] = await centre(page, '.seg[data-seg="48"]');
      await page.mouse.move(fx, fy);
      await page.mouse.down();
      await page.mouse.move(fx + 20, fy + 5, { steps: 4 });
      await page.mouse.move(tx, ty, { steps: 10 });
      await page.mouse.up();
      await page.locator('.seg[data-seg="49"]').click();
      for (const key of ['c', 'i', '5', 'ArrowRight', 'w']) await page.keyboard.press(key);
      assert.equal(await page.locator('.lbl[data-seg="49"]').textContent(), 'I 5');
      await screenshot(page, `edited-${way.name}`);

      // Copied to row 6 with the keys; the paste undone and redone.
      for (const key of ['ArrowLeft', 'ArrowLeft', 'Shift+ArrowRight', 'Shift+ArrowRight', 'Control+C', 'ArrowDown', 'ArrowDown',
        'ArrowLeft', 'ArrowLeft', 'Control+V', 'Control+Z']) await page.keyboard.press(key);
      assert.equal(await page.locator('.lbl[data-seg="81"]').isHidden(), true);
      await page.keyboard.press('Control+Y');
      assert.equal(await page.locator('.lbl[data-seg="81"]').textContent(), 'I 5');

      // Test with I3 on: on, through I3's contact; I4's open contact carries nothing.
      await page.getByRole('group', { name: 'Test' }).getByLabel('I3').check();
      await page.getByRole('button', { name: 'Test' }).click();
      assert.deepEqual(await messageBox(page), { title: 'Brantel LC ZezUdi', text: 'Lumacor Input 1 On' });
      await screenshot(page, `test-${way.name}`);
      await answer(page, 'OK');
      assert.deepEqual([await leftWireFill(page, 0), await leftWireFill(page, 16)], ['#ff0000', '#000000']);

      await menu(page, 'Connect', 'Compile');
      const compiled = await messageBox(page);
      assert.deepEqual([compiled.title, compiled.text.split('\n')[0]], ['Compile', 'Complete']);
      await screenshot(page, `compiled-${way.name}`);
      await answer(page, 'OK');
      await page.getByRole('menubar').getByRole('menuitem', { name: 'Connect', exact: true }).click();
      const connect = page.getByRole('menu', { name: 'Connect' });
      assert.deepEqual([await connect.getByRole('menuitem', { name: 'Compile' }).getAttribute('aria-disabled'),
                        await connect.getByRole('menuitem', { name: 'Download' }).getAttribute('aria-disabled')], ['true', null]);
      await page.keyboard.press('Escape');
      const row = ['--', 'I5', '--'];
      const edited = expectedCdf({ 3: row, 5: row });
      if (way.name === 'file') await downloadAndUpload(page, edited);

      // Compared with the file it came from: output 1 differs, the rest is the same.
      await menu(page, 'File', 'Compare With File...');
      const compared = await messageBox(page);
      assert.equal(compared.title, 'Compare With File');
      assert.match(compared.text, /^A: the configuration shown\nB: corridor\.CDF\n\nLC Input 1: .*differs in .*\n(.*\n)*LC Input 2: same\n/);
      await answer(page, 'OK');
      await page.locator('.st-message', { hasText: 'Differs from corridor.CDF' }).waitFor();
      // The segments that differ are framed, with what the file has there.
      assert.match(await page.locator('.seg.finding[data-seg="48"]').getAttribute('title'),
        /^differs from corridor\.CDF, which has .+ here$/);
      // The report, beside the file; never over a configuration.
      for (const [to, text] of [['corridor.CDF', 'corridor.CDF holds a configuration; nothing was written. Choose another name.'],
                                ['corridor.html', 'Report written to corridor.html.']]) {
        await page.evaluate((name) => { window.__saveAs = name; }, to);
        await menu(page, 'File', 'Export Report...');
        assert.deepEqual(await messageBox(page), { title: 'Export Report', text });
        await answer(page, 'OK');
      }
      const report = Buffer.from(await page.evaluate(() => window.__files['corridor.html'])).toString();
      assert.match(report, /^<!DOCTYPE html>[^]*<title>[^<]*corridor\.CDF[^]*on \d{4}-\d\d-\d\d from corridor\.CDF/);
      assert.deepEqual(await page.evaluate(() => window.__files['corridor.CDF']), [...corridor]);
      await page.evaluate(() => { window.__saveAs = undefined; });

      await page.keyboard.press('Control+S');
      await page.locator('.st-file', { hasText: /^File: corridor\.CDF$/ }).waitFor();
      const saved = await page.evaluate(() => window.__files['corridor.CDF']);
      assert.deepEqual(saved, edited);
      await screenshot(page, `saved-${way.name}`);

      // An unsaved edit, kept once the edits pause; the tab closed without a question (served)
      // or its renderer crashed (file).
      await page.locator('.seg[data-seg="60"]').click();
      await page.keyboard.press('w');
      await page.waitForFunction(() => document.body.dataset.kept === String(window.zezudi.doc.revision));
      if (way.name === 'file') {
        const crashed = page.waitForEvent('crash');
        (await browser.context.newCDPSession(page)).send('Page.crash').catch(() => {}); // never answers
        await crashed;
      }
      await page.close({ runBeforeUnload: false });
      const next = await browser.context.newPage();
      await next.goto(where.url);
      const offer = await messageBox(next);
      assert.equal(offer.title, 'Recovery');
      assert.match(offer.text, /^ZezUdi did not end cleanly last time\. Unsaved changes to corridor\.CDF, written .+, were kept\.\nRestore them\? \(No deletes them\.\)$/);
      await screenshot(next, `recovery-${way.name}`);
      await answer(next, 'Yes');
      await next.waitForSelector('body[data-ready]');
      assert.equal(await next.locator('.st-file').textContent(), 'File: corridor.CDF *');
      assert.equal(await next.locator('.seg[data-seg="60"] svg rect[x="0"][y="27"]').count(), 1);
      assert.deepEqual(errors.filter((e) => !/crash/i.test(e)), []);
    } finally {
      await browser.close();
      await where.close();
    }
  });
}
