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
execFileSync(path.join(nativeDir, 'zezudi-families'), [work, '1']);
console.log('\ncompile (fast engine, median)   native      ' + [moduleDir, ...others].map((d) => path.basename(path.dirname(path.resolve(d)))).join('  '));
for (const name of ['typical_0', 'dense_0', 'mesh_0', 'long_ladder_0']) {
  const file = path.join(work, `${name}.CDF`);
  const cdf = fs.readFileSync(file);
  const nativeTimes = Array.from({ length: 7 }, () => {
    const said = spawnSync(cli, ['compile', file, '-o', path.join(work, 'out.bin'), '--force', '--time'], { encoding: 'utf8' }).stdout;
    const [, value, unit] = said.match(/in ([\d.]+) (s|milliseconds|microseconds)/);
    return Number(value) * { s: 1000, milliseconds: 1, microseconds: 0.001 }[unit];
  });
  const wasmTimes = loaded.map((m) => median(Array.from({ length: 9 }, () => {
    const t = performance.now();
    m.compile(cdf, false);
    return performance.now() - t;
  })));
  console.log(`${name.padEnd(32)}${median(nativeTimes).toFixed(3).padStart(8)} ms` +
    wasmTimes.map((t) => `${t.toFixed(3).padStart(9)} ms`).join(''));
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
