// The Logic window, Draw From Formula, the notes window and printing, from the served folder and
// from the single file, each held to what the command line says of the same configuration.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { answer, fakeFilePickers, launch, menu, messageBox, openEditor, root, screenshot, screensDir, ways } from './lib/browser.mjs';

const cli = path.join(root, 'build/ci/zezudi-cli');
const corridorFile = path.join(root, 'examples/corridor.CDF');
const corridor = [...fs.readFileSync(corridorFile)];

/** Runs the command line on `bytes` written to a file; its output (and the file after it). */
function withFile(bytes, args) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'zez-logic-'));
  const file = path.join(dir, 'c.CDF');
  fs.writeFileSync(file, Buffer.from(bytes));
  let out, err = '';
  try {
    out = execFileSync(cli, args(file), { encoding: 'utf8', stdio: 'pipe' });
  } catch (e) {
    [out, err] = [e.stdout, e.stderr]; // check exits 1 when there are findings
  }
  const after = [...fs.readFileSync(file)];
  fs.rmSync(dir, { recursive: true });
  return { out, err, after };
}

/** The truth table's rows as the command line prints them: bits and On/Off. */
const cliRows = (text) => text.split('\n').filter((l) => /^[ 01]+\|/.test(l)).map((l) => l.replace(/\s+/g, ' ').trim());

/** The Logic window's report, once it was worked out from the record as it is now. */
async function report(page) {
  await page.waitForFunction(() => window.zezudi.logic.view.current, null, { timeout: 60000 });
  return page.evaluate(() => {
    const v = window.zezudi.logic.view;
    return { expression: v.expression.textContent, findings: [...v.findings.children].map((li) => li.textContent),
             rows: [...v.table.tBodies[0].rows].map((r) => [...r.cells].slice(1).map((c) => c.textContent).join(' ').replace(/ (On|Off)$/, ' | $1')),
             redraw: !v.redraw.disabled };
  });
}

for (const way of ways) {
  test(`Logic window, Draw From Formula, notes and printing (${way.name})`, async () => {
    const where = await way.open();
    const browser = await launch();
    try {
      await fakeFilePickers(browser.context);
      const { page, errors } = await openEditor(browser.context, where.url);
      const cdf = () => page.evaluate(() => [...window.zezudi.doc.cdf]);
      await page.evaluate((bytes) => { window.__files['corridor.CDF'] = bytes; window.__pick = 'corridor.CDF'; }, corridor);
      await page.keyboard.press('Control+O');
      await page.locator('.st-file', { hasText: 'File: corridor.CDF' }).waitFor();

      // F6: output 1's expression, truth table and checks as the command line gives them.
      await page.keyboard.press('F6');
      const expr = withFile(corridor, (f) => ['expr', f, '--output', '1']).out.trim();
      const table = withFile(corridor, (f) => ['table', f, '--output', '1']).out;
      let r = await report(page);
      assert.deepEqual([r.expression, r.rows.map((x) => x.replace(/\s+/g, ' ')), r.findings, r.redraw],
        [expr.replace(/^LC Input 1: /, ''), cliRows(table), ['No findings.'], true]);
      await screenshot(page, `logic-${way.name}`);
      const [sel, win] = await Promise.all(['.cbo-output', '.logic-window'].map((q) => page.locator(q).boundingBox()));
      assert.ok(win.x + win.width <= sel.x || win.x >= sel.x + sel.width, 'the Logic window leaves the output selector free');
      await page.keyboard.press('F1');
      assert.equal(await page.locator('.help').getAttribute('data-topic'), 'testing.md#The Logic window');
      await page.locator('.help button[aria-label="Close"]').click();

      // A wire nothing reaches: the check's finding in the window and framed on the grid.
      await page.locator('.seg[data-seg="194"]').click();
      await page.keyboard.press('w');
      r = await report(page);
      const check = withFile(await cdf(), (f) => ['check', f]).out.trim().split('\n');
      assert.deepEqual([r.findings, await page.locator('.seg.finding').evaluateAll((s) => s.map((e) => `${e.dataset.seg}:${e.title}`))],
        [check.map((l) => l.replace(/segment (\d+): /, (m, s) => `row ${Math.floor(s / 16) + 1}, column ${(s % 16) + 1} (segment ${s}): `)),
         ['194:not connected']]);
      // A report of an older diagram is never applied to a newer one.
      const stale = await page.evaluate(() => {
        const { doc, logic, core } = window.zezudi;
        const before = [...doc.cdf];
        doc.edit(0, 'Drop', core.setSegment(doc.cdf, 0, 195, 4, 0));
        const edited = [...doc.cdf];
        logic.view.redraw.click();
        logic.view.redrawMinimal();
        return { same: edited.every((b, i) => b === doc.cdf[i]), changed: edited.some((b, i) => b !== before[i]) };
      });
      assert.deepEqual(stale, { same: true, changed: true });
      await page.keyboard.press('Control+Z');
      await page.keyboard.press('Control+Z');

      // Redraw minimal: one edit, the same function in fewer segments, as tidy draws it.
      assert.equal((await report(page)).redraw, true);
      await page.locator('.logic-redraw').click();
      assert.deepEqual(await cdf(), withFile(corridor, (f) => ['tidy', f, '--output', '1']).after);
      await page.keyboard.press('Control+Z');
      assert.deepEqual(await cdf(), corridor);

      // Draw From Formula: an error marked at its column, then a drawing, then Undo.
      await menu(page, 'Tools', 'Draw From Formula...');
      const field = page.locator('.formula-field');
      await field.fill('I1 & (');
      const error = await page.evaluate(() => {
        const f = window.zezudi.logic.formula;
        return [f.said.textContent, document.querySelector('.formula-mark').textContent, f.ok.disabled];
      });
      const said = withFile(corridor, (f) => ['draw', f, '--output', '1', 'I1 & (']).err.trim().replace(/^zezudi-cli draw: /, '');
      assert.deepEqual(error, [said, `${' '.repeat(Number(/column (\d+)/.exec(said)[1]) - 1)}^`, true]);
      await field.fill('I1&!P2|I5');
      await screenshot(page, `formula-${way.name}`);
      await page.locator('.formula-window button', { hasText: 'OK' }).click();
      assert.deepEqual(await cdf(), withFile(corridor, (f) => ['draw', f, '--output', '1', 'I1&!P2|I5']).after);
      assert.equal((await report(page)).expression, withFile(await cdf(), (f) => ['expr', f, '--output', '1']).out.trim().replace(/^LC Input 1: /, ''));
      await page.getByRole('menubar').getByRole('menuitem', { name: 'Edit', exact: true }).click();
      assert.equal(await page.getByRole('menu', { name: 'Edit' }).getByRole('menuitem').first().textContent(), 'Undo Draw From FormulaCtrl+Z');
      await page.keyboard.press('Escape');
      await page.keyboard.press('Control+Z');
      assert.deepEqual(await cdf(), corridor);

      // Notes: typed past 4000 characters, cut as the desktop cuts, said, and saved.
      await page.getByRole('menubar').getByRole('menuitem', { name: 'Notes', exact: true }).click();
      const notes = page.locator('.txt-notes');
      assert.equal(await notes.inputValue(), withFile(corridor, (f) => ['totext', f]).out.split('\n')
        .filter((l) => l.startsWith('note: ')).map((l) => l.slice(6)).join('\n'));
      await notes.fill(`a\n${'x'.repeat(3996)}`);
      await page.keyboard.type('yz');
      assert.deepEqual(await messageBox(page), { title: 'Error', text: 'Out Of Note Space' });
      await answer(page, 'OK');
      assert.deepEqual([(await notes.inputValue()).length, await page.locator('.lbl-unused').textContent()],
        [3999, '4000 Of 4000 Characters Used']);
      await page.keyboard.press('F1');
      assert.equal(await page.locator('.help').getAttribute('data-topic'), 'files.md#The note');
      await screenshot(page, `notes-${way.name}`);
      await page.locator('.help button[aria-label="Close"]').click();
      await notes.press('Escape');
      await page.keyboard.press('Control+S');
      await page.locator('.st-file', { hasText: /^File: corridor.CDF$/ }).waitFor();
      const text = withFile(corridor, (f) => ['totext', f]).out.split('\n').filter((l) => !l.startsWith('note: '));
      const expected = withFile([], (f) => {
        fs.writeFileSync(`${f}.txt`, [...text.filter(Boolean), 'note: a', `note: ${'x'.repeat(3996)}y`, ''].join('\n'));
        return ['fromtext', `${f}.txt`, '-o', f, '--force'];
      }).after;
      assert.deepEqual(await page.evaluate(() => window.__files['corridor.CDF']), expected);

      // Print: a page per output with a diagram, with its expression, then the note.
      // The browser's print dialog is stood in for: it is asked for once, with the pages in place.
      await page.evaluate(() => { window.print = () => { window.__printed = document.querySelectorAll('.print-page').length; }; });
      // Export PDF prints the same pages, after its word on the print dialog's destination.
      await menu(page, 'File', 'Export PDF...');
      assert.match(JSON.stringify(await messageBox(page)), /^{"title":"Export PDF","text":".*\\"Save as PDF\\"/);
      await answer(page, 'OK');
      const exported = await page.waitForFunction(() => window.__printed, null, { timeout: 60000 }).then((n) => n.jsonValue());
      await menu(page, 'File', 'Print...');
      await page.emulateMedia({ media: 'print' });
      const pages = await page.locator('.print-page').evaluateAll((ps) => ps.map((p) => [p.querySelector('h1').textContent,
        p.querySelector('.print-expression')?.textContent ?? p.querySelector('.print-note').textContent.length]));
      const exprs = withFile(expected, (f) => ['expr', f]).out.trim().split('\n').map((l) => l.split(': '));
      assert.deepEqual([pages, await page.evaluate(() => window.__printed), exported],
        [[...exprs.map(([o, e]) => [o, `Output: ${e}`]), ['Note', 3999]], exprs.length + 1, exprs.length + 1]);
      await screenshot(page, `print-${way.name}`);
      const pdf = await page.pdf({ format: 'A4' });
      fs.writeFileSync(path.join(screensDir, `print-${way.name}.pdf`), pdf);
      assert.equal(pdf.toString('latin1').match(/\/Type\s*\/Page\b/g).length, exprs.length + 1);
      assert.deepEqual(errors, []);
    } finally {
      await browser.close();
      await where.close();
    }
  });
}
