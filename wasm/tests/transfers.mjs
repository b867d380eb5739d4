// Download, upload and compare from Node through zezudi-devsim on a pseudo-terminal send the
// byte stream the native command line sends (commands, speeds, retries), also when the device
// misbehaves, and end with the same outcome, reason and report.
// Usage: node transfers.mjs MODULE_DIR CLI DEVSIM EXAMPLE.CDF WORK_DIR
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import readline from 'node:readline';
import { TtyPort } from '../node/tty-port.mjs';
import { check, finish, loadModule, native, same } from './lib.mjs';

const [dir, cli, devsim, example, work] = process.argv.slice(2);
const m = await loadModule(dir);
fs.mkdirSync(work, { recursive: true });
const cdf = fs.readFileSync(example);
const loaded = path.join(work, 'loaded.mem');

// Runs `host(pty)` against a device started with `args` (its memory a copy of `memory`, if
// given); the bytes the host sent.
async function withDevice(args, memory, host) {
  const record = path.join(work, 'host.rec');
  const mem = path.join(work, 'device.mem');
  fs.rmSync(record, { force: true });
  fs.rmSync(mem, { force: true });
  if (memory) fs.copyFileSync(memory, mem);
  const device = spawn(devsim, ['--record', record, '--memory', mem, ...args], { stdio: ['ignore', 'pipe', 'inherit'] });
  const [pty] = await readline.createInterface({ input: device.stdout })[Symbol.asyncIterator]().next().then((r) => [r.value]);
  const result = await host(pty);
  const exited = new Promise((resolve) => device.once('exit', resolve));
  device.kill('SIGTERM');
  await exited;
  return { result, sent: fs.readFileSync(record), memory: fs.readFileSync(mem) };
}

// The outcome the command line's first line of result stands for.
const outcomes = {
  'Download Complete.': 'complete', 'Download Failed.': 'failed', 'Upload Complete.': 'complete',
  'Upload Failed.': 'failed', 'Unable to connect to device.': 'noConnect', 'Compare Failed.': 'failed',
};

function said(r) {
  const out = r.out.split('\n').filter((l) => l && !/^(Power Cycle Device Prior|Device Node|Continue\?)/.test(l));
  const reasons = r.err.split('\n').filter((l) => l.startsWith('zezudi-cli: ')).map((l) => l.slice(12));
  return { out, reason: reasons.join('\n') };
}

const uploaded = path.join(work, 'uploaded.CDF');
const cases = [
  // name, device options, device memory, the command line's arguments, the module's call
  ['download', [], null, ['download', example], (pty) => m.download(cdf, new TtyPort(), pty)],
  ['upload', [], loaded, ['upload', '-o', uploaded], (pty) => m.upload(new TtyPort(), pty)],
  ['compare', [], loaded, ['verify', example], (pty) => m.verify(cdf, new TtyPort(), pty)],
  ['quick compare', [], loaded, ['verify', example, '--quick'], (pty) => m.verify(cdf, new TtyPort(), pty, { quick: true })],
  ['download, every 4000th command dropped', ['--drop-every', '4000'], null, ['download', example], (pty) => m.download(cdf, new TtyPort(), pty)],
  ['download, wrong checksum', ['--wrong-checksum'], null, ['download', example], (pty) => m.download(cdf, new TtyPort(), pty)],
  ['upload, silent after 20 commands', ['--silent-after', '20'], loaded, ['upload', '-o', uploaded], (pty) => m.upload(new TtyPort(), pty)],
  ['compare, wrong checksum', ['--wrong-checksum'], loaded, ['verify', example], (pty) => m.verify(cdf, new TtyPort(), pty)],
];

// A device that holds the example, loaded by the native command line.
await withDevice([], null, async (pty) => native(cli, ['download', example, '--port', pty, '--yes']))
  .then((d) => fs.writeFileSync(loaded, d.memory));

for (const [name, options, memory, args, call] of cases) {
  fs.rmSync(uploaded, { force: true });
  const ref = await withDevice(options, memory, async (pty) => said(native(cli, [...args, '--port', pty, '--yes'])));
  const refFile = fs.existsSync(uploaded) ? fs.readFileSync(uploaded) : null;
  const got = await withDevice(options, memory, call);
  const r = got.result;
  same(got.sent, ref.sent, `${name}: the bytes sent`);
  same(got.memory, ref.memory, `${name}: the device's memory after`);
  same(r.reason, ref.result.reason, `${name}: the reason`);
  if (r.report && r.outcome === 'complete') same(r.report.join('\n'), ref.result.out.join('\n'), `${name}: the report`);
  else same(r.outcome, outcomes[ref.result.out[0]] ?? ref.result.out[0], `${name}: the outcome`);
  if (refFile) same(r.cdf, refFile, `${name}: the uploaded file`);
  console.log(`${name}: ${r.outcome}${r.reason ? ` (${r.reason})` : ''}`);
}
// A cancel from a timer in the middle of a paced download (about 25 s long) ends it as
// cancelled; a compile meanwhile is refused, not hung; and the module then downloads again.
const paced = await withDevice(['--pace'], null, async (pty) => {
  let during = null;
  setTimeout(() => {
    try {
      m.compile(cdf, false);
    } catch (e) {
      during = e;
    }
    m.cancel();
  }, 3000);
  const r = await m.download(cdf, new TtyPort(), pty);
  return { outcome: r.outcome, during };
}).then((d) => d.result);
same(paced.outcome, 'cancelled', 'a paced download cancelled at 3 s');
check(paced.during instanceof m.ZezError && paced.during.kind === 'usage', `a compile during the transfer: ${paced.during}`);
const again = await withDevice([], null, (pty) => m.download(cdf, new TtyPort(), pty));
same(again.result.outcome, 'complete', 'a download after the cancel');

// A port that is not there fails in the command line's words.
const missing = path.join(work, 'no-such-port');
const refusedHere = native(cli, ['download', example, '--port', missing, '--yes']).err.split('\n')[0];
same(`zezudi-cli download: ${(await m.download(cdf, new TtyPort(), missing)).reason}`, refusedHere, 'a port that is not there');
finish('transfers');
