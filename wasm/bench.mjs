// Size and speed of the WebAssembly build against the native one, in one run: the .wasm and its
// loader (raw and gzip), start-up to ready under Node, the compile of the dense and mesh cases,
// and a download to the paced emulator. Not a test: it prints figures for docs/development.md.
// Usage: node wasm/bench.mjs MODULE_DIR NATIVE_DIR [OTHER_MODULE_DIR...]
import { execFileSync, spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';
import zlib from 'node:zlib';
import { createRequire } from 'node:module';
import { TtyPort } from './node/tty-port.mjs';

const [moduleDir, nativeDir, ...others] = process.argv.slice(2);
const cli = path.join(nativeDir, 'zezudi-cli');
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];
const kb = (n) => `${(n / 1024).toFixed(1)} KB`;

console.log('size                          raw        gzip');
for (const dir of [moduleDir, ...others]) {
  for (const file of ['zezudi.wasm', 'zezudi.js']) {
    const bytes = fs.readFileSync(path.join(dir, file));
    const label = `${path.basename(path.dirname(path.resolve(dir)))}/${file}`;
    console.log(`${label.padEnd(28)}${kb(bytes.length).padStart(10)}${kb(zlib.gzipSync(bytes, { level: 9 }).length).padStart(12)}`);
  }
}

// Start-up: a fresh Node each time, from before loading the loader to the module ready.
const loader = path.resolve(moduleDir, 'zezudi.js');
const startups = Array.from({ length: 7 }, () => Number(execFileSync(process.execPath, ['-e',
  `const t=performance.now();require(${JSON.stringify(loader)})().then(()=>console.log(performance.now()-t))`],
{ encoding: 'utf8' })));
console.log(`start-up to ready under Node: ${median(startups).toFixed(1)} ms (median of 7 fresh processes)`);

const modules = [moduleDir, ...others].map((dir) => createRequire(import.meta.url)(path.resolve(dir, 'zezudi.js')));
const loaded = await Promise.all(modules.map((factory) => factory()));
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'zez-bench-'));
// The cases of bench/compile; its medians, then the module's, measured the same way (at least 25
// compiles, more for up to 0.3 s).
execFileSync(path.join(nativeDir, 'zezudi-families'), [work, 'bench']);
const nativeBench = path.join(nativeDir, 'bench', 'compile');
const nativeMedians = (prefix) => Object.fromEntries(execFileSync(prefix[0], [...prefix.slice(1), nativeBench, '--fast-only'],
  { encoding: 'utf8' }).split('\n').map((l) => l.match(/^(\w+)\s+([\d.]+) us/)).filter(Boolean).map((x) => [x[1], Number(x[2])]));
const all = nativeMedians(['env']);
const oneCore = nativeMedians(['taskset', '-c', '0']);
const names = [moduleDir, ...others].map((d) => path.basename(path.dirname(path.resolve(d))));
console.log(`\ncompile, fast engine, median   native  native 1 core  ${names.map((n) => n.padStart(13)).join('')}`);
for (const name of ['typical', 'dense', 'serpentine', 'mesh']) {
  const cdf = fs.readFileSync(path.join(work, `${name}.CDF`));
  const times = loaded.map((m) => {
    const t = [];
    const start = performance.now();
    while (t.length < 25 || (t.length < 2000 && performance.now() - start < 300)) {
      t.push(m.timeCompile(cdf, false));
    }
    return median(t) * 1e6;
  });
  console.log(`${name.padEnd(28)}${[all[name], oneCore[name], ...times].map((us) => `${us.toFixed(1).padStart(10)} us`).join('')}`);
}

// A download to the paced emulator: the native command line, then the module, twice each.
async function paced(host) {
  const device = spawn(path.join(nativeDir, 'zezudi-devsim'), ['--pace'], { stdio: ['ignore', 'pipe', 'inherit'] });
  const pty = (await readline.createInterface({ input: device.stdout })[Symbol.asyncIterator]().next()).value;
  const t = performance.now();
  const outcome = await host(pty);
  const took = performance.now() - t;
  device.kill('SIGTERM');
  return [took, outcome];
}
const example = path.join(path.dirname(new URL(import.meta.url).pathname), '..', 'examples', 'corridor.CDF');
const cdf = fs.readFileSync(example);
console.log('\ndownload of corridor.CDF to zezudi-devsim --pace');
for (let round = 0; round < 2; ++round) {
  const [n, no] = await paced(async (pty) => spawnSync(cli, ['download', example, '--port', pty, '--yes'], { encoding: 'utf8' }).stdout.includes('Download Complete.'));
  const [w, wo] = await paced(async (pty) => (await loaded[0].download(cdf, new TtyPort(), pty)).outcome === 'complete');
  console.log(`native ${(n / 1000).toFixed(2)} s (${no ? 'complete' : 'FAILED'}), module ${(w / 1000).toFixed(2)} s (${wo ? 'complete' : 'FAILED'}): ${((w / n - 1) * 100).toFixed(1)}%`);
}
fs.rmSync(work, { recursive: true, force: true });
