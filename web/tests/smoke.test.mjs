// The page becomes ready both from the served folder and from the single file, without errors,
// with the desktop's icon; chromium's accessibility tree of the window.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { launch, openEditor, screenshot, ways } from './lib/browser.mjs';

// Cells of the grid after the drawing and selection below: segment, name, selected.
const cells = [
  [17, 'Normally open contact with an up link, Pilot 2, row 2, column 2', true],
  [18, 'Wire with up and down links, row 2, column 3', true],
  [19, 'Blank, row 2, column 4', false],
  [255, 'A down link, row 16, column 16', false],
];

for (const way of ways) {
  test(`the editor starts (${way.name})`, async () => {
    const where = await way.open();
    const browser = await launch();
    try {
      const { page, errors } = await openEditor(browser.context, where.url);
      assert.equal(await page.title(), 'Brantel Lumacor Dadiraze Viruzuvivav Odori Devira Rev 1.0');
      assert.deepEqual(errors, []);
      await screenshot(page, `start-${way.name}`);
      assert.equal(await page.evaluate(async () => (await fetch(document.querySelector('link[rel=icon]').href)).headers.get('content-type')), 'image/svg+xml');

      await page.evaluate(() => {
        const { core, doc } = window.zezudi;
        doc.edit(0, 'Drop', [[17, 9, 9], [18, 7, 0], [255, 2, 0]].reduce((cdf, [s, code, input]) => core.setSegment(cdf, 0, s, code, input), doc.cdf));
      });
      await page.locator('.seg[data-seg="17"]').click();
      await page.keyboard.press('Shift+ArrowRight');
      const { nodes } = await (await page.context().newCDPSession(page)).send('Accessibility.getFullAXTree');
      const byId = new Map(nodes.map((n) => [n.nodeId, n]));
      const kids = (n) => (n.childIds ?? []).map((id) => byId.get(id)).filter((k) => !k.ignored);
      const [role, name] = [(n) => n.role.value, (n) => n.name?.value];
      const prop = (n, p) => n.properties?.find((x) => x.name === p)?.value;
      const find = (r) => nodes.find((n) => !n.ignored && role(n) === r);
      const grid = find('grid');
      const rows = kids(grid);
      const all = rows.flatMap((r) => kids(r).filter((c) => role(c) === 'gridcell'));
      assert.deepEqual([name(grid), rows.map(role), all.length], ['Diagram', Array(16).fill('row'), 256]);
      assert.deepEqual(cells.map(([s]) => [name(all[s]), prop(all[s], 'selected')?.value]), cells.map(([, n, selected]) => [n, selected]));
      assert.equal(prop(grid, 'activedescendant').relatedNodes[0].backendDOMNodeId, all[18].backendDOMNodeId);
      const palette = kids(find('toolbar'));
      assert.deepEqual([palette.length, palette.every((p) => role(p) === 'button' && /^\S.*Drag onto a segment/.test(name(p)))], [16, true]);
      assert.equal(name(find('combobox')), 'Output');
    } finally {
      await browser.close();
      await where.close();
    }
  });
}
