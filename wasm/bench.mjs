// Size and speed of the WebAssembly build against the native one, in one run: the .wasm and its
// loader (raw and gzip), start-up to ready under Node, the compile of the dense and mesh cases,
// and downloads to the paced emulator. Not a test: it prints figures for docs/development.md.
// Usage: node wasm/bench.mjs [--paced-only] [--rounds N] MODULE_DIR NATIVE_DIR [OTHER_MODULE_DIR...]
import { execFileSync, spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';
import zlib from 'node:zlib';
import { createRequire } from 'node:module';
import { TtyPort } from './node/tty-port.mjs';

const args = process.argv.slice(2);
const pacedOnly = args[0] === '--paced-only' ? args.shift() : false;
const rounds = args[0] === '--rounds' ? (args.shift(), Number(args.shift())) : 5;
const [moduleDir, nativeDir, ...others] = args;
const cli = path.join(nativeDir, 'zezudi-cli');
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];
const kb = (n) => `${(n / 1024).toFixed(1)} KB`;

const loader = path.resolve(moduleDir, 'zezudi.js');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'zez-bench-'));
const loaded = [];
if (!pacedOnly) {
  console.log('size                          raw        gzip');
  for (const dir of [moduleDir, ...others]) {
    for (const file of ['zezudi.wasm', 'zezudi.js']) {
      const bytes = fs.readFileSync(path.join(dir, file));
      const label = `${path.basename(path.dirname(path.resolve(dir)))}/${file}`;
      console.log(`${label.padEnd(28)}${kb(bytes.length).padStart(10)}${kb(zlib.gzipSync(bytes, { level: 9 }).length).padStart(12)}`);
    }
  }

  // Start-up: a fresh Node each time, from before loading the loader to the module ready.
  for (const dir of [moduleDir, ...others]) {
    const startups = Array.from({ length: 7 }, () => Number(execFileSync(process.execPath, ['-e',
      `const t=performance.now();require(${JSON.stringify(path.resolve(dir, 'zezudi.js'))})().then(()=>console.log(performance.now()-t))`],
    { encoding: 'utf8' })));
    console.log(`start-up of ${dir} to ready under Node: ${median(startups).toFixed(1)} ms (median of 7 fresh processes)`);
  }

  const modules = [moduleDir, ...others].map((dir) => createRequire(import.meta.url)(path.resolve(dir, 'zezudi.js')));
  loaded.push(...await Promise.all(modules.map((factory) => factory())));
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

}
// Downloads to the paced emulator (a fresh device each): the native command line and the module
// in turn, `rounds` times each, the one going first changing every round, so that what the
// machine does meanwhile falls on both alike; then the medians and the spreads.
async function paced(host) {
  const device = spawn(path.join(nativeDir, 'zezudi-devsim'), ['--pace'], { stdio: ['ignore', 'pipe', 'inherit'] });
  const pty = (await readline.createInterface({ input: device.stdout })[Symbol.asyncIterator]().next()).value;
  const t = performance.now();
  const outcome = await host(pty);
  const took = performance.now() - t;
  device.kill('SIGTERM');
  if (!outcome) console.log('  (this download did not complete)');
  return took / 1000;
}
const example = path.join(path.dirname(new URL(import.meta.url).pathname), '..', 'examples', 'corridor.CDF');
const cdf = fs.readFileSync(example);
const module = loaded[0] ?? await createRequire(import.meta.url)(loader)();
const hosts = {
  native: async (pty) => spawnSync(cli, ['download', example, '--port', pty, '--yes'], { encoding: 'utf8' }).stdout.includes('Download Complete.'),
  module: async (pty) => (await module.download(cdf, new TtyPort(), pty)).outcome === 'complete',
};
console.log(`\ndownload of corridor.CDF to zezudi-devsim --pace, ${rounds} rounds`);
const times = { native: [], module: [] };
for (let round = 0; round < rounds; ++round) {
  const order = round % 2 ? ['module', 'native'] : ['native', 'module'];
  for (const who of order) times[who].push(await paced(hosts[who]));
  console.log(`round ${round + 1}: native ${times.native[round].toFixed(2)} s, module ${times.module[round].toFixed(2)} s`);
}
const s = (t) => `median ${median(t).toFixed(2)} s, ${Math.min(...t).toFixed(2)} to ${Math.max(...t).toFixed(2)} s`;
console.log(`native ${s(times.native)}\nmodule ${s(times.module)}`);
console.log(`module against native (medians): ${((median(times.module) / median(times.native) - 1) * 100).toFixed(1)}%`);
fs.rmSync(work, { recursive: true, force: true });
