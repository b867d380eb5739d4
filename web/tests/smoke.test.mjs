// The page becomes ready both from the served folder and from the single file, without errors,
// with the desktop's icon; chromium's accessibility tree of the window.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { launch, openEditor, screenshot, ways } from './lib/browser.mjs';

// Cells of the grid after the drawing and selection below (20 holds a code above 15, shown as
// blank with its selection): segment, name, selected, active.
const cells = [[0, 'Blank, row 1, column 1', false, false], [17, 'Normally open contact with an up link, Pilot 2, row 2, column 2', true, false],
  [18, 'Wire with up and down links, row 2, column 3', true, true], [19, 'Blank, row 2, column 4', false, false],
  [20, 'Blank, Input 3, row 2, column 5', false, false], [255, 'A down link, row 16, column 16', false, false]];

for (const way of ways) {
  test(`the editor starts (${way.name})`, async () => {
    const where = await way.open();
    const browser = await launch();
    try {
      const { page, errors } = await openEditor(browser.context, where.url);
      const icon = await page.evaluate(async () => (await fetch(document.querySelector('link[rel=icon]').href)).headers.get('content-type'));
      assert.deepEqual([await page.title(), errors, icon], ['Brantel Lumacor Dadiraze Viruzuvivav Odori Devira Rev 1.0', [], 'image/svg+xml']);
      await screenshot(page, `start-${way.name}`);

      await page.evaluate(() => { const { core, doc } = window.zezudi;
        doc.edit(0, 'Drop', [[17, '9:9'], [18, '7:0'], [20, '21:2'], [255, '2:0']].reduce((c, [s, t]) => core.pasteRegion(c, 0, s, `zezudi-segments 1\n1 1\n${t}\n`), doc.cdf)); });
      const cdp = await page.context().newCDPSession(page);
      const [role, name, prop] = [(n) => n.role.value, (n) => n.name?.value, (n, p) => n.properties?.find((x) => x.name === p)?.value];
      const ax = async () => (await cdp.send('Accessibility.getFullAXTree')).nodes;
      // No active cell until the first click or key shows the cursor.
      assert.equal(prop((await ax()).find((n) => !n.ignored && role(n) === 'grid'), 'activedescendant'), undefined);
      await page.locator('.seg[data-seg="17"]').click();
      await page.keyboard.press('Shift+ArrowRight');
      const nodes = await ax();
      const kids = (n) => nodes.filter((k) => !k.ignored && n.childIds?.includes(k.nodeId));
      const [grid, palette, list] = ['grid', 'toolbar', 'combobox'].map((r) => nodes.find((n) => !n.ignored && role(n) === r));
      const all = kids(grid).flatMap((r) => kids(r).filter((c) => role(c) === 'gridcell'));
      const active = prop(grid, 'activedescendant').relatedNodes[0].backendDOMNodeId;
      assert.deepEqual([name(grid), kids(grid).map(role).join(), all.length, name(list)], ['Diagram', Array(16).fill('row').join(), 256, 'Output']);
      assert.deepEqual(cells.map(([s]) => [s, name(all[s]), prop(all[s], 'selected')?.value, all[s].backendDOMNodeId === active]), cells);
      assert.ok(kids(palette).length === 16 && kids(palette).every((p) => role(p) === 'button' && / Drag onto a segment/.test(name(p))));
    } finally {
      await browser.close();
      await where.close();
    }
  });
}
