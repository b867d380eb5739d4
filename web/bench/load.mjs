// Measures the browser editor's start in Debian's chromium: the time from navigation to ready
// (the core loaded, the window built, no recovery to offer) and the bytes loaded, from the
// served folder and from the single file over file://. Usage: node web/bench/load.mjs [RUNS]
import fs from 'node:fs';
import path from 'node:path';
import { launch, openEditor, siteDir, singleFile, ways } from '../tests/lib/browser.mjs';

const runs = Number(process.argv[2] || 7);

for (const way of ways) {
  const where = await way.open();
  const times = [];
  let bytes = 0;
  for (let i = 0; i < runs; ++i) {
    const browser = await launch(); // a fresh browser: nothing cached
    const { page } = await openEditor(browser.context, where.url);
    times.push(await page.evaluate(() => performance.getEntriesByName('zezudi-ready')[0].startTime));
    if (way.name === 'served')
      bytes = await page.evaluate(() => performance.getEntriesByType('navigation')[0].encodedBodySize +
        performance.getEntriesByType('resource').reduce((n, r) => n + r.encodedBodySize, 0));
    await browser.close();
  }
  if (way.name === 'file') bytes = fs.statSync(singleFile).size;
  times.sort((a, b) => a - b);
  const files = way.name === 'served'
    ? fs.readdirSync(siteDir).map((f) => `${f} ${fs.statSync(path.join(siteDir, f)).size}`).join(', ')
    : path.basename(singleFile);
  console.log(`${way.name}: ready in ${times[Math.floor(runs / 2)].toFixed(0)} ms median ` +
              `(min ${times[0].toFixed(0)}, max ${times[runs - 1].toFixed(0)}, ${runs} runs); ` +
              `${bytes} bytes loaded (${files})`);
  await where.close();
}
