// The page becomes ready both from the served folder and from the single file, without errors.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { launch, openEditor, screenshot, ways } from './lib/browser.mjs';

for (const way of ways) {
  test(`the editor starts (${way.name})`, async () => {
    const where = await way.open();
    const browser = await launch();
    try {
      const { page, errors } = await openEditor(browser.context, where.url);
      assert.equal(await page.title(), 'Brantel Lumacor Dadiraze Viruzuvivav Odori Devira Rev 1.0');
      assert.deepEqual(errors, []);
      await screenshot(page, `start-${way.name}`);
    } finally {
      await browser.close();
      await where.close();
    }
  });
}
