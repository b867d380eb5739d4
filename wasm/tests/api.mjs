// The module's own calls: evaluation agrees with the native command line, the record's edits
// and the note's rules come through the bindings whole, failures throw the core's message, and
// a transfer to the emulated device in the module completes, refuses every other call while it
// runs and can be cancelled at any moment.
// Usage: node api.mjs MODULE_DIR CLI EXAMPLE.CDF
import fs from 'node:fs';
import { createRequire } from 'node:module';
import { check, finish, loadModule, native, same } from './lib.mjs';

const [dir, cli, example] = process.argv.slice(2);
const m = await loadModule(dir);
const cdf = fs.readFileSync(example);
const signals = ['I1', 'I2', 'I3', 'I4', 'I5', 'I6', 'I7', 'I8', 'P1', 'P2', 'P3', 'P4', 'P5', 'P6', 'P7', 'P8'];

// Evaluation: on and off as the command line says, the output cell energised exactly when on.
const array = m.compile(cdf, false).array;
const declared = fs.readFileSync(new URL('../zezudi.d.ts', import.meta.url), 'utf8').split('interface ZezUdiModule')[1].split('\n}')[0];
const names = [...declared.matchAll(/^ {2}(\w+)[(:]/gm)].map((x) => x[1]);
for (const word of [0, 0x0004, 0x0104, 0x0200, 0x0208, 0xffff, 0x8421]) {
  const list = signals.filter((_, i) => (word >> i) & 1).join(',') || 'none';
  for (let o = 0; o < 8; ++o) {
    const r = m.evaluate(cdf, o, word);
    const said = native(cli, ['eval', example, '--output', o + 1, '--inputs', list]).out.trim();
    check(said.endsWith(r.on ? ' On' : ' Off'), `evaluate ${o + 1} at ${list}: ${r.on}, native "${said}"`);
    check(r.on === (((array[word] >> o) & 1) === 1), `evaluate ${o + 1} at ${list} against the array`);
    check(r.on === (r.cells[1 * r.width + 34] === 2), `evaluate ${o + 1} at ${list}: the output cell`);
  }
}

// Edits: what is set is read back; a region copied to another output draws the same there;
// a row inserted and deleted again leaves the record as it was.
const set = m.setSegment(cdf, 7, 37, 9, 12);
same(JSON.stringify(m.segment(set, 7, 37)), JSON.stringify({ code: 9, input: 12 }), 'set segment');
const moved = m.pasteRegion(m.blankRegion(cdf, 6, 0, 255), 6, 0, m.copyRegion(cdf, 0, 0, 255));
same(m.expression(moved, 6), m.expression(cdf, 0), 'a whole diagram copied to another output');
same(m.deleteRow(m.insertRow(cdf, 0, 0), 0, 0), cdf, 'row inserted and deleted');
same(m.expression(m.drawFormula(cdf, 2, 'I1&!P2|I3'), 2), 'I1&!P2|I3', 'drawn from a formula');
// The editing keys on rows 0..3, columns 0..3: an element placed keeps each segment's links, a
// link toggled twice leaves the record as it was, an input lands on contacts only.
const inRect = (s) => (s >> 4) < 4 && (s & 15) < 4;
const placed = m.placeElement(cdf, 1, 0, 0x33, 3);
const chosen = m.chooseInput(cdf, 1, 0, 0x33, 13);
for (let s = 0; s < 256; ++s) {
  const [was, now, got] = [m.segment(cdf, 1, s), m.segment(placed, 1, s), m.segment(chosen, 1, s)];
  const contact = was.code >= 8 && was.code <= 15;
  check(now.code === (inRect(s) ? 12 + (was.code & 3) : was.code), `element placed at ${s}: ${was.code} to ${now.code}`);
  check(got.input === (inRect(s) && contact ? 13 : was.input), `input chosen at ${s}: ${was.input} to ${got.input}`);
}
same(m.toggleLink(m.toggleLink(cdf, 1, 0, 255, 2), 1, 0, 255, 2), cdf, 'a link toggled twice');
check(m.segment(m.toggleLink(cdf, 1, 5, 5, 1), 1, 5).code === (m.segment(cdf, 1, 5).code ^ 1), 'a link toggled');
// The readable text: each row as the command line's drawing shows it between the rails.
for (let o = 0; o < 8; ++o) {
  const shown = native(cli, ['show', example, '--output', o + 1]).out.split('\n').filter((_, i) => i % 2 === 1).slice(0, 16);
  same(m.readableRegion(cdf, o, 0, 255), `${shown.map((l) => l.slice(3, -1).trimEnd()).join('\n')}\n`, `readable text of output ${o + 1}`);
}
const rewired = `${process.env.TMPDIR || '/tmp'}/zez-api-rewired-${process.pid}.CDF`;
native(cli, ['rewire', example, 'I3=P5, I4<>P2', '-o', rewired]);
same(m.rewire(cdf, 'I3=P5, I4<>P2', 255).cdf, fs.readFileSync(rewired), 'rewired as the command line rewires');
fs.rmSync(rewired);

// The note: line breaks and the characters of its character set kept, a long note cut.
for (const text of ['one\ntwo', 'Café – 5 €', '']) same(m.note(m.setNote(cdf, text).cdf), text, `note "${text}"`);
const long = m.setNote(cdf, 'x'.repeat(4100));
check(long.cut && long.length === 4000 && m.note(long.cdf).length === 4000, 'a long note cut to 4000');

// Failures carry the core's message and kind.
const failures = [
  [() => m.expression(cdf, 8), 'usage', 'output must be 1..8, not "9"'],
  [() => m.setSegment(cdf, 0, 256, 4, 0), 'usage', 'There is no segment 256.'],
  [() => m.setSegment(cdf, 8, 0, 4, 0), 'usage', 'output must be 1..8, not "9"'],
  [() => m.setSegment(cdf, 0, 0, 16, 0), 'usage', 'There is no segment code 16.'],
  [() => m.setSegment(cdf, 0, 0, 4, -1), 'usage', 'There is no input -1.'],
  [() => m.deleteRow(cdf, 0, -1), 'usage', 'There is no row -1.'],
  [() => m.drawFormula(cdf, 0, 'I1 &'), 'usage', null],
  [() => m.toText(cdf.subarray(0, 100)), 'data',
    'Cannot open the configuration: the file is too short to be a configuration (100 bytes; a configuration file holds 12288 bytes).'],
  // What is no whole number in range is refused before it reaches the module.
  ...[[() => m.setSegment(cdf, 0, 0, 1.7, 0), 4, 'setSegment', '1.7'], [() => m.evaluate(cdf, NaN, 0), 2, 'evaluate', 'NaN'],
    [() => m.segment(cdf, '1', 0), 2, 'segment', '"1"'], [() => m.expression(cdf, undefined), 2, 'expression', 'undefined'],
    [() => m.placeElement(cdf, 0, 0, 2 ** 31, 1), 4, 'placeElement', '2147483648'],
    [() => m.rewire(cdf, 'I3=P5', 2 ** 32), 3, 'rewire', '4294967296', '0 to 4294967295'],
    [() => m.chooseInput(cdf, 0, -(2 ** 53), 0, 1), 3, 'chooseInput', `${-(2 ** 53)}`]]
    .map(([call, n, name, v, range = '-2147483648 to 2147483647']) =>
      [call, 'usage', `Argument ${n} of ${name} must be a whole number from ${range}, not ${v}.`]),
  [() => m.expression(cdf, 2 ** 31 - 1), 'usage', 'output must be 1..8, not "2147483648"'],
  // What is no Uint8Array where bytes are taken, and faults that are no count.
  ...[[() => m.toText('abc'), 'toText', 1, '"abc"'], [() => m.compare(cdf, [1, 2]), 'compare', 2, 'an array'],
    [() => m.compile(5, false), 'compile', 1, '5'], [() => m.download(null, {}, 'x'), 'download', 1, 'null']]
    .map(([call, name, n, v]) => [call, 'usage', `Argument ${n} of ${name} must be bytes (a Uint8Array), not ${v}.`]),
  ...[['dropEvery', -1], ['lateMs', NaN], ['floodEvery', 1.5], ['silentAfter', '3'], ['dribbleMs', 1e8 + 1]]
    .map(([name, v]) => [() => new m.EmulatedPort({ [name]: v }), 'usage', `The fault ${name} must be a whole number from 0 to 100000000, not ${v}.`]),
  [() => new m.EmulatedPort({ dorp: 3 }), 'usage', 'The emulator has no fault dorp.'],
  [() => new m.EmulatedPort({ shortReplies: 'no' }), 'usage', 'The fault shortReplies must be true or false, not no.'],
  [() => m.toText(new Int8Array(12288)), 'usage', 'Argument 1 of toText must be bytes (a Uint8Array), not an Int8Array.'],
  [() => m.compile(Buffer.from('%PDF-1.4'), false), 'usage', null], [() => m.download(Buffer.from('%PDF-1.4'), {}, 'x'), 'usage', null],
  // What is no text where text is taken, a wrong count of arguments, an input word out of range.
  [() => m.openCdf(cdf, 5), 'usage', 'Argument 2 of openCdf must be text (a string), not 5.'],
  [() => m.download(cdf, {}, 5), 'usage', "The port's name for download must be text (a string), not 5."],
  [() => m.segment(cdf, 0, 0, 9), 'usage', 'segment takes 3 arguments, not 4.'],
  [() => m.evaluate(cdf, 0, 65536), 'usage', 'Argument 3 of evaluate must be a word of inputs from 0 to 65535, not 65536.'],
];
for (const [call, kind, message] of failures) {
  try {
    await call();
    check(false, `no failure (${kind})`);
  } catch (e) {
    check(e instanceof m.ZezError && e.kind === kind && e.message && (!message || e.message === message), `${e.kind}: ${e.message}`);
  }
}

// Failures of every kind, a transfer whose port cannot open among them, give back all they held:
// after a first round (which may allocate for good), more rounds leave a fresh block where it was.
const heapTop = () => { const at = m._malloc(65536); m._free(at); return at; };
const unopenable = { open: async () => { throw new Error('gone'); }, close() {} };
// A port whose counts are wrong or whose calls throw ends its transfer with the reason.
const quiet = { open: async () => {}, close: async () => {}, write: async () => {}, waitForData: async () => {} };
const miscounting = { ...quiet, waiting: () => 5, readInto: () => -1 };
const throwing = { ...quiet, waiting: () => { throw new Error('waiting broke'); } };
for (const [port, reason] of [[miscounting, 'The port gave -1 for a count of bytes.'], [throwing, 'waiting broke']]) {
  const r = await m.download(cdf, port, 'x');
  same(`${r.outcome}: ${r.reason}`, `portError: ${reason}`, 'a port at fault');
}
// A cancel ends a transfer whose port never answers.
const never = { ...quiet, waiting: () => 0, readInto: () => 0, waitForData: () => new Promise(() => {}) };
setTimeout(() => m.cancel(), 100);
same((await m.download(cdf, never, 'x')).outcome, 'cancelled', 'a cancel while the port never answers');
const failing = [...failures.map((f) => f[0]), () => m.download(cdf, unopenable, 'x'), () => m.download(cdf, miscounting, 'x'),
  () => m.download(cdf, throwing, 'x')];
const rounds = async (n) => { for (let i = 0; i < n * failing.length; ++i) await Promise.resolve().then(failing[i % failing.length]).catch(() => {}); };
await rounds(1);
const heapBefore = heapTop();
await rounds(40);
same(String(heapTop()), String(heapBefore), `where a fresh block lands after ${40 * failing.length} failed calls`);
same(m.compile(cdf, false).array, native(cli, ['compile', example, '-o', '-'], true).out, 'compile after them');

// Transfers to the emulated device: complete (a cancel with none running changes nothing; replies
// come without a timer each, as a browser holds nested timers to 4 ms), then cancelled.
const port = new m.EmulatedPort({});
m.cancel();
let timers = 0, setTimer = globalThis.setTimeout;
globalThis.setTimeout = (...args) => (++timers, setTimer(...args));
const done = await m.download(cdf, port, 'emulated').finally(() => (globalThis.setTimeout = setTimer));
same(done.outcome + done.deviceChecksum, `complete${m.compile(cdf, false).checksum}`, 'download to the emulated device');
check(timers < 100, `timers set in a download to the emulated device: ${timers}`);
const captions = [];
const cancelled = await m.download(cdf, port, 'emulated', {
  onCaption: (c) => { captions.push(c); if (captions.length === 3) m.cancel(port); },
});
same(`${cancelled.outcome} ${cancelled.reason}`, 'cancelled ', `cancelled after ${captions.join(', ')}`);
const back = await m.upload(port, 'emulated');
same(back.cdf, cdf, 'uploaded after the cancel');
// A comparison gives back the record with the device's segments where they differ; null for a match.
const elsewhere = m.setSegment(cdf, 2, 40, (m.segment(cdf, 2, 40).code + 1) % 16, 3);
const [differs, matches] = [await m.verify(elsewhere, port, 'emulated'), await m.verify(cdf, port, 'emulated')];
same(differs.differing, cdf, 'compared: where the device differs, what it holds');
same(`${matches.match} ${matches.differing}`, 'true null', 'compared: a match');
// A cancel naming another port, or coming after its transfer ended, cancels nothing; one during
// the speed change's pause ends the transfer there: no reopening at the fast speed, no command.
const other = new m.EmulatedPort({});
const notMine = await m.download(cdf, port, 'emulated', { onCaption: () => m.cancel(other) });
m.cancel(port);
same(`${notMine.outcome} ${(await m.upload(port, 'emulated')).outcome}`, 'complete complete', 'cancels of another port and after the end');
class CancelInPause extends m.EmulatedPort {
  writes = 0;
  async write(bytes) { await super.write(bytes); if (++this.writes === 2) setTimeout(() => m.cancel(this)); }
}
const pausing = new CancelInPause({});
const paused = await m.download(cdf, pausing, 'emulated');
same(`${paused.outcome} ${paused.reason} ${pausing.settings} ${pausing.device.commands()}`, 'cancelled  38400,n,8,1 2', 'a cancel in the pause');
// A reply on its way when the port closes goes with it, also when the port opens again at once.
for (const step of [() => other.open('emulated', '38400,n,8,1'), () => other.write(new TextEncoder().encode('[200700--]')),
  () => other.close(), () => other.open('emulated', '38400,n,8,1'), () => new Promise((resolve) => setTimeout(resolve, 20))]) await step();
same(String(other.waiting()), '0', 'bytes after a reply crossed a close and an open');
for (const p of [port, other, pausing, port]) p.dispose(); // a second dispose does nothing

// While a download runs on one emulated port another's calls are refused (else its device would
// be entered while the module waits, and the download would never settle); the download completes.
const [portA, portB] = [new m.EmulatedPort({}), new m.EmulatedPort({})];
let begun;
const started = new Promise((resolve) => { begun = resolve; });
const onA = m.download(cdf, portA, 'emulated', { onCaption: () => begun() });
await started;
for (const [what, call] of [['open', () => portB.open('emulated', '9600,n,8,1')], ['write', () => portB.write(Uint8Array.of(13))],
  ['waiting', () => portB.waiting()], ['waitForData', () => portB.waitForData(10)], ['feed', () => portB.device.feed('V\r')],
  ['new Emulator', () => new m.Emulator({})], ['port A\'s open', () => portA.open('emulated', '9600,n,8,1')]]) {
  let refused = null;
  try {
    await call();
  } catch (e) {
    refused = e;
  }
  check(refused instanceof m.ZezError && refused.kind === 'usage', `${what} during a download on another port: ${refused}`);
}
same((await onA).outcome, 'complete', 'a download while another port was used');
portA.dispose();
portB.dispose();

// A transfer's deadline: a short one ends a download to a silent device with the desktop's words,
// a long one lets a download complete, and what is no time in milliseconds is refused.
const deadlines = [
  [{ silentAfter: 0 }, 1, 'failed The device answers too slowly: the transfer did not end in time.'],
  [{}, 1e9, 'complete '],
  ...[0, -5, NaN, Infinity, '100', null].map((d) => [{}, d, `usage deadlineMs must be a number of milliseconds above 0, not ${d}.`]),
];
for (const [faults, deadlineMs, expected] of deadlines) {
  const p = new m.EmulatedPort(faults);
  const r = await m.download(cdf, p, 'emulated', { deadlineMs }).catch((e) => ({ outcome: e.kind, reason: e.message }));
  same(`${r.outcome} ${r.reason}`, expected, `download with deadlineMs ${deadlineMs}`);
  p.dispose();
}

// While a transfer awaits a device that never answers, every other call is refused, none hangs,
// and a cancel from a timer ends it during the connect's wait (else it would end unconnected).
const silent = new m.EmulatedPort({ silentAfter: 0 });
const running = m.download(cdf, silent, 'emulated');
await new Promise((resolve) => setTimeout(resolve, 300));
for (const name of names.filter((n) => n !== 'cancel' && n !== 'ZezError')) {
  let refused = null;
  try {
    await (name === 'EmulatedPort' ? new m.EmulatedPort() : m[name]());
  } catch (e) {
    refused = e;
  }
  check(refused instanceof m.ZezError && refused.kind === 'usage' &&
    /^A transfer is (running: wait for it to end or cancel it|already running)\.$/.test(refused.message), `${name} during a transfer: ${refused}`);
}
setTimeout(() => m.cancel(), 10);
same((await running).outcome, 'cancelled', 'cancelled while the connect waits');
silent.dispose();

// The ports' wait, on a clock and timers of the test's own (nothing waits for real): each step
// starts a wait (or data, clear) at a time, and each wait must end when said. One timer serves
// all waits: a wait that must end later or sooner than the timer left by the one before, a wait
// still pending when the next starts, a wait given no time, and what keeps Node running.
{
  const { PortBuffer } = createRequire(import.meta.url)('../port-buffer.js');
  const real = [globalThis.setTimeout, globalThis.clearTimeout, performance.now];
  let now = 0;
  let timers = [];
  globalThis.setTimeout = (f, ms) => {
    const t = { at: now + ms, f, held: true, ref() { this.held = true; }, unref() { this.held = false; } };
    timers.push(t);
    return t;
  };
  globalThis.clearTimeout = (t) => (timers = timers.filter((x) => x !== t));
  performance.now = () => now;
  const flush = () => new Promise((resolve) => setImmediate(resolve));
  const port = new PortBuffer();
  const ended = [];
  const wait = (name, ms) => port.waitForData(ms).then(() => ended.push(`${name}@${now}`));
  const steps = [[0, () => wait('long', 1000)], [5, () => port.arrived([1])], [10, () => wait('later', 2000)],
    [2500, () => wait('x', 1000)], [2505, () => port.arrived([2])], [2510, () => wait('sooner', 100)],
    [2700, () => wait('first', 2000)], [2800, () => wait('overlapped', 50)], [2900, () => wait('none', NaN)],
    [3000, () => wait('cleared', 100)], [3020, () => port.clear()]];
  for (const [at, step] of steps) {
    for (let t; (t = timers.filter((x) => x.at <= at).sort((a, b) => a.at - b.at)[0]);) {
      timers = timers.filter((x) => x !== t);
      [now] = [t.at, t.f()];
      await flush();
    }
    now = at;
    step();
    await flush();
    if (at === 5 || at === 10) check(timers.every((x) => x.held === (at === 10)), `at ${at}: only a wait's timer holds Node`);
  }
  same(ended.join(' '), 'long@5 later@2010 x@2505 sooner@2610 first@2800 overlapped@2850 none@2900 cleared@3020',
    'the waits end');
  [globalThis.setTimeout, globalThis.clearTimeout, performance.now] = real;
}

// Every call the TypeScript declarations name is there.
for (const name of names) check(m[name] !== undefined, `${name} is declared but missing`);
finish('api');
