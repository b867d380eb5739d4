// The window's other flows, from the served folder: click-to-stamp and the input list, the
// questions before changes are discarded, the open warnings, a text form opened, menu enabling
// and F1 leading to the guide's section of what is asked about.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { answer, fakeFilePickers, launch, menu, messageBox, openEditor, root, screenshot, serve } from './lib/browser.mjs';

const corridor = [...fs.readFileSync(path.join(root, 'examples/corridor.CDF'))];
const corridorText = execFileSync(path.join(root, 'build/ci/zezudi-cli'), ['totext', path.join(root, 'examples/corridor.CDF')]);

test('stamping, input list, questions, open warnings, text form, enabling and F1', async () => {
  const site = await serve();
  const browser = await launch();
  try {
    await fakeFilePickers(browser.context);
    const { page, errors } = await openEditor(browser.context, site.url);
    const segment = (s) => page.evaluate((s) => window.zezudi.core.segment(window.zezudi.doc.cdf, window.zezudi.doc.output, s), s);

    // A click on a palette picture arms it: each click on the grid places it, until it is clicked again.
    await page.locator('.pal[data-code="9"]').click();
    await page.locator('.seg[data-seg="3"]').click();
    await page.locator('.seg[data-seg="4"]').click();
    await page.locator('.pal[data-code="9"]').click();
    await page.locator('.seg[data-seg="5"]').click();
    assert.deepEqual([(await segment(3)).code, (await segment(4)).code, (await segment(5)).code], [9, 9, 0]);
    // The contact's label opens the input list; the choice is the contact's input.
    await page.locator('.lbl[data-seg="4"]').click();
    await page.locator('.cbo-select').selectOption({ label: 'Pilot 2' });
    assert.deepEqual([await page.locator('.lbl[data-seg="4"]').textContent(), await page.locator('.cbo-select').isHidden()], ['P 2', true]);
    await screenshot(page, 'stamped');

    // Edit's items follow the selection; Undo names the edit.
    await page.keyboard.press('Escape');
    await page.getByRole('menubar').getByRole('menuitem', { name: 'Edit', exact: true }).click();
    const edit = page.getByRole('menu', { name: 'Edit' });
    assert.deepEqual(await edit.getByRole('menuitem').evaluateAll((items) => items.map((i) => `${i.textContent}:${i.getAttribute('aria-disabled') ?? ''}`)),
      ['Undo Choose InputCtrl+Z:', 'RedoCtrl+Shift+Z:true', 'CutCtrl+X:true', 'CopyCtrl+C:true', 'PasteCtrl+V:true',
       'DeleteDelete:true', 'Select AllCtrl+A:', 'Insert Row:', 'Delete Row:']);
    // F1 in an open menu leads to that menu's section.
    await page.keyboard.press('F1');
    assert.equal(await page.locator('.help').getAttribute('data-topic'), 'drawing.md#Undo and redo');
    await page.locator('.help button[aria-label="Close"]').click();

    // New with unsaved changes asks; No keeps them, Yes empties the record.
    for (const [reply, code] of [['No', 9], ['Yes', 0]]) {
      await menu(page, 'File', 'New');
      assert.deepEqual(await messageBox(page), { title: 'New', text: 'Discard Changes?' });
      await answer(page, reply);
      assert.equal((await segment(3)).code, code);
    }

    // Open: bytes that are no configuration, one with values outside the codes, a text form.
    // A code outside 0..15 comes in as the clipboard's form carries it.
    const outside = await page.evaluate((b) => [...window.zezudi.core.pasteRegion(new Uint8Array(b), 0, 7, 'zezudi-segments 1\n1 1\n21:0\n')], corridor);
    const cases = [
      { name: 'picture.png', bytes: [0x89, 0x50, 0x4e, 0x47, 13, 10, 26, 10, 0, 0], title: 'Open', icon: 'critical', status: 'File: None *' },
      { name: 'odd.CDF', bytes: outside, title: 'Open', icon: 'warning', status: 'File: odd.CDF',
        text: '1 segment(s) in this file hold values outside 0 to 15.\nUntil they are replaced, a segment with an invalid type acts as an empty segment, and a contact with an invalid input selection acts as if its input were off.' },
      { name: 'corridor.zez', bytes: [...corridorText], status: 'File: None *', same: true },
    ];
    for (const c of cases) {
      await page.evaluate((c) => { window.__files[c.name] = c.bytes; window.__pick = c.name; }, c);
      const changed = await page.evaluate(() => window.zezudi.doc.changed);
      await page.keyboard.press('Control+O');
      if (changed) {
        assert.deepEqual(await messageBox(page), { title: 'Open', text: 'Discard Any Changes?' });
        await answer(page, 'Yes');
      }
      if (c.title) {
        const box = await messageBox(page);
        if (c.text) assert.equal(box.text, c.text);
        // F1 on a message: the troubleshooting section that names it.
        await page.keyboard.press('F1');
        assert.match(await page.locator('.help').getAttribute('data-topic'), /^troubleshooting\.md#.+/);
        assert.deepEqual([box.title, await page.locator(`dialog.box[open] .box-icon.${c.icon}`).count()], [c.title, 1]);
        await answer(page, 'OK');
      }
      await page.locator('.st-file', { hasText: c.status }).waitFor();
      if (c.same) assert.deepEqual(await page.evaluate(() => [...window.zezudi.doc.cdf]), corridor);
    }
    const versions = async () => { await menu(page, 'File', 'Previous Versions...'); return (await messageBox(page)).text; };
    assert.equal(await versions(), 'There is no file: previous versions are kept of saved files.');
    await answer(page, 'OK');

    // Copy puts the diagram on the system clipboard as text a person reads.
    await browser.context.grantPermissions(['clipboard-read', 'clipboard-write'], { origin: site.url.replace(/\/$/, '') });
    await page.locator('.seg[data-seg="0"]').click();
    for (const key of ['Shift+ArrowDown', 'Shift+ArrowDown', 'Shift+ArrowRight', 'Control+C']) await page.keyboard.press(key);
    await page.waitForFunction(async () => (await navigator.clipboard.readText()).includes('I3'));
    assert.deepEqual(await page.evaluate(() => navigator.clipboard.readText()), await page.evaluate(() => {
      const { core, doc } = window.zezudi;
      return core.readableRegion(doc.cdf, 0, 0, 33);
    }));

    // Rewire moves the contacts of every output in one step (the last output it changed shown);
    // Find walks the contacts on a signal from the cursor (row 3, column 2), round to the first.
    const ask = async (text) => {
      await page.locator('dialog.box[open] input').fill(text);
      await answer(page, 'OK');
    };
    const said = () => page.locator('.st-message').textContent();
    await menu(page, 'Tools', 'Rewire Signals...');
    await ask('P2=P3');
    const rewired = await said();
    await page.keyboard.press('Control+F');
    await ask('p 3');
    const first = await said();
    await page.keyboard.press('F3');
    assert.deepEqual([rewired, first, await said(), await page.locator('.cbo-output').inputValue()],
      ['P2 -> P3: 2 contact(s) moved', 'P3: contact 1 of 2, LC Input 1, row 3, column 1',
       'P3: contact 2 of 2, LC Input 2, row 1, column 1', '1']);
    await page.keyboard.press('Control+Z');
    const inputs = await page.evaluate(() => [0, 1].map((o) => window.zezudi.core.segments(window.zezudi.doc.cdf, o).inputs[o ? 0 : 32]));
    assert.deepEqual(inputs, [9, 9]);

    // A paste at the grid's edge warns of the pasted segments with values outside 0..15, not of
    // the clip's segment beyond the edge.
    await page.evaluate(() => localStorage.setItem('zezudi.clip', 'zezudi-segments 1\n2 1\n21:0\n4:16\n'));
    await page.locator('.seg[data-seg="240"]').click();
    await page.keyboard.press('Control+V');
    assert.match((await messageBox(page)).text, /^1 pasted segment\(s\)/);
    await answer(page, 'OK');

    // Save keeps what follows the record in a longer file.
    await page.evaluate((b) => { window.__files['tail.CDF'] = [...b, 1, 2, 3]; window.__pick = 'tail.CDF'; }, corridor);
    await page.keyboard.press('Control+O');
    await answer(page, 'Yes'); // the changes Rewire's undo left
    await page.locator('.st-file', { hasText: 'File: tail.CDF' }).waitFor();
    await page.locator('.seg[data-seg="84"]').click();
    await page.keyboard.press('w');
    await page.keyboard.press('Control+S');
    await page.locator('.st-file', { hasText: /^File: tail\.CDF$/ }).waitFor();
    const tail = await page.evaluate(() => window.__files['tail.CDF']);
    assert.deepEqual([tail.length, tail.slice(-3), tail.slice(0, 12288)],
      [12291, [1, 2, 3], await page.evaluate(() => [...window.zezudi.doc.cdf])]);
    // The Save kept what it replaced: shown again, after the question, as unsaved changes to the file.
    await page.keyboard.press('w');
    assert.match(await versions(), /^Versions of tail\.CDF that saves replaced, newest first:\n/);
    const items = await page.locator('dialog.box[open] option').allTextContents();
    assert.match(items.join('|'), /^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d UTC \(12291 bytes\)$/);
    await screenshot(page, 'versions');
    await answer(page, 'OK');
    assert.deepEqual(await messageBox(page), { title: 'Previous Versions', text: 'Discard Changes?' });
    await answer(page, 'Yes');
    await page.locator('.st-message', { hasText: `Showing the version of ${items[0]}` }).waitFor();
    assert.deepEqual([await page.evaluate(() => [...window.zezudi.doc.cdf]), await page.locator('.st-file').textContent()],
      [corridor, 'File: tail.CDF *']);
    // Nothing is kept of a file that held nothing; of one that held anything, the newest 20.
    await page.evaluate(() => { window.__files['empty.CDF'] = []; window.__saveAs = 'empty.CDF'; });
    await page.keyboard.press('Control+Shift+S');
    await page.locator('.st-file', { hasText: /^File: empty\.CDF$/ }).waitFor();
    assert.equal(await versions(), 'No previous versions of empty.CDF were kept.');
    await answer(page, 'OK');
    await page.evaluate(async () => {
      for (let n = 1; n <= 21; ++n) { // each time as if this page had written the file
        window.zezudi.doc.known = new Uint8Array(window.__files['empty.CDF'] = new Array(n).fill(7));
        await window.zezudi.files.save();
      }
    });
    await versions();
    assert.deepEqual((await page.locator('dialog.box[open] option').allTextContents()).map((t) => Number(/(\d+) bytes/.exec(t)[1])),
      Array.from({ length: 20 }, (_, i) => 21 - i));
    await answer(page, 'Cancel');

    // The menus from the keyboard: Alt and the access keys, and the items' shortcuts.
    await page.keyboard.press('Alt+T');
    await page.keyboard.press('n');
    await page.keyboard.press('Control+PageDown');
    assert.equal(await page.locator('.cbo-output').inputValue(), '2');
    // A press on the grid closes an open menu.
    await page.getByRole('menubar').getByRole('menuitem', { name: 'File', exact: true }).click();
    await page.locator('.seg[data-seg="200"]').click();
    assert.equal(await page.locator('.menu').count(), 0);

    // F1 over a part of the window: its section.
    await page.locator('.pal[data-code="4"]').hover();
    await page.keyboard.press('F1');
    await page.locator('.help h2[data-section="The palette"]').waitFor();
    assert.equal(await page.locator('.help').getAttribute('data-topic'), 'drawing.md#The palette');
    await screenshot(page, 'guide');
    assert.deepEqual(errors, []);
  } finally {
    await browser.close();
    await site.close();
  }
});

test('without the file pickers: Open through a file input, Save As as a download', async () => {
  const site = await serve();
  const browser = await launch();
  try {
    await browser.context.addInitScript(() => { delete window.showOpenFilePicker; delete window.showSaveFilePicker; });
    const { page, errors } = await openEditor(browser.context, site.url);
    // The chooser is caught once the listener is known to the page (a round trip after it).
    const chosen = new Promise((resolve) => page.once('filechooser', resolve));
    await page.evaluate(() => 0);
    await page.keyboard.press('Control+O');
    await (await chosen).setFiles(path.join(root, 'examples/corridor.CDF'));
    await page.locator('.st-file', { hasText: 'File: corridor.CDF' }).waitFor();
    await page.locator('.seg[data-seg="40"]').click();
    await page.keyboard.press('w');
    await page.keyboard.press('Control+Shift+S');
    const asked = await messageBox(page);
    assert.equal(asked.title, 'Save As');
    await page.locator('dialog.box[open] input').fill('copy');
    const download = page.waitForEvent('download');
    await answer(page, 'OK');
    const file = await (await download).path();
    assert.deepEqual([...fs.readFileSync(file)], await page.evaluate(() => [...window.zezudi.doc.cdf]));
    assert.deepEqual([(await download).suggestedFilename(), await page.locator('.st-file').textContent()], ['copy.CDF', 'File: copy.CDF']);
    assert.deepEqual(errors, []);
  } finally {
    await browser.close();
    await site.close();
  }
});
